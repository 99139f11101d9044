// What a headless client shows of a server's moving objects over loopback: at a slow frame rate,
// behind a server that stalls, and across a network that loses, duplicates, delays and reorders
// datagrams.
#include <SFML/Network/SocketSelector.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "support/level_test_support.h"

using namespace session_test;
using namespace level_test;

namespace {

// A server transport on a bad network: it loses, duplicates and holds back datagrams as a seeded
// generator decides; held ones go out in shuffled order with a later send once their time on the
// transport's clock has come.
class LossyUdp : public Udp {
public:
    double loss = 0.2, duplicate = 0.1, hold = 0.3;
    int64_t max_hold_ms = 120;
    int lost = 0, duplicated = 0, held = 0;

protected:
    bool send_datagram(const uint8_t* data, size_t size, const Connection& to) override {
        release_due();
        const bool twice = chance(duplicate);
        duplicated += twice;
        for (int copy = 0; copy <= int(twice); ++copy) {
            if (chance(loss)) {
                ++lost;
            } else if (chance(hold)) {
                ++held;
                held_.push_back({now_ms() + 1 + int64_t(rng_() % uint32_t(max_hold_ms)), to,
                                 std::vector<uint8_t>(data, data + size)});
            } else {
                Udp::send_datagram(data, size, to);
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

float distance(const dvec2d& a, const dvec2d& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The values the server sent of one object, against what the client shows of it.
struct Follow {
    std::vector<dvec2d> sent;

    // The shown value is a number and no further from the server's than the server has moved
    // since the send before its newest: the client is at most one send behind.
    void check(const dvec2d& shown, const dvec2d& server) {
        ASSERT_TRUE(std::isfinite(shown.x) && std::isfinite(shown.y));
        if (sent.size() < 2) return;
        ASSERT_LE(distance(shown, server), distance(server, sent[sent.size() - 2]) + 0.01f)
            << "shown " << shown.x << ", " << shown.y << " server " << server.x << ", " << server.y;
    }
};

class SessionPair : public LevelTest {
protected:
    void TearDown() override {
        client.reset();
        LevelTest::TearDown();
    }

    // Starts the server, with the lossy transport for UDP when given, and connects a client.
    void connect(LossyUdp* lossy = nullptr) {
        ASSERT_TRUE(server.start(1));
        if (lossy) {
            server.game->install_transports(server.tcp, lossy);
            server.udp = lossy;
            ASSERT_TRUE(lossy->bind(server.port));
        }
        client = std::make_unique<QGGame>(nullptr, server.port, sf::IpAddress::LocalHost,
                                          result.callback(), &clock);
        ASSERT_TRUE(server.accept_players(1));
        ASSERT_TRUE(eventually([&] { return client->active.load(); }));
        server.activate();
        client->match_running = true;
    }

    // The host's client asks for a level; the server's record builds the client's.
    void generate_level() {
        const LevelCreation level = creation(hills(256, 256, 3));
        client->event_handler->post(EQGEventType::GenerateLevel, record_bytes(level), false);
        ASSERT_TRUE(eventually([&] { return server.game->level && client->level; }, [&] { pump(); }));
    }

    void pump() {
        clock.advance(34);
        server.game->update(0.034f);
        client->update(0.034f);
    }

    // A box on the server at the position, and its copy on the client once that is there.
    std::pair<QGPhysObject*, QGPhysObject*> add_box(dvec2d at) {
        auto* box = new QGPhysObject(server.game.get(), 0, {4, 4}, false, 1, 0, 0, 0, 1, 1, 0);
        box->position = at;
        const unsigned int id = box->entity_id;
        QGPhysObject* copy = nullptr;
        eventually([&] { return (copy = dynamic_cast<QGPhysObject*>(client->find_object(id))) != nullptr; },
                   [&] { pump(); });
        return {box, copy};
    }

    // One server frame: true when it sent the unreliable objects, and then only once their
    // datagram waits at the client (loopback delivers at once; the bound is for a loaded machine).
    bool server_frame(float dt) {
        const int64_t before = server.udp->next_send_ms;
        server.game->update(dt);
        if (server.udp->next_send_ms == before) return false;
        sf::SocketSelector waiting;
        waiting.add(client->udp_transport->socket);
        EXPECT_TRUE(waiting.wait(sf::seconds(10)));
        return true;
    }

    ManualNetClock clock{3'000'000};
    LoopbackServer server{clock};
    ConnectResult result;
    std::unique_ptr<QGGame> client;
};

}  // namespace

TEST_F(SessionPair, ClientAtFiftyMillisecondFramesFollowsTheServer) {
    connect();
    auto [box, copy] = add_box({100.0f, 100.0f});
    ASSERT_NE(copy, nullptr);
    Follow follow{{box->position}};
    for (int frame = 1; frame <= 60; ++frame) {
        clock.advance(50);
        box->position = {100.0f + 6.0f * float(frame), 100.0f - 2.0f * float(frame)};
        if (server_frame(0.05f)) follow.sent.push_back(box->position);
        client->update(0.05f);
        follow.check(copy->position, box->position);
    }
    EXPECT_GE(follow.sent.size(), 60u);
}

TEST_F(SessionPair, ServerStallingMostOfTheTimeIsFollowedWithoutRunningAway) {
    connect();
    auto [box, copy] = add_box({100.0f, 100.0f});
    ASSERT_NE(copy, nullptr);
    Follow follow{{box->position}};
    // The server runs 40 ms of every 240, the client a frame every 20 ms.
    for (int t = 20; t <= 240 * 25; t += 20) {
        clock.advance(20);
        if (t % 240 < 40) {
            box->position = {box->position.x + 5.0f, box->position.y + 1.0f};
            if (server_frame(0.02f)) follow.sent.push_back(box->position);
        }
        client->update(0.02f);
        follow.check(copy->position, box->position);
    }
    EXPECT_GE(follow.sent.size(), 25u);
}

TEST_F(SessionPair, ClientConvergesAcrossALossyReorderingNetwork) {
    auto* lossy = new LossyUdp();
    connect(lossy);
    generate_level();
    // Enough boxes that each send takes several datagrams.
    std::vector<std::pair<QGPhysObject*, QGPhysObject*>> boxes;
    for (int i = 0; i < 150; ++i) boxes.push_back(add_box({float(i), 50.0f}));
    for (auto& [box, copy] : boxes) ASSERT_NE(copy, nullptr);

    std::mt19937 rng(7);
    for (int frame = 0; frame < 120; ++frame) {
        for (auto& [box, copy] : boxes)
            box->position = {box->position.x + float(rng() % 7) - 3.0f, box->position.y + float(rng() % 5) - 2.0f};
        if (frame % 30 == 10) server.game->explode({float(rng() % 256), float(rng() % 256)}, 20.0f);
        pump();
    }
    EXPECT_GT(lossy->lost, 50);
    EXPECT_GT(lossy->duplicated, 0);
    EXPECT_GT(lossy->held, 0);

    auto converged = [&] {
        for (auto& [box, copy] : boxes)
            if (!(copy->position == box->position)) return false;
        return surface_hash(client->terrain) == surface_hash(server.game->terrain);
    };
    EXPECT_TRUE(eventually(converged, [&] { pump(); }));
}
