#include "platform/DocumentWindow.h"

#include "platform/Clipboard.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/Sheet.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QToolBar>
#include <QUndoStack>

namespace {
std::function<void(DocumentWindow&)>& applicationCommands()
{
    static std::function<void(DocumentWindow&)> addCommands;
    return addCommands;
}


struct EditCommand {
    const char* name;
    const char* slot;
};
constexpr EditCommand kEditCommands[] = {{"cut", "cut"}, {"copy", "copy"}, {"paste", "paste"}, {"selectAll", "selectAll"}};

const EditCommand* editCommand(const QString& name)
{
    for (const EditCommand& command : kEditCommands)
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}
} // namespace

DocumentWindow::DocumentWindow(Document* document, QWidget* parent) : QMainWindow(parent), m_document(document)
{
    resize(800, 560);
    m_toolbar = addToolBar(tr("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("documentToolbar"));
    m_toolbar->setMovable(false);
    buildMenus();
    if (document) {
        connect(document, &Document::changeCountChanged, this, &DocumentWindow::updateTitle);
        connect(document, &Document::fileURLChanged, this, &DocumentWindow::updateTitle);
        connect(document, &Document::userInterfaceStateChanged, this, &DocumentWindow::validateCommands);
    }
    // The edit commands follow the focused field.
    connect(qApp, &QApplication::focusChanged, this, &DocumentWindow::validateCommands);
    // What is copied in the window is known as the window's, so that the document can take it back.
    Clipboard::watchCopies();
    if (applicationCommands())
        applicationCommands()(*this);
    updateTitle();
    validateCommands();
}

DocumentWindow::~DocumentWindow()
{
    // The base class still destroys the child widgets after this body, which
    // moves the focus; validating commands then would reach members already gone.
    disconnect(qApp, nullptr, this, nullptr);
}

void DocumentWindow::setApplicationCommands(std::function<void(DocumentWindow&)> addCommands)
{
    applicationCommands() = std::move(addCommands);
}

void DocumentWindow::buildMenus()
{
    auto controller = [this] {
        DocumentController* own = m_document ? m_document->documentController() : nullptr;
        return own ? own : DocumentController::sharedDocumentController();
    };
    auto onDocument = [this](void (Document::*member)()) {
        return [this, member] {
            if (m_document)
                (m_document->*member)();
        };
    };

    m_fileMenu = menuBar()->addMenu(tr("&File"));
    addCommand(m_fileMenu, QStringLiteral("newDocument"), tr("&New"), QKeySequence::New, [controller] {
        if (DocumentController* c = controller())
            c->newDocument();
    });
    addCommand(m_fileMenu, QStringLiteral("openDocument"), tr("&Open…"), QKeySequence::Open, [controller] {
        if (DocumentController* c = controller())
            c->openDocument();
    });
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("performClose"), tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_W),
               onDocument(&Document::performClose));
    addCommand(m_fileMenu, QStringLiteral("saveDocument"), tr("&Save"), QKeySequence::Save,
               onDocument(&Document::saveDocument));
    addCommand(m_fileMenu, QStringLiteral("saveDocumentAs"), tr("Save &As…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
               onDocument(&Document::saveDocumentAs));
    addCommand(m_fileMenu, QStringLiteral("revertDocumentToSaved"), tr("Re&vert"), {},
               onDocument(&Document::revertDocumentToSaved));
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("runPageLayout"), tr("Page Set&up…"), {}, onDocument(&Document::runPageLayout));
    addCommand(m_fileMenu, QStringLiteral("printDocument"), tr("&Print…"), QKeySequence::Print,
               onDocument(&Document::printDocument));
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("terminate"), tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [controller] {
        if (DocumentController* c = controller())
            c->terminate();
    });

    m_editMenu = menuBar()->addMenu(tr("&Edit"));
    addCommand(m_editMenu, QStringLiteral("undo"), tr("&Undo"), QKeySequence::Undo, [this] {
        if (m_document)
            m_document->undoManager()->undo();
    });
    addCommand(m_editMenu, QStringLiteral("redo"), tr("&Redo"), QKeySequence::Redo, [this] {
        if (m_document)
            m_document->undoManager()->redo();
    });
    m_editMenu->addSeparator();
    const QString editTexts[] = {tr("Cu&t"), tr("&Copy"), tr("&Paste"), tr("Select &All")};
    const QKeySequence editKeys[] = {QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste, QKeySequence::SelectAll};
    for (int i = 0; i < 4; ++i) {
        if (i == 3)
            m_editMenu->addSeparator();
        const char* slot = kEditCommands[i].slot;
        addCommand(m_editMenu, QLatin1String(kEditCommands[i].name), editTexts[i], editKeys[i],
                   [this, slot] { runEditCommand(slot); });
    }

    m_windowMenu = menuBar()->addMenu(tr("&Window"));
    addCommand(m_windowMenu, QStringLiteral("performMiniaturize"), tr("&Minimize"), QKeySequence(Qt::CTRL | Qt::Key_M),
               [this] { showMinimized(); });
    m_windowMenu->addSeparator();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &DocumentWindow::fillWindowMenu);

    m_helpMenu = menuBar()->addMenu(tr("&Help"));

    for (QMenu* menu : {m_fileMenu, m_editMenu, m_windowMenu, m_helpMenu})
        connect(menu, &QMenu::aboutToShow, this, &DocumentWindow::validateCommands);
}

QAction* DocumentWindow::addCommand(QMenu* menu, const QString& name, const QString& text, const QKeySequence& shortcut,
                                    std::function<void()> handler)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    m_commands.insert(name, action);
    connect(action, &QAction::triggered, this, [this, action, handler = std::move(handler)] {
        // Checked again: the state may have changed since the menu was validated.
        if (isEnabledNow(action))
            handler();
        else
            action->setEnabled(false);
    });
    action->setEnabled(isEnabledNow(action));
    return action;
}

bool DocumentWindow::perform(const QString& name)
{
    QAction* action = command(name);
    if (!action || !isEnabledNow(action))
        return false;
    action->setEnabled(true);
    action->trigger();
    return true;
}

bool DocumentWindow::isEnabledNow(QAction* action)
{
    if (!m_document || m_document->isClosed())
        return false;
    if (editCommand(action->objectName()) && !editCommandApplies(action->objectName()))
        return false;
    return m_document->validateMenuItem(action);
}

bool DocumentWindow::editCommandApplies(const QString& name) const
{
    const EditCommand* edit = editCommand(name);
    QWidget* focus = focusWidget();
    return edit && focus && focus->metaObject()->indexOfSlot(QByteArray(edit->slot) + "()") >= 0;
}

void DocumentWindow::runEditCommand(const char* slot)
{
    if (QWidget* focus = focusWidget())
        QMetaObject::invokeMethod(focus, slot);
}

void DocumentWindow::validateCommands()
{
    for (QAction* action : std::as_const(m_commands))
        action->setEnabled(isEnabledNow(action));
    if (m_document) {
        const QUndoStack* undo = m_document->undoManager();
        if (QAction* action = command(QStringLiteral("undo")))
            action->setText(undo->undoText().isEmpty() ? tr("&Undo") : tr("&Undo %1").arg(undo->undoText()));
        if (QAction* action = command(QStringLiteral("redo")))
            action->setText(undo->redoText().isEmpty() ? tr("&Redo") : tr("&Redo %1").arg(undo->redoText()));
    }
    m_helpMenu->menuAction()->setVisible(!m_helpMenu->isEmpty());
}

void DocumentWindow::fillWindowMenu()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    DocumentController* controller = m_document ? m_document->documentController() : nullptr;
    if (!controller)
        return;
    for (Document* document : controller->documents()) {
        // A name is shown as it is: an "&" in it is no mnemonic.
        auto* action = m_windowMenu->addAction(QString(document->displayName()).replace(u'&', QStringLiteral("&&")));
        action->setCheckable(true);
        action->setChecked(document == m_document);
        QPointer<Document> target(document);
        connect(action, &QAction::triggered, this, [target] {
            if (target)
                target->showWindows();
        });
        m_windowListActions.append(action);
    }
}

void DocumentWindow::updateTitle()
{
    if (!m_document)
        return;
    // Every call writes the title to the window system again, even unchanged
    // (three properties on X11): an import that marks each of its records
    // changed would flood the window manager. Only what differs goes out.
    const QString title = m_document->displayName() + QStringLiteral("[*]");
    if (windowTitle() != title)
        setWindowTitle(title);
    const bool edited = m_document->isDocumentEdited();
    if (isWindowModified() != edited)
        setWindowModified(edited);
    const QString path = m_document->fileURL().toLocalFile();
    if (windowFilePath() != path)
        setWindowFilePath(path);
}

QDialog* DocumentWindow::attachedSheet() const
{
    return Sheet::attachedSheet(const_cast<DocumentWindow*>(this));
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    // The document decides: it may ask about unsaved changes first, and closes the window itself.
    if (m_document && !m_document->isClosed()) {
        event->ignore();
        m_document->performClose();
        return;
    }
    QMainWindow::closeEvent(event);
}
