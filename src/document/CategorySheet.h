#pragma once
#include <QColorDialog>
#include <QDialog>
#include <QPointer>

#include <memory>

class QPushButton;
class QTableView;

namespace Ui {
class CategorySheet;
}

// The sheet in which the categories of a document are named, coloured, added
// and removed. It holds no logic: the document answers its buttons, and the
// table shows the category controller.
class CategorySheet : public QDialog {
    Q_OBJECT
public:
    explicit CategorySheet(QWidget* parent = nullptr);
    ~CategorySheet() override;

    QTableView* categoryTable() const;
    QPushButton* addButton() const;
    QPushButton* removeButton() const;
    QPushButton* doneButton() const;

    // The colour chooser while one is open on the sheet.
    QColorDialog* colorDialog() const { return m_colorDialog; }
    void setColorDialog(QColorDialog* dialog) { m_colorDialog = dialog; }

private:
    std::unique_ptr<Ui::CategorySheet> m_ui;
    QPointer<QColorDialog> m_colorDialog;
};
