#include "game/session/collision_pass.h"

#include <algorithm>

#include "game/physics/qg_phys_object.h"

void CollisionPass::run(const std::vector<QGPhysObject*>& physics_objects) {
    // The box of object i is held in locals for the exact test and read again whenever a pair
    // response may have moved it.
    const size_t n = physics_objects.size();
    QGPhysObject* const* list = physics_objects.data();
    broad_phase_.build(list, n);
    for (size_t i = 0; i < n; ++i) {
        QGPhysObject* a = list[i];
        float ax = a->position.x, ay = a->position.y;
        float ax1 = ax + float(a->size.x), ay1 = ay + float(a->size.y);
        size_t after = i;
        const bool a_plain = broad_phase_.plain(i);
        for (bool again = true; again;) {
            again = false;
            for (const uint32_t j : broad_phase_.candidates(i, after)) {
                const QGPhysObject* b = list[j];
                const float bx = b->position.x, by = b->position.y;
                if (!(ax < bx + float(b->size.x) && ay < by + float(b->size.y) && bx < ax1 && by < ay1)) continue;
                // The boxes overlap, as collide_pair() would find first.
                const bool plain = a_plain && broad_phase_.plain(j);
                const bool reacted =
                    plain ? QGPhysObject::collide_plain_pair(a, list[j]) : QGPhysObject::collide_pair(a, list[j]);
                ax = a->position.x;
                ay = a->position.y;
                ax1 = ax + float(a->size.x);
                ay1 = ay + float(a->size.y);
                after = j;
                // A reaction other than the plain one may have moved anything still to come.
                if (reacted && !plain) {
                    broad_phase_.refresh_from(i + 1);
                    again = true;
                    break;
                }
                broad_phase_.refresh(j);
                if (broad_phase_.left_query(std::min(ax, ax1), std::min(ay, ay1), std::max(ax, ax1),
                                            std::max(ay, ay1))) {
                    again = true;
                    break;
                }
            }
        }
        if (!(a_plain ? a->QGPhysObject::is_static() : a->is_static())) {
            const bool reacted = QGPhysObject::collide_with_terrain(a);
            if (reacted && !broad_phase_.plain(i)) broad_phase_.refresh_from(i + 1);
        }
    }
}
