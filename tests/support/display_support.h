#pragma once
// Shared by the display suites: opening the X display can fail for a moment when the server is
// busy accepting other clients, which is not what these suites test.
#include <SDL/SDL.h>

#include <chrono>
#include <thread>

namespace test_support {

// Starts SDL's video subsystem, retrying briefly; the framework's own SDL_Init then finds it up.
inline bool start_sdl_video() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace test_support
