#pragma once
#include <QPointer>
#include <QWidget>

class ArrayController;

// The badge of the selected record's category in the record pane. Its
// context menu and the Copy shortcut put the category's name on the
// clipboard.
//
// Mapping: `myArrayController` is setMyArrayController(controller);
// `CopyInClipboard:` is CopyInClipboard().
class CategoryView : public QWidget {
    Q_OBJECT
public:
    explicit CategoryView(QWidget* parent = nullptr);

    ArrayController* myArrayController() const { return m_myArrayController; }
    void setMyArrayController(ArrayController* controller);

    // The name the badge shows, or a null string with no selection.
    QString shownCategoryName() const;
    // Copies the selected record's category name; with no selection the clipboard stays as it was.
    void CopyInClipboard();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QPointer<ArrayController> m_myArrayController;
};
