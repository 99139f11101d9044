// The framework's window, frame loop and event dispatch, with real GL under Xvfb.
#include <gtest/gtest.h>

#include <SDL/SDL_mixer.h>

#include "engine/app/fps_control.h"
#include "engine/audio/audio.h"
#include "engine/gfx/texture_manager.h"
#include "support/display_game.h"
#include "support/media_test_support.h"

using namespace display;

namespace {

class GameBaseTest : public ::testing::Test {
protected:
    void SetUp() override { game().reset_probe(); }
    void TearDown() override { game().reset_probe(); }

    static SDL_Event key_event(Uint8 type, SDLKey key) {
        SDL_Event e = {};
        e.type = type;
        e.key.type = type;
        e.key.keysym.sym = key;
        return e;
    }
    static SDL_Event axis_event(Uint8 stick, Uint8 axis, Sint16 value) {
        SDL_Event e = {};
        e.type = SDL_JOYAXISMOTION;
        e.jaxis.type = SDL_JOYAXISMOTION;
        e.jaxis.which = stick;
        e.jaxis.axis = axis;
        e.jaxis.value = value;
        return e;
    }
};

}  // namespace

TEST_F(GameBaseTest, WindowAndRenderTargetAreUp) {
    EXPECT_EQ(CGameBase::window_width, kWidth);
    EXPECT_EQ(CGameBase::window_height, kHeight);
    EXPECT_FALSE(CGameBase::is_fullscreen);
    EXPECT_NE(CGameBase::window_handle, 0ul);
    ASSERT_NE(game().screen, nullptr);
    EXPECT_NE(game().framebuffer, 0u);
    EXPECT_EQ(game().key_down.size(), std::size_t(SDLK_LAST));
    glBindFramebuffer(GL_FRAMEBUFFER, game().framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, "Vendrake Engine App");
}

TEST_F(GameBaseTest, FrameLoopOrderAndTimeSteps) {
    game().fps_control->limit_enabled = true;
    game().run_some_frames(3);
    ASSERT_EQ(game().update_dts.size(), 3u);
    EXPECT_EQ(game().renders, 3);
    EXPECT_EQ(game().calls, (std::vector<std::string>{"update", "render", "update", "render", "update", "render"}));
    // Each later step is the limited duration of the frame before: about 1/60 s.
    EXPECT_GE(game().update_dts[1], 0.015f);
    EXPECT_GE(game().update_dts[2], 0.015f);
    EXPECT_LT(game().update_dts[2], 0.5f);
}

// The environment ran the game once right after opening the window, with a start-up hook that
// takes 50 ms: the first update gets 0, the second the time since the limiter was made.
TEST_F(GameBaseTest, RunCallsTheHooksAroundTheFirstFrames) {
    const StartupRecord& first = startup_record();
    std::vector<std::string> calls;  // focus changes come from the window system at any time
    for (const std::string& call : first.calls) {
        if (call != "active") calls.push_back(call);
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "update", "render", "update", "render", "shutdown"}));
    ASSERT_EQ(first.dts.size(), 2u);
    EXPECT_EQ(first.dts[0], 0.0f);
    EXPECT_GE(first.dts[1], 0.05f);  // the start-up hook counts into the first frame
    std::size_t at = 0;
    for (const char* line : {"Starting up game...", "Game running.", "Game is closing...", "Game closed."}) {
        std::size_t found = first.log.find(std::string("STATUS in class display::ProbeGame: ") + line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found;
    }
}

TEST_F(GameBaseTest, QuitDuringTheEventPassStillFinishesThatFrame) {
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    game().quit_requested = false;
    game().frames_left = 100;
    game().run_frames();
    EXPECT_TRUE(game().quit_requested);
    EXPECT_EQ(game().calls, (std::vector<std::string>{"update", "render"}));
}

TEST_F(GameBaseTest, KeyPressRepeatAndRelease) {
    game().dispatch_event(key_event(SDL_KEYDOWN, SDLK_a));
    EXPECT_TRUE(game().key_down[SDLK_a]);
    game().dispatch_event(key_event(SDL_KEYDOWN, SDLK_a));  // key repeat: no key-up between
    game().dispatch_event(key_event(SDL_KEYDOWN, SDLK_a));
    game().dispatch_event(key_event(SDL_KEYUP, SDLK_a));
    EXPECT_FALSE(game().key_down[SDLK_a]);
    game().dispatch_event(key_event(SDL_KEYDOWN, SDLK_a));
    std::string a = std::to_string(int(SDLK_a));
    EXPECT_EQ(game().calls, (std::vector<std::string>{"pressed " + a, "repeat " + a, "repeat " + a, "released " + a,
                                                      "pressed " + a}));
    game().dispatch_event(key_event(SDL_KEYUP, SDLK_a));
}

TEST_F(GameBaseTest, JoystickAxisCrossings) {
    game().dispatch_event(axis_event(0, 1, 12000));
    game().dispatch_event(axis_event(0, 1, -15000));
    game().dispatch_event(axis_event(0, 1, 0));
    game().dispatch_event(axis_event(0, 1, -10000));
    game().dispatch_event(axis_event(0, 1, 9999));
    EXPECT_EQ(game().calls,
              (std::vector<std::string>{"axis pressed +", "axis 12000", "axis -15000", "axis released -", "axis 0",
                                        "axis pressed -", "axis -10000", "axis released -", "axis 9999"}));
}

// The framework opens no joystick, so its table starts empty: an event of a joystick or an axis
// it has no row for must not read or write outside the table.
TEST_F(GameBaseTest, JoystickWithoutTableEntry) {
    CGameBase::joystick_axes.clear();
    game().dispatch_event(axis_event(7, 200, -32768));
    game().dispatch_event(axis_event(7, 200, 0));
    EXPECT_EQ(game().calls, (std::vector<std::string>{"axis pressed -", "axis -32768", "axis released -", "axis 0"}));
    ASSERT_GE(CGameBase::joystick_axes.size(), 8u);
    ASSERT_GE(CGameBase::joystick_axes[7].size(), 201u);
    EXPECT_EQ(CGameBase::joystick_axes[7][200], 0);
}

TEST_F(GameBaseTest, OtherEventsReachTheirHooks) {
    SDL_Event e = {};
    for (Uint8 type : {Uint8(SDL_ACTIVEEVENT), Uint8(SDL_MOUSEMOTION), Uint8(SDL_MOUSEBUTTONDOWN),
                       Uint8(SDL_MOUSEBUTTONUP), Uint8(SDL_JOYHATMOTION), Uint8(SDL_JOYBUTTONDOWN),
                       Uint8(SDL_JOYBUTTONUP), Uint8(SDL_JOYBALLMOTION), Uint8(SDL_SYSWMEVENT)}) {
        e.type = type;
        game().dispatch_event(e);
    }
    EXPECT_EQ(game().calls, (std::vector<std::string>{"active", "mouse motion", "mouse down", "mouse up", "hat",
                                                      "joy down", "joy up"}));
    EXPECT_FALSE(game().quit_requested);
    e.type = SDL_QUIT;
    game().dispatch_event(e);
    EXPECT_TRUE(game().quit_requested);
}

TEST_F(GameBaseTest, ResizeEventResizesTheRenderTargetAfterTheHook) {
    SDL_Event e = {};
    e.type = SDL_VIDEORESIZE;
    e.resize.w = 200;
    e.resize.h = 100;
    game().dispatch_event(e);
    EXPECT_EQ(game().calls, (std::vector<std::string>{"resize 200x100 from 320x240"}));
    EXPECT_EQ(CGameBase::window_width, 200);
    EXPECT_EQ(CGameBase::window_height, 100);
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, game().scene_texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 200);
    EXPECT_EQ(viewport[3], 100);

    game().resize_render_target(kWidth, kHeight);
    EXPECT_EQ(CGameBase::window_width, kWidth);
}

TEST_F(GameBaseTest, SetWindowSizeGoesThroughTheEventQueue) {
    CGameBase::set_window_size(300, 200);
    EXPECT_EQ(CGameBase::window_width, kWidth);  // nothing before the next event pass
    game().poll_events();
    EXPECT_EQ(CGameBase::window_width, 300);
    EXPECT_EQ(CGameBase::window_height, 200);
    CGameBase::set_window_size(kWidth, kHeight);
    game().poll_events();
    EXPECT_EQ(CGameBase::window_width, kWidth);
    EXPECT_EQ(CGameBase::window_height, kHeight);
    game().run_some_frames(1);  // draws fine at the restored size
}

TEST_F(GameBaseTest, SetupProjectionClipsToTheWindow) {
    GLint before[4];
    glGetIntegerv(GL_VIEWPORT, before);
    EXPECT_FALSE(CGameBase::setup_projection(-100, 0, 50, 50, 0, 0, 0, 0));     // wholly left
    EXPECT_FALSE(CGameBase::setup_projection(0, kHeight, 50, 50, 0, 0, 0, 0));  // wholly below
    GLint after[4];
    glGetIntegerv(GL_VIEWPORT, after);
    EXPECT_EQ(std::vector<GLint>(before, before + 4), std::vector<GLint>(after, after + 4));

    // Partly off the left edge: the visible part keeps the unit-per-pixel mapping.
    ASSERT_TRUE(CGameBase::setup_projection(-20, 10, 100, 50, 0, 0, 0, 0));
    glGetIntegerv(GL_VIEWPORT, after);
    EXPECT_EQ(std::vector<GLint>(after, after + 4), (std::vector<GLint>{0, kHeight - 10 - 50, 80, 50}));
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    // x = 20 (the rectangle's x 20 units in) lands on the viewport's left edge (-1).
    EXPECT_NEAR(m[0] * 20 + m[12], -1.0f, 1e-5f);
    EXPECT_NEAR(m[0] * 100 + m[12], 1.0f, 1e-5f);
    EXPECT_NEAR(m[5] * 0 + m[13], 1.0f, 1e-5f);  // y down: top edge at +1
    EXPECT_NEAR(m[5] * 50 + m[13], -1.0f, 1e-5f);

    // A view size scales the rectangle to show that many units.
    ASSERT_TRUE(CGameBase::setup_projection(0, 0, 160, 120, 5, 5, 16, 12));
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[0] * 5 + m[12], -1.0f, 1e-5f);
    EXPECT_NEAR(m[0] * 21 + m[12], 1.0f, 1e-5f);
    EXPECT_NEAR(m[5] * 17 + m[13], -1.0f, 1e-5f);
    CGameBase::setup_projection(0, 0, kWidth, kHeight, 0, 0, 0, 0);
}

TEST_F(GameBaseTest, WindowTitleAndIcon) {
    test_support::LogCapture log;
    game().set_window_title("Probe Title");
    EXPECT_TRUE(log.contains("Window Title set to Probe Title."));
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    EXPECT_STREQ(title, "Probe Title");
    game().set_window_icon("dravix.ico");
    EXPECT_TRUE(log.contains("STATUS in class display::ProbeGame: Window Icon set to dravix.ico."));
    game().set_window_icon("ico\\missing.ico");
    EXPECT_TRUE(
        log.contains("ERROR in class display::ProbeGame: Tried to set icon but failed to "
                     "locate ico\\missing.ico."));
    game().set_window_icon("snd\\pop.wav");  // there, but no image
    EXPECT_TRUE(log.contains("Tried to set icon but failed to load snd\\pop.wav"));
    game().set_window_title("Vendrake Engine App");
}

TEST_F(GameBaseTest, FactoriesAndAudioAreMadeOnFirstAccess) {
    test_support::LogCapture log;
    // Other tests of the suite may have made them already.
    int new_audio = CGameBase::audio ? 0 : 1;
    int new_fonts = game().font_factory ? 0 : 1;
    int new_shaders = game().shader_factory ? 0 : 1;
    CAudio* audio = CGameBase::get_audio();
    EXPECT_EQ(CGameBase::get_audio(), audio);
    EXPECT_EQ(log.count("STATUS in class CGameBase: Instantiating Audio Manager on first access..."), new_audio);
    EXPECT_EQ(game().get_font_factory(), game().get_font_factory());
    EXPECT_EQ(game().get_shader_factory(), game().get_shader_factory());
    EXPECT_EQ(log.count("Instantiating Font Factory on first access..."), new_fonts);
    EXPECT_EQ(log.count("Instantiating Shader Factory on first access..."), new_shaders);
    EXPECT_NE(game().font_factory, nullptr);
    EXPECT_NE(game().shader_factory, nullptr);

    audio->init();
    ASSERT_TRUE(audio->is_open());
    int sound = audio->load_sound("snd\\explosion.wav");
    ASSERT_GE(sound, 0);
    int channel = audio->play_sound(sound, 0);
    EXPECT_GE(channel, 0);
    game().run_some_frames(2);  // frames go on while it plays
    EXPECT_EQ(Mix_Playing(channel), 1);
}
