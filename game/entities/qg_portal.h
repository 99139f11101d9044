#pragma once
#include <map>

#include "game/physics/qg_phys_object.h"

struct PlacedObjectRecord;

class QGPortal;

// Every live portal of the process by entity id: a portal enters itself on construction and
// leaves on destruction (only its own entry: copies in several sessions of one process may
// share an id).
extern std::map<unsigned int, QGPortal*> all_portals;

// A static, animated object the level generator places. It shows its idle animation; its
// cooldown counts down, and nothing else of the portal's definition is acted on yet.
class QGPortal : public QGPhysObject {
public:
    QGPortal(GameSession* game, unsigned int entity_id);
    // The portal its creation record places.
    QGPortal(GameSession* game, unsigned int entity_id, const PlacedObjectRecord& record);
    ~QGPortal() override;

    // CreatePortal.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;

    float cooldown_timer = 0.0f;
};
