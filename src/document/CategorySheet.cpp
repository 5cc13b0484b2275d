#include "document/CategorySheet.h"

#include "document/DocumentStyle.h"
#include "platform/WindowSize.h"
#include "ui_CategorySheet.h"

CategorySheet::CategorySheet(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CategorySheet>())
{
    m_ui->setupUi(this);
    DocumentStyle::setHeading(m_ui->titleLabel, 1.2);
    DocumentStyle::setSecondary(m_ui->infoLabel);
    WindowSize::fitToLayout(this);
}

CategorySheet::~CategorySheet() = default;

QTableView* CategorySheet::categoryTable() const { return m_ui->categoryTable; }
QPushButton* CategorySheet::addButton() const { return m_ui->addButton; }
QPushButton* CategorySheet::removeButton() const { return m_ui->removeButton; }
QPushButton* CategorySheet::doneButton() const { return m_ui->doneButton; }
