// The drawing services: which object gets which look, and the looks of the players and what they
// meet, of the match and of the chat.
#include "game/drawing/game_drawing.h"

#include <GL/glew.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "engine/gfx/viewport.h"
#include "engine/scene/rotatable_sprite.h"
#include "engine/ui/edit.h"
#include "engine/ui/interface_container.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/drawing/water.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_tombstone.h"
#include "game/entities/qg_weapon.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/water/water_object.h"

namespace {

// Shows the texture's tiles of the size, one frame each.
void show_sheet(const GameDrawing& drawing, CImageSprite* sprite, const std::string& path, ivec2d tile) {
    sprite->set_texture(drawing.texture(path));
    sprite->set_tile_width(tile.x);
    sprite->set_tile_height(tile.y);
}

// Name labels read on any ground: the text in its colour lifted a quarter of the way to white
// (the hue kept) on a dark plate just the size of the text, both above the world's objects.
ColorRGB label_colour(ColorRGB c) {
    auto lift = [](uint8_t v) { return uint8_t(v + (255 - v) / 4); };
    return {lift(c.r), lift(c.g), lift(c.b)};
}

// Sizes the plate to the label's text; no text, no plate.
void fit_plate(CLabelSprite* label, CImageSprite* plate) {
    CFont* font = label->get_font();
    const ivec2d text = font && !label->get_text().empty() ? font->get_text_size(label->get_text()) : ivec2d{};
    plate->set_visible(text.x > 0);
    plate->set_size(float(text.x) + 8.0f, float(text.y) + 2.0f);
}

void set_label_text(CLabelSprite* label, CImageSprite* plate, const std::string& text) {
    if (text == label->get_text()) return;
    label->set_text(text);
    fit_plate(label, plate);
}

// Places the name label centred above the sprite, its plate (a sibling, so that it sorts and
// tests depth below the label) behind the text.
void place_name_label(const GameDrawing& drawing, CImageSprite* sprite, CLabelSprite* label, CImageSprite* plate) {
    label->set_size(player_label_size.x, player_label_size.y);
    label->set_x((sprite->get_width() - label->get_width()) * 0.5f);
    label->set_y(-label->get_height());
    label->set_text_box(0.0f, 0.0f, label->get_width(), label->get_height());
    label->set_horizontal_alignment(0);
    label->set_z(0.3f);
    plate->set_texture(drawing.texture("gfx\\blend.png"));
    plate->set_z(0.29f);
    fit_plate(label, plate);
}

// Keeps the label at its size on screen, however the view scales the world, with its plate
// centred on the text. At the window's edge both slide inwards: the text stays whole while the
// sprite's middle is in the window, then leaves with the rest of the sprite.
void keep_label_size(CImageSprite* sprite, CLabelSprite* label, CImageSprite* plate) {
    const float scale = sprite->get_absolute_scale();
    const float label_scale = scale > 0.0f ? 1.0f / scale : 1.0f;
    label->set_scale(label_scale);
    plate->set_scale(label_scale);
    const float label_x = (sprite->get_width() - label_scale * label->get_width()) * 0.5f;
    const float inset_x = (label->get_width() - plate->get_width()) * 0.5f * label_scale;
    label->set_y(-(label_scale * label->get_height()));
    plate->set_y(label->get_y() + (label->get_height() - plate->get_height()) * 0.5f * label_scale);
    label->set_x(label_x);
    plate->set_x(label_x + inset_x);
    const float window = float(CViewport::window_width);
    if (window <= 0.0f || !plate->is_visible()) return;
    const float left = plate->point_to_global({0.0f, 0.0f}).x;
    const float right = plate->point_to_global({plate->get_width(), 0.0f}).x;
    const float middle = sprite->point_to_global({sprite->get_width() * 0.5f, 0.0f}).x;
    const float stretch = (right - left) / std::max(sprite->get_width() * scale * 0.5f, 1.0f);
    const float lowest = std::min(middle, 0.0f) * stretch;
    const float highest = window + std::max(middle - window, 0.0f) * stretch;
    const float shift = left < lowest ? lowest - left : right > highest ? highest - right : 0.0f;
    label->set_x(label_x + shift * label_scale);
    plate->set_x(label_x + inset_x + shift * label_scale);
}

// The sprite's place for the player's collider.
fvec2d sprite_origin(const QGPlayer& p, CImageSprite* sprite) {
    return {p.position.x + (float(p.size.x) - sprite->get_width()) * 0.5f - player_collision_offset.x,
            p.position.y + (float(p.size.y) - sprite->get_height()) * 0.5f - player_collision_offset.y};
}

// An invisible player is seen only by its own participant.
bool player_shown(const QGPlayer& p) {
    return p.spawned && !(p.invisible && p.game->local_player_id != p.player_index);
}

struct PlateBox {
    float x = 0, y = 0, width = 0, height = 0;
    float pixel = 1;  // a pixel of the window in the world's units
    bool overlaps(const PlateBox& o, float lift, float other_lift) const {
        return x < o.x + o.width && o.x < x + width && y - lift < o.y - other_lift + o.height &&
               o.y - other_lift < y - lift + height;
    }
};

// Where keep_label_size puts the plate of a shown player's label before any lift, in the world's
// units, from the rules' position: another player's look may not have moved yet this step.
std::optional<PlateBox> name_plate(const QGPlayer& p) {
    const auto* look = look_of<PlayerLook>(&p);
    if (!look || !player_shown(p) || !look->plate->is_visible()) return std::nullopt;
    const float scale = look->sprite->get_absolute_scale();
    const float s = scale > 0.0f ? 1.0f / scale : 1.0f;
    const fvec2d at = sprite_origin(p, look->sprite.get());
    const float width = look->plate->get_width() * s, height = look->plate->get_height() * s;
    const float label_height = look->label->get_height() * s;
    return PlateBox{at.x + (look->sprite->get_width() - width) * 0.5f,
                    at.y - label_height + (label_height - height) * 0.5f, width, height, s};
}

// How many plate heights the player's label rises so that it covers no label of a lower player
// index: players side by side get their names stacked, the lowest index nearest its sprite.
int name_row(const QGPlayer& self) {
    constexpr int kMostRows = int(kMaxPlayers);
    std::vector<std::pair<PlateBox, float>> placed;
    for (unsigned int i = 0; i < self.game->rules.player_count; ++i) {
        const QGPlayer* p = self.game->registry().get_player(i);
        const std::optional<PlateBox> box = p ? name_plate(*p) : std::nullopt;
        if (!box) {
            if (p == &self) return 0;
            continue;
        }
        const float pitch = box->height + box->pixel;
        int row = 0;
        for (std::size_t k = 0; k < placed.size() && row < kMostRows; ++k) {
            if (!box->overlaps(placed[k].first, float(row) * pitch, placed[k].second)) continue;
            ++row;
            k = std::size_t(-1);  // the lifted plate is tried against every placed one again
        }
        if (p == &self) return row;
        placed.emplace_back(*box, float(row) * pitch);
    }
    return 0;
}

// An item's picture turned about its rotation centre; a weapon or special item shows its
// definition's picture and size.
class ItemLook : public ObjectLook {
public:
    ItemLook(const GameDrawing& drawing, const QGItem& item) : sprite(drawing.sprites), drawing_(drawing), item_(item) {
        sprite->set_size(float(item.size.x), float(item.size.y));
        sprite->set_z(0.1f);
        dress();
        update();
    }
    void update() override {
        // The rotation centre lies on the collider centre.
        const dvec2d centre = item_.collider_centre(), pivot = item_.rotation_center;
        sprite->set_rotation_center(pivot);
        sprite->set_x(centre.x - pivot.x * sprite->get_width());
        sprite->set_y(centre.y - pivot.y * sprite->get_height());
        // A special item of invisibility at work hides itself with its holder.
        const bool hidden = special_ && special_->type() == SpecialItemType::Invisibility && special_->effect_timer > 0;
        sprite->set_visible(item_.shown && !hidden);
        sprite->set_rotation(item_.angle);
    }

private:
    void dress() {
        const auto* weapon = dynamic_cast<const QGWeapon*>(&item_);
        special_ = dynamic_cast<const QGSpecialItem*>(&item_);
        if (!weapon && !special_) return;
        const fvec2d size = weapon ? weapon->definition().display_size : special_->definition().display_size;
        sprite->set_size(size.x, size.y);
        sprite->set_texture(
            drawing_.texture(weapon ? weapon->definition().weapon_texture : special_->definition().texture));
    }

    SpriteHolder<CImageSpriteEx> sprite;
    const GameDrawing& drawing_;
    const QGItem& item_;
    const QGSpecialItem* special_ = nullptr;
};

class ProjectileLook : public ObjectLook {
public:
    ProjectileLook(const GameDrawing& drawing, const QGProjectile& projectile)
        : sprite(drawing.sprites), projectile_(projectile) {
        const WeaponDefinition& def = projectile.definition();
        sprite->set_z(0.15f);
        sprite->set_rotation_center({0.5f, 0.5f});
        sprite->set_size(def.projectile_display_size.x, def.projectile_display_size.y);
        show_sheet(drawing, sprite.get(), def.projectile_texture, def.projectile_tile_size);
        sprite->set_first_frame(0);
        sprite->set_last_frame(sprite->get_frame_count());
        sprite->set_playing(sprite->get_first_frame() != sprite->get_last_frame());
        sprite->set_animation_speed(def.projectile_anim_speed);
        sprite->set_repeat_count(-1);
        update();
    }
    void update() override {
        const dvec2d centre = projectile_.collider_centre();
        sprite->set_x(centre.x - 0.5f * sprite->get_width());
        sprite->set_y(centre.y - 0.5f * sprite->get_height());
        sprite->set_rotation(projectile_.angle);
    }

private:
    SpriteHolder<CImageSpriteEx> sprite;
    const QGProjectile& projectile_;
};

// The tombstone of the player index (another index has a plain one) with its caption above it.
class TombstoneLook : public ObjectLook {
public:
    TombstoneLook(const GameDrawing& drawing, const QGTombstone& tombstone)
        : sprite(drawing.sprites),
          label(drawing.sprites, sprite.get(), drawing.font(player_label_font_size, player_label_font)),
          plate(drawing.sprites, sprite.get()),
          tombstone_(tombstone) {
        const unsigned int index = tombstone.player_index;
        const PlayerDefinition* def = index < unsigned(kPlayerDefinitionCount) ? &player_definitions[index] : nullptr;
        sprite->set_size(float(tombstone.size.x), float(tombstone.size.y));
        sprite->set_z(0.01f);
        if (def) {
            show_sheet(drawing, sprite.get(), def->tombstone_texture, def->tile_size);
        }
        place_name_label(drawing, sprite.get(), label.get(), plate.get());
        if (def) label->set_text_color(label_colour(def->color));
        set_label_text(label.get(), plate.get(), tombstone.caption);
        update();
    }
    void update() override {
        sprite->set_x(tombstone_.position.x);
        sprite->set_y(tombstone_.position.y);
        keep_label_size(sprite.get(), label.get(), plate.get());
    }

private:
    SpriteHolder<CImageSprite> sprite;
    SpriteHolder<CLabelSprite> label;
    SpriteHolder<CImageSprite> plate;
    const QGTombstone& tombstone_;
};

class PortalLook : public ObjectLook {
public:
    PortalLook(const GameDrawing& drawing, const QGPortal& portal) : sprite(drawing.sprites), portal_(portal) {
        const PortalDefinition& def = portal_definition;
        sprite->set_size(def.display_size.x, def.display_size.y);
        show_sheet(drawing, sprite.get(), def.texture, def.tile_size);
        sprite->set_first_frame(def.idle_animation.first_frame);
        sprite->set_last_frame(def.idle_animation.last_frame);
        sprite->set_animation_speed(def.idle_animation.speed);
        sprite->set_repeat_count(def.idle_animation.repeat);
        sprite->set_playing(def.idle_animation.first_frame != def.idle_animation.last_frame);
        sprite->set_z(-0.5f);
        update();
    }
    void update() override {
        sprite->set_x(portal_.position.x + (float(portal_.size.x) - sprite->get_width()) * 0.5f);
        sprite->set_y(portal_.position.y + (float(portal_.size.y) - sprite->get_height()) * 0.5f);
    }

private:
    SpriteHolder<CImageSprite> sprite;
    const QGPortal& portal_;
};

// The sweetroll walks and fades in; when it bursts it plays its last frames fading out.
class SweetrollLook : public ObjectLook {
public:
    SweetrollLook(const GameDrawing& drawing, const QGSweetroll& sweetroll)
        : sprite(drawing.sprites), sweetroll_(sweetroll) {
        constexpr int kSide = 64;
        show_sheet(drawing, sprite.get(), "gfx\\sweetroll.png", {kSide, kSide});
        sprite->set_size(float(kSide), float(kSide));
        sprite->set_animation_speed(6.0f);
        sprite->set_first_frame(0);
        sprite->set_last_frame(2);
        sprite->set_playing(true);
        sprite->set_repeat_count(-1);
        sprite->set_alpha(0.0f);
    }
    void update() override {
        if (sweetroll_.is_leaving()) {
            sprite->set_animation_speed(10.0f);
            sprite->set_first_frame(6);
            sprite->set_last_frame(18);
            sprite->set_alpha(sweetroll_.leave_timer * 255.0f);
        } else {
            if (shown_direction_ != sweetroll_.direction) {
                shown_direction_ = sweetroll_.direction;
                sprite->set_first_frame(shown_direction_ ? 3 : 0);
                sprite->set_last_frame(shown_direction_ ? 5 : 2);
            }
            sprite->set_alpha(std::min(sweetroll_.fade_in, 1.0f) * 255.0f);
        }
        sprite->set_x(sweetroll_.position.x);
        sprite->set_y(sweetroll_.position.y);
    }

private:
    SpriteHolder<CImageSprite> sprite;
    const QGSweetroll& sweetroll_;
    bool shown_direction_ = false;
};

// The label at the top left with the game mode and the phase, shown while the match runs.
class MatchLook : public ObjectLook {
public:
    MatchLook(const GameDrawing& drawing, const QGMatchController& controller)
        : label(drawing.sprites, nullptr, drawing.font(match_info_font_size, match_info_font)),
          controller_(controller) {
        // The camera moves and scales the world's sprite manager; the label is placed on what
        // holds the manager (the screen), so it stays at the top left while the view follows.
        if (CSprite* screen = drawing.sprites->get_parent()) label->set_parent(screen);
        const float width = match_info_size.x, height = match_info_size.y;
        label->set_x(10.0f);
        label->set_y(10.0f);
        label->set_z(1.0f);
        label->set_size(width, height);
        label->set_text_box(10.0f, 10.0f, width - 20.0f, height - 20.0f);
        label->set_text_color(match_info_color);
        label->set_multiline(true);
        label->set_horizontal_alignment(1);
        label->set_vertical_alignment(1);
        label->set_texture(drawing.texture("gfx\\blend.png"));
        label->set_visible(false);
    }
    void update() override {
        const bool running = controller_.game->match_running;
        label->set_visible(running);
        if (running) label->set_text(controller_.info_text());
    }

private:
    SpriteHolder<CLabelSprite> label;
    const QGMatchController& controller_;
};

}  // namespace

std::unique_ptr<ObjectLook> GameDrawing::make_look(QGObject& object) {
    if (auto* player = dynamic_cast<QGPlayer*>(&object)) return std::make_unique<PlayerLook>(*this, *player);
    if (auto* item = dynamic_cast<QGItem*>(&object)) return std::make_unique<ItemLook>(*this, *item);
    if (auto* shot = dynamic_cast<QGProjectile*>(&object)) return std::make_unique<ProjectileLook>(*this, *shot);
    if (auto* tombstone = dynamic_cast<QGTombstone*>(&object))
        return std::make_unique<TombstoneLook>(*this, *tombstone);
    if (auto* portal = dynamic_cast<QGPortal*>(&object)) return std::make_unique<PortalLook>(*this, *portal);
    if (auto* sweetroll = dynamic_cast<QGSweetroll*>(&object))
        return std::make_unique<SweetrollLook>(*this, *sweetroll);
    if (auto* controller = dynamic_cast<QGMatchController*>(&object))
        return std::make_unique<MatchLook>(*this, *controller);
    if (auto* chat = dynamic_cast<QGChat*>(&object)) return std::make_unique<ChatLook>(*this, *chat);
    if (auto* level = dynamic_cast<QGLevel*>(&object)) return std::make_unique<LevelLook>(*this, *level);
    if (auto* water = dynamic_cast<sph::WaterObject*>(&object)) return std::make_unique<WaterLook>(*this, *water);
    return nullptr;
}

// --- player ---

PlayerLook::PlayerLook(const GameDrawing& drawing, const QGPlayer& player)
    : sprite(drawing.sprites),
      label(drawing.sprites, sprite.get(), drawing.font(player_label_font_size, player_label_font)),
      plate(drawing.sprites, sprite.get()),
      drawing_(drawing),
      player_(player),
      shown_invisible_(player.invisible) {
    const PlayerDefinition& def = player.definition();
    sprite->set_size(def.visual_size.x, def.visual_size.y);
    sprite->set_z(0.05f);
    show_sheet(drawing, sprite.get(), def.texture, def.tile_size);
    sprite->set_visible(false);
    program_ = drawing.make_program("shader\\player.frag", program_slot_);
    if (program_) {
        sprite->set_shader_program(program_);
        program_->set_texture("texture", sprite->get_texture());
        program_->set_uniform("playerColor", def.color);
        program_->set_uniform("invisible", shown_invisible_);
        program_->set_uniform("spawnProtectionTime", player.spawn_protection);
    }
    place_name_label(drawing, sprite.get(), label.get(), plate.get());
    // With teams the label shows the team's colour: the look of the player index equal to it.
    const bool team_colour = player.game->rules.teams && player.team < unsigned(kPlayerDefinitionCount);
    label->set_text_color(label_colour(team_colour ? player_definitions[player.team].color : def.color));
    set_label_text(label.get(), plate.get(), player.label_text());
    show_animation();
}

PlayerLook::~PlayerLook() {
    sprite->set_shader_program(nullptr);
    drawing_.release_program(program_slot_);
}

void PlayerLook::show_animation() {
    shown_animation_ = player_.animation_starts;
    const AnimationDefinition& anim = player_.definition().animations[size_t(player_.animation)];
    sprite->set_first_frame(anim.first_frame);
    sprite->set_last_frame(anim.last_frame);
    sprite->set_frame(float(anim.first_frame));
    sprite->set_animation_speed(anim.speed);
    sprite->set_repeat_count(anim.play_once ? 0 : -1);
    sprite->set_playing(anim.last_frame != anim.first_frame);
    if (!player_.animation_held) return;
    sprite->set_frame(float(anim.last_frame));
    sprite->set_playing(false);
}

void PlayerLook::update() {
    if (shown_animation_ != player_.animation_starts) show_animation();
    if (program_ && shown_invisible_ != player_.invisible) {
        shown_invisible_ = player_.invisible;
        program_->set_uniform("invisible", shown_invisible_);
    }
    const QGPlayer& p = player_;
    const fvec2d at = sprite_origin(p, sprite.get());
    sprite->set_x(at.x);
    sprite->set_y(at.y);
    const bool visible = player_shown(p);
    sprite->set_visible(visible);
    if (visible && program_) program_->set_uniform("spawnProtectionTime", p.spawn_protection);
    set_label_text(label.get(), plate.get(), p.label_text());
    keep_label_size(sprite.get(), label.get(), plate.get());  // after the sprite has moved
    if (const int row = visible ? name_row(p) : 0) {
        // Plate heights and a pixel between them, at the label's scale.
        const float lift = float(row) * (plate->get_height() + 1.0f) * label->get_scale();
        label->set_y(label->get_y() - lift);
        plate->set_y(plate->get_y() - lift);
    }
}

// --- chat ---

ChatLook::ChatLook(const GameDrawing& drawing, QGChat& chat) : chat_(chat) {
    CSpriteManager* world = drawing.sprites;
    // The box sits beside the world, in the screen that holds it, so the camera does not move it.
    CSprite* screen = world->get_parent();
    auto* container = dynamic_cast<CInterfaceContainer*>(screen);
    input = new CEdit(dynamic_cast<CInterfaceElement*>(screen), drawing.font(14, "fnt\\DejaVuSans.ttf"));
    const float width = world->get_width() * 0.5f - 10.0f, height = 24.0f;
    input->set_size(width, height);
    input->set_texture(drawing.texture("gfx\\background.png"));
    input->set_text_color(ColorRGB{12, 12, 12});
    input->set_border_x(5);
    input->set_border_y(5);
    input->set_text_box(5.0f, 5.0f, width - 10.0f, height - 10.0f);
    input->set_horizontal_anchor(Anchor::End);
    input->set_vertical_anchor(Anchor::End);
    input->set_horizontal_alignment(1);
    input->set_x(10.0f);
    input->set_y(10.0f);
    input->set_z(1.0f);
    input->set_visible(false);
    if (container) container->add_child(input);
    else world->add_child(input);
}

ChatLook::~ChatLook() { input->set_finished(true); }

bool ChatLook::is_open() const { return input->is_visible(); }

void ChatLook::set_open(bool open) {
    if (is_open() == open) return;
    auto* container = dynamic_cast<CInterfaceContainer*>(input->CSprite::get_parent());
    input->set_visible(open);
    if (open) {
        if (container) container->set_focused_child(container->find_child(input));
        return;
    }
    if (container && container->get_focused_child() == container->find_child(input)) container->set_focused_child(-1);
    const std::string text = input->get_text();
    input->set_text("");
    chat_.say(text);
}

// --- services ---

void GameDrawing::terrain_changed(QGLevel& level, const PixelRect& area) {
    if (auto* look = look_of<LevelLook>(&level)) look->refresh_texture(area);
}

void GameDrawing::water_changed(sph::WaterObject& water) {
    if (auto* look = look_of<WaterLook>(&water)) look->renderer->occupancy = water.occupancy();
}

ITexture* GameDrawing::texture(const std::string& path) const {
    CTextureManager* textures = path.empty() ? nullptr : sprites->get_texture_manager();
    return textures ? textures->get_texture(true, false, path) : nullptr;
}

CFont* GameDrawing::font(int size, const std::string& path) const {
    return fonts ? fonts->get_font(size, path) : nullptr;
}

CShaderProgram* GameDrawing::make_program(const char* fragment_path, int& slot) const {
    slot = -1;
    if (!shaders) return nullptr;
    slot = shaders->create_program({shaders->get_shader(GL_FRAGMENT_SHADER, fragment_path)});
    CShaderProgram* program = shaders->get_program(slot);
    if (program && program->get_id() != 0) return program;
    release_program(slot);
    return nullptr;
}

void GameDrawing::release_program(int& slot) const {
    if (slot < 0) return;
    if (shaders && size_t(slot) < shaders->programs.size()) {
        CShaderProgram*& entry = shaders->programs[size_t(slot)];
        if (entry && entry->get_id() != 0) glDeleteProgram(entry->get_id());
        delete entry;
        entry = nullptr;
    }
    slot = -1;
}

CShaderProgram* kept_program(CShaderFactory* shaders, const char* fragment_path) {
    if (!shaders) return nullptr;
    CShaderProgram* program =
        shaders->get_program(shaders->shared_program({shaders->get_shader(GL_FRAGMENT_SHADER, fragment_path)}));
    return program && program->get_id() != 0 ? program : nullptr;
}
