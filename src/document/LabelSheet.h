#pragma once
#include <QDialog>

#include <memory>

class QLineEdit;
class QPushButton;

namespace Ui {
class LabelSheet;
}

// The sheet in which the captions of a document's fields are edited. Its
// fields are bound to the document's caption dictionary; the document answers
// its buttons.
class LabelSheet : public QDialog {
    Q_OBJECT
public:
    explicit LabelSheet(QWidget* parent = nullptr);
    ~LabelSheet() override;

    // The field of a record key's caption, or null.
    QLineEdit* captionField(const QString& key) const;
    QPushButton* restoreButton() const;
    QPushButton* doneButton() const;

private:
    std::unique_ptr<Ui::LabelSheet> m_ui;
};
