#pragma once
#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class Document;
class QDialog;
class QMenu;
class QToolBar;

// The window of a document: the menu bar (File, Edit, Window, Help), a
// toolbar, the sheets attached to it, and the validation of its commands.
//
// Every command is a QAction whose objectName() is the action's name (the
// selector without its colon: "saveDocument", "undo", "lockDocument"). Before
// a menu shows, whenever the document's state changes and again before a
// command runs, the window asks the document (Document::validateMenuItem)
// whether the command is enabled; a disabled command never runs, also not
// from its shortcut.
//
// Standard commands and their names: File: newDocument, openDocument,
// performClose, saveDocument, saveDocumentAs, revertDocumentToSaved,
// runPageLayout, printDocument, terminate. Edit: undo, redo, cut, copy,
// paste, selectAll. Window: performMiniaturize.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DocumentWindow(Document* document, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    Document* document() const { return m_document; }

    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    QMenu* windowMenu() const { return m_windowMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    QToolBar* toolbar() const { return m_toolbar; }

    // Adds a command to menu (or to no menu when null) that runs handler when
    // the document allows it.
    QAction* addCommand(QMenu* menu, const QString& name, const QString& text, const QKeySequence& shortcut,
                        std::function<void()> handler);
    QAction* command(const QString& name) const { return m_commands.value(name); }
    // Asks the document about every command now.
    void validateCommands();
    // Runs a command by name as its menu item would; false when it is unknown or disabled.
    bool perform(const QString& name);

    QDialog* attachedSheet() const;

    // Application-wide commands (About, Preferences, ...) that every document
    // window carries; the function runs for each window as it is built.
    static void setApplicationCommands(std::function<void(DocumentWindow&)> addCommands);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void updateTitle();
    bool isEnabledNow(QAction* action);
    void runEditCommand(const char* slot);
    bool editCommandApplies(const QString& name) const;
    void fillWindowMenu();

    QPointer<Document> m_document;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QToolBar* m_toolbar = nullptr;
    QHash<QString, QAction*> m_commands;
    QList<QAction*> m_windowListActions;
};
