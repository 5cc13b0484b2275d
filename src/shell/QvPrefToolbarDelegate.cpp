#include "shell/QvPrefToolbarDelegate.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QLayout>
#include <QMainWindow>
#include <QPropertyAnimation>
#include <QTabWidget>
#include <QToolBar>

#include <algorithm>

QvPrefToolbarDelegate::QvPrefToolbarDelegate(QObject* parent) : QObject(parent) {}

QvPrefToolbarDelegate::~QvPrefToolbarDelegate() = default;

void QvPrefToolbarDelegate::awakeFromNib()
{
    m_toolbar = new QToolBar(tr("Preferences"));
    m_toolbar->setObjectName(QStringLiteral("prefToolBar"));
    // Not customisable: it cannot be moved, torn off or hidden.
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->toggleViewAction()->setVisible(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_group = new QActionGroup(m_toolbar);
    m_group->setExclusive(true);
    const QStringList selectable = toolbarSelectableItemIdentifiers();
    for (const QString& identifier : toolbarDefaultItemIdentifiers()) {
        QAction* item = itemForItemIdentifier(identifier);
        if (!item)
            continue;
        item->setParent(m_toolbar);
        item->setCheckable(selectable.contains(identifier));
        m_group->addAction(item);
        m_toolbar->addAction(item);
        // A toolbar's buttons take no focus; these are the only way to the other panels.
        if (QWidget* button = m_toolbar->widgetForAction(item))
            button->setFocusPolicy(Qt::TabFocus);
        connect(item, &QAction::triggered, this, [this, item] { PanelAction(item); });
    }
    m_heights = heightArray();
    AttachToWindow();
    PanelAction(nullptr);
}

void QvPrefToolbarDelegate::AttachToWindow()
{
    if (!m_window || !m_toolbar)
        return;
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);
    // No menu that would hide the toolbar.
    m_window->setContextMenuPolicy(Qt::NoContextMenu);
}

QList<QAction*> QvPrefToolbarDelegate::items() const
{
    return m_toolbar ? m_toolbar->actions() : QList<QAction*>{};
}

int QvPrefToolbarDelegate::ToolbarHeightForWindow(QMainWindow* window)
{
    if (!window)
        return 0;
    if (window->layout())
        window->layout()->activate();
    const QWidget* panels = window->centralWidget();
    return panels ? window->height() - panels->height() : 0;
}

void QvPrefToolbarDelegate::PanelAction(QAction* item)
{
    const QList<QAction*> all = items();
    if (all.isEmpty())
        return;
    if (!item) {
        showPanel(all.first(), 0);
        return;
    }
    showPanel(item, item->data().toInt());
}

void QvPrefToolbarDelegate::SetPanelTab(int index)
{
    const QList<QAction*> all = items();
    if (index >= 0 && index < all.size())
        showPanel(all.at(index), index);
}

void QvPrefToolbarDelegate::showPanel(QAction* item, int index)
{
    // A panel needs its tab and its height; anything else is left as it is.
    if (!m_tabView || index < 0 || index >= m_tabView->count() || index >= m_heights.size())
        return;
    item->setChecked(true);
    if (m_window)
        m_window->setWindowTitle(item->text());
    m_tabView->setCurrentIndex(index);
    resizeWindowForPanel(index);
}

void QvPrefToolbarDelegate::resizeWindowForPanel(int index)
{
    QMainWindow* window = m_window;
    if (!window)
        return;
    if (m_animation) {
        m_animation->stop();
        delete m_animation;
    }
    // The window has the size of its panel and no other: maximised or stretched, a panel
    // would sit in a strip across the screen.
    constexpr Qt::WindowStates stretched = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (window->windowState() & stretched)
        window->setWindowState(window->windowState() & ~stretched);
    if (m_width <= 0)
        m_width = std::max(window->width(), window->minimumSizeHint().width());
    const int toolbarHeight = ToolbarHeightForWindow(window);
    const QRect frame = window->geometry();
    const int height = m_heights.at(index) + toolbarHeight;
    // The top edge stays where it is: only the bottom moves.
    const QRect target(frame.x(), frame.y(), m_width, height);
    if (!window->isVisible()) {
        window->setFixedSize(target.size());
        window->setGeometry(target);
        return;
    }
    // Only the animation passes between the two sizes.
    window->setMinimumSize(m_width, std::min(frame.height(), height));
    window->setMaximumSize(m_width, std::max(frame.height(), height));
    m_animation = new QPropertyAnimation(window, "geometry", this);
    m_animation->setDuration(150);
    m_animation->setStartValue(QRect(frame.topLeft(), QSize(m_width, frame.height())));
    m_animation->setEndValue(target);
    connect(m_animation, &QAbstractAnimation::finished, window, [window, size = target.size()] {
        window->setFixedSize(size);
    });
    m_animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QAction* MyPrefToolbarDelegate::itemForItemIdentifier(const QString& identifier)
{
    struct Panel {
        const char* identifier;
        const char* label;
        const char* image;
        const char* themeIcon;
    };
    static constexpr Panel kPanels[] = {
        {"0", "General", "generalPref", "preferences-system"},
        {"1", "Font", "font", "preferences-desktop-font"},
        {"2", "Advanced", "advanced", "preferences-other"},
        {"3", "Update", "swUpdate", "system-software-update"},
    };
    for (int tag = 0; tag < int(std::size(kPanels)); ++tag) {
        const Panel& panel = kPanels[tag];
        if (identifier != QLatin1String(panel.identifier))
            continue;
        const QString label = QString::fromLatin1(panel.label);
        auto* item = new QAction(label);
        item->setObjectName(identifier);
        item->setToolTip(label);
        item->setIconText(label);
        item->setData(tag);
        item->setIcon(QIcon::fromTheme(QLatin1String(panel.themeIcon),
                                       QIcon(QStringLiteral(":/shell/icons/%1.svg").arg(QLatin1String(panel.image)))));
        return item;
    }
    return nullptr;
}
