#include "platform/Sheet.h"

#include "platform/MainQueue.h"

#include <QApplication>
#include <QDialog>
#include <QHash>
#include <deque>
#include <memory>
#include <utility>

namespace {
struct Entry {
    QPointer<QDialog> dialog;
    Sheet::Completion completion;
    Sheet::Options options;
    bool presented = false;
    QMetaObject::Connection finished;
    QMetaObject::Connection destroyed;
};
using EntryPtr = std::shared_ptr<Entry>;

// The sheets of one window, in order; the first is the one shown. It lives as
// a child of the window and goes with it.
class SheetHost : public QObject {
public:
    explicit SheetHost(QWidget* window) : QObject(window ? static_cast<QObject*>(window) : QCoreApplication::instance()), window(window)
    {
        setObjectName(QStringLiteral("SheetHost"));
    }

    static SheetHost* of(QWidget* window, bool create);

    void add(const EntryPtr& entry);
    void finish(EntryPtr entry, int code);
    void finishAll(int code);
    void presentFront();
    void forget(EntryPtr entry);
    static void takeDown(const EntryPtr& entry);
    void giveBackKeyboardLater();
    void giveBackKeyboard();

    QPointer<QWidget> window;
    std::deque<EntryPtr> entries;
    // Where the keyboard was in the window before its first sheet came up.
    QPointer<QWidget> focusBefore;
};

QHash<QDialog*, QPointer<SheetHost>>& hostOfDialog()
{
    static QHash<QDialog*, QPointer<SheetHost>> hosts;
    return hosts;
}

QPointer<SheetHost>& applicationHost()
{
    static QPointer<SheetHost> host;
    return host;
}

SheetHost* SheetHost::of(QWidget* window, bool create)
{
    if (!window) {
        if (!applicationHost() && create)
            applicationHost() = new SheetHost(nullptr);
        return applicationHost();
    }
    auto* host = window->findChild<SheetHost*>(QStringLiteral("SheetHost"), Qt::FindDirectChildrenOnly);
    if (!host && create)
        host = new SheetHost(window);
    return host;
}

void SheetHost::add(const EntryPtr& entry)
{
    QDialog* dialog = entry->dialog;
    hostOfDialog().insert(dialog, this);
    // A dialog deleted while attached is dropped without an answer: its owner is going away.
    entry->destroyed = QObject::connect(dialog, &QObject::destroyed, this, [this, entry, dialog] {
        hostOfDialog().remove(dialog);
        forget(entry);
    });
    entries.push_back(entry);
    if (entries.size() == 1)
        presentFront();
}

void SheetHost::forget(EntryPtr entry)
{
    auto it = std::find(entries.begin(), entries.end(), entry);
    if (it == entries.end())
        return;
    const bool wasFront = it == entries.begin();
    entries.erase(it);
    QObject::disconnect(entry->finished);
    QObject::disconnect(entry->destroyed);
    if (wasFront)
        MainQueue::post(this, [this] {
            presentFront();
            giveBackKeyboardLater();
        });
}

void SheetHost::presentFront()
{
    while (!entries.empty() && !entries.front()->dialog)
        entries.pop_front();
    if (entries.empty() || entries.front()->presented)
        return;
    EntryPtr entry = entries.front();
    QDialog* dialog = entry->dialog;
    entry->presented = true;
    if (window && !focusBefore)
        focusBefore = window->focusWidget();
    if (window && !dialog->parentWidget())
        dialog->setParent(window, dialog->windowFlags() | Qt::Dialog);
    entry->finished = QObject::connect(dialog, &QDialog::finished, this, [this, entry](int result) {
        const int code = entry->options.answerFor ? entry->options.answerFor(entry->dialog, result) : result;
        finish(entry, code);
    });
    if (window) {
        dialog->open();
    } else {
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
    }
    if (entry->options.presented) {
        entry->options.presented(dialog);
    } else if (AlertResponder* responder = Seam<AlertResponder>::installed()) {
        responder->sheetPresented(dialog, window);
    }
}

void SheetHost::finish(EntryPtr entry, int code)
{
    auto it = std::find(entries.begin(), entries.end(), entry);
    if (it == entries.end())
        return;
    const bool wasFront = it == entries.begin();
    entries.erase(it);
    takeDown(entry);
    QPointer<SheetHost> alive(this);
    if (entry->completion)
        entry->completion(code);
    if (alive && wasFront) {
        presentFront();
        giveBackKeyboardLater();
    }
}

void SheetHost::takeDown(const EntryPtr& entry)
{
    QObject::disconnect(entry->finished);
    QObject::disconnect(entry->destroyed);
    if (QDialog* dialog = entry->dialog) {
        hostOfDialog().remove(dialog);
        dialog->hide();
        if (entry->options.deleteWhenEnded)
            dialog->deleteLater();
    }
}

void SheetHost::finishAll(int code)
{
    // Everything is taken down first, so that sheets begun by the completions
    // are shown normally and are not ended with the old ones.
    std::deque<EntryPtr> ending;
    ending.swap(entries);
    for (const EntryPtr& entry : ending)
        takeDown(entry);
    QPointer<SheetHost> alive(this);
    for (const EntryPtr& entry : ending)
        if (entry->completion)
            entry->completion(code);
    if (alive)
        giveBackKeyboardLater();
}

void SheetHost::giveBackKeyboardLater()
{
    // After what the completions queued: a sheet that follows at once keeps the keyboard.
    if (window && entries.empty())
        MainQueue::post(this, [this] { giveBackKeyboard(); });
}

void SheetHost::giveBackKeyboard()
{
    // The window manager does not always hand the focus back to the window
    // when its sheet goes, and shortcuts then reach nothing until a click.
    if (!window || !entries.empty())
        return;
    const QPointer<QWidget> focus = std::exchange(focusBefore, nullptr);
    // Not for a window that is going, nor while the user is in another
    // application (an automatic lock ends the sheets in the background).
    if (!window->isVisible() || QGuiApplication::applicationState() != Qt::ApplicationActive)
        return;
    window->activateWindow();
    if (focus && focus->window() == window && focus->isVisible() && focus->isEnabled())
        focus->setFocus(Qt::OtherFocusReason);
}
} // namespace

void Sheet::begin(QDialog* sheet, QWidget* window, Completion completion)
{
    begin(sheet, window, std::move(completion), Options());
}

void Sheet::begin(QDialog* sheet, QWidget* window, Completion completion, Options options)
{
    if (!sheet)
        return;
    if (hostOfDialog().value(sheet)) {
        qWarning("Sheet::begin: the dialog is already a sheet");
        return;
    }
    auto entry = std::make_shared<Entry>();
    entry->dialog = sheet;
    entry->completion = std::move(completion);
    entry->options = std::move(options);
    SheetHost::of(window, true)->add(entry);
}

void Sheet::end(QDialog* sheet, int returnCode)
{
    SheetHost* host = hostOfDialog().value(sheet);
    if (!host)
        return;
    for (const EntryPtr& entry : host->entries)
        if (entry->dialog == sheet) {
            host->finish(entry, returnCode);
            return;
        }
}

void Sheet::endAll(QWidget* window, int returnCode)
{
    if (SheetHost* host = SheetHost::of(window, false))
        host->finishAll(returnCode);
}

QDialog* Sheet::attachedSheet(QWidget* window)
{
    SheetHost* host = SheetHost::of(window, false);
    if (!host || host->entries.empty() || !host->entries.front()->presented)
        return nullptr;
    return host->entries.front()->dialog;
}

int Sheet::count(QWidget* window)
{
    SheetHost* host = SheetHost::of(window, false);
    return host ? static_cast<int>(host->entries.size()) : 0;
}
