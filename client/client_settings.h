#pragma once
#include <string>

#include "game/config/ini_field.h"
#include "game/config/settings.h"

// The user's settings the client's menus show and store (config.ini), as rows: type, name,
// file, section, key, default as in the game's settings table. Each is read when a menu shows it
// (the menus change them while the client runs) and written by the menu that owns it. Window
// size, full-screen mode and the player's name are rows of the game's table (setting_keys).
#define BRAWL_CLIENT_SETTINGS(X)                                                          \
    X(int, volume, kUserIni, "system", "volume", within(200, 0, 255)) /* master volume */ \
    X(bool, show_fps, kUserIni, "system", "showFPS", false)                               \
    X(bool, settings_movable, kUserIni, "system", "settingsMovable", true)                \
    /* the host menu's fields as the last match was hosted; the texts as typed */         \
    X(std::string, host_name, kUserIni, "host", "name", "VORTELUNE")                      \
    X(std::string, host_port, kUserIni, "host", "port", "4200")                           \
    X(int, host_players, kUserIni, "host", "players", 2)                                  \
    X(bool, host_teams, kUserIni, "host", "teams", false)                                 \
    X(bool, host_friendly_fire, kUserIni, "host", "friendlyFire", false)                  \
    X(std::string, host_time, kUserIni, "host", "time", "5")                              \
    X(std::string, host_lives, kUserIni, "host", "lives", "5")                            \
    X(std::string, host_respawn_time, kUserIni, "host", "respawnTime", "5")               \
    /* the server last joined */                                                          \
    X(std::string, join_ip, kUserIni, "join", "ip", "127.0.0.1")                          \
    X(std::string, join_port, kUserIni, "join", "port", "4200")

namespace client_settings {
BRAWL_CLIENT_SETTINGS(BRAWL_DECLARE_INI_KEY)
}  // namespace client_settings
