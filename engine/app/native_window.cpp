#include "engine/app/native_window.h"

#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>

namespace native_window {

bool query_handle(unsigned long* handle) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    int result = SDL_GetWMInfo(&info);
    if (result < 0) return false;
    *handle = 0;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (result > 0 && info.subsystem == SDL_SYSWM_X11) *handle = info.info.x11.wmwindow;
#endif
    return true;
}

void resize(int width, int height) {
    if (width <= 0 || height <= 0) return;
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) return;
    // X places a window by its own origin, so resizing keeps the position; the drawing window
    // sits inside the managed one and follows it.
    info.info.x11.lock_func();
    XResizeWindow(info.info.x11.display, info.info.x11.wmwindow, unsigned(width), unsigned(height));
    XResizeWindow(info.info.x11.display, info.info.x11.window, unsigned(width), unsigned(height));
    XFlush(info.info.x11.display);
    info.info.x11.unlock_func();
#else
    (void)width;
    (void)height;
#endif
}

}  // namespace native_window
