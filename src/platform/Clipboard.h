#pragma once
#include "platform/Seam.h"

#include <QClipboard>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QMimeData;

// The desktop's clipboard and, where it has one, its selection (the text last
// selected, which a middle click pastes: a text field offers it as soon as
// text is selected in it).
//
//   [[NSPasteboard generalPasteboard] declareTypes:@[NSStringPboardType] owner:nil];
//   [pb setString:s forType:NSStringPboardType]   ->  Clipboard::setText(s, view)
//
// What the application puts there is known by the window it came from: the
// window of the widget that copies through setText, or, for the copies Qt's
// own widgets make (Ctrl+C, a context menu's Copy, selecting text), the
// window that has the focus. A sheet's copy is its window's. A window that
// must keep nothing (a locked document's) takes back what came from it with
// forgetCopiesFrom while it is still there; what another program copied
// since, or what came from another window, stays.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Copies text to the clipboard, as from the window of `from`.
    static void setText(const QString& text, const QWidget* from);
    static QString text();
    // Empties the clipboard and the selection where they still hold what the
    // application put there from `window` or one of its sheets.
    static void forgetCopiesFrom(const QWidget* window);
    // Starts telling copies apart by their window; a copy made before is no window's.
    static void watchCopies();

    static Clipboard& production();

    // The clipboard's parts, as QClipboard has them.
    virtual bool supportsMode(QClipboard::Mode mode) const = 0;
    // Whether what the mode holds now is the application's own, not another program's.
    virtual bool ownsMode(QClipboard::Mode mode) const = 0;
    virtual const QMimeData* mimeData(QClipboard::Mode mode) const = 0;
    // Takes the data over.
    virtual void setMimeData(QMimeData* data, QClipboard::Mode mode) = 0;
    // Releases what the mode holds, and the application's claim to it.
    virtual void clear(QClipboard::Mode mode) = 0;

protected:
    // Implementations tell of every change of a mode's content, once it is there.
    void contentChanged(QClipboard::Mode mode);

private:
    struct Copy {
        const QMimeData* data = nullptr;
        QPointer<const QWidget> window;
    };
    // Indexed by the mode: QClipboard::Clipboard, QClipboard::Selection.
    Copy m_copies[2];
    QPointer<const QWidget> m_copyingFrom;
};

// For tests: the offscreen platform's clipboard, which keeps what is copied
// inside the process (Qt's widgets copy to it as on a desktop), with what that
// platform lacks: a selection, and telling the application's own content from
// another program's (foreignCopy plays the other program). Both start empty
// and are left empty.
class MemoryClipboard : public Clipboard {
public:
    MemoryClipboard();
    ~MemoryClipboard() override;

    // Another program copies text: the mode holds it, and the application no longer owns the mode.
    void foreignCopy(const QString& text, QClipboard::Mode mode = QClipboard::Clipboard);

    bool supportsMode(QClipboard::Mode mode) const override;
    bool ownsMode(QClipboard::Mode mode) const override;
    const QMimeData* mimeData(QClipboard::Mode mode) const override;
    void setMimeData(QMimeData* data, QClipboard::Mode mode) override;
    void clear(QClipboard::Mode mode) override;

    // The application's copies, to either mode.
    int writes = 0;

private:
    void changed(QClipboard::Mode mode);

    bool m_foreign[2] = {false, false};
    bool m_copyingForeign = false;
    std::unique_ptr<QMimeData> m_selection;
    QMetaObject::Connection m_watch;
    ScopedSeam<Clipboard> m_install;
};
