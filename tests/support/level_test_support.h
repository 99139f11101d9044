#pragma once
// Shared pieces of the level suites: the start-up a program does (settings, distinct material
// colours), the class hooks restored after each test, and small level parameters that generate
// quickly.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/random.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/levelgen/level_parameters.h"
#include "game/terrain/map_coder.h"
#include "game/terrain/qg_level.h"
#include "support/session_test_support.h"
#include "support/terrain_test_support.h"

namespace level_test {

using terrain_test::surface_hash;

// Hills of the given size: fast, and free of templates.
inline LevelParameters hills(uint32_t w, uint32_t h, uint32_t seed = 7) {
    LevelParameters p;
    p.gen = 5;
    p.seed = seed;
    p.size_x = w;
    p.size_y = h;
    p.water_level = 0.2f;
    p.octaves = 3;
    p.scale_x = 0.4f;
    p.scale_y = 0.3f;
    p.offset_x = 0.1f;
    p.offset_y = 0.6f;
    p.solid_threshold = 0.6f;
    return p;
}

inline LevelCreation creation(const LevelParameters& p, uint32_t id = 0) {
    LevelCreation c;
    c.level_entity_id = id;
    c.parameters = p;
    return c;
}

inline QGEvent level_event(const LevelCreation& c) {
    QGEvent e;
    e.set_record<EQGEventType::GenerateLevel>(c);
    return e;
}

// The events of the queue of one type, in order.
inline std::vector<QGEvent> events_of(const QGEventHandler& handler, EQGEventType type) {
    std::vector<QGEvent> out;
    for (const QGEvent& e : handler.queue)
        if (e.type == type) out.push_back(e);
    return out;
}

using session_test::event_types;

// The start-up of a program, and everything process-wide put back after the test.
class LevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        load_settings();
        session_test::set_material_colors();
        saved_items_ = item_definitions;
        saved_weapons_ = weapon_definitions;
        saved_portal_ = portal_definition;
        random_seed(1);
    }
    void TearDown() override {
        item_definitions = saved_items_;
        weapon_definitions = saved_weapons_;
        portal_definition = saved_portal_;
    }

private:
    std::vector<ItemDefinition> saved_items_;
    std::vector<WeaponDefinition> saved_weapons_;
    PortalDefinition saved_portal_;
};

}  // namespace level_test
