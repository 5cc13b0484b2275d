#include "platform/KeyboardFocus.h"

#include "platform/MainQueue.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* displayConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

class DisplayFocusWatch : public QObject {
public:
    DisplayFocusWatch(xcb_connection_t* connection, QObject* parent) : QObject(parent), m_connection(connection)
    {
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            // A hidden window cannot have the keyboard; no window may mean the
            // user went to another program, which the display tells apart.
            if (!window || !window->isVisible())
                MainQueue::post(this, [this] { agreeWithDisplay(); });
        });
    }

private:
    static QWindow* visibleWindowWithId(WId id)
    {
        if (!id)
            return nullptr;
        for (QWindow* window : QGuiApplication::topLevelWindows())
            if (window->isVisible() && window->handle() && window->winId() == id)
                return window;
        return nullptr;
    }

    void agreeWithDisplay()
    {
        const QWindow* focused = QGuiApplication::focusWindow();
        if (focused && focused->isVisible())
            return;
        const auto focus = xcb_window_t(KeyboardFocus::displayFocus());
        if (!visibleWindowWithId(focus))
            return;
        xcb_focus_in_event_t event{};
        event.response_type = XCB_FOCUS_IN;
        event.detail = XCB_NOTIFY_DETAIL_NONLINEAR;
        event.event = focus;
        event.mode = XCB_NOTIFY_MODE_NORMAL;
        xcb_send_event(m_connection, false, focus, XCB_EVENT_MASK_FOCUS_CHANGE, reinterpret_cast<const char*>(&event));
        xcb_flush(m_connection);
    }

    xcb_connection_t* m_connection;
};

} // namespace

void KeyboardFocus::keepInStepWithDisplay()
{
    static QPointer<QObject> watch;
    xcb_connection_t* connection = displayConnection();
    if (watch || !connection)
        return;
    watch = new DisplayFocusWatch(connection, qGuiApp);
}

WId KeyboardFocus::displayFocus()
{
    xcb_connection_t* connection = displayConnection();
    if (!connection)
        return 0;
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const xcb_window_t focus = reply ? reply->focus : xcb_window_t(XCB_NONE);
    std::free(reply);
    if (focus == XCB_INPUT_FOCUS_POINTER_ROOT)
        return 0;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    for (xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen))
        if (screen.data->root == focus)
            return 0;
    return focus;
}
