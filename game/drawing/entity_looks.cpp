// The looks of players and of what they meet.
#include <algorithm>

#include "engine/gfx/shader.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/drawing/looks.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_tombstone.h"
#include "game/entities/qg_weapon.h"
#include "game/session/qg_game.h"

namespace {

constexpr const char* kPlayerShader = "shader\\player.frag";
constexpr int kSweetrollSide = 64;

// The name label centred above the sprite.
SpriteHolder<CLabelSprite> name_label(const GameDrawing& drawing, CImageSprite* sprite) {
    SpriteHolder<CLabelSprite> label(drawing.sprites, sprite,
                                     drawing.font(player_label_font_size, player_label_font));
    label->set_size(player_label_size.x, player_label_size.y);
    label->set_x((sprite->get_width() - label->get_width()) * 0.5f);
    label->set_y(-label->get_height());
    label->set_text_box(0.0f, 0.0f, label->get_width(), label->get_height());
    label->set_horizontal_alignment(0);
    return label;
}

// Keeps the label at its size on screen, however the view scales the world.
void keep_label_size(CImageSprite* sprite, CLabelSprite* label) {
    const float scale = sprite->get_absolute_scale();
    const float label_scale = scale > 0.0f ? 1.0f / scale : 1.0f;
    label->set_scale(label_scale);
    label->set_x((sprite->get_width() - label_scale * label->get_width()) * 0.5f);
    label->set_y(-(label_scale * label->get_height()));
}

}  // namespace

// --- player ---

PlayerLook::PlayerLook(const GameDrawing& drawing, const QGPlayer& player)
    : sprite(drawing.sprites), drawing_(drawing), player_(player) {
    const PlayerDefinition& def = player.definition();
    sprite->set_size(def.visual_size.x, def.visual_size.y);
    sprite->set_z(0.05f);
    sprite->set_texture(drawing.texture(def.texture));
    sprite->set_tile_width(def.tile_size.x);
    sprite->set_tile_height(def.tile_size.y);
    sprite->set_visible(false);

    shown_invisible_ = player.invisible;
    program_ = drawing.make_program(kPlayerShader, program_slot_);
    if (program_) {
        sprite->set_shader_program(program_);
        program_->set_texture("texture", sprite->get_texture());
        program_->set_uniform("playerColor", def.color);
        program_->set_uniform("invisible", shown_invisible_);
        program_->set_uniform("spawnProtectionTime", player.spawn_protection);
    }

    // With teams the label shows the team's colour: the look of the player index equal to it.
    const bool team_colour = player.game->rules.teams && player.team < unsigned(kPlayerDefinitionCount);
    label = name_label(drawing, sprite.get());
    label->set_text_color(team_colour ? player_definitions[player.team].color : def.color);
    show_label();
    show_animation();
}

PlayerLook::~PlayerLook() {
    label.release();
    sprite.release();
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

void PlayerLook::show_label() {
    std::string text = player_.label_text();
    if (text == shown_label_) return;
    shown_label_ = text;
    label->set_text(std::move(text));
}

void PlayerLook::update() {
    if (shown_animation_ != player_.animation_starts) show_animation();
    if (program_ && shown_invisible_ != player_.invisible) {
        shown_invisible_ = player_.invisible;
        program_->set_uniform("invisible", shown_invisible_);
    }
    keep_label_size(sprite.get(), label.get());
    const QGPlayer& p = player_;
    sprite->set_x(p.position.x + (float(p.size.x) - sprite->get_width()) * 0.5f - player_collision_offset.x);
    sprite->set_y(p.position.y + (float(p.size.y) - sprite->get_height()) * 0.5f - player_collision_offset.y);
    // An invisible player is seen only by its own participant.
    const bool visible = p.spawned && !(p.invisible && p.game->local_player_id != p.player_index);
    sprite->set_visible(visible);
    if (visible && program_) program_->set_uniform("spawnProtectionTime", p.spawn_protection);
    show_label();
}

// --- items ---

ItemLook::ItemLook(const GameDrawing& drawing, const QGItem& item)
    : sprite(drawing.sprites), drawing_(drawing), item_(item) {
    sprite->set_size(float(item.size.x), float(item.size.y));
    sprite->set_z(0.1f);
    update();
}

void ItemLook::update() {
    // A weapon or special item is known as such once its own constructor runs.
    if (!dressed_) {
        if (auto* weapon = dynamic_cast<const QGWeapon*>(&item_)) {
            sprite->set_size(weapon->definition().display_size.x, weapon->definition().display_size.y);
            sprite->set_texture(drawing_.texture(weapon->definition().weapon_texture));
            dressed_ = true;
        } else if ((special_ = dynamic_cast<const QGSpecialItem*>(&item_))) {
            sprite->set_size(special_->definition().display_size.x, special_->definition().display_size.y);
            sprite->set_texture(drawing_.texture(special_->definition().texture));
            dressed_ = true;
        }
    }
    // The rotation centre lies on the collider centre.
    const dvec2d centre = item_.collider_centre(), pivot = item_.rotation_center;
    sprite->set_rotation_center(pivot);
    sprite->set_x(centre.x - pivot.x * sprite->get_width());
    sprite->set_y(centre.y - pivot.y * sprite->get_height());
    // A special item of invisibility at work hides itself with its holder.
    const bool hidden = special_ && special_->type() == SpecialItemType::Invisibility && special_->effect_timer > 0.0f;
    sprite->set_visible(item_.shown && !hidden);
    sprite->set_rotation(item_.angle);
}

// --- projectile, tombstone, portal, sweetroll ---

ProjectileLook::ProjectileLook(const GameDrawing& drawing, const QGProjectile& projectile)
    : sprite(drawing.sprites), projectile_(projectile) {
    const WeaponDefinition& def = projectile.definition();
    sprite->set_z(0.15f);
    sprite->set_rotation_center({0.5f, 0.5f});
    sprite->set_size(def.projectile_display_size.x, def.projectile_display_size.y);
    sprite->set_texture(drawing.texture(def.projectile_texture));
    sprite->set_tile_width(def.projectile_tile_size.x);
    sprite->set_tile_height(def.projectile_tile_size.y);
    sprite->set_first_frame(0);
    sprite->set_last_frame(sprite->get_frame_count());
    sprite->set_playing(sprite->get_first_frame() != sprite->get_last_frame());
    sprite->set_animation_speed(def.projectile_anim_speed);
    sprite->set_repeat_count(-1);
    update();
}

void ProjectileLook::update() {
    const dvec2d centre = projectile_.collider_centre();
    sprite->set_x(centre.x - 0.5f * sprite->get_width());
    sprite->set_y(centre.y - 0.5f * sprite->get_height());
    sprite->set_rotation(projectile_.angle);
}

TombstoneLook::TombstoneLook(const GameDrawing& drawing, const QGTombstone& tombstone)
    : sprite(drawing.sprites), tombstone_(tombstone) {
    // The looks of the player index; another index has a plain tombstone.
    const unsigned int index = tombstone.player_index;
    const PlayerDefinition* def = index < unsigned(kPlayerDefinitionCount) ? &player_definitions[index] : nullptr;
    sprite->set_size(float(tombstone.size.x), float(tombstone.size.y));
    sprite->set_z(0.01f);
    if (def) {
        sprite->set_texture(drawing.texture(def->tombstone_texture));
        sprite->set_tile_width(def->tile_size.x);
        sprite->set_tile_height(def->tile_size.y);
    }
    label = name_label(drawing, sprite.get());
    if (def) label->set_text_color(def->color);
    update();
    label->set_text(tombstone.caption);
}

void TombstoneLook::update() {
    sprite->set_x(tombstone_.position.x);
    sprite->set_y(tombstone_.position.y);
    keep_label_size(sprite.get(), label.get());
}

PortalLook::PortalLook(const GameDrawing& drawing, const QGPortal& portal)
    : sprite(drawing.sprites), portal_(portal) {
    const PortalDefinition& def = portal_definition;
    sprite->set_size(def.display_size.x, def.display_size.y);
    sprite->set_texture(drawing.texture(def.texture));
    sprite->set_tile_width(def.tile_size.x);
    sprite->set_tile_height(def.tile_size.y);
    sprite->set_first_frame(def.idle_animation.first_frame);
    sprite->set_last_frame(def.idle_animation.last_frame);
    sprite->set_animation_speed(def.idle_animation.speed);
    sprite->set_repeat_count(def.idle_animation.repeat);
    sprite->set_playing(def.idle_animation.first_frame != def.idle_animation.last_frame);
    sprite->set_z(-0.5f);
    update();
}

void PortalLook::update() {
    sprite->set_x(portal_.position.x + (float(portal_.size.x) - sprite->get_width()) * 0.5f);
    sprite->set_y(portal_.position.y + (float(portal_.size.y) - sprite->get_height()) * 0.5f);
}

SweetrollLook::SweetrollLook(const GameDrawing& drawing, const QGSweetroll& sweetroll)
    : sprite(drawing.sprites), sweetroll_(sweetroll) {
    sprite->set_texture(drawing.texture("gfx\\sweetroll.png"));
    sprite->set_tile_width(kSweetrollSide);
    sprite->set_tile_height(kSweetrollSide);
    sprite->set_size(float(kSweetrollSide), float(kSweetrollSide));
    sprite->set_animation_speed(6.0f);
    sprite->set_first_frame(0);
    sprite->set_last_frame(2);
    sprite->set_playing(true);
    sprite->set_repeat_count(-1);
    sprite->set_alpha(0.0f);
}

void SweetrollLook::update() {
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
