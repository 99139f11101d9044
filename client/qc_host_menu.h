#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "client/qc_game_state.h"
#include "game/config/ini_field.h"
#include "game/config/settings.h"

class CButton;
class CCheckbox;
class CEdit;
class CLabel;
class CScrollbar;

// The host menu's fields as the last match was hosted, config.ini [host], as rows: type, name,
// file, section, key, default as in the game's settings table. The texts are kept as typed.
#define BRAWL_HOST_MENU_SETTINGS(X)                                 \
    X(std::string, name, kUserIni, "host", "name", "VORTELUNE")     \
    X(std::string, port, kUserIni, "host", "port", "4200")          \
    X(int, players, kUserIni, "host", "players", 2)                 \
    X(bool, teams, kUserIni, "host", "teams", false)                \
    X(bool, friendly_fire, kUserIni, "host", "friendlyFire", false) \
    X(std::string, time, kUserIni, "host", "time", "5")             \
    X(std::string, lives, kUserIni, "host", "lives", "5")           \
    X(std::string, respawn_time, kUserIni, "host", "respawnTime", "5")

namespace HostMenuSettings {
BRAWL_HOST_MENU_SETTINGS(BRAWL_DECLARE_INI_KEY)
}  // namespace HostMenuSettings

// Setting up and hosting a match: the settings last used (config.ini [host]) are checked, the
// server program is started beside the client with them as its eight arguments, the settings
// are saved, and the client joins the new server at 127.0.0.1.
class QCHostMenu : public QCGameState {
public:
    // The server program, as the system's text names it; the platform finds it beside the
    // running program.
    static constexpr const char* kServerProgram = "brawl_server.exe";

    QCHostMenu(CTextureManager* textures, QCGame* game);
    ~QCHostMenu() override;

    bool runs_when_inactive() override { return keep_running; }
    // Both buttons come back when the screen above closes.
    void on_uncovered() override;
    // Acts on a connection result that has arrived, then updates the widgets.
    void update(float dt) override;

    // The server's eight arguments from the controls; empty (with the status shown) when the
    // values are refused.
    std::vector<std::string> server_arguments();

    static void start_server(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void on_players_changed(CInterfaceElement* sender, float old_value, float new_value);
    static void on_teams_toggled(CInterfaceElement* sender, const SDL_MouseButtonEvent* event, int state_before);
    // The connection outcome, told on the game's connection thread; the screen acts on it in
    // its next update.
    void on_connect_result(bool success);

    bool keep_running = true;
    CEdit* name_edit = nullptr;
    CEdit* port_edit = nullptr;
    CScrollbar* players_scrollbar = nullptr;
    CLabel* players_label = nullptr;
    CCheckbox* teams_checkbox = nullptr;
    CCheckbox* friendly_fire_checkbox = nullptr;
    CEdit* time_edit = nullptr;
    CEdit* lives_edit = nullptr;
    CEdit* respawn_edit = nullptr;
    CLabel* status_label = nullptr;
    CButton* cancel_button = nullptr;
    CButton* host_button = nullptr;

    static QCHostMenu* instance;

private:
    void show_status(const std::string& text);
    // Teams only with an even player count; friendly fire only with teams.
    void update_enabled_states();
    void save_settings();

    // -1: nothing to act on; 0 failure; 1 success.
    std::atomic<int> pending_connect_result{-1};
};
