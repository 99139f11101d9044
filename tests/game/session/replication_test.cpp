// What a headless client shows of a server's moving objects over loopback: at a slow frame rate, behind
// a stalling server, and across a network that loses, duplicates, delays and reorders datagrams.

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "game/entities/qg_player.h"
#include "game/entities/qg_weapon.h"
#include "support/level_test_support.h"

using namespace session_test;
using namespace level_test;

namespace {

// A server transport on a bad network: a seeded generator loses, duplicates and holds back
// datagrams; held ones go out shuffled with a later send once their time on the transport's clock has come.
class LossyUdp : public Udp {
public:
    double loss = 0.2, duplicate = 0.1, hold = 0.3;
    int64_t max_hold_ms = 120;
    int lost = 0, duplicated = 0, held = 0;

protected:
    bool send_datagram(const uint8_t* data, size_t size, const Connection& to) override {
        release_due();
        const bool twice = chance(duplicate);
        duplicated += int(twice);
        for (int copy = 0; copy <= int(twice); ++copy) {
            if (chance(loss)) ++lost;
            else if (!chance(hold)) Udp::send_datagram(data, size, to);
            else {
                ++held;
                held_.push_back({now_ms() + 1 + int64_t(rng_() % uint32_t(max_hold_ms)), to, {data, data + size}});
            }
        }
        return true;
    }

private:
    struct Held {
        int64_t due;
        Connection to;
        std::vector<uint8_t> bytes;
    };
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p; }
    void release_due() {
        std::shuffle(held_.begin(), held_.end(), rng_);
        auto waiting = std::partition(held_.begin(), held_.end(), [&](const Held& h) { return h.due > now_ms(); });
        for (auto it = waiting; it != held_.end(); ++it) Udp::send_datagram(it->bytes.data(), it->bytes.size(), it->to);
        held_.erase(waiting, held_.end());
    }

    std::mt19937 rng_{20261209};
    std::vector<Held> held_;
};

class SessionPair : public LevelTest {
protected:
    void TearDown() override {
        client.reset();
        LevelTest::TearDown();
    }

    // With lossy, the server's datagrams go through a LossyUdp (server.udp).
    void connect(bool lossy = false) {
        ASSERT_TRUE(server.start(1, 3, [lossy] { return std::unique_ptr<Udp>(lossy ? new LossyUdp() : new Udp()); }));
        client = std::make_unique<QGGame>(nullptr, server.port, sf::IpAddress::LocalHost, result.callback(), &clock);
        ASSERT_TRUE(server.accept_players(1));
        ASSERT_TRUE(eventually([&] { return client->active.load(); }));
        server.activate();
        client->match_running = true;
    }

    void pump() {
        clock.advance(34);
        server.game->update(0.034f);
        client->update(0.034f);
    }

    // A box on the server, and its copy on the client once that is there.
    std::pair<QGPhysObject*, QGPhysObject*> add_box(dvec2d at) {
        auto* box = server.game->spawn<QGPhysObject>(0, ivec2d{4, 4}, false, 1, 0, 0, 0, 1, 1, 0);
        box->position = at;
        QGPhysObject* copy = nullptr;
        eventually([&] { return (copy = dynamic_cast<QGPhysObject*>(client->registry().find_object(box->entity_id))); },
                   [&] { pump(); });
        return {box, copy};
    }

    // One server frame: true when it sent the unreliable objects, and then only once their
    // datagram waits at the client (loopback delivers at once; the bound is for a loaded machine).
    bool server_frame(float dt) {
        const int64_t before = server.udp->next_send_ms;
        server.game->update(dt);
        if (server.udp->next_send_ms == before) return false;
        Udp& udp = *client->network().udp_transport();
        EXPECT_TRUE(eventually([&] { return !udp.waiting_packets().empty(); }, [&] { udp.receive(); }, 10000));
        return true;
    }

    // Client frames of frame_ms; the server runs and moves a box by `step` when server_runs(t). The client
    // shows a number at most one send behind: no further off than the server moved since the send before
    // its newest. Returns the positions sent, the start among them.
    size_t follow_box(int frame_ms, int frames, const std::function<bool(int)>& server_runs, dvec2d step) {
        connect();
        auto [box, copy] = add_box({100.0f, 100.0f});
        EXPECT_NE(copy, nullptr);
        std::vector<dvec2d> sent{box->position};
        const float dt = float(frame_ms) / 1000.0f;
        auto distance = [](const dvec2d& a, const dvec2d& b) { return std::hypot(a.x - b.x, a.y - b.y); };
        for (int t = frame_ms; copy && !HasFailure() && t <= frame_ms * frames; t += frame_ms) {
            clock.advance(frame_ms);
            if (server_runs(t)) {
                box->position = {box->position.x + step.x, box->position.y + step.y};
                if (server_frame(dt)) sent.push_back(box->position);
            }
            client->update(dt);
            const dvec2d shown = copy->position, at = box->position;
            EXPECT_TRUE(std::isfinite(shown.x) && std::isfinite(shown.y));
            if (sent.size() >= 2) {
                EXPECT_LE(distance(shown, at), distance(at, sent[sent.size() - 2]) + 0.01f) << "at t=" << t;
            }
        }
        return sent.size();
    }

    ManualNetClock clock{3'000'000};
    LoopbackServer server{clock};
    ConnectResult result;
    std::unique_ptr<QGGame> client;
};

}  // namespace

TEST_F(SessionPair, ClientAtFiftyMillisecondFramesFollowsTheServer) {
    EXPECT_GE(follow_box(50, 60, [](int) { return true; }, {6.0f, -2.0f}), 60u);
}

// The server runs 40 ms of every 240, the client a frame every 20 ms.
TEST_F(SessionPair, ServerStallingMostOfTheTimeIsFollowedWithoutRunningAway) {
    EXPECT_GE(follow_box(20, 300, [](int t) { return t % 240 < 40; }, {5.0f, 1.0f}), 25u);
}

TEST_F(SessionPair, ClientConvergesAcrossALossyReorderingNetwork) {
    connect(true);
    auto* lossy = static_cast<LossyUdp*>(server.udp);
    client->event_handler->post<EQGEventType::GenerateLevel>(creation(hills(256, 256, 3)));
    ASSERT_TRUE(eventually([&] { return server.game->level && client->level; }, [&] { pump(); }));
    // Enough boxes that each send takes several datagrams.
    std::vector<std::pair<QGPhysObject*, QGPhysObject*>> boxes;
    for (int i = 0; i < 150; ++i) boxes.push_back(add_box({float(i), 50.0f}));
    for (auto& [box, copy] : boxes) ASSERT_NE(copy, nullptr);

    std::mt19937 rng(7);
    for (int frame = 0; frame < 120; ++frame) {
        for (auto& [box, copy] : boxes)
            box->position = {box->position.x + float(rng() % 7) - 3.0f, box->position.y + float(rng() % 5) - 2.0f};
        if (frame % 30 == 10) server.game->terrain().explode({float(rng() % 256), float(rng() % 256)}, 20.0f);
        pump();
    }
    EXPECT_GT(lossy->lost, 50);
    EXPECT_GT(lossy->duplicated, 0);
    EXPECT_GT(lossy->held, 0);
    EXPECT_TRUE(eventually(
        [&] {
            for (auto& [box, copy] : boxes)
                if (!(copy->position == box->position)) return false;
            return surface_hash(client->terrain().surface()) == surface_hash(server.game->terrain().surface());
        },
        [&] { pump(); }));
}

// A held weapon rides on its holder's copy in every client frame though its record goes out only
// on the refresh's turns; a change whose datagrams are lost comes with the refresh.
TEST_F(SessionPair, HeldWeaponFollowsItsHolderWithoutItsRecords) {
    connect(true);
    auto* lossy = static_cast<LossyUdp*>(server.udp);
    lossy->loss = lossy->duplicate = lossy->hold = 0.0;
    server.udp->refresh_sends = 8;  // as the server's hosting sets it
    server.game->match_running = true;
    server.game->paused = false;
    auto* holder = server.game->spawn<QGPlayer>(0, 0, 0, "Holder");
    auto* weapon = QGWeapon::create(server.game.get(), 0, 0);
    weapon->give_to(holder);
    QGItem* copy = nullptr;
    ASSERT_TRUE(eventually(
        [&] {
            return (copy = dynamic_cast<QGItem*>(client->registry().find_object(weapon->entity_id))) && copy->holder();
        },
        [&] { pump(); }));
    Udp& channel = *client->network().udp_transport();
    const auto arrival = [&] { return channel.newest_send_time(weapon->entity_id, *channel.peers().begin()); };
    int records = 0;
    auto last = arrival();
    for (int frame = 0; frame < 48; ++frame, last = arrival()) {
        holder->position = {holder->position.x + 7.0f, 40.0f};
        holder->set_aim({0, float(frame * 13 % 300), 90.0f});
        pump();
        records += arrival() != last;
        const QGPlayer& seen = *copy->holder();
        const dvec2d off =
            copy->collider_centre() - seen.position - dvec2d(float(seen.size.x), float(seen.size.y)) * 0.5f;
        EXPECT_LT(std::hypot(off.x, off.y), 0.01f) << "frame " << frame;
        // It points at the aim of the holder's copy, between its own records too.
        const dvec2d to_aim = seen.aim.get() - copy->collider_centre();
        const float turned = copy->angle * std::numbers::pi_v<float> / 180.0f;
        EXPECT_GT(dvec2d(-std::cos(turned), std::sin(turned)).dot(to_aim), 0.9999f * to_aim.length()) << frame;
    }
    EXPECT_LE(records, 48 / 8 + 1);
    lossy->loss = 1.0;
    weapon->shown = !copy->shown;
    for (int frame = 0; frame < 2; ++frame) pump();
    lossy->loss = 0.0;
    EXPECT_TRUE(eventually([&] { return copy->shown == weapon->shown; }, [&] { pump(); }));
    // A thrust weapon follows no aim: its own turn goes out with the next send, every time.
    weapon_definitions[weapon->definition_index].type = int(WeaponType::Thrust);
    for (int turn = 1; turn <= 3; ++turn, last = arrival()) {
        weapon->angle = 20.0f * float(turn);
        clock.advance(34);
        ASSERT_TRUE(server_frame(0.034f));
        client->update(0.034f);
        EXPECT_NE(arrival(), last) << turn;
    }
}
