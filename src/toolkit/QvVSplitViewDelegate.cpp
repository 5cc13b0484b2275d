#include "toolkit/QvVSplitViewDelegate.h"

// Resizing ends with the split view filling itself again.
QvVSplitViewDelegate::QvVSplitViewDelegate()
    : QvTwoPaneSplitDelegate(Qt::Horizontal, true)
{
}
