#include "toolkit/QvHSplitViewDelegate.h"

// Unlike its side-by-side twin, resizing leaves the frames as computed.
QvHSplitViewDelegate::QvHSplitViewDelegate()
    : QvTwoPaneSplitDelegate(Qt::Vertical, false)
{
}
