#include "client/qc_inventory.h"

#include <algorithm>

#include "client/qc_game.h"
#include "client/qc_game_play.h"
#include "engine/gfx/font.h"
#include "engine/gfx/texture_manager.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_weapon.h"
#include "game/session/qg_game.h"

namespace {

constexpr float kMargin = 10;

CFont* inventory_font_of(QCGamePlay* screen) {
    CFontFactory* fonts = screen->game ? screen->game->get_font_factory() : nullptr;
    return fonts ? fonts->get_font(inventory_font_size, inventory_font) : nullptr;
}

}  // namespace

QCInventory::QCInventory(QCGamePlay* screen, QGGame* game)
    : CLabel(screen, inventory_font_of(screen)), client_game(game) {
    CSprite::set_x(kMargin);
    CSprite::set_y(kMargin);
    set_z(1.0f);
    set_size(2 * kMargin, 2 * kMargin);
    set_text_box(kMargin, kMargin, 0, 0);
    set_horizontal_alignment(2);
    set_vertical_alignment(1);
    set_multiline(true);
    set_horizontal_anchor(Anchor::End);
    set_vertical_anchor(Anchor::Start);
    set_text_color(inventory_color);
    if (CTextureManager* textures = screen->get_texture_manager()) {
        CTexture* background = textures->get_texture(true, false, "gfx\\blend.png");
        set_texture(background);
        // Shared by path: the status box shows the same picture, unsmoothed too.
        background->set_linear_filtering(false);
    }
}

std::string QCInventory::slot_line(QGGame& game, unsigned int slot, unsigned int entity_id, bool selected) {
    std::string line = (slot < 10 ? std::to_string(slot + 1) : std::string("0")) + ". ";
    QGObject* object = game.registry().find_object(entity_id);
    std::string name;
    bool known = false;
    bool counted = false;
    unsigned int count = 0;
    if (auto* weapon = dynamic_cast<QGWeapon*>(object)) {
        known = true;
        name = weapon->definition().name;
        counted = weapon->max_ammo() != 0;
        count = weapon->ammo;
    } else if (auto* item = dynamic_cast<QGSpecialItem*>(object)) {
        known = true;
        name = item->definition().name;
        counted = item->max_amount() != 0;
        count = item->amount;
    }
    if (!known) return line + "<Invalid entry>\n";
    line += name;
    if (counted) line += " (" + std::to_string(count) + ")";
    return line + (selected ? " [X]\n" : " [_]\n");
}

void QCInventory::update(float dt) {
    CLabel::update(dt);
    QGGame* game = client_game;
    if (!game || !game->match_running) return;
    QGPlayer* player = game->registry().get_player(game->local_player_id);
    if (!player) return;

    std::string text;
    float width = 2 * kMargin;
    float height = 2 * kMargin;
    for (unsigned int slot = 0; slot < player->inventory.size(); ++slot) {
        const std::string line = slot_line(*game, slot, player->inventory[slot], slot == player->selected_slot);
        if (font) {
            const ivec2d size = font->get_text_size(line.substr(0, line.size() - 1));
            width = std::max(width, float(size.x) + 2 * kMargin);
            height += float(size.y);
        }
        text += line;
    }
    set_size(width, height);
    set_text_box(kMargin, kMargin, width - 2 * kMargin, height - 2 * kMargin);
    set_text(text);
}
