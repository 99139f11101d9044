#pragma once
#include <vector>

#include "game/session/broad_phase.h"

class QGPhysObject;

// The server's collision pass over the physics list: every object meets every later one before
// it meets the terrain, in list order. The broad phase, kept from pass to pass, only skips the
// pairs whose boxes cannot overlap.
class CollisionPass {
public:
    void run(const std::vector<QGPhysObject*>& physics_objects);

private:
    BroadPhase broad_phase_;
};
