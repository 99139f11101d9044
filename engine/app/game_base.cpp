#include "engine/app/game_base.h"

#include <GL/glew.h>
#include <SDL/SDL_image.h>
#include <SDL/SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/app/fps_control.h"
#include "engine/app/native_window.h"
#include "engine/audio/audio.h"
#include "engine/core/files.h"
#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "engine/gfx/font.h"
#include "engine/gfx/gl_support.h"
#include "engine/gfx/shader.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/paths.h"

bool CGameBase::is_fullscreen = false;
unsigned long CGameBase::window_handle = 0;
CAudio* CGameBase::audio = nullptr;
bool CGameBase::console_titling = true;
std::vector<std::vector<int16_t>> CGameBase::joystick_axes;

namespace {

constexpr int kAxisThreshold = 10000;

}  // namespace

void CGameBase::require_display() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && *driver) return;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fputs("No X display: set DISPLAY, or run under a desktop or Xvfb.\n", stderr);
        std::exit(1);
    }
    setenv("SDL_VIDEODRIVER", "x11", 1);
}

bool CGameBase::start_video() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const bool x11 = driver && std::strcmp(driver, "x11") == 0;
    static bool gave_up = false;  // a display that refused every try gets one more, not seven
    for (uint32_t attempt = 0; SDL_Init(SDL_INIT_VIDEO) != 0; ++attempt) {
        if (!x11 || gave_up || attempt == 6) {
            gave_up = true;
            return false;
        }
        platform::sleep_ms(std::min(50u << attempt, 1000u));  // 2.55 s in all
    }
    return true;
}

CGameBase::CGameBase(int width, int height, bool fullscreen, bool resizable) {
    require_display();
    if (resizable) fullscreen = false;
    log_message(LogLevel::Status, "Initializing SDL...", log_class_name_of(*this));
    if (!start_video()) {
        const char* driver = std::getenv("SDL_VIDEODRIVER");
        const char* display = std::getenv("DISPLAY");
        std::string advice;
        if (driver && std::strcmp(driver, "x11") == 0 && display)
            advice = std::string("The X display \"") + display +
                     "\" cannot be reached: set DISPLAY to one you can reach, or run under a desktop or Xvfb.";
        fail_startup(std::string("Unable to initialize SDL: ") + SDL_GetError(), 1, advice);
    }
    log_message(LogLevel::Status, "SDL initialization successful.", log_class_name_of(*this));

    log_message(LogLevel::Status, "Initializing SDL TTF...", log_class_name_of(*this));
    if (TTF_Init() != 0) {
        fail_startup(std::string("Unable to initialize SDL TTF: ") + SDL_GetError(), 1);
    }
    log_message(LogLevel::Status, "SDL TTF initialization successful.", log_class_name_of(*this));

    SDL_EnableUNICODE(1);
    log_message(LogLevel::Status, "SDL Unicode translation enabled.", log_class_name_of(*this));

    log_message(LogLevel::Status, "Setting up environment...", log_class_name_of(*this));
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    Uint32 flags = SDL_HWSURFACE | SDL_OPENGL | (fullscreen ? SDL_FULLSCREEN : 0) | (resizable ? SDL_RESIZABLE : 0);
    screen = SDL_SetVideoMode(width, height, 32, flags);
    if (!screen) {
        fail_startup(std::string("Unable to set video mode: ") + SDL_GetError(), 1);
    }
    is_fullscreen = fullscreen;
    window_width = width;
    window_height = height;

    if (!native_window::query_handle(&window_handle)) fail_startup("Error in SDL_GetWMInfo", 1);

    init_gl();
    setup_projection(0, 0, width, height, 0, 0, 0, 0);

    quit_requested = false;
    fps_control = new CFPSControl();
    post_process_program = nullptr;
    post_process_texture_unit = -1;

    random_seed(uint32_t(std::time(nullptr)));
    log_message(LogLevel::Status, "Randomness ensured.", log_class_name_of(*this));

    int key_count = 0;
    SDL_GetKeyState(&key_count);
    key_down.assign(std::size_t(std::max(key_count, 0)), false);
    SDL_EnableKeyRepeat(500, 30);
    joystick_axes.clear();

    set_window_title("Vendrake Engine App");
    set_window_icon("dravix.ico");
    log_message(LogLevel::Status, "Setup successful.", log_class_name_of(*this));
    log_message(LogLevel::Status, "Instance initialized.", log_class_name_of(*this));
}

CGameBase::~CGameBase() {
    joystick_axes.clear();
    key_down.clear();
    delete fps_control;
    fps_control = nullptr;
    delete font_factory;
    font_factory = nullptr;
    delete shader_factory;
    shader_factory = nullptr;
    delete audio;
    audio = nullptr;
    if (depth_renderbuffer != 0) glDeleteRenderbuffers(1, &depth_renderbuffer);
    if (scene_texture != 0) glDeleteTextures(1, &scene_texture);
    if (framebuffer != 0) glDeleteFramebuffers(1, &framebuffer);
    TTF_Quit();
    SDL_Quit();
    log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this));
}

void CGameBase::fail_startup(const std::string& message, int exit_code, const std::string& advice) {
    log_message(LogLevel::FatalError, message, log_class_name_of(*this));
    if (!advice.empty()) std::fprintf(stderr, "%s\n", advice.c_str());
    if (TTF_WasInit()) TTF_Quit();
    SDL_Quit();
    std::exit(exit_code);
}

void CGameBase::init_gl() {
    log_message(LogLevel::Status, "Initializing GLEW...", log_class_name_of(*this));
    GLenum glew = glewInit();
    if (glew == GLEW_OK) {
        log_message(LogLevel::Status,
                    std::string("GLEW initialization successful, using version ") +
                        reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)) + ".",
                    log_class_name_of(*this));
    } else {
        log_message(LogLevel::Error,
                    std::string("Failed to initialize GLEW, won't be able to use shaders. Error: ") +
                        reinterpret_cast<const char*>(glewGetErrorString(glew)),
                    log_class_name_of(*this));
    }
    // Every frame is drawn into the framebuffer object; without one there is nothing to run.
    if (glew != GLEW_OK || !framebuffer_functions_available()) {
        fail_startup("Framebuffer objects are not available, can't create the render target.", 1);
    }

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.01f);
    glShadeModel(GL_SMOOTH);
    glActiveTexture(GL_TEXTURE0);

    glGenTextures(1, &scene_texture);
    glBindTexture(GL_TEXTURE_2D, scene_texture);
    // The frame is shown one texel per pixel, sampled at texel centres, where linear filtering
    // gives exactly the texel: nearest gives the same for a quarter of the reads.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenRenderbuffers(1, &depth_renderbuffer);
    specify_render_target_storage(window_width, window_height);

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, scene_texture, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_renderbuffer);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        fail_startup("Framebuffer status appears to be corrupted, error #" + std::to_string(status), -1);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void CGameBase::specify_render_target_storage(int width, int height) {
    glBindTexture(GL_TEXTURE_2D, scene_texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

void CGameBase::run() {
    log_message(LogLevel::Status, "Starting up game...", log_class_name_of(*this));
    on_start();
    log_message(LogLevel::Status, "Game running.", log_class_name_of(*this));
    run_frames();
    log_message(LogLevel::Status, "Game is closing...", log_class_name_of(*this));
    on_shutdown();
    log_message(LogLevel::Status, "Game closed.", log_class_name_of(*this));
}

void CGameBase::run_frames() {
    while (!quit_requested) {
        poll_events();
        update(fps_control->last_frame_seconds());
        draw_frame(screen);
        fps_control->end_frame();
    }
}

void CGameBase::poll_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) dispatch_event(event);
}

void CGameBase::dispatch_event(const SDL_Event& event) {
    switch (event.type) {
    case SDL_ACTIVEEVENT: on_active_event(event); break;
    case SDL_KEYDOWN: {
        std::size_t key = std::size_t(event.key.keysym.sym);
        if (key < key_down.size() && key_down[key]) {
            on_key_repeat(event);
        } else {
            if (key < key_down.size()) key_down[key] = true;
            on_key_pressed(event);
        }
        break;
    }
    case SDL_KEYUP: {
        std::size_t key = std::size_t(event.key.keysym.sym);
        if (key < key_down.size()) key_down[key] = false;
        on_key_released(event);
        break;
    }
    case SDL_MOUSEMOTION: on_mouse_motion(event); break;
    case SDL_MOUSEBUTTONDOWN: on_mouse_button_down(event); break;
    case SDL_MOUSEBUTTONUP: on_mouse_button_up(event); break;
    case SDL_JOYAXISMOTION: {
        // The framework opens no joystick; an application that does gets its rows here.
        std::size_t stick = event.jaxis.which;
        std::size_t axis = event.jaxis.axis;
        if (joystick_axes.size() <= stick) joystick_axes.resize(stick + 1);
        if (joystick_axes[stick].size() <= axis) joystick_axes[stick].resize(axis + 1, 0);
        int old_value = joystick_axes[stick][axis];
        int new_value = event.jaxis.value;
        if (std::abs(old_value) < kAxisThreshold && std::abs(new_value) >= kAxisThreshold) {
            on_joy_axis_pressed(event, new_value > 0);
        }
        if (std::abs(old_value) >= kAxisThreshold && std::abs(new_value) < kAxisThreshold) {
            on_joy_axis_released(event, old_value > 0);
        }
        joystick_axes[stick][axis] = int16_t(new_value);
        on_joy_axis_motion(event);
        break;
    }
    case SDL_JOYHATMOTION: on_joy_hat_motion(event); break;
    case SDL_JOYBUTTONDOWN: on_joy_button_down(event); break;
    case SDL_JOYBUTTONUP: on_joy_button_up(event); break;
    case SDL_QUIT: quit_requested = true; break;
    case SDL_VIDEORESIZE:
        on_resize(event);
        resize_render_target(event.resize.w, event.resize.h);
        break;
    default: break;
    }
}

void CGameBase::draw_frame(SDL_Surface* target_screen) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    render(target_screen);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // A program that would pass the frame through unchanged is left out: the quad shows the
    // scene texture as it is.
    bool post_process = post_process_program && post_process_program->get_id() != 0 && !post_process_passes_through;
    if (post_process) {
        post_process_program->bind(true);
        if (post_process_texture_unit >= 0) {
            glActiveTexture(GL_TEXTURE0 + GLenum(post_process_texture_unit));
            glBindTexture(GL_TEXTURE_2D, scene_texture);
            glActiveTexture(GL_TEXTURE0);
        }
    } else {
        if (glUseProgram) glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, scene_texture);
    }

    // The scene texture's first row is the bottom of the frame: flip it into the y-down space.
    float w = float(window_width);
    float h = float(window_height);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(0, 0);
    glTexCoord2f(1, 1);
    glVertex2f(w, 0);
    glTexCoord2f(1, 0);
    glVertex2f(w, h);
    glTexCoord2f(0, 0);
    glVertex2f(0, h);
    glEnd();

    if (post_process) post_process_program->unbind();
    SDL_GL_SwapBuffers();
}

void CGameBase::resize_render_target(int width, int height) {
    window_width = width;
    window_height = height;
    specify_render_target_storage(width, height);
    setup_projection(0, 0, width, height, 0, 0, 0, 0);
}

CFontFactory* CGameBase::get_font_factory() {
    if (!font_factory) {
        log_message(LogLevel::Status, "Instantiating Font Factory on first access...", log_class_name_of(*this));
        font_factory = new CFontFactory();
    }
    return font_factory;
}

CShaderFactory* CGameBase::get_shader_factory() {
    if (!shader_factory) {
        log_message(LogLevel::Status, "Instantiating Shader Factory on first access...", log_class_name_of(*this));
        shader_factory = new CShaderFactory();
    }
    return shader_factory;
}

CAudio* CGameBase::get_audio() {
    if (!audio) {
        log_message(LogLevel::Status, "Instantiating Audio Manager on first access...", "class CGameBase");
        audio = new CAudio();
    }
    return audio;
}

void CGameBase::set_window_title(std::string title) {
    SDL_WM_SetCaption(title.c_str(), title.c_str());
    if (console_titling) platform::set_console_title(title);
    log_message(LogLevel::Status, "Window Title set to " + title + ".", log_class_name_of(*this));
}

void CGameBase::set_console_titling(bool on) { console_titling = on; }

void CGameBase::set_window_icon(std::string path) {
    std::string native = platform::native_path(make_absolute_path(path));
    std::FILE* file = std::fopen(native.c_str(), "rb");
    if (!file) {
        log_message(LogLevel::Error, "Tried to set icon but failed to locate " + path + ".", log_class_name_of(*this));
        return;
    }
    std::fclose(file);
    SDL_Surface* icon = IMG_Load(native.c_str());
    if (!icon) {
        log_message(LogLevel::Error,
                    "Tried to set icon but failed to load " + path + ", SDL reports: " + SDL_GetError(),
                    log_class_name_of(*this));
        return;
    }
    SDL_WM_SetIcon(icon, nullptr);
    SDL_FreeSurface(icon);
    log_message(LogLevel::Status, "Window Icon set to " + path + ".", log_class_name_of(*this));
}

void CGameBase::set_window_size(int width, int height) {
    if (!is_fullscreen) native_window::resize(width, height);
    SDL_Event event = {};
    event.type = SDL_VIDEORESIZE;
    event.resize.w = width;
    event.resize.h = height;
    SDL_PushEvent(&event);
}
