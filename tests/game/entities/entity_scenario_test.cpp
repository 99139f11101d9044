// A fight over loopback: a server session and two headless clients on a small flat level. A
// player picks up a weapon, shoots the other one dead, the blast carves all three terrains
// alike, the tombstone with its caption and the death line reach the clients, the dead player
// comes back after the match's respawn time with its loadout, and a sweetroll hit by three
// pellets at once bursts once, killing the wounded target beside it for the shooter.
#include "support/entity_test_support.h"
#include "support/terrain_test_support.h"

#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_tombstone.h"
#include "game/entities/qg_weapon.h"
#include "game/terrain/terrain_carver.h"

using namespace entity_test;
using namespace session_test;

namespace {

constexpr int kWidth = 640, kHeight = 240, kFloor = 200;

template <typename T>
std::vector<T*> all_of(const QGGame& game) {
    std::vector<T*> out;
    for (auto& [id, object] : game.registry().objects())
        if (auto* t = dynamic_cast<T*>(object)) out.push_back(t);
    return out;
}

class Fight : public EntityTest {
protected:
    void SetUp() override {
        EntityTest::SetUp();
        ASSERT_TRUE(server.start(2));
        // One at a time, so the first client is connection 0.
        for (int i = 0; i < 2; ++i) {
            clients[i] =
                std::make_unique<QGGame>(nullptr, server.port, sf::IpAddress::LocalHost, results[i].callback(), &clock);
            ASSERT_TRUE(server.accept_players(size_t(i) + 1));
            ASSERT_TRUE(eventually([&] { return clients[i]->active.load(); }));
        }
        server.activate();
        terrains[0] = flat_terrain(kWidth, kHeight, kFloor);
        server.game->terrain().set_surface(terrains[0].get());
        for (int i = 0; i < 2; ++i) {
            terrains[i + 1] = flat_terrain(kWidth, kHeight, kFloor);
            clients[i]->terrain().set_surface(terrains[i + 1].get());
            clients[i]->message_hook = messages[i].hook();
            explosions[i].listen(*clients[i]->event_handler, EQGEventType::Explode);
        }
    }

    void pump(int steps = 1) {
        for (int i = 0; i < steps; ++i) {
            clock.advance(34);
            server.game->update(0.034f);
            for (auto& c : clients) c->update(0.034f);
            ++step_count;
        }
    }
    bool pump_until(const std::function<bool()>& done, int max_steps = 400) {
        for (int i = 0; i < max_steps; ++i) {
            if (done()) return true;
            pump();
        }
        return done();
    }
    void input(QGPlayer* p, InputKind kind, uint32_t value) { p->apply_input({p->player_index, kind, value}); }
    void aim_at(QGPlayer* p, const dvec2d& point) { p->set_aim({p->player_index, point.x, point.y}); }
    // Radii of the explosions a client carved, in order.
    std::vector<float> radii(int client) const {
        std::vector<float> out;
        for (const auto& payload : explosions[client].payloads) {
            Explosion e;
            ByteBuffer in(payload.data(), payload.size());
            if (read_record(in, e)) out.push_back(e.radius);
        }
        return out;
    }

    ManualNetClock clock{7'000'000};
    LoopbackServer server{clock};
    ConnectResult results[2];
    std::unique_ptr<QGGame> clients[2];
    SurfacePtr terrains[3];
    Messages messages[2];
    ListenerLog explosions[2];
    int step_count = 0;
};

TEST_F(Fight, PickUpShootDieRespawnAndASweetrollBurstsOnce) {
    QGGame& host = *server.game;
    // The join requests make the players, which reach both clients.
    ASSERT_TRUE(pump_until([&] {
        for (auto& c : clients)
            if (!c->registry().get_player(0) || !c->registry().get_player(1)) return false;
        return true;
    }));
    QGPlayer* shooter = host.registry().get_player(0);
    QGPlayer* target = host.registry().get_player(1);
    ASSERT_TRUE(shooter && target);
    EXPECT_EQ(target->team, 1u);  // teams off: the own index

    // The match starts: spawn points, positions on the floor, the loadout.
    const float stand = float(kFloor) - float(shooter->size.y) - 1.0f;
    host.spawn_positions = {{400.0f, stand}, {600.0f, stand}};
    shooter->position = {300.0f, stand};
    target->position = {560.0f, stand};
    for (QGGame* g : {&host, clients[0].get(), clients[1].get()}) g->match_running = true;
    host.paused = false;
    shooter->enter_match();
    target->enter_match();
    QGWeapon* gun = QGWeapon::create(&host, 0, kGun);
    gun->position = {350.0f, stand + 30.0f};

    // Walking right into the gun picks it up; the clients see it in the inventory. Any value
    // but 0 presses the key.
    input(shooter, InputKind::Right, 2);
    ASSERT_TRUE(pump_until([&] { return gun->holder() == shooter; }));
    input(shooter, InputKind::Right, 0);
    ASSERT_EQ(shooter->inventory.size(), 2u);
    EXPECT_EQ(shooter->inventory[1], gun->entity_id);
    ASSERT_TRUE(pump_until([&] { return clients[1]->registry().get_player(0)->inventory.size() == 2; }));

    // Select it, aim at the target and pull the trigger once.
    const uint64_t untouched = terrain_test::surface_hash(terrains[0].get());
    input(shooter, InputKind::SelectSlot, 1);
    aim_at(shooter, target->collider_centre());
    pump();  // the weapon turns towards the aim point in the step
    input(shooter, InputKind::Use, 1);
    ASSERT_TRUE(pump_until([&] { return gun->ammo == 1; }));
    input(shooter, InputKind::Use, 0);
    ASSERT_TRUE(pump_until([&] { return target->lives == 2; }));
    EXPECT_EQ(shooter->kills, 1);
    EXPECT_FALSE(target->spawned);
    EXPECT_EQ(target->position, dvec2d(600.0f, stand));  // the point farther from the shooter
    const int respawn_steps = int(host.rules.respawn_time / 0.034f);
    const int died_at = step_count;

    // The blast carved every copy of the terrain alike.
    ASSERT_TRUE(pump_until([&] { return radii(0).size() == 1 && radii(1).size() == 1; }));
    const uint64_t carved = terrain_test::surface_hash(terrains[0].get());
    EXPECT_NE(carved, untouched);
    EXPECT_EQ(terrain_test::surface_hash(terrains[1].get()), carved);
    EXPECT_EQ(terrain_test::surface_hash(terrains[2].get()), carved);

    // The tombstone and the death line on both clients.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(pump_until([&] { return !all_of<QGTombstone>(*clients[i]).empty(); }));
        QGTombstone* stone = all_of<QGTombstone>(*clients[i])[0];
        EXPECT_EQ(stone->player_index, 1u);
        EXPECT_EQ(stone->caption, "Player: Got shot");
        EXPECT_TRUE(messages[i].has("Player [Gun] Player"));
    }

    // Back after the respawn time with the loadout.
    ASSERT_TRUE(pump_until([&] { return target->spawned; }));
    EXPECT_NEAR(step_count - died_at, respawn_steps, 1);
    EXPECT_EQ(target->health, player_health);
    ASSERT_EQ(target->inventory.size(), 1u);
    ASSERT_TRUE(pump_until([&] { return clients[0]->registry().get_player(1)->spawned; }));

    // Three pellets along one line hit a sweetroll in the same step: one burst, which kills the
    // wounded target beside it for the shooter.
    auto* sweetroll = host.spawn<QGSweetroll>(0);
    sweetroll->position = {60.0f, float(kFloor) - 65.0f};
    target->position = {10.0f, stand};
    target->health = 10.0f;
    const unsigned int sweetroll_id = sweetroll->entity_id;
    pump(2);
    input(shooter, InputKind::SelectSlot, 0);
    aim_at(shooter, sweetroll->collider_centre());
    pump();
    input(shooter, InputKind::Use, 1);
    pump();
    input(shooter, InputKind::Use, 0);
    ASSERT_TRUE(pump_until([&] { return sweetroll->is_leaving(); }));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(pump_until([&] { return !clients[i]->registry().find_object(sweetroll_id); }));
        const std::vector<float> r = radii(i);
        EXPECT_EQ(std::count(r.begin(), r.end(), 100.0f), 1);
        EXPECT_TRUE(messages[i].has("A challenger appears!"));
        EXPECT_TRUE(messages[i].has("A challenger is offended. It will now go lick its paws."));
        EXPECT_TRUE(messages[i].has("Player met Player's weaponized kitten."));
    }
    EXPECT_EQ(shooter->kills, 2);
    EXPECT_EQ(target->lives, 1);
    EXPECT_EQ(host.registry().find_object(sweetroll_id), nullptr);
}

}  // namespace
