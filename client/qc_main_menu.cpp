#include "client/qc_main_menu.h"

#include "client/client_skins.h"
#include "client/qc_game.h"
#include "client/qc_host_menu.h"
#include "client/qc_join_menu.h"
#include "client/qc_settings_window.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/panel.h"
#include "game/config/settings.h"

QCMainMenu* QCMainMenu::instance = nullptr;

namespace {

std::string stored_name() { return setting_keys::user_name.read(); }

}  // namespace

QCMainMenu::QCMainMenu(CTextureManager* textures, QCGame* owner) : QCGameState(textures, owner) {
    instance = this;
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);

    CPanel* panel = new CPanel(this, textures);
    skin_panel(panel, textures, 200, 400);
    panel->set_horizontal_anchor(Anchor::Centre);
    panel->set_vertical_anchor(Anchor::Centre);
    add_child(panel);

    CLabel* caption = new CLabel(panel, font);
    setup_label(caption, 180, 24, "Character Name (1 - 15 chars):");
    panel->add_child(caption);

    name_edit = new CEdit(panel, font);
    skin_edit(name_edit, textures, 180, 24, stored_name());
    name_edit->CSprite::set_y(caption->CSprite::get_y() + caption->get_height());
    name_edit->set_on_focus_lost(on_name_changed);
    panel->add_child(name_edit);

    auto button = [&](const char* text, int vertical_anchor, float y) {
        CButton* b = new CButton(panel, font);
        skin_button(b, textures, 180, 24, text);
        b->set_vertical_anchor(vertical_anchor);
        b->CSprite::set_y(y);
        b->on_click = on_button;
        panel->add_child(b);
        return b;
    };
    join_button = button("Join Game", Anchor::Centre, -29);
    host_button = button("Host Game", Anchor::Centre, 5);
    exit_button = button("Exit", Anchor::End, 0);
    settings_button = button("Settings", Anchor::End, exit_button->CSprite::get_y() + exit_button->get_height() + 10);
}

QCMainMenu::~QCMainMenu() {
    if (instance == this) instance = nullptr;
}

void QCMainMenu::on_name_changed(CInterfaceElement* sender) {
    QCMainMenu* menu = instance;
    if (!menu || sender != menu->name_edit) return;
    std::string name = menu->name_edit->get_text();
    if (name.empty()) {
        menu->name_edit->set_text(stored_name());
        return;
    }
    if (name.size() > kMaxNameLength) {
        name.resize(kMaxNameLength);
        menu->name_edit->set_text(name);
    }
    if (!setting_keys::user_name.store(name))
        log_message(LogLevel::Warning, std::string("Could not store the name in ") + kUserIni + ".",
                    log_class_name_of(*menu));
}

void QCMainMenu::on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    QCMainMenu* menu = instance;
    if (!menu) return;
    QCGame* game = menu->game;
    if (sender == menu->exit_button) {
        game->quit_requested = true;
    } else if (sender == menu->settings_button) {
        if (menu->get_child(menu->settings_window_index)) return;
        auto* window = new QCSettingsWindow(menu, menu->get_texture_manager(), game);
        menu->settings_window_index = menu->add_child(window);
    } else if (sender == menu->join_button) {
        game->push_state<QCJoinMenu>();
    } else if (sender == menu->host_button) {
        game->push_state<QCHostMenu>();
    }
}
