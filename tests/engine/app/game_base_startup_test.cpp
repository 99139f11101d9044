// Start-up failures of the framework end the process with a report, before anything is called
// through a missing window, context or GL entry point. Each case runs in its own process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <iostream>
#include <optional>

#include "engine/app/game_base.h"
#include "support/display_support.h"
#include "support/media_test_support.h"
#include "support/process_test_support.h"
#include "support/test_support.h"

namespace {

struct StartupCase {
    const char* variable;  // set in the child before start-up; null sets nothing
    const char* value;
    bool on_x;  // starts SDL video on the X display first, under the watchdog
    int exit_code;
    const char* report;
};

struct StartupTest : ::testing::Test {
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// Runs in the child; the log goes to standard error, where the death test looks for it.
void open_game(const StartupCase& c) {
    if (c.variable) setenv(c.variable, c.value, 1);
    std::optional<test_support::DisplayWatchdog> watchdog;
    if (c.on_x) {
        watchdog.emplace("opening the window");
        if (!test_support::start_sdl_video()) std::exit(3);
    }
    test_support::LogCapture log;
    log_set_output_for_tests(&std::cerr);
    CGameBase game(160, 120);
    std::exit(0);  // start-up went through
}

}  // namespace

// SDL's dummy video driver starts but has no OpenGL, so SDL_SetVideoMode answers null. Mesa
// reports OpenGL 1.0 when told to, and GLEW refuses to start on it (no framebuffer objects, no
// shaders): start-up must stop before calling null entry points. The same display without the
// override opens, so the failures come from what each case changes, not from the machine.
TEST_F(StartupTest, FailuresAreReportedAndEndStartUp) {
    const StartupCase cases[] = {
        {"SDL_VIDEODRIVER", "dummy", false, 1, "FATAL ERROR in class CGameBase: Unable to set video mode: "},
        {"SDL_VIDEODRIVER", "no_such_driver", false, 1, "FATAL ERROR in class CGameBase: Unable to initialize SDL: "},
        {"MESA_GL_VERSION_OVERRIDE", "1.0", true, 1,
         "ERROR in class CGameBase: Failed to initialize GLEW, won't be able to use shaders. "
         "Error: .*\n.*FATAL ERROR in class CGameBase: Framebuffer objects are not available, "
         "can't create the render target."},
        {nullptr, nullptr, true, 0, "Instance initialized."},
    };
    const bool have_x = std::getenv("DISPLAY") != nullptr;
    for (const StartupCase& c : cases) {
        if (c.on_x && !have_x) continue;
        SCOPED_TRACE(c.value ? c.value : "no override");
        EXPECT_EXIT(open_game(c), ::testing::ExitedWithCode(c.exit_code), c.report);
    }
    if (!have_x) GTEST_SKIP() << "the OpenGL cases need an X display";
}

// A display suite whose X server stops answering is ended by the watchdog, with the stacks
// showing where it waits, instead of hanging until the runner's time-out.
TEST_F(StartupTest, WatchdogEndsAWaitOnASilentDisplay) {
    // An X server that takes connections and never answers: a socket listening on loopback.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    std::string display;
    for (int number = 100; fd >= 0 && number < 1000 && display.empty(); ++number) {
        sockaddr_in address = {AF_INET, htons(uint16_t(6000 + number)), {htonl(INADDR_LOOPBACK)}, {}};
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd, 8) == 0)
            display = "127.0.0.1:" + std::to_string(number);
    }
    ASSERT_FALSE(display.empty());
    EXPECT_EXIT(
        {
            setenv("DISPLAY", display.c_str(), 1);
            setenv("BRAWL_DISPLAY_WATCHDOG_SECONDS", "0.5", 1);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            test_support::DisplayWatchdog watchdog("opening the display");
            SDL_Init(SDL_INIT_VIDEO);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1),
        "opening the display has not finished.*main.*XOpenDisplay.*FAILED: Display watchdog");
    close(fd);
}

// Without a reachable X display the programs fail, name it and leave the terminal alone (no
// text-mode driver's escape sequences); with none at all they say so in one line.
TEST(ProgramStartTest, NoDisplayEndsWithoutTouchingTheTerminal) {
    test_support::ScopedEnv driver("SDL_VIDEODRIVER", nullptr);
    for (const char* program : {"brawl_client", "fxforge"})
        for (const char* display : {static_cast<const char*>(nullptr), ":65000"}) {
            SCOPED_TRACE(std::string(program) + " with DISPLAY " + (display ? display : "unset"));
            test_support::ScopedEnv display_env("DISPLAY", display);
            process_test::ChildProcess child({std::string(BRAWL_RUN_DIR) + "/" + program});
            ASSERT_NE(child.wait_exit(60000).value_or(0), 0) << "no failing exit within 60 s";
            const std::string& out = child.output();
            EXPECT_EQ(out.find('\033'), std::string::npos) << out;
            EXPECT_NE(out.find(display ? display : "DISPLAY"), std::string::npos) << out;
            if (display) continue;
            EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
        }
}
