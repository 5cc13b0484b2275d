#pragma once

class QWidget;

// Keeps a window at least as large as its layout needs. Qt gives a window
// the minimum size of its layout, but wrapped text counts there as one line:
// a window with a few lines of explanation then opens, or can be made, too
// short, and its fields are squashed below the height of their text.
class WindowSize {
public:
    // From now on, whenever the window is shown or its layout changes: it is
    // at least as wide as its layout needs and as it was when this was
    // called, and as tall as the layout needs at that width, wrapped text
    // included; that size is its minimum (narrower, wrapped text would need
    // more lines than the minimum allows). It may grow beyond it.
    static void fitToLayout(QWidget* window);
};
