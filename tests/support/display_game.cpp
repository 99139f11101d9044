#include "support/display_game.h"

#include <cstdio>

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/gfx/texture.h"
#include "support/display_support.h"
#include "support/media_test_support.h"

namespace display {
namespace {

ProbeGame* the_game = nullptr;
StartupRecord the_startup;

class GameEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        test_support::DisplayWatchdog watchdog("the suite's set-up");
        ASSERT_TRUE(test_support::start_sdl_video()) << SDL_GetError();
        test_support::LogCapture log;
        the_game = new ProbeGame();
        the_game->start_delay_ms = 50;
        the_game->frames_left = 2;
        the_game->run();
        the_startup = {the_game->calls, the_game->update_dts, log.text()};
        the_game->reset_probe();
    }
    void TearDown() override {
        delete the_game;
        the_game = nullptr;
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GameEnvironment);

std::string key_name(const SDL_Event& e) { return std::to_string(int(e.key.keysym.sym)); }

}  // namespace

ProbeGame& game() { return *the_game; }

const StartupRecord& startup_record() { return the_startup; }

void ProbeGame::on_start() {
    calls.push_back("start");
    SDL_Delay(Uint32(start_delay_ms));
}

void ProbeGame::update(float dt) {
    update_dts.push_back(dt);
    calls.push_back("update");
    if (--frames_left <= 0) quit_requested = true;
}

void ProbeGame::render(SDL_Surface*) {
    ++renders;
    calls.push_back("render");
    if (on_render) on_render();
}

void ProbeGame::on_key_pressed(const SDL_Event& e) { calls.push_back("pressed " + key_name(e)); }
void ProbeGame::on_key_repeat(const SDL_Event& e) { calls.push_back("repeat " + key_name(e)); }
void ProbeGame::on_key_released(const SDL_Event& e) { calls.push_back("released " + key_name(e)); }

void ProbeGame::on_joy_axis_motion(const SDL_Event& e) { calls.push_back("axis " + std::to_string(e.jaxis.value)); }
void ProbeGame::on_joy_axis_pressed(const SDL_Event&, bool positive) {
    calls.push_back(positive ? "axis pressed +" : "axis pressed -");
}
void ProbeGame::on_joy_axis_released(const SDL_Event&, bool positive) {
    calls.push_back(positive ? "axis released +" : "axis released -");
}

void ProbeGame::on_resize(const SDL_Event& e) {
    // The render target still has the old size while this hook runs.
    calls.push_back("resize " + std::to_string(e.resize.w) + "x" + std::to_string(e.resize.h) + " from " +
                    std::to_string(window_width) + "x" + std::to_string(window_height));
}

void ProbeGame::run_some_frames(int frames) {
    quit_requested = false;
    frames_left = frames;
    run_frames();
}

void ProbeGame::reset_probe() {
    SDL_Event pending;
    while (SDL_PollEvent(&pending)) {
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    calls.clear();
    update_dts.clear();
    renders = 0;
    on_render = nullptr;
    post_process_program = nullptr;
    post_process_texture_unit = -1;
    post_process_passes_through = false;
    quit_requested = false;
}

namespace {

void read_framebuffer(GLuint framebuffer, int x, int y, int w, int h, uint8_t* out) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (framebuffer == 0) glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
}

}  // namespace

ColorRGBA framebuffer_pixel(GLuint framebuffer, int x, int y, int height) {
    uint8_t p[4] = {0, 0, 0, 0};
    read_framebuffer(framebuffer, x, height - 1 - y, 1, 1, p);
    return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> scene_frame(bool window) {
    std::vector<uint8_t> pixels(std::size_t(kWidth) * kHeight * 4);
    read_framebuffer(window ? 0 : game().framebuffer, 0, 0, kWidth, kHeight, pixels.data());
    return pixels;
}

ColorRGBA scene_pixel(int x, int y) { return framebuffer_pixel(game().framebuffer, x, y, CGameBase::window_height); }

// Mesa's software rasteriser keeps the back buffer after a swap; the front buffer of an Xvfb
// window cannot be read back.
ColorRGBA window_pixel(int x, int y) { return framebuffer_pixel(0, x, y, CGameBase::window_height); }

void fill_rect(float x, float y, float w, float h, ColorRGBA c) {
    glDisable(GL_TEXTURE_2D);
    glColor4ub(c.r, c.g, c.b, c.a);
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x + w, y);
    glVertex2f(x + w, y + h);
    glVertex2f(x, y + h);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

void draw_texture(ITexture& texture, float x, float y, float w, float h) {
    texture.bind();
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x, y);
    glTexCoord2f(1, 0);
    glVertex2f(x + w, y);
    glTexCoord2f(1, 1);
    glVertex2f(x + w, y + h);
    glTexCoord2f(0, 1);
    glVertex2f(x, y + h);
    glEnd();
    texture.unbind();
}

bool near(ColorRGBA a, ColorRGBA e, int tolerance) {
    return std::abs(a.r - e.r) <= tolerance && std::abs(a.g - e.g) <= tolerance && std::abs(a.b - e.b) <= tolerance &&
           std::abs(a.a - e.a) <= tolerance;
}

bool near_rgb(ColorRGBA a, ColorRGBA e, int tolerance) {
    e.a = a.a;
    return near(a, e, tolerance);
}

std::string describe(ColorRGBA c) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", c.r, c.g, c.b, c.a);
    return text;
}

}  // namespace display
