#include "client/qc_host_menu.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "client/client_skins.h"
#include "client/menu_builder.h"
#include "client/qc_game.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/panel.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "platform/process.h"

QCHostMenu* QCHostMenu::instance = nullptr;

namespace HostMenuSettings {
BRAWL_HOST_MENU_SETTINGS(BRAWL_DEFINE_INI_KEY)
}  // namespace HostMenuSettings

namespace {

constexpr const char* kRefused = "Incorrect values entered. Please try again.";

// The leading decimal number of the text as atoi reads it, kept within int's range; 0 when
// the text does not begin with one.
int leading_int(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

// Stream extraction of a float; 0 when the text does not begin with a number.
float leading_float(const std::string& text) {
    std::istringstream in(text);
    float value = 0;
    if (!(in >> value)) return 0;
    return value;
}

std::string fixed_six(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", double(value));
    return text;
}

const char* bool_text(bool value) { return value ? "true" : "false"; }

}  // namespace

QCHostMenu::QCHostMenu(CTextureManager* textures, QCGame* owner) : QCGameState(textures, owner) {
    instance = this;
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);
    namespace stored = HostMenuSettings;

    CPanel* panel = new CPanel(this, textures);
    skin_panel(panel, textures, 300, 430);
    add_child(place(panel, 0, 0, Anchor::Centre, Anchor::Centre));

    const MenuBuilder ui{panel, textures, font};

    place(ui.label(280, "Host Game"), 0, 0);
    place(ui.label(280, "Server Name:"), 0, 34);
    name_edit = place(ui.edit(280, stored::name.read()), 0, 68);
    place(ui.label(100, "Port:"), 0, 102);
    port_edit = place(ui.edit(100, stored::port.read()), 0, 102, Anchor::End);
    place(ui.label(280, "Number of players:"), 0, 136);

    players_scrollbar = new CScrollbar(panel);
    skin_scrollbar(players_scrollbar, font, 200, 16, 24, textures, false);
    players_scrollbar->set_minimum(2);
    players_scrollbar->set_maximum(16);
    players_scrollbar->set_step(1);
    players_scrollbar->set_value(float(stored::players.read()));
    panel->add_child(place(players_scrollbar, 0, 160));
    players_label = place(ui.label(80, std::to_string(int(players_scrollbar->get_value()))), 0, 160, Anchor::End);
    players_label->set_horizontal_alignment(0);

    teams_checkbox = place(ui.checkbox("Teams", stored::teams.read()), 0, 194);
    friendly_fire_checkbox = place(ui.checkbox("Friendly Fire", stored::friendly_fire.read()), 0, 228);
    place(ui.label(180, "Match Time (minutes):"), 0, 262);
    time_edit = place(ui.edit(100, stored::time.read()), 0, 262, Anchor::End);
    place(ui.label(100, "Lives:"), 0, 296);
    lives_edit = place(ui.edit(100, stored::lives.read()), 0, 296, Anchor::End);
    place(ui.label(100, "Respawn Time:"), 0, 330);
    respawn_edit = place(ui.edit(100, stored::respawn_time.read()), 0, 330, Anchor::End);
    status_label = place(ui.label(280, kRefused), 0, 364);
    status_label->set_text_color(ColorRGB{220, 0, 0});
    status_label->set_visible(false);
    cancel_button = place(ui.button(100, "Cancel", start_server), 0, 0, Anchor::Start, Anchor::End);
    host_button = place(ui.button(100, "Host", start_server), 0, 0, Anchor::End, Anchor::End);

    update_enabled_states();
    players_scrollbar->set_on_value_change(on_players_changed);
    teams_checkbox->set_on_change(on_teams_toggled);
}

QCHostMenu::~QCHostMenu() {
    if (instance == this) instance = nullptr;
}

void QCHostMenu::on_uncovered() {
    cancel_button->set_enabled(true);
    host_button->set_enabled(true);
}

void QCHostMenu::update(float dt) {
    const int result = pending_connect_result.exchange(-1);
    if (result == 1) {
        keep_running = false;
    } else if (result == 0) {
        show_status("Failed to connect to server.");
        keep_running = true;
    }
    QCGameState::update(dt);
}

void QCHostMenu::on_connect_result(bool success) { pending_connect_result.store(success ? 1 : 0); }

void QCHostMenu::show_status(const std::string& text) {
    status_label->set_text(text);
    status_label->set_visible(true);
}

void QCHostMenu::update_enabled_states() {
    const bool even = int(players_scrollbar->get_value()) % 2 == 0;
    teams_checkbox->set_enabled(even);
    if (!even) teams_checkbox->set_checked(false);
    friendly_fire_checkbox->set_enabled(even && teams_checkbox->is_checked());
}

void QCHostMenu::on_players_changed(CInterfaceElement* sender, float, float new_value) {
    QCHostMenu* menu = instance;
    if (!menu || sender != menu->players_scrollbar) return;
    menu->players_label->set_text(std::to_string(int(new_value)));
    menu->update_enabled_states();
}

void QCHostMenu::on_teams_toggled(CInterfaceElement* sender, const SDL_MouseButtonEvent*, int) {
    QCHostMenu* menu = instance;
    if (!menu || sender != menu->teams_checkbox) return;
    menu->friendly_fire_checkbox->set_enabled(menu->teams_checkbox->is_enabled() && menu->teams_checkbox->is_checked());
}

std::vector<std::string> QCHostMenu::server_arguments() {
    const std::string name = name_edit->get_text();
    const std::string time = time_edit->get_text();
    const uint16_t port = uint16_t(leading_int(port_edit->get_text()));
    const int lives = leading_int(lives_edit->get_text());
    if (name.empty() || time.empty() || port == 0 || lives == 0) {
        show_status(kRefused);
        return {};
    }
    // One argument each: the name reaches the server as typed, whatever characters it holds.
    return {std::to_string(port),
            std::to_string(int(players_scrollbar->get_value())),
            std::to_string(lives),
            fixed_six(leading_float(time)),
            fixed_six(leading_float(respawn_edit->get_text())),
            bool_text(teams_checkbox->is_checked()),
            bool_text(friendly_fire_checkbox->is_checked()),
            name};
}

void QCHostMenu::save_settings() {
    namespace stored = HostMenuSettings;
    IniBatch batch;
    stored::name.write(batch, name_edit->get_text());
    stored::port.write(batch, port_edit->get_text());
    stored::players.write(batch, int(players_scrollbar->get_value()));
    stored::teams.write(batch, teams_checkbox->is_checked());
    stored::friendly_fire.write(batch, friendly_fire_checkbox->is_checked());
    stored::time.write(batch, time_edit->get_text());
    stored::lives.write(batch, lives_edit->get_text());
    stored::respawn_time.write(batch, respawn_edit->get_text());
    if (!batch.commit())
        log_message(LogLevel::Warning, std::string("Could not store the host settings in ") + kUserIni + ".",
                    log_class_name_of(*this));
}

void QCHostMenu::start_server(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    QCHostMenu* menu = instance;
    if (!menu) return;
    if (sender == menu->cancel_button) {
        menu->game->close_top_state();
        return;
    }
    if (sender != menu->host_button) return;
    const std::vector<std::string> arguments = menu->server_arguments();
    if (arguments.empty()) return;
    if (platform::start_program(kServerProgram, arguments) < 0) {
        menu->show_status("Failed to start server.");
        return;
    }
    menu->save_settings();
    const uint16_t port = uint16_t(leading_int(menu->port_edit->get_text()));
    Callback<void, bool> on_result(menu, &QCHostMenu::on_connect_result);
    menu->status_label->set_visible(false);
    if (menu->game->join(sf::IpAddress(127, 0, 0, 1), port, on_result)) {
        menu->cancel_button->set_enabled(false);
        menu->host_button->set_enabled(false);
        menu->keep_running = true;
    }
}
