#include "game/entities/qg_portal.h"

#include "game/config/object_definitions.h"
#include "game/entities/entity_records.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

std::map<unsigned int, QGPortal*> all_portals;

namespace {

constexpr uint16_t kPortalGroup = 0;
constexpr uint16_t kPortalMask = 2;  // players

}  // namespace

QGPortal::QGPortal(GameSession* game_, unsigned int entity_id_)
    : QGPhysObject(game_, entity_id_, portal_definition.collider_size, true, 1.0f, 1.0f, 1.0f, 0.0f, kPortalGroup,
                   kPortalMask, 0.0f) {
    all_portals[entity_id] = this;
}

QGPortal::QGPortal(GameSession* game_, unsigned int entity_id_, const PlacedObjectRecord& r)
    : QGPortal(game_, entity_id_) {
    position = r.position;
}

QGPortal::~QGPortal() {
    auto entry = all_portals.find(entity_id);
    if (entry != all_portals.end() && entry->second == this) all_portals.erase(entry);
}

void QGPortal::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreatePortal>(PlacedObjectRecord{entity_id, position});
}

void QGPortal::update(float dt) {
    cooldown_timer -= dt;
    QGPhysObject::update(dt);
}
