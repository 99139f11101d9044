#pragma once
// The one window of the display suite (SDL 1.2 opens one per process) and helpers to draw into
// it and read its pixels back.
#include <GL/glew.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/app/game_base.h"
#include "engine/core/geometry.h"

class ITexture;

namespace display {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Records what the framework calls, so that tests can check order and arguments.
class ProbeGame : public CGameBase {
public:
    ProbeGame() : CGameBase(kWidth, kHeight) {}

    void update(float dt) override;
    void render(SDL_Surface* target) override;
    void on_active_event(const SDL_Event&) override { calls.push_back("active"); }
    void on_key_pressed(const SDL_Event& e) override;
    void on_key_repeat(const SDL_Event& e) override;
    void on_key_released(const SDL_Event& e) override;
    void on_mouse_motion(const SDL_Event&) override { calls.push_back("mouse motion"); }
    void on_mouse_button_down(const SDL_Event&) override { calls.push_back("mouse down"); }
    void on_mouse_button_up(const SDL_Event&) override { calls.push_back("mouse up"); }
    void on_joy_axis_motion(const SDL_Event& e) override;
    void on_joy_axis_pressed(const SDL_Event& e, bool positive) override;
    void on_joy_axis_released(const SDL_Event& e, bool positive) override;
    void on_joy_hat_motion(const SDL_Event&) override { calls.push_back("hat"); }
    void on_joy_button_down(const SDL_Event&) override { calls.push_back("joy down"); }
    void on_joy_button_up(const SDL_Event&) override { calls.push_back("joy up"); }
    void on_resize(const SDL_Event& e) override;
    void on_start() override;
    void on_shutdown() override { calls.push_back("shutdown"); }

    // Runs the real frame loop for `frames` frames (update sets the quit flag on the last one).
    void run_some_frames(int frames);
    // Back to a plain state between tests.
    void reset_probe();

    std::vector<std::string> calls;
    std::vector<float> update_dts;
    int frames_left = 0;
    int renders = 0;
    int start_delay_ms = 0;
    std::function<void()> on_render;
};

ProbeGame& game();

// What the first run of the game, right after the window opened, called and logged.
struct StartupRecord {
    std::vector<std::string> calls;
    std::vector<float> dts;
    std::string log;
};
const StartupRecord& startup_record();

// Pixels by window position (y down) of the off-screen scene and of the window's back buffer.
ColorRGBA scene_pixel(int x, int y);
ColorRGBA window_pixel(int x, int y);
// Pixel (x, y) of a framebuffer whose first row is the bottom one, counted from the top.
ColorRGBA framebuffer_pixel(GLuint framebuffer, int x, int y, int height);
// The whole scene, or the window's back buffer, as RGBA rows (bottom first), to compare frames.
std::vector<uint8_t> scene_frame(bool window = false);

void fill_rect(float x, float y, float w, float h, ColorRGBA colour);
// The texture upright: its first row at the top of the rectangle.
void draw_texture(ITexture& texture, float x, float y, float w, float h);

// Every channel within `tolerance` of the expected value.
bool near(ColorRGBA actual, ColorRGBA expected, int tolerance = 2);
// The same for red, green and blue only (the window may have no alpha channel).
bool near_rgb(ColorRGBA actual, ColorRGBA expected, int tolerance = 2);
std::string describe(ColorRGBA c);

}  // namespace display
