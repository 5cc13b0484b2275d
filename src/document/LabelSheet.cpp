#include "document/LabelSheet.h"

#include "ui_LabelSheet.h"

LabelSheet::LabelSheet(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::LabelSheet>())
{
    m_ui->setupUi(this);
    QFont title = m_ui->titleLabel->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.2);
    m_ui->titleLabel->setFont(title);
    m_ui->infoLabel->setForegroundRole(QPalette::PlaceholderText);
}

LabelSheet::~LabelSheet() = default;

QLineEdit* LabelSheet::captionField(const QString& key) const
{
    return findChild<QLineEdit*>(QStringLiteral("caption_") + key);
}

QPushButton* LabelSheet::restoreButton() const { return m_ui->restoreButton; }
QPushButton* LabelSheet::doneButton() const { return m_ui->doneButton; }
