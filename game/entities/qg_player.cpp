#include "game/entities/qg_player.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "engine/core/logger.h"
#include "engine/core/saturate.h"
#include "game/config/settings.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_item.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_tombstone.h"
#include "game/entities/qg_weapon.h"
#include "game/base/qg_event.h"
#include "game/base/qg_event_handler.h"
#include "game/base/game_session.h"

namespace {

constexpr uint16_t kPlayerGroup = 2;
// Everything but other players.
constexpr uint16_t kPlayerMask = 0xfff1;
constexpr float kJumpCooldown = 0.3f;
constexpr float kAirTimeBeforeFalling = 0.3f;

ivec2d player_collider() { return {int(player_size.x), int(player_size.y)}; }

bool is_jump(EQGPlayerAnimation a) { return a == EQGPlayerAnimation::JumpLeft || a == EQGPlayerAnimation::JumpRight; }

bool valid_animation(EQGPlayerAnimation a) { return uint32_t(a) < uint32_t(kPlayerAnimationCount); }

// Moves v towards target at the rate, as walking, climbing and the sweetroll's pace do.
float approach(float v, float target, float dt) { return v + (target - v) * dt * player_accel_factor; }

}  // namespace

QGPlayer::QGPlayer(GameSession* game_, unsigned int entity_id_, unsigned int player_index_, unsigned int team_,
                   const std::string& name_)
    : QGPhysObject(game_, entity_id_, player_collider(), false, player_mass, player_friction, player_air_friction,
                   player_bounce, kPlayerGroup, kPlayerMask, player_buoyancy),
      player_index(player_index_ < kMaxPlayers ? player_index_ : 0),
      team(team_),
      name(name_),
      health(player_health),
      spawn_protection(spawn_protection_time) {
    can_climb = true;
    aim = dvec2d(0.6f * float(size.x), 0.6f * float(size.y));
    lives = game ? game->rules.lives : 0;
    kills = 0;
    selected_slot = 0u;
    position = {100.0f, 100.0f};
    log_message(LogLevel::Status, "Player " + name + " (" + std::to_string(player_index) + ") connected.",
                log_class_name_of(*this));
}

QGPlayer::QGPlayer(GameSession* game_, unsigned int entity_id_, const PlayerRecord& r)
    : QGPlayer(game_, entity_id_, r.player_index, r.team, r.name) {
    position = r.position;
    previous_position = r.position;
    velocity = r.velocity;
}

void QGPlayer::admitted() {
    QGPhysObject::admitted();
    game->registry().register_player(this);
}

QGPlayer::~QGPlayer() {
    session_message(game, name + " left the game.");
    // A player deleted before its commit still has its slot.
    if (game) game->registry().drop_player(this);
}

void QGPlayer::sync_fields() {
    sync_field(position, kPositionRange, default_dvec2d_interpolation);
    sync_field(spawned);
    sync_field(health, default_float_interpolation);
    sync_field(lives);
    sync_field(kills);
    sync_field(aim, kAimRange);
    sync_field(inventory);
    sync_field(selected_slot);
    sync_field(face_direction, Within{Left, Right});
    sync_field(spawn_protection);
    bool received_invisible = invisible;
    EQGPlayerAnimation received_animation = animation;
    sync_field(received_invisible);
    sync_field(received_animation, kPlayerAnimations);
    if (mode != Read) return;
    set_invisible(received_invisible);
    apply_received_animation(received_animation);
}

void QGPlayer::apply_received_animation(EQGPlayerAnimation received) {
    const bool against_face = (animation == EQGPlayerAnimation::JumpLeft && face_direction == Right) ||
                              (animation == EQGPlayerAnimation::JumpRight && face_direction == Left);
    if (against_face) {
        // Turned in the air: the other jump, held at its last frame.
        const auto other =
            animation == EQGPlayerAnimation::JumpLeft ? EQGPlayerAnimation::JumpRight : EQGPlayerAnimation::JumpLeft;
        set_animation(other);
        animation_held = true;
        return;
    }
    if (is_jump(animation) && is_jump(received)) return;
    if (valid_animation(received)) set_animation(received);
}

void QGPlayer::write_creation_event(QGEvent& event) const {
    PlayerRecord r;
    r.entity_id = entity_id;
    r.position = position;
    r.velocity = velocity;
    r.player_index = player_index;
    r.team = team;
    r.name = name;
    event.set_record<EQGEventType::CreatePlayer>(r);
}

dvec2d QGPlayer::collider_centre() const { return position + dvec2d(float(size.x), float(size.y)) * 0.5f; }

QGItem* QGPlayer::item_in_slot(unsigned int slot) const {
    return slot < inventory.size() ? find_entity<QGItem>(game, inventory[slot]) : nullptr;
}

bool QGPlayer::is_static() const { return !(health > 0.0f) || respawn_delay > 0.0f || QGPhysObject::is_static(); }

bool QGPlayer::collides_with(const QGPhysObject& other) const {
    if (!(health > 0.0f) || respawn_delay > 0.0f) return false;
    return (collision_mask & other.collision_group) != 0;
}

void QGPlayer::on_object_collision(QGPhysObject*, const dvec2d& impact) {
    const float speed = impact.length();
    if (speed > collision_damage_min_speed)
        change_health({DamageType::Impact, 0, player_index},
                      -(speed - collision_damage_min_speed) * collision_damage_factor);
}

void QGPlayer::on_terrain_collision(const dvec2d& impact) {
    const float speed = impact.length();
    if (speed > collision_damage_min_speed)
        change_health({DamageType::Fall, 0, player_index},
                      -(speed - collision_damage_min_speed) * collision_damage_factor);
}

// --- health, death and respawn (server) ---

void QGPlayer::change_health(const DamageCause& cause, float delta) {
    if (!game || !game->is_server || !std::isfinite(delta)) return;
    if (!(health > 0.0f) || respawn_delay > 0.0f || spawn_protection > 0.0f) return;
    QGPlayer* source = cause.source_player != player_index ? game->registry().get_player(cause.source_player) : nullptr;
    const bool team_mate = source && game->rules.teams && source->team == team;
    if (team_mate && !game->rules.friendly_fire) return;

    health += delta;
    if (delta < 0.0f) {
        // Only the victim's own client shows a hit (a drowning player is hit every step).
        if (game->event_handler)
            game->event_handler->post_to<EQGEventType::PlayerHit>(player_index, IdRecord{player_index}, true);
        if (cause.type != DamageType::Drowning)
            post_spawn_effect(game, player_hit_effect_id, player_hit_particles, player_hit_particle_time,
                              collider_centre());
    }
    if (health <= 0.0f) {
        die(cause);
        if (source && !team_mate) source->kills = source->kills + 1;
    } else {
        health = std::min(health, player_max_health);
    }
}

void QGPlayer::die(const DamageCause& cause) {
    if (!game || !game->is_server) return;
    spawned = false;
    // Only a player that has a number of lives loses one; without a limit it always returns.
    const bool limited = lives > 0;
    if (limited) lives = lives - 1;
    game->spawn<QGTombstone>(0, player_index, cause, position.x, position.y);
    game->play_sound(definition().snd_die);

    // Dropping takes items out of the inventory: walk a copy, each item once.
    QGItem* kept = selected_item();
    const std::vector<unsigned int> carried = inventory;
    std::set<unsigned int> handled;
    for (unsigned int id : carried) {
        if (!handled.insert(id).second) continue;
        QGItem* item = find_entity<QGItem>(game, id);
        if (!item) continue;
        item->drop(item->position.x, item->position.y);
        if (item != kept) game->remove_object(id);
    }
    inventory.clear();
    selected_slot = 0u;
    submersion = 0.0f;
    if (limited && lives == 0) {
        // Out of the match: the body stays where it fell.
        velocity = {0.0f, 0.0f};
        return;
    }
    respawn();
}

void QGPlayer::respawn() {
    health = player_health;
    position = game ? game->match_setup().choose_spawn_position(this) : dvec2d();
    previous_position = position;
    velocity = {0.0f, 0.0f};
    if (game && game->rules.respawn_time > 0.0f) respawn_delay = game->rules.respawn_time;
    else spawned = true;
    set_invisible(false);
    spawn_protection = spawn_protection_time;
    give_default_loadout();
}

void QGPlayer::give_default_loadout() {
    if (!game) return;
    for (int entry : default_weapons) {
        if (QGWeapon* weapon = QGWeapon::create(game, 0, unsigned(entry))) {
            weapon->position = position;
            weapon->give_to(this);
        }
    }
    for (int entry : default_items) {
        if (QGSpecialItem* item = QGSpecialItem::create(game, 0, unsigned(entry))) {
            item->position = position;
            item->give_to(this);
        }
    }
}

void QGPlayer::enter_match() {
    spawned = true;
    give_default_loadout();
}

// --- input ---

void QGPlayer::apply_input(const PlayerInput& input) {
    if (!game || !game->is_server || input.player_index != player_index) return;
    const bool pressed = input.value != 0;
    switch (input.kind) {
    case InputKind::Left:
        input_left = pressed;
        if (input_left && !input_right) face_direction = Left;
        else if (!input_left && input_right) face_direction = Right;
        break;
    case InputKind::Right:
        input_right = pressed;
        if (input_right && !input_left) face_direction = Right;
        else if (!input_right && input_left) face_direction = Left;
        break;
    case InputKind::Up: input_up = pressed; break;
    case InputKind::Down: input_down = pressed; break;
    case InputKind::Secondary: input_secondary = pressed; break;
    case InputKind::Use:
        input_use = pressed;
        if (QGItem* item = selected_item()) {
            if (pressed) item->start_use();
            else item->stop_use();
        }
        break;
    case InputKind::SelectSlot: select_inventory_slot(input.value); break;
    }
}

void QGPlayer::set_aim(const PlayerAim& record) {
    if (!game || !game->is_server || record.player_index != player_index) return;
    aim = dvec2d(record.x, record.y);
}

void QGPlayer::select_inventory_slot(unsigned int index) {
    if (inventory.empty()) {
        selected_slot = 0u;
        return;
    }
    index = std::min<unsigned int>(index, unsigned(inventory.size() - 1));
    if (QGItem* previous = selected_item()) {
        previous->shown = false;
        previous->stop_use();
    }
    selected_slot = index;
    if (QGItem* now = selected_item()) now->shown = health > 0.0f && !(respawn_delay > 0.0f);
}

// --- the world step (server) ---

void QGPlayer::update(float dt) {
    if (!(health > 0.0f)) {
        QGPhysObject::update(dt);
        return;
    }
    jump_cooldown -= dt;
    if (respawn_delay > 0.0f) {
        respawn_delay -= dt;
        if (respawn_delay <= 0.0f) {
            spawned = true;
            select_inventory_slot(selected_slot);
            if (game) game->play_sound(definition().snd_spawn);
        }
        QGPhysObject::update(dt);
        return;
    }
    // Stops at 0 (none left): a timer running below zero would change the player's state bytes
    // on every step, and every client would be sent them again and again.
    if (spawn_protection > 0.0f) spawn_protection = std::max(0.0f, spawn_protection - dt);

    const bool footing = on_ground || on_ladder;
    const auto by_face = [this](EQGPlayerAnimation left, EQGPlayerAnimation right) {
        return face_direction == Left ? left : right;
    };
    if (footing && jump_cooldown <= 0.0f) {
        if (input_left && !input_right) set_animation(EQGPlayerAnimation::WalkLeft);
        else if (input_right && !input_left) set_animation(EQGPlayerAnimation::WalkRight);
        else set_animation(by_face(EQGPlayerAnimation::IdleLeft, EQGPlayerAnimation::IdleRight));
    }

    if (on_ladder) {
        if (input_up == input_down) velocity.y = approach(velocity.y, 0.0f, dt);
        else if (input_up) velocity.y = approach(velocity.y, -player_speed, dt);
        else velocity.y = approach(velocity.y, player_speed, dt);
    } else if (input_up && on_ground) {
        velocity.y -= player_jump_accel;
        set_animation(by_face(EQGPlayerAnimation::JumpLeft, EQGPlayerAnimation::JumpRight));
        // One jump per press.
        input_up = false;
        jump_cooldown = kJumpCooldown;
        if (game) game->play_sound(definition().snd_jump);
    }

    if (footing) {
        air_time = 0.0f;
    } else {
        air_time += dt;
        if (air_time > kAirTimeBeforeFalling)
            set_animation(by_face(EQGPlayerAnimation::JumpLeft, EQGPlayerAnimation::JumpRight));
    }

    if (input_left == input_right) velocity.x = approach(velocity.x, 0.0f, dt);
    else if (input_left) velocity.x = approach(velocity.x, -player_speed, dt);
    else velocity.x = approach(velocity.x, player_speed, dt);

    if (submersion >= drown_submersion)
        change_health({DamageType::Drowning, 0, player_index}, -(water_damage_factor * dt));

    QGPhysObject::update(dt);
}

void QGPlayer::set_invisible(bool flag) { invisible = flag; }

void QGPlayer::set_animation(EQGPlayerAnimation a) {
    if (!valid_animation(a) || a == animation) return;
    animation = a;
    ++animation_starts;
    animation_held = false;
}

std::string QGPlayer::label_text() const {
    std::string text;
    if (game && game->rules.teams) text = "[" + std::to_string(team + 1) + "] ";
    text += name + ": ";
    if (health > 0.0f) text += std::to_string(saturate_cast<int>(health)) + " HP";
    else text += "Departed";
    return text;
}
