#pragma once
// Counts what a window sends to the window system for its title: every
// change of its text and every setting of its modified mark (on X11 each
// rewrites the title and icon name properties, changed or not).

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

class TitleWrites : public QObject {
public:
    explicit TitleWrites(QWidget* window) : m_window(window) { window->installEventFilter(this); }
    ~TitleWrites() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }
    int count() const { return m_count; }
    void reset() { m_count = 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window
            && (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::ModifiedChange))
            ++m_count;
        return false;
    }

private:
    QPointer<QWidget> m_window;
    int m_count = 0;
};
