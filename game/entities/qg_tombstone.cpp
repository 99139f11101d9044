#include "game/entities/qg_tombstone.h"

#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/entities/death_messages.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

namespace {

constexpr uint16_t kTombstoneGroup = 0;
constexpr uint16_t kTombstoneMask = 1;  // the terrain only

DeathNames names_of(const GameSession* game, unsigned int victim, const DamageCause& cause) {
    DeathNames names;
    if (const QGPlayer* p = game ? game->registry().get_player(victim) : nullptr) names.victim = p->name;
    if (const QGPlayer* p = game ? game->registry().get_player(cause.source_player) : nullptr) names.source = p->name;
    names.self = cause.source_player == victim;
    return names;
}

}  // namespace

QGTombstone::QGTombstone(GameSession* game_, unsigned int entity_id_, unsigned int player_index_,
                         const DamageCause& cause_, float x, float y)
    : QGPhysObject(game_, entity_id_, {int(player_size.x), int(player_size.y)}, false, player_mass, player_friction,
                   player_air_friction, player_bounce, kTombstoneGroup, kTombstoneMask, player_buoyancy),
      player_index(player_index_),
      life_timer(tombstone_life_time),
      cause(cause_) {
    position = {x, y};
    previous_position = position;
    if (!game || game->is_server) return;
    caption = death_label_text(names_of(game, player_index, cause), cause);
    death_message();
}

QGTombstone::QGTombstone(GameSession* game_, unsigned int entity_id_, const TombstoneRecord& r)
    : QGTombstone(game_, entity_id_, r.player_index, r.cause, r.position.x, r.position.y) {}

void QGTombstone::write_creation_event(QGEvent& event) const {
    TombstoneRecord r;
    r.entity_id = entity_id;
    r.player_index = player_index;
    r.position = position;
    r.cause = cause;
    event.set_record<EQGEventType::CreateTombstone>(r);
}

void QGTombstone::death_message() {
    session_message(game, death_message_text(names_of(game, player_index, cause), cause));
}

void QGTombstone::update(float dt) {
    QGPhysObject::update(dt);
    if (life_timer > 0.0f) {
        life_timer -= dt;
        if (life_timer <= 0.0f && game) game->remove_object(entity_id);
    }
}
