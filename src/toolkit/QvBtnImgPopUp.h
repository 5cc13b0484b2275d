#pragma once
#include <QPushButton>

// A button that fires as soon as the left mouse button goes down, without the
// usual press-and-release tracking (it opens pop-ups at once).
class QvBtnImgPopUp : public QPushButton
{
    Q_OBJECT
public:
    explicit QvBtnImgPopUp(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
