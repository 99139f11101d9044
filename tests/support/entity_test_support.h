#pragma once
// Shared pieces of the entity suites: the start-up a program does with small weapon and item
// tables of the tests' own (put back afterwards), a flat terrain, and a collector of the
// session's message lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/random.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "support/session_test_support.h"

namespace entity_test {

// Weapon 0 shoots three pellets along one line; weapon 1 is a gun that kills with a hit.
enum TestWeapon : unsigned int { kTriple = 0, kGun = 1 };
// Item 0 heals 30; item 1 is a crate.
enum TestItem : unsigned int { kHeal = 0, kCrate = 1 };

inline WeaponDefinition test_weapon(const std::string& name, float damage, int per_shot) {
    WeaponDefinition w;
    w.name = name;
    w.collider_size = {20, 10};
    w.damage = damage;
    w.force = 200.0f;
    w.radius = 20.0f;
    w.eject_speed = 900.0f;
    w.fire_timeout = 0.5f;
    w.projectiles_per_shot = per_shot;
    w.projectile_collider_size = {4, 4};
    w.projectile_gravity_factor = 0.0f;
    w.projectile_life_time = 2.0f;
    w.death_messages = {"Got shot"};
    return w;
}

inline ItemDefinition test_item(SpecialItemType type, float parameter) {
    ItemDefinition d;
    d.type = int(type);
    d.collider_size = {16, 16};
    d.parameter = parameter;
    d.use_timeout = 0.5f;
    return d;
}

class EntityTest : public ::testing::Test {
protected:
    void SetUp() override {
        load_settings();
        session_test::set_material_colors();
        weapon_definitions = {test_weapon("Triple", 10.0f, 3), test_weapon("Gun", 150.0f, 1)};
        weapon_definitions[kGun].default_ammo = 2;
        weapon_definitions[kGun].max_ammo = 5;
        weapon_definitions[kGun].radius = 40.0f;
        item_definitions = {test_item(SpecialItemType::Heal, 30.0f), test_item(SpecialItemType::Crate, 0.5f)};
        default_weapons = {int(kTriple)};
        default_items.clear();
        crate_weapons = {int(kGun)};
        crate_items = {int(kHeal)};
        spawn_protection_time = 0.0f;
        random_seed(1);
    }
    // Every setting and table as the files have them again.
    void TearDown() override { load_settings(); }
};

// Air above a destructible floor whose top row is floor_y.
inline session_test::SurfacePtr flat_terrain(int w, int h, int floor_y) {
    auto s = session_test::make_surface(w, h);
    session_test::fill(s.get(), 0, floor_y, w, h - floor_y, color_destructible);
    return s;
}

// The lines a session hands to its message hook.
struct Messages {
    std::vector<std::string> lines;
    void add(const std::string& line) { lines.push_back(line); }
    Callback<void, const std::string&> hook() { return Callback<void, const std::string&>(this, &Messages::add); }
    bool has(const std::string& line) const {
        for (const auto& l : lines)
            if (l == line) return true;
        return false;
    }
};

// A server session without transports with a terrain and n players set up as the match's start
// sets them up: spawned with the default loadout, standing on the floor.
struct ServerWorld {
    explicit ServerWorld(unsigned int n, int lives = 3, int w = 640, int h = 240, int floor_y = 200) {
        game = session_test::make_server_session();
        terrain = flat_terrain(w, h, floor_y);
        game->terrain().set_surface(terrain.get());
        game->rules.player_count = n;
        game->rules.lives = lives;
        for (unsigned int i = 0; i < n; ++i) {
            auto* p = game->spawn<QGPlayer>(0, i, i, "P" + std::to_string(i));
            p->position = {40.0f + 120.0f * float(i), float(floor_y) - float(p->size.y) - 1.0f};
            p->on_ground = true;
            players.push_back(p);
        }
        game->flush_registrations();
    }
    void step(float dt = 1.0f / 60.0f, int n = 1) {
        for (int i = 0; i < n; ++i) game->update(dt);
    }
    std::unique_ptr<QGGame> game;
    session_test::SurfacePtr terrain;
    std::vector<QGPlayer*> players;
};

}  // namespace entity_test
