#include "client/qc_join_menu.h"

#include "client/client_settings.h"
#include "client/client_skins.h"
#include "client/menu_builder.h"
#include "client/qc_game.h"
#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "engine/ui/panel.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "platform/clock.h"

QCJoinMenu* QCJoinMenu::instance = nullptr;
unsigned short QCJoinMenu::browser_port = lan_announce_port;

namespace {

constexpr float kEntryLifeSeconds = 2.0f;

}  // namespace

QCJoinMenu::QCJoinMenu(CTextureManager* textures, QCGame* owner)
    : QCGameState(textures, owner), browser(kEntryLifeSeconds, browser_port) {
    instance = this;
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);

    CPanel* panel = new CPanel(this, textures);
    skin_panel(panel, textures, 300, 380);
    add_child(place(panel, 0, 0, Anchor::Centre, Anchor::Centre));

    const MenuBuilder ui{panel, textures, font};

    place(ui.label(280, "Join Game"), 0, 0);
    place(ui.label(280, "Local Servers:"), 0, 34);
    server_list = new CListBox(panel);
    skin_list_box(server_list, font, 280, 200, 40, textures);
    server_list->set_on_select(on_server_list_click);
    panel->add_child(place(server_list, 0, 58));
    place(ui.label(20, "IP:"), 0, 268);
    ip_edit = place(ui.edit(120, client_settings::join_ip.read()), 30, 268);
    place(ui.label(40, "Port:"), 160, 268);
    port_edit = place(ui.edit(80, client_settings::join_port.read()), 200, 268);
    error_label = place(ui.label(280, "Failed to connect to server."), 0, 302);
    error_label->set_text_color(ColorRGB{220, 0, 0});
    error_label->set_visible(false);
    cancel_button = place(ui.button(100, "Cancel", on_button), 0, 0, Anchor::Start, Anchor::End);
    join_button = place(ui.button(100, "Join", on_button), 0, 0, Anchor::End, Anchor::End);
}

QCJoinMenu::~QCJoinMenu() {
    if (instance == this) instance = nullptr;
}

void QCJoinMenu::on_uncovered() {
    cancel_button->set_enabled(true);
    join_button->set_enabled(true);
}

void QCJoinMenu::refresh_list() {
    browser.update();
    std::vector<ServerInfo> listed;
    browser.list_servers(listed);
    bool same_names = listed.size() == servers.size();
    for (std::size_t i = 0; same_names && i < listed.size(); ++i) same_names = listed[i].name == servers[i].name;
    servers = std::move(listed);
    // Rows are rebuilt only when what they show changed, so a row under the mouse survives
    // from the press to the release. The selection stays on its row number.
    if (same_names) return;
    const int selected = server_list->get_selected_item();
    const float scroll = server_list->get_scrollbar()->get_value();
    server_list->clear_items();
    for (const ServerInfo& server : servers) server_list->add_item(server.name, -1);
    server_list->select_item(selected);
    server_list->get_scrollbar()->set_value(scroll);
}

void QCJoinMenu::update(float dt) {
    refresh_list();
    sf::IpAddress address;
    if (lookup.take_result(address)) finish_join(address);
    const int result = pending_connect_result.exchange(-1);
    if (result == 1) {
        keep_running = false;
    } else if (result == 0) {
        show_error("Failed to connect to server.");
        keep_running = true;
    }
    QCGameState::update(dt);
}

void QCJoinMenu::show_error(const std::string& text) {
    error_label->set_text(text);
    error_label->set_visible(true);
}

void QCJoinMenu::on_connect_result(bool success) { pending_connect_result.store(success ? 1 : 0); }

void QCJoinMenu::on_server_list_click(CListBox* list, const SDL_MouseButtonEvent*, int index) {
    QCJoinMenu* menu = instance;
    if (!menu || list != menu->server_list) return;
    const uint32_t now = platform::tick_count_ms();
    if (index < 0 || std::size_t(index) >= menu->servers.size()) return;
    const Connection& server = menu->servers[std::size_t(index)].connection;
    menu->ip_edit->set_text(address_text(server.address));
    menu->port_edit->set_text(std::to_string(server.port));
    const bool second_click = uint32_t(now - menu->last_click_ms) < kDoubleClickMs;
    menu->last_click_ms = now;
    if (second_click) on_button(menu->join_button, nullptr);
}

void QCJoinMenu::on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    QCJoinMenu* menu = instance;
    if (!menu) return;
    if (sender == menu->cancel_button) {
        menu->game->close_top_state();
        return;
    }
    if (sender != menu->join_button || menu->lookup.pending()) return;
    menu->join_ip_text = menu->ip_edit->get_text();
    menu->join_port_text = menu->port_edit->get_text();
    sf::IpAddress address;
    if (menu->lookup.start(menu->join_ip_text) && menu->lookup.take_result(address)) {
        menu->finish_join(address);
        return;
    }
    // A host name: the window goes on while it is looked up; Cancel stays available.
    menu->join_button->set_enabled(false);
}

void QCJoinMenu::finish_join(const sf::IpAddress& address) {
    join_button->set_enabled(true);
    if (address == sf::IpAddress::None) {
        show_error("Invalid IP address.");
        return;
    }
    const int port = parse_int(join_port_text, -1);
    if (port < 0) {
        show_error("Invalid port.");
        return;
    }
    IniBatch batch;
    client_settings::join_ip.write(batch, join_ip_text);
    client_settings::join_port.write(batch, join_port_text);
    if (!batch.commit())
        log_message(LogLevel::Warning, std::string("Could not store the server in ") + kUserIni + ".",
                    log_class_name_of(*this));
    keep_running = true;
    cancel_button->set_enabled(false);
    join_button->set_enabled(false);
    error_label->set_visible(false);
    Callback<void, bool> on_result(this, &QCJoinMenu::on_connect_result);
    if (!game->join(address, uint16_t(port), on_result)) {
        // Nothing was opened: the menu stays usable.
        cancel_button->set_enabled(true);
        join_button->set_enabled(true);
    }
}
