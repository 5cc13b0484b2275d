#include "toolkit/SynchroScrollView.h"

#include <QScrollBar>

SynchroScrollView::SynchroScrollView(QWidget* parent)
    : QScrollArea(parent)
{
}

SynchroScrollView::~SynchroScrollView()
{
    stopSynchronizing();
}

void SynchroScrollView::setSynchronizedScrollView(QAbstractScrollArea* partner)
{
    stopSynchronizing();
    if (!partner || partner == this)
        return;
    m_partner = partner;
    // The connection belongs to this view: it ends with either scroll bar.
    m_scrolled = connect(partner->verticalScrollBar(), &QScrollBar::valueChanged, this,
                         &SynchroScrollView::synchronizedViewContentBoundsDidChange);
}

void SynchroScrollView::stopSynchronizing()
{
    if (m_scrolled)
        disconnect(m_scrolled);
    m_scrolled = {};
    m_partner = nullptr;
}

void SynchroScrollView::synchronizedViewContentBoundsDidChange()
{
    if (!m_partner)
        return;
    // Equal positions end the echo between two areas that follow each other.
    const int partnerY = m_partner->verticalScrollBar()->value();
    if (verticalScrollBar()->value() != partnerY)
        verticalScrollBar()->setValue(partnerY);
}
