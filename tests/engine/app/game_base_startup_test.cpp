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

// An X server that takes connections and never answers: a socket listening on loopback.
class SilentDisplay {
public:
    SilentDisplay() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        for (int number = 100; fd_ >= 0 && number < 1000 && name_.empty(); ++number) {
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(uint16_t(6000 + number));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd_, 8) == 0)
                name_ = "127.0.0.1:" + std::to_string(number);
        }
    }
    ~SilentDisplay() {
        if (fd_ >= 0) close(fd_);
    }
    const std::string& name() const { return name_; }

private:
    int fd_;
    std::string name_;
};

using test_support::ScopedEnv;

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
            test_support::DisplayWatchdog watchdog("opening the window");
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
            test_support::DisplayWatchdog watchdog("opening the window");
            if (!test_support::start_sdl_video()) std::exit(3);
            open_game();
        },
        ::testing::ExitedWithCode(0), "Instance initialized.");
}

// A display suite whose X server stops answering is ended by the watchdog, with the stacks
// showing where it waits, instead of hanging until the runner's time-out.
TEST_F(StartupTest, WatchdogEndsAWaitOnASilentDisplay) {
    SilentDisplay silent;
    ASSERT_FALSE(silent.name().empty());
    EXPECT_EXIT(
        {
            setenv("DISPLAY", silent.name().c_str(), 1);
            setenv("BRAWL_DISPLAY_WATCHDOG_SECONDS", "0.5", 1);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            test_support::DisplayWatchdog watchdog("opening the display");
            SDL_Init(SDL_INIT_VIDEO);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1),
        "opening the display has not finished.*main.*XOpenDisplay.*FAILED: Display watchdog");
}

// Without a reachable X display the programs end with a failure and leave the terminal alone:
// nothing of a text-mode video driver's escape sequences. With none at all they say so in one
// line.
TEST(ProgramStartTest, NoDisplayEndsWithoutTouchingTheTerminal) {
    const struct {
        const char* program;
        const char* display;
    } cases[] = {{"brawl_client", nullptr}, {"fxforge", nullptr}, {"brawl_client", ":65000"},
                 {"fxforge", ":65000"}};
    ScopedEnv driver("SDL_VIDEODRIVER", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " with DISPLAY " + (c.display ? c.display : "unset"));
        ScopedEnv display("DISPLAY", c.display);
        process_test::ChildProcess child({std::string(BRAWL_RUN_DIR) + "/" + c.program});
        const std::optional<int> code = child.wait_exit(60000);
        ASSERT_TRUE(code.has_value());
        EXPECT_NE(*code, 0);
        EXPECT_EQ(child.output().find('\033'), std::string::npos) << child.output();
        if (!c.display) {
            EXPECT_EQ(child.output().find('\n'), child.output().size() - 1) << child.output();
            EXPECT_NE(child.output().find("DISPLAY"), std::string::npos) << child.output();
        }
    }
}
