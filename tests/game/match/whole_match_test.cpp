// A whole match over loopback: a server as the hosting builds it, two players and a spectator.
#include <algorithm>

#include "game/entities/qg_player.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "support/level_test_support.h"

using namespace session_test;
using namespace level_test;

namespace {

struct Messages {
    std::vector<std::string> lines;
    void add(const std::string& line) { lines.push_back(line); }
};

QGMatchController& controller_of(QGGame& game) {
    for (auto& [id, object] : game.registry().objects())
        if (auto* found = dynamic_cast<QGMatchController*>(object)) return *found;
    throw std::runtime_error("no match controller");
}

class WholeMatch : public LevelTest {
protected:
    // Connects the next participant; ids follow the order of the calls.
    QGGame& join(ListenerLog* heard = nullptr) {
        const size_t i = clients.size();
        clients.push_back(
            std::make_unique<QGGame>(nullptr, server.port, sf::IpAddress::LocalHost, results[i].callback(), &clock));
        QGGame& client = *clients.back();
        client.message_hook = Callback<void, const std::string&>(&said[i], &Messages::add);
        for (uint32_t t = 0; heard && t < kEventTypeCount; ++t) heard->listen(*client.event_handler, EQGEventType(t));
        EXPECT_TRUE(server.game->active || server.accept_players(i + 1));
        // The clock holds still while its connect thread answers its id, however late.
        EXPECT_TRUE(eventually([&] { return server.tcp->client_count() > i && client.active.load(); },
                               [&] { server.game->update(0.0f); }));
        return client;
    }
    // dt is game time; the network clock moves 34 ms a step.
    void step(float dt) {
        clock.advance(34);
        server.game->update(dt);
        for (auto& client : clients) client->update(dt);
    }
    bool until(const std::function<bool()>& done, float dt = 0.1f) {
        return eventually(done, [&] { step(dt); });
    }

    ManualNetClock clock{9'000'000};
    LoopbackServer server{clock};
    ConnectResult results[3];
    Messages said[3];
    std::vector<std::unique_ptr<QGGame>> clients;
};

}  // namespace

TEST_F(WholeMatch, SetUpCountdownTimedRunResultAndClose) {
    ready_time = ending_timeout = result_display_time = 0.5f;
    ASSERT_TRUE(server.start(2, 0));  // no lives limit
    QGGame &host = join(), &other = join();
    server.game->spawn<QGMatchController>(0, MatchSettings{{}, {}, 0, 0.05f, false, false});  // three seconds
    server.game->spawn<QGChat>(0);
    server.activate();
    ASSERT_TRUE(
        until([&] { return other.chat && other.registry().get_player(0) && host.registry().get_player(1); }, 0));
    // The host's client sends the level, then the spawn points, which start the match.
    host.event_handler->post<EQGEventType::GenerateLevel>(creation(hills(320, 160)));
    ASSERT_TRUE(until([&] { return other.level != nullptr; }, 0));
    SpawnPositions spawns;
    spawns.count = 3;
    spawns.positions[1] = {150.0f, 30.0f}, spawns.positions[2] = {280.0f, 40.0f};
    host.event_handler->post<EQGEventType::SetSpawnPositions>(spawns);
    ASSERT_TRUE(until([&] { return host.match_running && other.registry().get_player(1)->spawned; }, 0));
    EXPECT_EQ(controller_of(host).info_text(), "Free for All\nMatch starting in 1...");
    // A spectator during the countdown: its first packet is the snapshot, in this order.
    std::vector<uint32_t> expected{8, 9};  // SetupGame, SetSpawnPositions, the records, StartGame, Pause
    for (auto& [id, object] : server.game->registry().objects()) {
        QGEvent creation_record;
        object->write_creation_event(creation_record);
        expected.push_back(uint32_t(creation_record.type));
    }
    expected.insert(expected.end(), {10, 21});
    ListenerLog heard;
    QGGame& watcher = join(&heard);
    ASSERT_TRUE(until([&] { return !heard.types.empty(); }, 0));
    heard.types.resize(std::max(heard.types.size(), expected.size()));
    EXPECT_EQ(std::vector<uint32_t>(heard.types.begin(), heard.types.begin() + long(expected.size())), expected);
    EXPECT_TRUE(watcher.match_running && watcher.paused && !watcher.registry().get_player(2));
    // A player's line, and a spectator's line that claims to be the host's, reach everybody.
    host.chat->say("gg");
    watcher.chat->lines.emplace_back(0, "I am the host");
    ASSERT_TRUE(until([&] { return said[0].lines.size() + said[1].lines.size() + said[2].lines.size() == 6; }, 0));
    for (Messages& seen : said) {
        std::sort(seen.lines.begin(), seen.lines.end());
        EXPECT_EQ(seen.lines, (std::vector<std::string>{"[Player] gg", "[Spectator] I am the host"}));
    }
    // The countdown ends; two players without a lives limit play on until the time is up.
    ASSERT_TRUE(until([&] { return !host.paused && !watcher.paused; }));
    for (int i = 0; i < 20; ++i) step(0.1f);
    EXPECT_EQ(controller_of(*server.game).state, QGMatchController::State::Running);
    EXPECT_EQ(controller_of(host).info_text().rfind("Free for All\nTime Remaining: 00:00:0", 0), 0u);
    ASSERT_TRUE(until([&] { return controller_of(host).state == QGMatchController::State::GameOver; }));
    ASSERT_TRUE(until([&] { return std::count(heard.types.begin(), heard.types.end(), 23u) && other.paused; }));
    EXPECT_EQ(controller_of(other).state, QGMatchController::State::Closing);
    ASSERT_TRUE(until([&] { return server.game->quit && !server.game->match_running; }));
}
