#pragma once
// Keeps the toolkit's idea of which window has the keyboard in step with the
// X display's.
//
// The toolkit learns where the keyboard is from focus events alone. A sheet
// that is taken down before the window manager has finished showing it (an
// import of a few rows ends its progress sheet at once) may still be handed
// the focus afterwards, and the toolkit then believes that the hidden sheet
// has the keyboard while the display gave it back to the document window:
// every key, shortcuts included, reaches nothing until the user activates
// another window. Whenever the toolkit's keyboard window is hidden or gone,
// the display is asked where its focus is; when that is a visible window of
// ours that the toolkit does not see as focused, the toolkit is told so by
// the focus event it missed.
#include <QWindow>

namespace KeyboardFocus {

// Once the application object exists. Off an X display it does nothing.
void keepInStepWithDisplay();

// The native window that has the display's keyboard focus: 0 for none, for
// the root or the pointer's window, and off an X display.
WId displayFocus();

} // namespace KeyboardFocus
