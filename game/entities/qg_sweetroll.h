#pragma once
#include "game/physics/qg_phys_object.h"

struct PlacedObjectRecord;

// A wandering creature from crates and the level's random spawns: it fades in, walks about,
// jumps now and then, and when a projectile hits it, it bursts once with a blast that carves
// the terrain and hurts the players around it, fades out and leaves.
class QGSweetroll : public QGPhysObject {
public:
    QGSweetroll(GameSession* game, unsigned int entity_id);
    // The sweetroll its creation record places.
    QGSweetroll(GameSession* game, unsigned int entity_id, const PlacedObjectRecord& record);
    ~QGSweetroll() override;

    void sync_fields() override;
    // CreateSweetroll.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;
    // A projectile's touch sets off the burst (once).
    void on_object_collision(QGPhysObject* other, const dvec2d& impact) override;

    // The burst's effect on one object in reach.
    void apply_blast(QGPhysObject* target, const dvec2d& direction, float strength);

    bool is_leaving() const { return leave_timer > 0.0f; }
    dvec2d collider_centre() const;

    // true: walking right.
    bool direction = false;
    float direction_timer = 0.0f;
    float fade_in = 0.0f;
    float leave_timer = 0.0f;
    // The player index of the last shooter that hit it (16: nobody).
    unsigned int shooter = 16;

private:
    bool burst_ = false;
};
