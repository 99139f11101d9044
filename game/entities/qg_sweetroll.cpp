#include "game/entities/qg_sweetroll.h"

#include "engine/core/random.h"
#include "game/config/settings.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_projectile.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

namespace {

constexpr int kSide = 64;
constexpr uint16_t kSweetrollGroup = 2;
constexpr uint16_t kSweetrollMask = 0xffff;
constexpr uint16_t kProjectileBit = 4;
constexpr int kJumpSound = 4;
constexpr int kBurstSound = 5;
constexpr int kBurstEffect = 6;
constexpr int kBurstParticles = 35;
constexpr float kBurstParticleTime = 1.5f;
constexpr float kBurstCarveRadius = 100.0f;
constexpr float kBurstReach = 150.0f;
constexpr float kBurstForce = 800.0f;
constexpr float kBurstDamage = 100.0f;
constexpr unsigned int kNobody = 16;

}  // namespace

QGSweetroll::QGSweetroll(GameSession* game_, unsigned int entity_id_)
    : QGPhysObject(game_, entity_id_, {kSide, kSide}, false, 1.0f, 1.0f, 0.1f, 0.3f, kSweetrollGroup, kSweetrollMask,
                   1.0f) {
    session_message(game, "A challenger appears!");
}

QGSweetroll::QGSweetroll(GameSession* game_, unsigned int entity_id_, const PlacedObjectRecord& r)
    : QGSweetroll(game_, entity_id_) {
    position = r.position;
}

QGSweetroll::~QGSweetroll() { session_message(game, "A challenger is offended. It will now go lick its paws."); }

void QGSweetroll::sync_fields() {
    sync_field(position, kPositionRange, default_dvec2d_interpolation);
    sync_field(fade_in);
    sync_field(direction);
    sync_field(leave_timer);
}

void QGSweetroll::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateSweetroll>(PlacedObjectRecord{entity_id, position});
}

dvec2d QGSweetroll::collider_centre() const { return position + dvec2d(float(size.x), float(size.y)) * 0.5f; }

void QGSweetroll::update(float dt) {
    if (fade_in < 1.0f) fade_in += dt;
    direction_timer -= dt;
    if (direction_timer < 0.0f) {
        direction = random_draw() % 2 == 0;
        direction_timer = 1.0f;
    }
    if (is_leaving()) {
        leave_timer -= dt * 0.5f;
        if (!is_leaving() && game) game->remove_object(entity_id);
    } else if (!burst_) {
        if (random_below(100) == 0 && on_ground) {
            if (game) game->play_sound(kJumpSound);
            velocity.y -= player_jump_accel;
        }
        const float pace = player_speed * 0.5f;
        const float target = direction ? pace : -pace;
        velocity.x += (target - velocity.x) * dt * player_accel_factor;
    }
    QGPhysObject::update(dt);
}

void QGSweetroll::on_object_collision(QGPhysObject* other, const dvec2d&) {
    // Once: the leave timer, and after it the removal, keep every later hit away.
    if (burst_ || !other || !(other->collision_group & kProjectileBit) || !game || !game->is_server) return;
    burst_ = true;
    const auto* projectile = dynamic_cast<const QGProjectile*>(other);
    shooter = projectile ? projectile->shooter : kNobody;
    const dvec2d centre = collider_centre();
    game->terrain().explode(centre, kBurstCarveRadius);
    game->terrain().affect_objects_near(
        centre, Callback<void, QGPhysObject*, const dvec2d&, float>(this, &QGSweetroll::apply_blast), kBurstReach);
    game->play_sound(kBurstSound);
    post_spawn_effect(game, kBurstEffect, kBurstParticles, kBurstParticleTime, centre);
    leave_timer = 1.0f;
}

void QGSweetroll::apply_blast(QGPhysObject* target, const dvec2d& direction_, float strength) {
    if (!target || !game) return;
    const dvec2d impulse = direction_ * (strength * kBurstForce);
    if (!target->is_static() && target->mass > 0.0f) target->velocity += impulse / target->mass;
    if (QGPlayer* player = game->registry().player_with_entity(target->entity_id))
        player->change_health({DamageType::Sweetroll, 0, shooter}, -(strength * kBurstDamage));
}
