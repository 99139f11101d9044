#include "client/qc_game.h"

#include <GL/glew.h>

#include <algorithm>
#include <string>

#include "client/client_settings.h"
#include "client/qc_game_play.h"
#include "client/qc_main_menu.h"
#include "engine/app/fps_control.h"
#include "engine/audio/audio.h"
#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture_manager.h"
#include "game/config/settings.h"

namespace {

// The desktop's size as SDL reports it before our window changes it; 0 when unknown.
int display_width = 0;
int display_height = 0;

}  // namespace

QCGame::QCGame(sf::IpAddress address, uint16_t port) : QCGame(address, port, startup_window_size()) {}

QCGame::QCGame(sf::IpAddress address, uint16_t port, std::pair<int, int> size)
    : CGameBase(size.first, size.second, fullscreen),
      server_address(address),
      server_port(port),
      fps_label(nullptr, nullptr) {
    startup_width = window_width;
    startup_height = window_height;
}

QCGame::~QCGame() {
    // on_shutdown normally emptied the stack; a game that never ran still owns its screens.
    for (QCGameState* state : states) delete state;
    states.clear();
    delete texture_manager;
    texture_manager = nullptr;
}

std::pair<int, int> QCGame::startup_window_size() {
    // This runs before the framework's constructor: without the X11 driver pinned first, an X
    // server that refuses one connection (a busy or full one) hands SDL to a text-mode driver,
    // which cannot open the window, instead of being tried again.
    require_display();
    if (display_width == 0 && SDL_WasInit(SDL_INIT_VIDEO) == 0) start_video();
    if (display_width == 0) {
        if (const SDL_VideoInfo* info = SDL_GetVideoInfo()) {
            display_width = info->current_w;
            display_height = info->current_h;
        }
    }
    int width = window_resolution.x;
    int height = window_resolution.y;
    if (!window_size_allowed(width, height)) {
        log_message(LogLevel::Warning,
                    "Refused the window size " + std::to_string(width) + " x " + std::to_string(height) +
                        " from config.ini, using the default.",
                    "class QCGame");
        width = setting_keys::window_resolution.fallback.x;
        height = setting_keys::window_resolution.fallback.y;
        if (display_width > 0) width = std::min(width, display_width);
        if (display_height > 0) height = std::min(height, display_height);
    }
    return {width, height};
}

int QCGame::largest_render_side() {
    if (window_width <= 0) return 0;
    GLint texture = 0, renderbuffer = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    return std::min({int(texture), int(renderbuffer), int(viewport[0]), int(viewport[1])});
}

bool QCGame::window_size_allowed(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    if (display_width > 0 && (width > display_width || height > display_height)) return false;
    const int render_side = largest_render_side();
    return render_side <= 0 || (width <= render_side && height <= render_side);
}

uint8_t QCGame::stored_volume() { return uint8_t(client_settings::volume.read()); }

void QCGame::on_start() {
    set_window_title("VORTELUNE");
    texture_manager = new CTextureManager();

    CAudio* audio = get_audio();
    audio->init();
    // The key names are the file names; the index each load gets is the sound id that sound
    // events and definitions use.
    for (const std::string& file : ini_read_section_keys("sound", kClientIni)) {
        audio->load_sound("snd\\" + file);
    }
    audio->set_volume(stored_volume());

    push_state<QCMainMenu>();
    if (server_address != sf::IpAddress::None && server_port != 0) {
        join(server_address, server_port, Callback<void, bool>());
    }

    fps_label.set_font(get_font_factory()->get_font(14, "fnt\\DejaVuSans.ttf"));
    fps_label.set_size(50, 24);
    fps_label.set_text_box(0, 0, 50, 24);
    fps_label.set_text_color(ColorRGB{64, 64, 255});
    fps_label.set_z(1.0f);
    fps_label.set_visible(client_settings::show_fps.read());

    CShaderFactory* shaders = get_shader_factory();
    CShader* shader = shaders->get_shader(GL_FRAGMENT_SHADER, "shader\\postprocess.frag");
    CShaderProgram* program = shaders->get_program(shaders->create_program({shader}));
    post_process_texture_unit = -1;
    if (program) {
        program->set_texture("texture_damage", texture_manager->get_texture(true, false, "gfx\\damagetexture.png"));
        const ShaderUniform* scene = program->find_uniform("texture");
        if (scene && scene->type == GL_SAMPLER_2D) post_process_texture_unit = scene->unit;
    }
    post_process_program = program;
    set_damage_fade(0.0f);
}

void QCGame::set_damage_fade(float fade) {
    if (post_process_program) post_process_program->set_uniform("damagefade", fade);
    post_process_passes_through = !(fade > 0.0f);
}

void QCGame::on_shutdown() {
    for (QCGameState* state : states) delete state;
    states.clear();
    post_process_program = nullptr;
    delete texture_manager;
    texture_manager = nullptr;
}

void QCGame::close_top_state() {
    for (auto it = states.rbegin(); it != states.rend(); ++it) {
        QCGameState* state = *it;
        if (state->is_finished()) continue;
        state->set_finished(true);
        state->active = false;
        state->on_closed();
        auto below = std::next(it);
        if (below != states.rend()) {
            (*below)->active = true;
            (*below)->on_uncovered();
        }
        return;
    }
}

QCGameState* QCGame::join(const sf::IpAddress& address, uint16_t port, Callback<void, bool> on_result) {
    return push_state<QCGamePlay>(address, port, on_result);
}

void QCGame::update(float dt) {
    // Screens pushed meanwhile are appended and reached by the same pass.
    for (QCGameState* state : states) {
        if (state->active || state->runs_when_inactive()) state->update(dt);
    }
    for (auto it = states.begin(); it != states.end();) {
        if ((*it)->is_finished()) {
            delete *it;
            it = states.erase(it);
        } else {
            ++it;
        }
    }
    fps_label.set_text(std::to_string(int(fps_control->measured_fps)));
}

void QCGame::render(SDL_Surface* screen) {
    for (QCGameState* state : states) {
        if (state->active || state->runs_when_inactive()) state->draw(screen);
    }
    if (fps_label.is_visible()) fps_label.draw(screen);
}

namespace {

bool gets_input(QCGameState* state) { return state->active || state->takes_input_when_inactive(); }

// Hands the event to every screen that takes input, bottom to top. A screen pushed meanwhile
// is appended and, being active, gets the same event after the screens below it.
template <typename Handler>
void to_input_screens(std::list<QCGameState*>& states, Handler handler) {
    for (QCGameState* state : states) {
        if (gets_input(state)) handler(state);
    }
}

}  // namespace

void QCGame::on_active_event(const SDL_Event& event) {
    const SDL_ActiveEvent& active_event = event.active;
    if (active_event.state == SDL_APPMOUSEFOCUS) {
        for (QCGameState* state : states) {
            if (!state->active && !state->runs_when_inactive()) continue;
            if (active_event.gain) state->on_mouse_enter();
            else state->on_mouse_leave();
        }
    } else if (active_event.state == SDL_APPINPUTFOCUS || active_event.state == SDL_APPACTIVE) {
        to_input_screens(states, [&](QCGameState* state) {
            if (active_event.gain) state->on_focus_gained();
            else state->on_focus_lost();
        });
    }
}

void QCGame::on_key_pressed(const SDL_Event& event) {
    to_input_screens(states, [&](QCGameState* state) { state->on_key_pressed(event.key); });
}

void QCGame::on_key_repeat(const SDL_Event& event) {
    to_input_screens(states, [&](QCGameState* state) { state->on_key_repeat(event.key); });
}

void QCGame::on_key_released(const SDL_Event& event) {
    to_input_screens(states, [&](QCGameState* state) { state->on_key_released(event.key); });
}

void QCGame::on_mouse_motion(const SDL_Event& event) {
    to_input_screens(states, [&](QCGameState* state) { state->on_mouse_motion(event.motion); });
}

void QCGame::on_mouse_button_down(const SDL_Event& event) {
    to_input_screens(states, [&](QCGameState* state) { state->on_mouse_button_down(event.button); });
}

void QCGame::on_mouse_button_up(const SDL_Event& event) {
    to_input_screens(states, [&](QCGameState* state) { state->on_mouse_button_up(event.button); });
}

void QCGame::on_resize(const SDL_Event& event) {
    for (QCGameState* state : states) state->on_window_resized(event.resize);
}
