#include "game/entities/qg_projectile.h"

#include <typeinfo>

#include "engine/core/logger.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

namespace {

constexpr uint16_t kProjectileGroup = 4;
constexpr uint16_t kProjectileMask = 0xfff3;
const dvec2d kUp{0.0f, -1.0f};

}  // namespace

bool QGProjectile::check_definition_index(unsigned int index) {
    if (index < weapon_definition_count()) return true;
    log_message(LogLevel::FatalError, "Trying to initialize projectile with invalid data index.",
                log_class_name(typeid(QGProjectile)));
    return false;
}

QGProjectile* QGProjectile::create(GameSession* game, unsigned int entity_id, unsigned int shooter,
                                   unsigned int weapon_definition, const dvec2d& position, const dvec2d& velocity) {
    if (!check_definition_index(weapon_definition)) return nullptr;
    return game ? game->spawn<QGProjectile>(entity_id, shooter, weapon_definition, position, velocity) : nullptr;
}

QGProjectile::QGProjectile(GameSession* game_, unsigned int entity_id_, unsigned int shooter_, unsigned int index,
                           const dvec2d& position_, const dvec2d& velocity_)
    : QGPhysObject(game_, entity_id_, weapon_definitions[index].projectile_collider_size, false,
                   weapon_definitions[index].projectile_mass, weapon_definitions[index].projectile_friction,
                   weapon_definitions[index].projectile_air_friction, weapon_definitions[index].projectile_bounce,
                   kProjectileGroup, kProjectileMask, 1.0f),
      shooter(shooter_),
      definition_index(index),
      life_timer(weapon_definitions[index].projectile_life_time) {
    const WeaponDefinition& def = definition();
    gravity_factor = def.projectile_gravity_factor;
    position = position_;
    previous_position = position_;
    velocity = velocity_;
    last_velocity = velocity_;
    angle = angle_between(kUp, velocity);
}

void QGProjectile::sync_fields() {
    sync_field(position, kPositionRange, default_dvec2d_interpolation);
    sync_field(angle, default_angle_interpolation);
}

void QGProjectile::write_creation_event(QGEvent& event) const {
    ProjectileRecord r;
    r.entity_id = entity_id;
    r.position = position;
    r.velocity = velocity;
    r.weapon_definition = definition_index;
    r.shooter = shooter;
    event.set_record<EQGEventType::CreateProjectile>(r);
}

dvec2d QGProjectile::collider_centre() const { return position + dvec2d(float(size.x), float(size.y)) * 0.5f; }

bool QGProjectile::is_static() const { return stuck || QGPhysObject::is_static(); }

bool QGProjectile::collides_with(const QGPhysObject& other) const {
    if (stuck_to != 0 && other.entity_id == stuck_to) return false;
    if (const QGPlayer* own = game ? game->registry().get_player(shooter) : nullptr)
        if (static_cast<const QGPhysObject*>(own) == &other) return false;
    return (collision_mask & other.collision_group) != 0;
}

void QGProjectile::on_object_collision(QGPhysObject* other, const dvec2d& impact) { on_contact(impact, other); }

void QGProjectile::on_terrain_collision(const dvec2d& impact) { on_contact(impact, nullptr); }

void QGProjectile::on_contact(const dvec2d&, QGPhysObject* other) {
    if (exploded_) return;
    const WeaponDefinition& def = definition();
    if (def.projectile_stick_on_contact) {
        stuck = true;
        if (other) {
            stuck_to = other->entity_id;
            stuck_offset = position - other->position;
        }
    }
    // The one flag decides for every contact, with objects as with the terrain.
    if (def.projectile_explode_on_world_contact) explode();
}

void QGProjectile::update(float dt) {
    QGPhysObject::update(dt);
    last_velocity = velocity;
    if (const QGPhysObject* anchor = stuck_to ? find_entity<QGPhysObject>(game, stuck_to) : nullptr)
        position = anchor->position + stuck_offset;
    else if (!is_static()) angle = angle_between(kUp, velocity);
    // A life time of 0 or less goes off at the first step: no shot stays for ever.
    life_timer -= dt;
    if (life_timer <= 0.0f) explode();
}

void QGProjectile::explode() {
    if (exploded_ || !game || !game->is_server) return;
    exploded_ = true;
    const WeaponDefinition& def = definition();
    const dvec2d centre = collider_centre();
    // Half a diagonal ahead along the flight.
    dvec2d point = centre;
    const float speed = last_velocity.length();
    if (speed > 0.0f) point += last_velocity / speed * (0.5f * dvec2d(float(size.x), float(size.y)).length());
    game->terrain().explode(point, def.radius);
    game->terrain().affect_objects_near(
        point, Callback<void, QGPhysObject*, const dvec2d&, float>(this, &QGProjectile::apply_blast), def.radius);
    post_spawn_effect(game, def.explosion_effect_id, def.explosion_particles, def.explosion_particle_time, centre);
    game->play_sound(def.snd_explode);
    game->remove_object(entity_id);
}

void QGProjectile::apply_blast(QGPhysObject* target, const dvec2d& direction, float strength) {
    if (!target || !game) return;
    const WeaponDefinition& def = definition();
    const dvec2d impulse = direction * (strength * def.force);
    if (!target->is_static() && target->mass > 0.0f) target->velocity += impulse / target->mass;
    QGPlayer* player = game->registry().player_with_entity(target->entity_id);
    if (!player) return;
    if (WeaponType(def.type) == WeaponType::NoSelfDamage && player->player_index == shooter) return;
    player->change_health({DamageType::Weapon, definition_index, shooter}, -(def.damage * strength));
}
