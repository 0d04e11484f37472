// The desktop's top-level windows, as a program walks them: one after the
// other from the topmost down, each with its visibility, the process that
// made it, its title and its class name.
//
// On X11 the top-level windows are the clients that the window manager lists
// (_NET_CLIENT_LIST_STACKING) or, with no window manager, the root window's
// children; their process is their _NET_WM_PID, their title _NET_WM_NAME or
// WM_NAME, their class the class part of WM_CLASS. On any other window system
// only the program's own top-level windows can be seen.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace shorturl {

// A window: on X11 its window id. 0 is no window.
using WindowHandle = std::uintptr_t;

// The top-level window below `after` in the stacking order, topmost first;
// from 0 the topmost one. 0 after the last window, when `after` is no longer
// a top-level window, and when no window system runs. Walking from 0 takes a
// fresh look at the desktop; later steps walk that same list.
WindowHandle NextTopLevelWindow(WindowHandle after);

// True while `window` exists.
bool IsWindowAlive(WindowHandle window);
// True when `window` is shown on the screen (mapped, with its ancestors).
bool IsWindowShown(WindowHandle window);
// The id of the process that made `window`, or 0 when it does not say.
std::int64_t WindowProcessId(WindowHandle window);
// The window's title, converted to Text; the empty Text when it has none.
Text WindowTitle(WindowHandle window);
// The window's class name, converted to Text; the empty Text when it has none.
Text WindowClassName(WindowHandle window);

// Dispatches the program's events as they come for up to `max_ms`
// milliseconds, then returns; sleeps when no window system runs. For loops
// that wait for a window to appear without spinning.
void WaitForWindowEvents(int max_ms);

}  // namespace shorturl
