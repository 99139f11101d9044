#pragma once
#include <string>

#include "game/physics/qg_phys_object.h"
#include "game/base/session_records.h"

struct TombstoneRecord;

// What a dead player leaves where it stood: a small body that falls onto the terrain and lies
// there for the tombstone life time (0 or less: until removed otherwise). Clients show the
// player's tombstone image with a caption naming the player and the cause, and send one line
// about the death to the message feed.
class QGTombstone : public QGPhysObject {
public:
    QGTombstone(GameSession* game, unsigned int entity_id, unsigned int player_index, const DamageCause& cause, float x,
                float y);
    // The tombstone its creation record describes.
    QGTombstone(GameSession* game, unsigned int entity_id, const TombstoneRecord& record);

    // CreateTombstone.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;

    // Client: the line for the message feed.
    void death_message();

    const unsigned int player_index;
    float life_timer;
    const DamageCause cause;
    // The caption chosen at construction (clients, also without drawing services).
    std::string caption;
};
