// Start-up failures of the framework end the process with a report, before anything is called
// through a missing window, context or GL entry point. Each case runs in its own process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "engine/app/game_base.h"
#include "support/display_support.h"
#include "support/media_test_support.h"

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    // Opens the game with the log on standard error, where the death test looks for it.
    static void open_game() {
        test_support::LogCapture log;
        log_set_output_for_tests(&std::cerr);
        CGameBase game(160, 120);
        std::exit(0);  // start-up went through
    }
};

}  // namespace

// SDL's dummy video driver starts, but has no OpenGL: SDL_SetVideoMode answers null.
TEST_F(StartupTest, VideoModeFailureIsReported) {
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            open_game();
        },
        ::testing::ExitedWithCode(1),
        "FATAL ERROR in class CGameBase: Unable to set video mode: ");
}

TEST_F(StartupTest, SdlFailureIsReported) {
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "no_such_driver", 1);
            open_game();
        },
        ::testing::ExitedWithCode(1),
        "FATAL ERROR in class CGameBase: Unable to initialize SDL: ");
}

// Mesa reports OpenGL 1.0 when told to, and GLEW refuses to start on it: no framebuffer
// objects, no shaders. The framework must stop there instead of calling null entry points.
TEST_F(StartupTest, GlewFailureEndsStartUp) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    EXPECT_EXIT(
        {
            setenv("MESA_GL_VERSION_OVERRIDE", "1.0", 1);
            if (!test_support::start_sdl_video()) std::exit(3);
            open_game();
        },
        ::testing::ExitedWithCode(1),
        "ERROR in class CGameBase: Failed to initialize GLEW, won't be able to use shaders. "
        "Error: .*\n.*FATAL ERROR in class CGameBase: Framebuffer objects are not available, "
        "can't create the render target.");
}

// The same display without the override opens: the failures above come from what each case
// changes, not from the machine.
TEST_F(StartupTest, OpensNormally) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    EXPECT_EXIT(
        {
            if (!test_support::start_sdl_video()) std::exit(3);
            open_game();
        },
        ::testing::ExitedWithCode(0), "Instance initialized.");
}
