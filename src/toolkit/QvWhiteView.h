#pragma once
#include <QWidget>

// A white panel with a thin gray frame.
class QvWhiteView : public QWidget
{
    Q_OBJECT
public:
    explicit QvWhiteView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
