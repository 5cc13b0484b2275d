#pragma once
#include <QPointer>
#include <QScrollArea>

// A scroll area that keeps its vertical position in step with another scroll
// area (its partner); the horizontal position stays its own. Following goes one
// way: two areas follow each other only when each is given the other.
//
// The partner is held weakly: when it is destroyed, following ends. Qt's
// content views all have their origin at the top, so the partner's vertical
// position is taken as it is (the reversed case of mixed origins cannot occur).
class SynchroScrollView : public QScrollArea
{
    Q_OBJECT
public:
    explicit SynchroScrollView(QWidget* parent = nullptr);
    ~SynchroScrollView() override;

    // Starts following partner, ending any earlier following; a null partner
    // only ends it.
    void setSynchronizedScrollView(QAbstractScrollArea* partner);
    QAbstractScrollArea* synchronizedScrollView() const { return m_partner; }
    void stopSynchronizing();

private:
    void synchronizedViewContentBoundsDidChange();

    QPointer<QAbstractScrollArea> m_partner;
    QMetaObject::Connection m_scrolled;
};
