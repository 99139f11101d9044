#pragma once
#include <string>

#include "game/config/ini_field.h"
#include "game/config/settings.h"

// The user's settings the client's menus show and store (config.ini), as rows: type, name,
// file, section, key, default as in the game's settings table. Each is read when a menu shows it
// (the menus change them while the client runs) and written by the menu that owns it. Window
// size, full-screen mode and the player's name are rows of the game's table (setting_keys), the
// host menu's fields are HostMenuSettings (client/qc_host_menu.h).
#define BRAWL_CLIENT_SETTINGS(X)                                                          \
    X(int, volume, kUserIni, "system", "volume", within(200, 0, 255)) /* master volume */ \
    X(bool, show_fps, kUserIni, "system", "showFPS", false)                               \
    X(bool, settings_movable, kUserIni, "system", "settingsMovable", true)                \
    /* the server last joined */                                                          \
    X(std::string, join_ip, kUserIni, "join", "ip", "127.0.0.1")                          \
    X(std::string, join_port, kUserIni, "join", "port", "4200")

namespace client_settings {
BRAWL_CLIENT_SETTINGS(BRAWL_DECLARE_INI_KEY)
}  // namespace client_settings
