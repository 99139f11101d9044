#pragma once
#include <SDL/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/gfx/viewport.h"

class CAudio;
class CFontFactory;
class CFPSControl;
class CShaderFactory;
class CShaderProgram;

// The application object of every windowed program: SDL 1.2 window with an OpenGL context, an
// off-screen render target that each frame is drawn into, the frame loop, event dispatch to the
// virtual hooks, and presentation through an optional post-process program.
class CGameBase : public CViewport {
public:
    // Opens the window; a failure that leaves no usable window ends the process (code 1, or -1
    // for a render target that is not complete). A resizable window (never full screen) lets
    // the user drag its size, which arrives as resize events.
    CGameBase(int width, int height, bool fullscreen = false, bool resizable = false);
    virtual ~CGameBase();
    // The window draws through OpenGL, which SDL 1.2 offers on X11 only; any other driver would
    // be a silent fallback (a text-mode one takes over the terminal). Pins the X11 driver unless
    // the environment names one, and without an X display ends the process (code 1) with one
    // line on standard error. Programs call it first, before anything starts SDL or logs.
    static void require_display();
    // Starts SDL video (true when it runs). A busy X server can refuse a connection for a moment,
    // so on the X11 driver a failure is tried again for about 2.5 s before it counts (once per
    // process; later calls try once); SDL's error text is then the last attempt's.
    static bool start_video();
    CGameBase(const CGameBase&) = delete;
    CGameBase& operator=(const CGameBase&) = delete;

    virtual void on_start() {}
    virtual void on_shutdown() {}
    // Called with the off-screen framebuffer bound and cleared.
    virtual void render(SDL_Surface*) {}
    // dt: the previous frame's duration in seconds.
    virtual void update(float) {}
    virtual void on_active_event(const SDL_Event&) {}
    virtual void on_key_pressed(const SDL_Event&) {}
    virtual void on_key_repeat(const SDL_Event&) {}
    virtual void on_key_released(const SDL_Event&) {}
    virtual void on_mouse_motion(const SDL_Event&) {}
    virtual void on_mouse_button_down(const SDL_Event&) {}
    virtual void on_mouse_button_up(const SDL_Event&) {}
    virtual void on_joy_axis_motion(const SDL_Event&) {}
    virtual void on_joy_axis_pressed(const SDL_Event&, bool /*positive*/) {}
    virtual void on_joy_axis_released(const SDL_Event&, bool /*positive*/) {}
    virtual void on_joy_hat_motion(const SDL_Event&) {}
    virtual void on_joy_button_down(const SDL_Event&) {}
    virtual void on_joy_button_up(const SDL_Event&) {}
    // Called before the render target takes the new size.
    virtual void on_resize(const SDL_Event&) {}

    void run();
    // Frames until quit_requested is set; the flag is tested before each frame.
    void run_frames();
    void poll_events();
    // One event to its hook(s); what poll_events does with each pending event.
    void dispatch_event(const SDL_Event& event);
    void draw_frame(SDL_Surface* target_screen);
    void resize_render_target(int width, int height);

    CFontFactory* get_font_factory();
    CShaderFactory* get_shader_factory();
    static CAudio* get_audio();

    void set_window_title(std::string title);
    // Whether window titles also title the terminal; on by default. A program that keeps off
    // the terminal switches it off before its window opens.
    static void set_console_titling(bool on);
    void set_window_icon(std::string path);
    // Resizes the window (not in full screen) and queues the resize event that resizes the
    // render target.
    static void set_window_size(int width, int height);

    bool quit_requested = false;
    SDL_Surface* screen = nullptr;
    CShaderProgram* post_process_program = nullptr;  // not owned
    // Set by the application while its post-process program would show the frame unchanged (a
    // fade at zero): the frame is then copied to the window as it is, without a shading pass.
    bool post_process_passes_through = false;
    uint32_t framebuffer = 0;
    uint32_t scene_texture = 0;
    uint32_t depth_renderbuffer = 0;
    // Unit the scene texture is bound on for the post-process program; negative: none.
    int post_process_texture_unit = -1;
    CFontFactory* font_factory = nullptr;
    CShaderFactory* shader_factory = nullptr;
    // One entry per SDL key symbol: held down.
    std::vector<bool> key_down;
    CFPSControl* fps_control = nullptr;

    static bool is_fullscreen;
    static unsigned long window_handle;
    static CAudio* audio;
    static bool console_titling;
    // Last value of each axis of each joystick; rows grow as joysticks report.
    static std::vector<std::vector<int16_t>> joystick_axes;

protected:
    void init_gl();

private:
    // Logs the message, then writes the advice (when any) as one line on standard error, which
    // reaches the terminal even when the log goes only to a file.
    [[noreturn]] void fail_startup(const std::string& message, int exit_code, const std::string& advice = {});
    void specify_render_target_storage(int width, int height);
};
