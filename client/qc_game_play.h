#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "client/qc_game_state.h"
#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "game/entities/entity_records.h"
#include "game/base/qg_event_handler.h"

class CImageSprite;
class CLabelSprite;
class CSpriteManager;
class GameDrawing;
class QCInventory;
class QGGame;
class QGPlayer;

// The in-game screen. It creates the client's game session, which connects to the server on a
// thread of its own, and turns the game's events into screens: the level generator and the
// spawn selection for the host, the scoreboard at the end of the match or while Tab is held. It
// shows a status box over the load screen while the match is prepared, timed message lines,
// the inventory and a red flash when the local player is hit, sends the cursor's world
// position as the aim every frame and maps keys and mouse buttons to player input. It closes
// itself, and every screen above it, when the connection fails or is lost.
//
// The connection thread only stores its result; the screen acts on it in its next update, on
// the main thread, which owns the screens.
class QCGamePlay : public QCGameState {
public:
    QCGamePlay(CTextureManager* textures, QCGame* game, sf::IpAddress address, uint16_t port,
               Callback<void, bool> result_hook);
    // Ends the session first (its connection attempt gives up at once), so that nothing of it
    // outlives the sprites it draws with.
    ~QCGamePlay() override;

    // The game keeps running under any screen.
    bool runs_when_inactive() override { return true; }
    bool takes_input_when_inactive() override;
    void on_closed() override { closed = true; }
    void on_window_resized(const SDL_ResizeEvent& event) override;

    void update(float dt) override;
    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;
    void on_key_pressed(const SDL_KeyboardEvent& event) override;
    void on_key_released(const SDL_KeyboardEvent& event) override;

    // The status box and the load screen show exactly while the text is not empty.
    void set_status_message(const std::string& text);
    // A timed message line; the oldest goes when more than maxMessages are held.
    void add_message(const std::string& text);
    void update_messages(float dt);

    // Told on the connection thread; stored for the next update.
    void on_connect_result(bool ok);
    // Closes every screen above this one, then this one; the menu below takes over.
    void on_disconnected();

    // The game's listeners.
    void on_level_generated();
    void on_spawn_positions_set();
    void on_match_over();
    void on_play_sound(const SoundRequest& request);
    void on_game_setup();
    void on_player_hit(const IdRecord& hit);

    // The session's drawing side, which outlives it.
    std::unique_ptr<GameDrawing> drawing;
    // The screen's session; it goes before the world sprites its objects draw into.
    std::unique_ptr<QGGame> client_game;
    std::vector<EventSubscription> subscriptions;
    Callback<void, bool> result_callback;
    bool open_level_generator = false;
    bool closed = false;
    float message_timer = 0.0f;
    std::list<std::string> messages;
    CLabelSprite* message_label = nullptr;
    CLabelSprite* status_label = nullptr;
    CImageSprite* load_screen = nullptr;
    float damage_fade = 0.0f;
    CSpriteManager* world_sprites = nullptr;
    QCInventory* inventory = nullptr;

private:
    // The connection's outcome, on the main thread: the opener is told first.
    void act_on_connect_result(bool ok);
    // The local player while the match runs, or null.
    QGPlayer* playing_player();
    void send_input(InputKind kind, uint32_t value);
    void send_aim();
    void fade_damage_flash();
    void rebuild_message_text();

    // -1: nothing to act on; 0 failed; 1 connected.
    std::atomic<int> pending_connect_result{-1};
    // The last aim posted and the entity id of the player it was for (0: none yet). The server's
    // echo of it takes a round trip, in which it is not sent again.
    fvec2d last_aim_sent;
    unsigned int last_aim_player = 0;
};
