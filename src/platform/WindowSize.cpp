#include "platform/WindowSize.h"

#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QWidget>
#include <algorithm>

namespace {
class LayoutFit : public QObject {
public:
    LayoutFit(QWidget* window, int leastWidth) : QObject(window), m_window(window), m_leastWidth(leastWidth)
    {
        setObjectName(QStringLiteral("WindowSizeLayoutFit"));
        window->installEventFilter(this);
    }

    void fit()
    {
        QLayout* layout = m_window ? m_window->layout() : nullptr;
        if (!layout)
            return;
        // The style's margins and the font are the window's own once it is polished.
        m_window->ensurePolished();
        layout->activate();
        const QSize least = layout->totalMinimumSize();
        const int width = std::max(m_leastWidth, least.width());
        const int height = layout->hasHeightForWidth()
            ? std::max(least.height(), layout->totalHeightForWidth(width))
            : least.height();
        m_window->setMinimumSize(width, height);
        if (m_window->width() < width || m_window->height() < height)
            m_window->resize(std::max(m_window->width(), width), std::max(m_window->height(), height));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Before the layout itself answers the request: it finds itself done.
        if (watched == m_window && (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest))
            fit();
        return false;
    }

private:
    QPointer<QWidget> m_window;
    int m_leastWidth;
};
} // namespace

void WindowSize::fitToLayout(QWidget* window)
{
    if (!window || window->findChild<LayoutFit*>(QStringLiteral("WindowSizeLayoutFit"), Qt::FindDirectChildrenOnly))
        return;
    // A window that nobody has sized yet takes the size its layout suggests when it is shown.
    (new LayoutFit(window, window->testAttribute(Qt::WA_Resized) ? window->width() : 0))->fit();
}
