#pragma once
// The widgets of a contacts document's window, shared by the document's
// source files. Only MyDocument includes this.

#include "document/MyDocument.h"
#include "document/TableSelectionLink.h"
#include "ui_MyDocument.h"

#include <QPointer>

class CategorySheet;
class LabelSheet;
class MyTableDelegate;
class QComboBox;
class QLineEdit;
class QMenu;
class QTableView;
class QvSplitView;
class RecordTableModel;

struct MyDocument::Window {
    QPointer<DocumentWindow> window;
    Ui::MyDocument ui;
    QPointer<QvSplitView> splitView;
    RecordTableModel* recordModel = nullptr;
    MyTableDelegate* tableDelegate = nullptr;
    QPointer<QComboBox> actionPopup;
    QPointer<QLineEdit> searchField;
    QPointer<QMenu> actionMenu;
    QPointer<QMenu> categoryMenu;
    QPointer<QAction> categorySuperMenuItem;
    QPointer<QAction> showAllAction;
    QList<QPointer<QAction>> categoryActions;
    QPointer<CategorySheet> categorySheet;
    QPointer<LabelSheet> labelSheet;
    bool syncingSelection = false;
    // The record the pane shows: another one is shown from its top.
    std::weak_ptr<Dictionary> shownRecord;

    // Widgets of the interface file live as long as the window.
    bool alive() const { return !window.isNull(); }
};
