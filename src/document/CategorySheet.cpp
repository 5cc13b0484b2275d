#include "document/CategorySheet.h"

#include "ui_CategorySheet.h"

#include <QFont>

CategorySheet::CategorySheet(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CategorySheet>())
{
    m_ui->setupUi(this);
    QFont title = m_ui->titleLabel->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.2);
    m_ui->titleLabel->setFont(title);
    m_ui->infoLabel->setForegroundRole(QPalette::PlaceholderText);
}

CategorySheet::~CategorySheet() = default;

QTableView* CategorySheet::categoryTable() const { return m_ui->categoryTable; }
QPushButton* CategorySheet::addButton() const { return m_ui->addButton; }
QPushButton* CategorySheet::removeButton() const { return m_ui->removeButton; }
QPushButton* CategorySheet::doneButton() const { return m_ui->doneButton; }
