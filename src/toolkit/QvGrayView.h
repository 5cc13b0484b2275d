#pragma once
#include <QWidget>

// A transparent container: it draws nothing, so what lies behind it shows.
// angle and isRadial are kept for the interface files that set them; nothing
// draws with them.
class QvGrayView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(float angle READ angle WRITE setAngle)
    Q_PROPERTY(bool isRadial READ isRadial WRITE setIsRadial)
public:
    explicit QvGrayView(QWidget* parent = nullptr);

    float angle() const { return m_angle; }
    void setAngle(float angle) { m_angle = angle; }
    bool isRadial() const { return m_isRadial; }
    void setIsRadial(bool radial) { m_isRadial = radial; }

private:
    float m_angle = 90.0f;
    bool m_isRadial = false;
};
