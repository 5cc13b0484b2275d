#include "document/LabelSheet.h"

#include "document/DocumentStyle.h"
#include "platform/WindowSize.h"
#include "ui_LabelSheet.h"

LabelSheet::LabelSheet(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::LabelSheet>())
{
    m_ui->setupUi(this);
    DocumentStyle::setHeading(m_ui->titleLabel, 1.2);
    DocumentStyle::setSecondary(m_ui->infoLabel);
    WindowSize::fitToLayout(this);
}

LabelSheet::~LabelSheet() = default;

QLineEdit* LabelSheet::captionField(const QString& key) const
{
    return findChild<QLineEdit*>(QStringLiteral("caption_") + key);
}

QPushButton* LabelSheet::restoreButton() const { return m_ui->restoreButton; }
QPushButton* LabelSheet::doneButton() const { return m_ui->doneButton; }
