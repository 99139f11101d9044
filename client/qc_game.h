#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <cstdint>
#include <list>
#include <utility>

#include "client/qc_game_state.h"
#include "engine/app/game_base.h"
#include "engine/core/callback.h"
#include "engine/scene/label_sprite.h"

class CTextureManager;

// The client application: the window, the stack of screens (bottom = main menu, top = the
// active screen), the texture manager every screen shares, the frame-rate label and the
// post-process program of the damage flash. Each frame, input and resize goes to the screens
// from bottom to top as their state allows.
class QCGame : public CGameBase {
public:
    // Opens the window at the configured size (see startup_window_size). A valid address with
    // a port other than 0 joins that server at start-up.
    QCGame(sf::IpAddress server_address, uint16_t server_port);
    ~QCGame() override;

    void on_start() override;
    void on_shutdown() override;
    void render(SDL_Surface* screen) override;
    void update(float dt) override;
    void on_active_event(const SDL_Event& event) override;
    void on_key_pressed(const SDL_Event& event) override;
    void on_key_repeat(const SDL_Event& event) override;
    void on_key_released(const SDL_Event& event) override;
    void on_mouse_motion(const SDL_Event& event) override;
    void on_mouse_button_down(const SDL_Event& event) override;
    void on_mouse_button_up(const SDL_Event& event) override;
    void on_resize(const SDL_Event& event) override;

    // Covers the top screen and puts a new T (texture manager, this game, args...) on top.
    template <typename T, typename... Args>
    T* push_state(Args&&... args) {
        if (!states.empty()) {
            QCGameState* top = states.back();
            top->active = false;
            top->on_covered();
        }
        T* state = new T(texture_manager, this, std::forward<Args>(args)...);
        state->active = true;
        state->on_entered();
        states.push_back(state);
        return state;
    }
    // Closes the topmost screen that has not finished and activates the one below it; the
    // closed screen is deleted by the next update.
    void close_top_state();

    // Opens the gameplay screen, which connects to the server; `on_result` hears, on the main
    // thread, whether the connection was made. Answers the new screen.
    QCGameState* join(const sf::IpAddress& address, uint16_t port, Callback<void, bool> on_result);
    // The post-process damage flash, 0 (none) to 1; at 0 the frame goes to the window unshaded.
    void set_damage_fade(float fade);

    // The master volume stored in config.ini, clamped to 0..255.
    static uint8_t stored_volume();
    // Whether a window of that size can be opened: both sides above 0 and within what the
    // display and the render target allow.
    static bool window_size_allowed(int width, int height);
    // The configured window size; a size that is not allowed gives 1024 x 768, or the
    // display's size when that is smaller.
    static std::pair<int, int> startup_window_size();

    sf::IpAddress server_address;
    uint16_t server_port = 0;
    std::list<QCGameState*> states;
    CTextureManager* texture_manager = nullptr;
    CLabelSprite fps_label;
    // The size the window was opened with: what a revert falls back on when config.ini holds a
    // size that is not allowed.
    int startup_width = 0;
    int startup_height = 0;

private:
    QCGame(sf::IpAddress server_address, uint16_t server_port, std::pair<int, int> window_size);
    // The largest side the render target takes; 0 before the window is open.
    static int largest_render_side();
};
