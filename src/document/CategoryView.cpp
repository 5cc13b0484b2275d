#include "document/CategoryView.h"

#include "document/ArrayController.h"
#include "document/QvColoredCategoryArrayController.h"
#include "document/CategoryBadges.h"
#include "document/FilteringArrayController.h"
#include "platform/Clipboard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

namespace {
DictionaryRef selectedCategory(const ArrayController* records)
{
    const DictionaryRef record = records ? records->firstSelectedObject() : nullptr;
    return record ? record->objectForKey(FilteringArrayController::kCategoryPtr).dictionary() : nullptr;
}
} // namespace

CategoryView::CategoryView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    auto* copy = new QAction(tr("Copy Category Name"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &CategoryView::CopyInClipboard);
    addAction(copy);
}

void CategoryView::setMyArrayController(ArrayController* controller)
{
    if (m_myArrayController)
        disconnect(m_myArrayController, nullptr, this, nullptr);
    m_myArrayController = controller;
    if (controller) {
        connect(controller, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
            if (Observable::keyPathAffects(keyPath, QStringLiteral("selection.categoryPtr"))
                || keyPath == QLatin1String("arrangedObjects"))
                update();
        });
    }
    update();
}

QString CategoryView::shownCategoryName() const
{
    if (!m_myArrayController || !m_myArrayController->canRemove())
        return QString();
    const DictionaryRef category = selectedCategory(m_myArrayController);
    return category ? CategoryBadges::nameOf(*category) : QStringLiteral("");
}

void CategoryView::CopyInClipboard()
{
    const DictionaryRef category = selectedCategory(m_myArrayController);
    if (!category)
        return;
    Clipboard::setText(CategoryBadges::nameOf(*category), this);
}

QSize CategoryView::sizeHint() const
{
    return {120, 22};
}

void CategoryView::paintEvent(QPaintEvent*)
{
    const DictionaryRef category = selectedCategory(m_myArrayController);
    if (!category)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    CategoryBadges::drawPillBadge(painter, *category, font(), width(), height());
}

void CategoryView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!selectedCategory(m_myArrayController))
        return;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions());
    menu->popup(event->globalPos());
}
