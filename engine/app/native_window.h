#pragma once
// The window-system side of the framework's window. Kept apart because the X11 headers that
// SDL_syswm.h pulls in define macros (None, Status, Bool) that clash with engine names.

namespace native_window {

// The native handle of SDL's window; false when SDL reports an error (SDL_GetWMInfo < 0).
bool query_handle(unsigned long* handle);

// Gives the window's drawing area the new size, keeping its position.
void resize(int width, int height);

}  // namespace native_window
