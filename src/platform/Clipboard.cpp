#include "platform/Clipboard.h"

#include <QApplication>
#include <QMimeData>

namespace {

constexpr QClipboard::Mode kModes[] = {QClipboard::Clipboard, QClipboard::Selection};

int indexOf(QClipboard::Mode mode) { return mode == QClipboard::Selection ? 1 : 0; }
bool isKept(QClipboard::Mode mode) { return mode == QClipboard::Clipboard || mode == QClipboard::Selection; }

// The window a widget belongs to, through the sheets and menus on top of it.
const QWidget* outermostWindow(const QWidget* widget)
{
    while (widget && widget->parentWidget())
        widget = widget->parentWidget();
    return widget;
}

// Where a copy by one of Qt's own widgets comes from: the widget copies what
// is selected in it, and selecting takes the focus (a context menu opens from
// the focused widget and hands the focus back before its command runs).
const QWidget* copyingWindow()
{
    const QWidget* focus = QApplication::focusWidget();
    return outermostWindow(focus ? focus : QApplication::activeWindow());
}

QClipboard* systemClipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

class SystemClipboard : public Clipboard {
public:
    SystemClipboard()
    {
        if (QClipboard* clipboard = systemClipboard())
            QObject::connect(clipboard, &QClipboard::changed, [this](QClipboard::Mode mode) { contentChanged(mode); });
    }

    bool supportsMode(QClipboard::Mode mode) const override
    {
        QClipboard* clipboard = systemClipboard();
        return clipboard && (mode == QClipboard::Clipboard || (mode == QClipboard::Selection && clipboard->supportsSelection()));
    }
    bool ownsMode(QClipboard::Mode mode) const override
    {
        QClipboard* clipboard = systemClipboard();
        if (!clipboard)
            return false;
        return mode == QClipboard::Selection ? clipboard->ownsSelection() : clipboard->ownsClipboard();
    }
    const QMimeData* mimeData(QClipboard::Mode mode) const override
    {
        QClipboard* clipboard = systemClipboard();
        return clipboard ? clipboard->mimeData(mode) : nullptr;
    }
    void setMimeData(QMimeData* data, QClipboard::Mode mode) override
    {
        if (QClipboard* clipboard = systemClipboard())
            clipboard->setMimeData(data, mode);
        else
            delete data;
    }
    // The platform deletes the data it held, so that no copy of it stays in the process.
    void clear(QClipboard::Mode mode) override
    {
        if (QClipboard* clipboard = systemClipboard())
            clipboard->clear(mode);
    }
};

} // namespace

void Clipboard::setText(const QString& text, const QWidget* from)
{
    Clipboard& clipboard = Seam<Clipboard>::current();
    auto* data = new QMimeData;
    data->setText(text);
    clipboard.m_copyingFrom = outermostWindow(from);
    clipboard.setMimeData(data, QClipboard::Clipboard);
    clipboard.m_copyingFrom = nullptr;
}

QString Clipboard::text()
{
    const QMimeData* data = Seam<Clipboard>::current().mimeData(QClipboard::Clipboard);
    return data ? data->text() : QString();
}

void Clipboard::forgetCopiesFrom(const QWidget* window)
{
    window = outermostWindow(window);
    if (!window)
        return;
    Clipboard& clipboard = Seam<Clipboard>::current();
    for (const QClipboard::Mode mode : kModes) {
        const Copy copy = clipboard.m_copies[indexOf(mode)];
        if (copy.window != window || !clipboard.supportsMode(mode) || !clipboard.ownsMode(mode)
            || clipboard.mimeData(mode) != copy.data)
            continue;
        clipboard.clear(mode);
        clipboard.m_copies[indexOf(mode)] = {};
    }
}

void Clipboard::watchCopies() { (void)Seam<Clipboard>::current(); }

void Clipboard::contentChanged(QClipboard::Mode mode)
{
    if (!isKept(mode))
        return;
    Copy& copy = m_copies[indexOf(mode)];
    if (!ownsMode(mode)) {
        copy = {};
        return;
    }
    copy.data = mimeData(mode);
    copy.window = m_copyingFrom ? m_copyingFrom.data() : copyingWindow();
}

Clipboard& Clipboard::production()
{
    static SystemClipboard clipboard;
    return clipboard;
}

// The test clipboard

MemoryClipboard::MemoryClipboard() : m_install(this)
{
    if (QClipboard* clipboard = systemClipboard()) {
        clipboard->clear(QClipboard::Clipboard);
        m_watch = QObject::connect(clipboard, &QClipboard::changed, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                changed(mode);
        });
    }
}

MemoryClipboard::~MemoryClipboard()
{
    QObject::disconnect(m_watch);
    if (QClipboard* clipboard = systemClipboard())
        clipboard->clear(QClipboard::Clipboard);
}

void MemoryClipboard::foreignCopy(const QString& text, QClipboard::Mode mode)
{
    auto* data = new QMimeData;
    data->setText(text);
    m_copyingForeign = true;
    setMimeData(data, mode);
    m_copyingForeign = false;
}

bool MemoryClipboard::supportsMode(QClipboard::Mode mode) const { return isKept(mode); }

bool MemoryClipboard::ownsMode(QClipboard::Mode mode) const
{
    return isKept(mode) && !m_foreign[indexOf(mode)] && mimeData(mode);
}

const QMimeData* MemoryClipboard::mimeData(QClipboard::Mode mode) const
{
    if (mode == QClipboard::Selection)
        return m_selection.get();
    QClipboard* clipboard = systemClipboard();
    return mode == QClipboard::Clipboard && clipboard ? clipboard->mimeData(mode) : nullptr;
}

void MemoryClipboard::setMimeData(QMimeData* data, QClipboard::Mode mode)
{
    if (mode == QClipboard::Selection) {
        m_selection.reset(data);
        changed(mode);
    } else if (QClipboard* clipboard = systemClipboard(); clipboard && mode == QClipboard::Clipboard) {
        clipboard->setMimeData(data, mode); // tells changed()
    } else {
        delete data;
    }
}

void MemoryClipboard::clear(QClipboard::Mode mode)
{
    if (mode == QClipboard::Selection) {
        m_selection.reset();
        changed(mode);
    } else if (QClipboard* clipboard = systemClipboard(); clipboard && mode == QClipboard::Clipboard) {
        clipboard->clear(mode);
    }
}

void MemoryClipboard::changed(QClipboard::Mode mode)
{
    const bool there = mimeData(mode) != nullptr;
    m_foreign[indexOf(mode)] = there && m_copyingForeign;
    if (there && !m_copyingForeign)
        ++writes;
    contentChanged(mode);
}
