#include "client/qc_game_play.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "client/qc_game.h"
#include "client/qc_inventory.h"
#include "client/qc_level_gen.h"
#include "client/qc_scoreboard.h"
#include "client/qc_spawn_select.h"
#include "engine/app/fps_control.h"
#include "engine/audio/audio.h"
#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture_manager.h"
#include "engine/scene/label_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/entities/entity_records.h"
#include "game/entities/qg_player.h"
#include "game/match/qg_chat.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"

namespace {

constexpr ColorRGB kMessageColour{230, 230, 230};

// The movement kind of a key; none for any other key.
std::optional<InputKind> movement_kind(SDLKey key) {
    switch (key) {
    case SDLK_w:
    case SDLK_SPACE:
    case SDLK_UP: return InputKind::Up;
    case SDLK_a:
    case SDLK_LEFT: return InputKind::Left;
    case SDLK_d:
    case SDLK_RIGHT: return InputKind::Right;
    case SDLK_s:
    case SDLK_DOWN: return InputKind::Down;
    default: return std::nullopt;
    }
}

// Places the sprite centred in the window.
void centre(CSprite* sprite, float screen_width, float screen_height) {
    sprite->set_x((screen_width - sprite->get_width()) * 0.5f);
    sprite->set_y((screen_height - sprite->get_height()) * 0.5f);
}

}  // namespace

QCGamePlay::QCGamePlay(CTextureManager* textures, QCGame* owner, sf::IpAddress address, uint16_t port,
                       Callback<void, bool> result_hook)
    : QCGameState(textures, owner), result_callback(result_hook) {
    message_timer = message_life;
    set_z_sorting(true);
    const float width = get_width(), height = get_height();
    CFont* font = game->get_font_factory()->get_font(message_font_size, message_font);

    message_label = new CLabelSprite(this, font);
    message_label->set_x(10);
    message_label->set_y(10);
    message_label->set_z(0.5f);
    message_label->set_size(width * 0.5f - 10, height - 20);
    message_label->set_horizontal_alignment(1);
    message_label->set_vertical_alignment(2);
    message_label->set_text_color(kMessageColour);
    message_label->set_multiline(true);
    add_child(message_label);

    load_screen = new CImageSprite(this);
    CTexture* picture = textures ? textures->get_texture(true, false, "gfx\\Load_Screen.png") : nullptr;
    load_screen->set_texture(picture);
    if (picture && picture->is_valid() && picture->get_image_width() > 0 && picture->get_image_height() > 0) {
        const float pw = float(picture->get_image_width()), ph = float(picture->get_image_height());
        if (width / height > pw / ph) load_screen->set_size(pw * height / ph, height);
        else load_screen->set_size(width, ph * width / pw);
    } else {
        load_screen->set_size(0, 0);
    }
    centre(load_screen, width, height);
    load_screen->set_z(-1.0f);
    add_child(load_screen);

    status_label = new CLabelSprite(this, font);
    status_label->set_size(300, 100);
    centre(status_label, width, height);
    status_label->set_z(1.0f);
    status_label->set_text_color(kMessageColour);
    status_label->set_text_box(0, 0, 300, 100);
    status_label->set_multiline(true);
    if (textures) status_label->set_texture(textures->get_texture(true, false, "gfx\\blend.png"));
    add_child(status_label);

    set_status_message("Waiting for other players...");

    world_sprites = new CSpriteManager(this, textures);
    drawing = std::make_unique<GameDrawing>(world_sprites, game->get_shader_factory(), game->get_font_factory());
    client_game = std::make_unique<QGGame>(drawing.get(), port, address,
                                           Callback<void, bool>(this, &QCGamePlay::on_connect_result));

    QGEventHandler& events = *client_game->event_handler;
    using T = EQGEventType;
    subscriptions.push_back(events.subscribe<T::GenerateLevel>([this](const auto&) { on_level_generated(); }));
    subscriptions.push_back(events.subscribe<T::SetSpawnPositions>([this](const auto&) { on_spawn_positions_set(); }));
    subscriptions.push_back(events.subscribe<T::MatchOver>([this](const auto&) { on_match_over(); }));
    subscriptions.push_back(events.subscribe<T::PlaySound>([this](const SoundRequest& r) { on_play_sound(r); }));
    subscriptions.push_back(events.subscribe<T::SetupGame>([this](const auto&) { on_game_setup(); }));
    subscriptions.push_back(events.subscribe<T::PlayerHit>([this](const IdRecord& r) { on_player_hit(r); }));

    world_sprites->set_z_sorting(true);
    world_sprites->set_width(width);
    world_sprites->set_height(height);
    add_child(world_sprites);

    client_game->disconnect_hook = Callback<void>(this, &QCGamePlay::on_disconnected);
    client_game->message_hook = Callback<void, const std::string&>(this, &QCGamePlay::add_message);
    client_game->status_hook = Callback<void, const std::string&>(this, &QCGamePlay::set_status_message);

    inventory = new QCInventory(this, client_game.get());
    add_child(inventory);
}

QCGamePlay::~QCGamePlay() {
    game->set_damage_fade(0.0f);
    // The session's objects give their sprites back to the world sprite manager, which the
    // container deletes afterwards.
    client_game.reset();
}

bool QCGamePlay::takes_input_when_inactive() { return client_game && client_game->match_running; }

void QCGamePlay::on_window_resized(const SDL_ResizeEvent& event) {
    QCGameState::on_window_resized(event);
    world_sprites->set_width(get_width());
    world_sprites->set_height(get_height());
}

void QCGamePlay::set_status_message(const std::string& text) {
    status_label->set_text(text);
    status_label->set_visible(!text.empty());
    load_screen->set_visible(!text.empty());
}

void QCGamePlay::add_message(const std::string& text) {
    messages.push_back(text);
    while (messages.size() > std::size_t(max_messages)) messages.pop_front();
    rebuild_message_text();
}

void QCGamePlay::update_messages(float dt) {
    if (messages.empty()) return;
    message_timer -= dt;
    if (message_timer > 0) return;
    messages.pop_front();
    message_timer = message_life;
    rebuild_message_text();
}

void QCGamePlay::rebuild_message_text() {
    std::string text;
    for (const std::string& line : messages) text += line + "\n";
    message_label->set_text(text);
}

void QCGamePlay::on_connect_result(bool ok) { pending_connect_result.store(ok ? 1 : 0); }

void QCGamePlay::act_on_connect_result(bool ok) {
    if (result_callback.is_valid()) result_callback(ok);
    if (!ok) {
        on_disconnected();
        return;
    }
    if (client_game->local_player_id == 0) {
        open_level_generator = true;
        set_status_message("");
    }
}

void QCGamePlay::on_disconnected() {
    // Each close takes the topmost open screen; there are never more to close than screens.
    for (std::size_t left = game->states.size(); !closed && left > 0; --left) game->close_top_state();
}

QGPlayer* QCGamePlay::playing_player() {
    if (!client_game || !client_game->match_running) return nullptr;
    return client_game->registry().get_player(client_game->local_player_id);
}

void QCGamePlay::update(float dt) {
    const int result = pending_connect_result.exchange(-1);
    if (result >= 0) act_on_connect_result(result == 1);
    if (open_level_generator && !closed) {
        game->push_state<QCLevelGen>(this);
        open_level_generator = false;
        set_status_message("");
    }
    send_aim();
    fade_damage_flash();
    client_game->update(dt);
    update_messages(dt);
    QCGameState::update(dt);
}

void QCGamePlay::send_aim() {
    QGPlayer* player = playing_player();
    if (!player) return;
    int mouse_x = 0, mouse_y = 0;
    SDL_GetMouseState(&mouse_x, &mouse_y);
    fvec2d point{float(mouse_x), float(mouse_y)};
    if (auto* level = look_of<LevelLook>(client_game->level)) point = level->terrain_sprite->point_to_local(point);
    // Once an aim is on its way the echo lags behind it: the point is measured from what was sent.
    const fvec2d aim = last_aim_player == player->entity_id ? last_aim_sent : player->aim.get();
    const double dx = double(point.x) - aim.x, dy = double(point.y) - aim.y;
    if (std::sqrt(dx * dx + dy * dy) <= 1.0) return;
    const PlayerAim record{client_game->local_player_id, point.x, point.y};
    client_game->event_handler->post<EQGEventType::Aim>(record);
    last_aim_sent = point;
    last_aim_player = player->entity_id;
}

void QCGamePlay::fade_damage_flash() {
    if (damage_fade <= 0) return;
    damage_fade -= float(game->fps_control->last_frame_ms) / 1000.0f;
    game->set_damage_fade(std::clamp(damage_fade, 0.0f, 1.0f));
}

void QCGamePlay::send_input(InputKind kind, uint32_t value) {
    if (!playing_player()) return;
    client_game->event_handler->post<EQGEventType::Input>(PlayerInput{client_game->local_player_id, kind, value});
}

void QCGamePlay::on_key_pressed(const SDL_KeyboardEvent& event) {
    QCGameState::on_key_pressed(event);
    if (!client_game || !client_game->match_running) return;
    const SDLKey key = event.keysym.sym;
    if (key == SDLK_TAB && !client_game->paused) game->push_state<QCScoreboard>(client_game.get());
    if (!playing_player()) return;
    if (auto* chat = look_of<ChatLook>(client_game->chat)) {
        if (key == SDLK_RETURN) chat->set_open(!chat->is_open());
        // While the box is open the keys are the chat's.
        if (chat->is_open()) return;
    }
    if (const auto kind = movement_kind(key)) send_input(*kind, 1);
    else if (key >= SDLK_1 && key <= SDLK_9) send_input(InputKind::SelectSlot, uint32_t(key - SDLK_1));
    else if (key == SDLK_0) send_input(InputKind::SelectSlot, 9);
}

void QCGamePlay::on_key_released(const SDL_KeyboardEvent& event) {
    QCGameState::on_key_released(event);
    auto* chat = look_of<ChatLook>(client_game->chat);
    if (!playing_player() || (chat && chat->is_open())) return;
    if (const auto kind = movement_kind(event.keysym.sym)) send_input(*kind, 0);
}

void QCGamePlay::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    QCGameState::on_mouse_button_down(event);
    QGPlayer* player = playing_player();
    if (!player) return;
    const std::size_t slot = player->selected_slot;
    const std::size_t slots = player->inventory.size();
    switch (event.button) {
    case SDL_BUTTON_LEFT: send_input(InputKind::Use, 1); break;
    case SDL_BUTTON_RIGHT: send_input(InputKind::Secondary, 1); break;
    case SDL_BUTTON_WHEELUP:
        // A selection beyond the inventory (it just shrank) steps back onto its last slot.
        if (slot > 0 && slots > 0) send_input(InputKind::SelectSlot, uint32_t(std::min(slot, slots) - 1));
        break;
    case SDL_BUTTON_WHEELDOWN:
        if (slot + 1 < slots) send_input(InputKind::SelectSlot, uint32_t(slot + 1));
        break;
    default: break;
    }
}

void QCGamePlay::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    QCGameState::on_mouse_button_up(event);
    if (!playing_player()) return;
    if (event.button == SDL_BUTTON_LEFT) send_input(InputKind::Use, 0);
    else if (event.button == SDL_BUTTON_RIGHT) send_input(InputKind::Secondary, 0);
}

void QCGamePlay::on_level_generated() {
    if (client_game->local_player_id == 0) {
        game->push_state<QCSpawnSelect>(this);
        set_status_message("");
    } else {
        set_status_message("Waiting for host to set spawn points...");
    }
}

void QCGamePlay::on_spawn_positions_set() { set_status_message(""); }

void QCGamePlay::on_game_setup() {
    if (status_label->is_visible()) set_status_message("Waiting for level data...");
}

void QCGamePlay::on_match_over() {
    // A held Tab shows the scoreboard already.
    const bool tab_held = game->key_down.size() > std::size_t(SDLK_TAB) && game->key_down[SDLK_TAB];
    if (!tab_held) game->push_state<QCScoreboard>(client_game.get());
}

void QCGamePlay::on_play_sound(const SoundRequest& request) {
    CGameBase::get_audio()->play_sound(request.sound_id, int(request.second_word));
}

void QCGamePlay::on_player_hit(const IdRecord& hit) {
    if (hit.id == client_game->local_player_id) damage_fade = 1.0f;
}
