// The rules the fight does not reach: damage, inventory and ammunition, death with a full
// inventory, items outliving their holder, the spawn choice and the join.
#include "support/entity_test_support.h"

#include <algorithm>
#include <functional>

#include "game/entities/entity_actions.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_weapon.h"
#include "game/water/water_object.h"

using namespace entity_test;
using namespace session_test;

namespace {

template <class T>
size_t objects_of(const QGGame& game) {
    size_t n = 0;
    for (QGObject* o : game.registry().pending_objects()) n += dynamic_cast<T*>(o) != nullptr;
    for (const auto& [id, o] : game.registry().objects()) n += dynamic_cast<T*>(o) != nullptr;
    return n;
}

template <class Item>
Item* give(QGGame* game, unsigned int definition, QGPlayer* to) {
    Item* item = Item::create(game, 0, definition);
    item->give_to(to);
    return item;
}

size_t count_of(const QGGame& game, EQGEventType type) {
    return size_t(std::count_if(game.event_handler->queue.begin(), game.event_handler->queue.end(),
                                [type](const QGEvent& e) { return e.type == type; }));
}

class Rules : public EntityTest {};

TEST_F(Rules, DamageIsIgnoredOrTakenAsTheRulesSay) {
    struct Case {
        const char* name;
        std::function<void(ServerWorld&)> setup;
        DamageCause cause;
        float delta, health_after;
        size_t hits, effects;
        int source_kills;
    };
    const DamageCause by_p1{DamageType::Weapon, 0, 1};
    const DamageCause drowning{DamageType::Drowning, 0, 0};
    const auto teams = [](bool friendly_fire) {
        return [friendly_fire](ServerWorld& w) {
            w.game->rules.teams = true, w.game->rules.friendly_fire = friendly_fire;
            w.players[1]->team = w.players[0]->team;
        };
    };
    const Case cases[] = {
        {"plain hit", {}, by_p1, -30.0f, 70.0f, 1, 1, 0},
        {"spawn protection", [](auto& w) { w.players[0]->spawn_protection = 1.0f; }, by_p1, -30.0f, 100.0f, 0, 0, 0},
        {"waiting to respawn", [](auto& w) { w.players[0]->respawn_delay = 1.0f; }, by_p1, -30.0f, 100.0f, 0, 0, 0},
        {"dead", [](ServerWorld& w) { w.players[0]->health = 0.0f; }, by_p1, -30.0f, 0.0f, 0, 0, 0},
        {"team mate without friendly fire", teams(false), by_p1, -30.0f, 100.0f, 0, 0, 0},
        {"team mate kills with friendly fire", teams(true), by_p1, -150.0f, player_health, 1, 1, 0},
        {"drowning shows no hit effect", {}, drowning, -5.0f, 95.0f, 1, 0, 0},
        {"healing is capped", [](ServerWorld& w) { w.players[0]->health = 90.0f; }, by_p1, 30.0f, 100.0f, 0, 0, 0},
        {"a hit to exactly nothing kills and is credited", {}, by_p1, -player_health, player_health, 1, 1, 1},
        {"no credit for oneself", {}, {DamageType::Weapon, 0, 0}, -150.0f, player_health, 1, 1, 0},
        {"not a number changes nothing", {}, by_p1, std::nanf(""), 100.0f, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerWorld w(2);
        if (c.setup) c.setup(w);
        w.game->event_handler->queue.clear();
        w.players[0]->change_health(c.cause, c.delta);
        EXPECT_EQ(w.players[0]->health, c.health_after);
        EXPECT_EQ(w.game->event_handler->addressed.size(), c.hits);  // for the victim's client alone
        EXPECT_EQ(count_of(*w.game, EQGEventType::SpawnEffect), c.effects);
        EXPECT_EQ(w.players[1]->kills, c.source_kills);
    }
}

TEST_F(Rules, DyingDropsTheSelectedItemRemovesTheRestAndRespawnsUntilTheLivesRunOut) {
    ServerWorld w(2);
    QGPlayer* p = w.players[0];
    p->give_default_loadout();
    QGWeapon* gun = give<QGWeapon>(w.game.get(), kGun, p);
    QGSpecialItem* heal = give<QGSpecialItem>(w.game.get(), kHeal, p);
    p->inventory.push_back(heal->entity_id);  // a stray second copy of one id
    p->select_inventory_slot(1);
    ASSERT_EQ(p->selected_item(), gun);
    w.game->spawn_positions = {{500.0f, 10.0f}};
    const unsigned int triple_id = p->inventory[0];
    w.step();

    p->change_health({DamageType::Fall, 0, 0}, -500.0f);
    // Each carried item handled once: the gun lies where it was, the others go.
    EXPECT_TRUE(gun->owner == kNoPlayerIndex && gun->shown);
    EXPECT_EQ(w.game->registry().removal_queue(), (std::set<unsigned int>{triple_id, heal->entity_id}));
    EXPECT_EQ(count_of(*w.game, EQGEventType::RemoveObject), 2u);
    // Respawned at once (no respawn time) at the spawn point, with a fresh loadout.
    EXPECT_EQ(p->lives, 2);
    EXPECT_TRUE(p->spawned);
    EXPECT_EQ(p->position, dvec2d(500.0f, 10.0f));
    ASSERT_EQ(p->inventory.size(), 1u);
    EXPECT_NE(p->inventory[0], triple_id);
    w.step();
    EXPECT_EQ(w.game->registry().find_object(gun->entity_id), gun);

    // The last life: the player stays down where it fell; without a lives limit it always returns.
    for (int lives : {3, 0}) {
        ServerWorld v(1, lives);
        QGPlayer* q = v.players[0];
        for (int death = 0; death < 3; ++death) q->change_health({DamageType::Fall, 0, 0}, -500.0f);
        EXPECT_EQ(q->spawned, lives == 0);
        EXPECT_EQ(q->lives, 0);
        if (lives) {
            EXPECT_EQ(q->velocity, dvec2d(0.0f, 0.0f));
        }
    }
}

TEST_F(Rules, PickUpMergeFireAndDropCountAmmunitionRight) {
    ServerWorld w(1);
    QGPlayer* p = w.players[0];
    QGGame* g = w.game.get();
    WeaponDefinition& gun = weapon_definitions[kGun];
    gun.max_ammo = 30, gun.default_ammo = 25;
    QGWeapon* held = give<QGWeapon>(g, kGun, p);
    gun.default_ammo = 10;
    QGWeapon* loose = QGWeapon::create(g, 0, kGun);
    loose->on_object_collision(p, {});
    // What does not fit stays in the loose weapon, which may not be touched for a while.
    EXPECT_EQ(held->ammo, 30u);
    EXPECT_EQ(loose->ammo, 5u);
    EXPECT_EQ(loose->owner, kNoPlayerIndex);
    EXPECT_EQ(loose->pickup_timer, loose->pickup_cooldown);
    EXPECT_EQ(p->inventory.size(), 1u);
    // A full inventory refuses without restarting the cooldown.
    inventory_capacity = 1, loose->pickup_timer = 0.0f;
    loose->on_object_collision(p, {});
    EXPECT_EQ(loose->pickup_timer, 0.0f);
    EXPECT_EQ(loose->ammo, 5u);
    inventory_capacity = 10;
    // Selecting past the end takes the last slot; an empty inventory selects 0.
    loose->give_to(p);  // merges: 30 is the limit, nothing moves
    QGSpecialItem* heal = give<QGSpecialItem>(g, kHeal, p);
    p->select_inventory_slot(7);
    EXPECT_EQ(p->selected_slot, 1u);
    EXPECT_TRUE(heal->shown && !held->shown);
    // Dropping takes every copy of the id and selects within what is left.
    p->inventory.push_back(heal->entity_id);
    heal->drop(1.0f, 2.0f);
    EXPECT_EQ(p->inventory, std::vector<unsigned int>{held->entity_id});
    EXPECT_EQ(p->selected_slot, 0u);
    EXPECT_EQ(heal->pickup_timer, heal->pickup_cooldown);
    p->inventory.clear();
    p->select_inventory_slot(3);
    EXPECT_EQ(p->selected_slot, 0u);

    // Limited ammunition: the weapon goes with its last shot. Unlimited fires on.
    struct Shot {
        int default_ammo, max_ammo, per_shot;
        size_t projectiles;
        bool removed;
    } shots[] = {
        {1, 5, 1, 1, true}, {0, 0, 2, 2, false}, {3, 5, 0, 0, false}, {-4, 5, 1, 0, false}, {-1, -1, -3, 0, false}};
    for (const Shot& s : shots) {
        SCOPED_TRACE(testing::Message() << s.default_ammo << "/" << s.max_ammo << "/" << s.per_shot);
        ServerWorld v(1);
        gun.default_ammo = s.default_ammo, gun.max_ammo = s.max_ammo, gun.projectiles_per_shot = s.per_shot;
        gun.snd_fire = 9;
        QGWeapon* weapon = give<QGWeapon>(v.game.get(), kGun, v.players[0]);
        v.step();
        v.game->event_handler->queue.clear();
        weapon->fire();
        EXPECT_EQ(objects_of<QGProjectile>(*v.game), s.projectiles);
        EXPECT_EQ(v.game->registry().removal_queue().count(weapon->entity_id), size_t(s.removed));
        // Nothing wraps round: a negative count is no ammunition and no pellets.
        EXPECT_LE(weapon->ammo, 5u);
        const bool fired = s.default_ammo > 0 || s.max_ammo <= 0;
        EXPECT_EQ(count_of(*v.game, EQGEventType::PlaySound), size_t(fired));
        EXPECT_EQ(weapon->fire_timer, fired ? gun.fire_timeout : 0.0f);
    }
}

TEST_F(Rules, ItemsOutliveTheirHolderAndLeaveItsInventoryWhenTheyGo) {
    ServerWorld w(2);
    QGGame* g = w.game.get();
    QGWeapon* first = give<QGWeapon>(g, kGun, w.players[0]);
    QGWeapon* second = give<QGWeapon>(g, kTriple, w.players[0]);
    w.step();
    // An item that goes leaves the inventory of the player holding it.
    g->remove_object(first->entity_id);
    w.step();
    EXPECT_EQ(w.players[0]->inventory, std::vector<unsigned int>{second->entity_id});
    // A holder that goes first: the item is loose and its end reaches no player.
    g->remove_object(w.players[0]->entity_id);
    w.step();
    EXPECT_EQ(g->registry().get_player(0), nullptr);
    EXPECT_FALSE(second->is_held() || second->is_static());
    g->remove_object(second->entity_id);
    w.step();
    // A holder and what it holds going in one step (the holder first): all go, the slot is free.
    QGWeapon* gun = give<QGWeapon>(g, kGun, w.players[1]);
    QGSpecialItem* heal = give<QGSpecialItem>(g, kHeal, w.players[1]);
    w.step();
    const unsigned int ids[] = {heal->entity_id, w.players[1]->entity_id, gun->entity_id};
    for (unsigned int id : ids) g->remove_object(id);
    w.step();
    for (unsigned int id : ids) EXPECT_FALSE(g->registry().holds(id));
    EXPECT_EQ(g->registry().get_player(1), nullptr);
}

// Dead and waiting, a player holding its new loadout and the trigger fires and uses nothing; it
// comes back after the match's respawn time and is protected for the protection time from then.
TEST_F(Rules, AWaitingPlayerUsesNothingAndComesBackProtected) {
    const DamageCause fall{DamageType::Fall, 0, 0};
    spawn_protection_time = 0.5f;
    for (bool weapon : {true, false}) {
        SCOPED_TRACE(weapon ? "weapon" : "heal");
        default_weapons = weapon ? std::vector<int>{int(kTriple)} : std::vector<int>{};
        default_items = weapon ? std::vector<int>{} : std::vector<int>{int(kHeal)};
        ServerWorld w(1);
        w.game->rules.respawn_time = 1.0f;
        QGPlayer* p = w.players[0];
        p->spawn_protection = 0.0f;  // the protection of the match's start has run out
        p->change_health(fall, -player_health);
        p->health = 50.0f;  // a heal would show
        w.step(0.25f);
        p->set_aim({0, 600.0f, -600.0f});
        p->apply_input({0, InputKind::Use, 1});
        const auto used = [&] { return weapon ? objects_of<QGProjectile>(*w.game) > 0 : p->inventory.empty(); };
        for (int wait = 0; wait < 2; ++wait) {
            w.step(0.25f);
            EXPECT_FALSE(p->spawned || used()) << wait;
        }
        // Coming back lets go of the trigger: a new press uses the item.
        w.step(0.25f);
        EXPECT_TRUE(p->spawned);
        p->apply_input({0, InputKind::Use, 1});
        w.step(0.0f);
        EXPECT_TRUE(used());
        p->apply_input({0, InputKind::Use, 0});
        p->change_health(fall, -30.0f);
        EXPECT_EQ(p->health, 50.0f);
        w.step(0.25f, 2);
        p->change_health(fall, -30.0f);
        EXPECT_EQ(p->health, 20.0f);
    }
}

// Drowning, a shot's life time and an invisibility count the step's time, whatever its length.
TEST_F(Rules, DrowningLifeTimeAndInvisibilityCountTheStepTime) {
    item_definitions.push_back(test_item(SpecialItemType::Invisibility, 1.5f));
    item_definitions.back().default_amount = item_definitions.back().max_amount = 1;  // its one use
    const unsigned int cloak = unsigned(item_definitions.size() - 1);
    for (float dt : {1.0f / 60.0f, 0.25f}) {
        SCOPED_TRACE(dt);
        ServerWorld w(2);
        QGPlayer *diver = w.players[0], *hider = w.players[1];
        give<QGSpecialItem>(w.game.get(), cloak, hider);
        const unsigned int shot = QGProjectile::create(w.game.get(), 0, 0, kTriple, {320.0f, 40.0f}, {})->entity_id;
        w.game->flush_registrations();
        hider->apply_input({1, InputKind::Use, 1});
        diver->submersion = drown_submersion;
        w.step(dt);
        EXPECT_NEAR(diver->health, player_health - water_damage_factor * dt, 1e-3f);
        ASSERT_TRUE(hider->invisible);
        float seen_at = 0.0f, shot_gone_at = 0.0f;
        for (float t = 2.0f * dt; t < 4.0f; t += dt) {
            w.step(dt);
            if (!seen_at && !hider->invisible) seen_at = t;
            if (!shot_gone_at && !w.game->registry().holds(shot)) shot_gone_at = t;
        }
        EXPECT_NEAR(seen_at, dt + 1.5f, 1.5f * dt);
        EXPECT_NEAR(shot_gone_at, weapon_definitions[kTriple].projectile_life_time, 1.5f * dt);
        EXPECT_TRUE(hider->inventory.empty());
    }
}

// The shipped water settings: afloat or waist-deep on a ledge a player breathes; under a slab it drowns.
TEST_F(Rules, SwimmersAndWadersBreatheAndADiverUnderASlabDrowns) {
    ServerWorld w(3, 3, 480, 320, 300);
    fill(w.terrain.get(), 0, 200, 480, 100, color_destructible);  // the shores' top row is 200
    fill(w.terrain.get(), 120, 200, 240, 100, color_water);       // a pool 100 deep
    fill(w.terrain.get(), 120, 228, 60, 72, color_destructible);  // a ledge 28 under the surface
    fill(w.terrain.get(), 300, 215, 60, 10, color_destructible);  // a slab 15 under it
    w.game->spawn<sph::WaterObject>(0, nullptr, sph::WaterSettings::load());
    const dvec2d starts[] = {{230, 150}, {135, 171}, {310, 226}};
    for (int i = 0; i < 600; ++i, w.step(0.016f))  // the water settles, the players held in place
        for (int k = 0; k < 3; ++k) w.players[k]->position = starts[k], w.players[k]->velocity = {};
    for (QGPlayer* p : w.players) p->health = player_health;
    w.step(0.016f, 60 * 6);
    for (int k : {0, 1}) EXPECT_EQ(w.players[k]->health, player_health) << w.players[k]->name;
    EXPECT_LT(w.players[2]->health, player_health - 4.0f * water_damage_factor);
}

// The selected speed limit holds each axis to the item's fraction of the damage speed; an
// unselected one holds nothing.
TEST_F(Rules, ASelectedSpeedLimitHoldsBothAxes) {
    item_definitions.push_back(test_item(SpecialItemType::SpeedLimit, 0.1f));
    const float limit = 0.1f * collision_damage_min_speed;
    for (bool selected : {true, false}) {
        SCOPED_TRACE(selected);
        ServerWorld w(1);
        QGPlayer* p = w.players[0];
        give<QGWeapon>(w.game.get(), kTriple, p);
        give<QGSpecialItem>(w.game.get(), unsigned(item_definitions.size() - 1), p);
        w.game->flush_registrations();
        p->select_inventory_slot(selected ? 1 : 0);
        p->position.y = 40.0f, p->on_ground = false;
        p->velocity = {4.0f * limit, -4.0f * limit};
        w.step();
        EXPECT_EQ(std::abs(p->velocity.x) <= limit, selected);
        EXPECT_EQ(std::abs(p->velocity.y) <= limit, selected);
    }
}

// A blast hurts fully at contact and half at half its radius; a weapon without self damage
// spares its shooter and no one else.
TEST_F(Rules, BlastsFallOffWithDistanceAndSpareOnlyTheShooterOfANoSelfDamageWeapon) {
    WeaponDefinition& def = weapon_definitions[kTriple];
    def.damage = 60.0f, def.radius = 200.0f, def.force = 0.0f;
    for (WeaponType type : {WeaponType::Projectile, WeaponType::NoSelfDamage}) {
        SCOPED_TRACE(int(type));
        def.type = int(type);
        ServerWorld w(2);
        QGPlayer *shooter = w.players[0], *other = w.players[1];
        // A shot at rest goes off at its centre: just beside the shooter's, and with the other's
        // edge half the radius away.
        const dvec2d point = shooter->collider_centre() - dvec2d(1.0f, 0.0f);
        const float half_diagonal = 0.5f * dvec2d(float(other->size.x), float(other->size.y)).length();
        other->position =
            other->position + point - other->collider_centre() + dvec2d(half_diagonal + 0.5f * def.radius, 0.0f);
        const ivec2d shot = def.projectile_collider_size;
        QGProjectile::create(w.game.get(), 0, 0, kTriple, point - dvec2d(float(shot.x), float(shot.y)) * 0.5f, {})
            ->explode();
        EXPECT_NEAR(shooter->health, player_health - (type == WeaponType::NoSelfDamage ? 0.0f : def.damage), 0.01f);
        EXPECT_NEAR(other->health, player_health - 0.5f * def.damage, 0.01f);
    }
}

TEST_F(Rules, SpawnPointFarthestFromTheNearestOpponent) {
    ServerWorld w(3);
    QGGame* g = w.game.get();
    EXPECT_EQ(g->match_setup().choose_spawn_position(w.players[0]), dvec2d(0.0f, 0.0f));
    g->spawn_positions = {{0.0f, 0.0f}, {100.0f, 0.0f}, {300.0f, 0.0f}};
    w.players[1]->position = {290.0f, 0.0f};
    w.players[2]->position = {10.0f, 0.0f};
    // Both others count: the middle point is farthest from its nearest one.
    EXPECT_EQ(g->match_setup().choose_spawn_position(w.players[0]), dvec2d(100.0f, 0.0f));
    // With teams, the mate near the middle point does not count.
    g->rules.teams = true;
    w.players[0]->team = 0, w.players[1]->team = 1, w.players[2]->team = 0;
    EXPECT_EQ(g->match_setup().choose_spawn_position(w.players[0]), dvec2d(0.0f, 0.0f));
    // Without an opponent the first point wins.
    w.players[1]->team = 0;
    EXPECT_EQ(g->match_setup().choose_spawn_position(w.players[0]), dvec2d(0.0f, 0.0f));
    EXPECT_EQ(g->match_setup().choose_spawn_position(nullptr).y, 0.0f);
}

TEST_F(Rules, JoinMakesOnePlayerPerFreeSlotWithItsTeam) {
    for (auto [count, teams, expected] :
         {std::tuple{4u, true, std::vector<unsigned>{0, 0, 1, 1}}, std::tuple{3u, true, std::vector<unsigned>{0, 1, 1}},
          std::tuple{3u, false, std::vector<unsigned>{0, 1, 2}}})
        for (unsigned int id = 0; id < count; ++id) EXPECT_EQ(join_team(id, count, teams), expected[id]);
    auto game = make_server_session();
    game->match_running = false, game->rules.player_count = 2;
    auto join = [&](uint32_t id, const char* name) {
        ByteBuffer r;
        char field[16] = {};
        std::memcpy(field, name, std::min<size_t>(std::strlen(name), 16));
        r.append(field, 16);
        r.write_u32_le(id);
        game->event_handler->dispatch(make_event(EQGEventType::JoinGame, r));
    };
    join(1, "Sixteen chars!!!");  // no NUL in the field: read within its 16 bytes
    join(1, "again");
    join(2, "beyond");
    ASSERT_NE(game->registry().get_player(1), nullptr);
    EXPECT_EQ(game->registry().get_player(1)->name, "Sixteen chars!!!");
    EXPECT_EQ(objects_of<QGPlayer>(*game), 1u);
    game->match_running = true;
    join(0, "late");
    EXPECT_EQ(game->registry().get_player(0), nullptr);
}

}  // namespace
