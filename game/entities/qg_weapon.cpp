#include "game/entities/qg_weapon.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_projectile.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

namespace {

constexpr float kPi = 3.14159265358979f;
// Most projectiles one shot makes, whatever the file says.
constexpr int kMaxProjectilesPerShot = 256;

const dvec2d kLeft{-1.0f, 0.0f};

}  // namespace

bool QGWeapon::check_definition_index(unsigned int index) {
    if (index < weapon_definition_count()) return true;
    log_message(LogLevel::FatalError,
                "Trying to initialize weapon with invalid data index. The program will now crash.",
                log_class_name(typeid(QGWeapon)));
    return false;
}

QGWeapon* QGWeapon::create(GameSession* game, unsigned int entity_id, unsigned int definition_index) {
    if (!check_definition_index(definition_index)) return nullptr;
    return game ? game->spawn<QGWeapon>(entity_id, definition_index) : nullptr;
}

QGWeapon::QGWeapon(GameSession* game_, unsigned int entity_id_, unsigned int index)
    : QGItem(game_, entity_id_, weapon_definitions[index].collider_size, weapon_definitions[index].mass,
             weapon_definitions[index].friction, weapon_definitions[index].air_friction,
             weapon_definitions[index].bounce, weapon_definitions[index].pickup_cooldown,
             weapon_definitions[index].buoyancy, weapon_definitions[index].display_rotation_center,
             weapon_definitions[index].allow_item_decay),
      definition_index(index) {
    const WeaponDefinition& def = definition();
    gravity_factor = def.gravity_factor;
    ammo = unsigned(std::max(def.default_ammo, 0));
}

unsigned int QGWeapon::max_ammo() const { return unsigned(std::max(definition().max_ammo, 0)); }

unsigned int QGWeapon::projectiles_per_shot() const {
    return unsigned(std::clamp(definition().projectiles_per_shot, 0, kMaxProjectilesPerShot));
}

void QGWeapon::sync_fields() {
    QGItem::sync_fields();
    sync_field(ammo);
}

void QGWeapon::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateWeapon>(WeaponRecord{defined_item_record(definition_index)});
}

void QGWeapon::update(float dt) {
    QGItem::update(dt);
    if (fire_timer > 0.0f) fire_timer -= dt;
    QGPlayer* player = holder();
    if (!player) return;
    if (fire_timer <= 0.0f && in_use && !(player->respawn_delay > 0.0f)) fire();
    if (const auto held_at = holder_angle(*player)) angle = *held_at;
}

std::optional<float> QGWeapon::holder_angle(const QGPlayer& player) const {
    if (WeaponType(definition().type) == WeaponType::Thrust) return std::nullopt;
    return angle_between(kLeft, player.aim.get() - collider_centre());
}

void QGWeapon::fire() {
    if (!game || !game->is_server) return;
    QGPlayer* player = holder();
    if (!player || (ammo == 0 && max_ammo() != 0)) return;
    const WeaponDefinition& def = definition();
    if (WeaponType(def.type) == WeaponType::Thrust) {
        player->velocity.y -= def.force;
        post_spawn_effect(game, def.explosion_effect_id, def.explosion_particles, def.explosion_particle_time,
                          collider_centre());
    } else {
        const dvec2d start =
            collider_centre() -
            dvec2d(float(def.projectile_collider_size.x), float(def.projectile_collider_size.y)) * 0.5f;
        for (unsigned int shot = 0; shot < projectiles_per_shot(); ++shot) {
            const float spread = float((random_draw() / double(kRandomMax) - 0.5) * def.projectile_spray_angle);
            const float a = angle + spread;
            const dvec2d direction =
                a == 0.0f ? kLeft : dvec2d(-std::cos(a / 180.0f * kPi), std::sin(a / 180.0f * kPi));
            QGProjectile::create(game, 0, player->player_index, definition_index, start, direction * def.eject_speed);
        }
    }
    game->play_sound(def.snd_fire);
    fire_timer = def.fire_timeout;
    if (max_ammo() != 0) {
        ammo = ammo - 1;
        if (ammo == 0) game->remove_object(entity_id);
    }
}

bool QGWeapon::on_pickup(QGPlayer* player) {
    for (unsigned int id : player->inventory) {
        QGWeapon* carried = find_entity<QGWeapon>(game, id);
        if (!carried || carried == this || carried->definition_index != definition_index) continue;
        const unsigned int limit = max_ammo();
        if (limit == 0) return false;
        // What does not fit stays in this weapon.
        const uint64_t total = uint64_t(carried->ammo) + uint64_t(ammo);
        carried->ammo = unsigned(std::min<uint64_t>(total, limit));
        ammo = unsigned(total - carried->ammo);
        if (ammo == 0 && game) game->remove_object(entity_id);
        return false;
    }
    return true;
}
