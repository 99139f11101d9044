// The dedicated server: its launch arguments, its loop, its LAN announcer, and the real program
// hosting bot processes over loopback while a hostile client sends what it may not.
#include <gtest/gtest.h>

#include <SFML/Network/TcpListener.hpp>
#include <SFML/Network/UdpSocket.hpp>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <thread>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "net/transport/tcp_link.h"
#include "server/broadcaster.h"
#include "server/dedicated_server.h"
#include "server/host_parameters.h"
#include "server/server_main.h"
#include "server/server_hosting.h"
#include "support/net_test_support.h"
#include "support/process_test_support.h"
#include "support/session_test_support.h"
#include "support/test_support.h"

using process_test::ChildProcess;

namespace {

const std::string kServer = BRAWL_RUN_DIR "/brawl_server";
const std::string kBot = BRAWL_RUN_DIR "/brawl_bot";

int64_t ms_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

// A tick counter that moves only when the loop sleeps or a pass works.
struct StepPassClock : PassClock {
    explicit StepPassClock(uint32_t start) : now(start) {}
    uint32_t tick_ms() override { return now; }
    void sleep_ms(uint32_t ms) override { now += ms; }
    uint32_t now;
};

// Each update takes the given milliseconds of the loop's clock, notes the step and the tick it
// began at, and ends the loop after the given number of passes.
struct PassCounter : QGObject {
    PassCounter(GameSession* game, unsigned int id, StepPassClock& clock, uint32_t work_ms, int passes)
        : QGObject(game, id, false), clock(clock), work_ms(work_ms), left(passes) {}
    void update(float dt) override {
        steps.push_back(dt);
        starts.push_back(clock.now);
        clock.now += work_ms;
        if (--left > 0) return;
        game->quit = true;
    }
    StepPassClock& clock;
    uint32_t work_ms;
    int left;
    std::vector<float> steps;
    std::vector<uint32_t> starts;
};

// A scratch run folder with short match phases, in which the programs run.
class ServerProcess : public ::testing::Test {
protected:
    ServerProcess() {
        process_test::lay_out_run_folder(folder.path(), {"config"});
        process_test::shorten_match_phases(folder.path());
    }
    // The bot with the name, host flag, seed and seconds of play, joining the server.
    std::unique_ptr<ChildProcess> bot(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {kBot, "127.0.0.1", port};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<ChildProcess>(argv, folder.path());
    }
    // The server for two players with a match of the minutes given, and the first bot, which
    // the server has taken as client 0.
    void start(const std::string& minutes, const std::vector<std::string>& first_bot) {
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{kServer, port, "2", "5", minutes, "2", "false", "false", "Test"}, folder.path());
        ASSERT_TRUE(server->wait_for_output("Performing initial game setup.", 20000)) << server->output();
        first = bot(first_bot);
        ASSERT_TRUE(server->wait_for_output("New client (0)", 20000)) << server->output();
    }
    test_support::ScratchDir folder;
    const std::string port = std::to_string(process_test::free_port());
    std::unique_ptr<ChildProcess> server, first;
};

// The sync packet of one event handler record holding the events.
ByteBuffer events_packet(const std::vector<std::pair<EQGEventType, ByteBuffer>>& events) {
    QGEventHandler writer(nullptr, 1);
    for (const auto& [type, payload] : events) writer.enqueue(session_test::make_event(type, payload));
    NetworkableMap objects{{1u, &writer}};
    ByteBuffer packet;
    Protocol::build_sync_packet(objects, 1, packet);
    return packet;
}

}  // namespace

TEST(ServerArguments, RejectedStartsShowTheUsageAndExitWithMinusOneBeforeAnythingElseAFailedOneWithZero) {
    const std::vector<std::string> good = {kServer, "4200", "2", "5", "5", "5", "false", "false", "T"};
    // Argument n replaced by the text; n 8 removed: seven arguments.
    const std::vector<std::pair<size_t, std::string>> rejected = {{8, ""},  {1, "0"},  {1, "port"}, {1, "65536"},
                                                                  {2, "0"}, {2, "17"}, {2, "-1"},   {2, "two"}};
    // Valid arguments with the port taken: the failed start ends with 0.
    sf::TcpListener taken;
    ASSERT_EQ(taken.listen(0), sf::Socket::Done);
    const std::string port = std::to_string(taken.getLocalPort());
    ChildProcess in_use({kServer, port, "1", "5", "1", "2", "false", "false", "Test"});
    std::vector<std::unique_ptr<ChildProcess>> starts;
    for (const auto& [n, text] : rejected) {
        std::vector<std::string> args = good;
        n == 8 ? args.pop_back() : void(args[n] = text);
        starts.push_back(std::make_unique<ChildProcess>(args));
    }
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i]->wait_exit(15000), 255) << i;
        EXPECT_TRUE(starts[i]->output().ends_with(kServerUsage)) << i;
        EXPECT_EQ(starts[i]->output().find("Starting server..."), std::string::npos) << i;
    }
    EXPECT_EQ(in_use.wait_exit(10000), 0);
    EXPECT_TRUE(in_use.output().find("TcpError! listen_start on port " + port + " failed.") != std::string::npos);
}

TEST(ServerArguments, AcceptedValuesAreReadAsTheCommandLineGivesThem) {
    const char* odd[] = {"srv", "70000", "16", "x", "5min", "zz", "True", "true", "", "ignored"};
    HostParameters p;
    ASSERT_TRUE(parse_host_parameters(10, odd, p));
    EXPECT_EQ(
        std::tie(p.port, p.num_players, p.lives, p.match_time, p.respawn_time, p.teams, p.friendly_fire, p.server_name),
        std::make_tuple(4464, 16, 0, 5.0f, 0.0f, false, true, std::string()));
    // Teams and friendly fire are on for exactly "true".
    for (const char* text : {"False", "yes", "1", "TRUE", "true "}) {
        odd[6] = odd[7] = text;
        ASSERT_TRUE(parse_host_parameters(10, odd, p));
        EXPECT_FALSE(p.teams || p.friendly_fire) << text;
    }
}

// The program bounds its standard output; a flood's count still pending at exit is written.
TEST(ServerLog, AFloodOnStandardOutputIsCutAndItsCountWrittenAtExit) {
    test_support::ScratchDir dir;
    const uint64_t line = 128, printed = kProgramConsoleLimits.bytes_per_window / line;
    EXPECT_EXIT(
        {
            configure_server_log(dir.file("server.log"));
            log_set_output_for_tests(&std::cerr);
            log_set_clock_for_tests([] { return int64_t(0); });
            for (int i = 0; i < 1000; ++i) log_message(LogLevel::Warning, std::string(line - 10, 'x'), "");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "[^0-9]" + std::to_string(1000 - printed) + "[^0-9]");
}

TEST(BotArguments, APortOutsideOneTo65535OrAHostFlagOtherThanTrueOrFalseShowsTheUsage) {
    for (const auto& [port, host] : {std::pair{"0", "true"}, {"65536", "false"}, {"-1", "true"}, {"4200", "yes"}}) {
        ChildProcess bot({kBot, "127.0.0.1", port, "B", host, "1", "1"});
        EXPECT_EQ(bot.wait_exit(20000), 2) << port << " " << host << ": " << bot.output();
    }
}

TEST(ServerLoop, PassesStepTheWorldByTheTimeSinceThePreviousPassAtMostTwoPer16MsAndEndWhenQuitIsSet) {
    // Short and long passes, with the tick counter about to wrap.
    for (const uint32_t work : {2u, 7u, 40u}) {
        StepPassClock clock(0xFFFFFFFFu - 50);
        DedicatedServer server;
        server.clock = &clock;
        server.game = std::make_unique<QGGame>(QGGame::ServerSide{});
        server.game->active = server.game->match_running = true;
        server.game->paused = false;
        auto* counter = server.game->spawn<PassCounter>(0, clock, work, 20);
        server.game->quit = true;
        server.run();  // a failed hosting runs no pass
        EXPECT_EQ(counter->left, 20);
        server.game->quit = false;
        server.run();
        // One registering pass, then 20 that update.
        ASSERT_EQ(counter->steps.size(), 20u);
        double stepped = 0.0;
        for (size_t i = 1; i < counter->starts.size(); ++i) {
            const uint32_t since = counter->starts[i] - counter->starts[i - 1];
            EXPECT_FLOAT_EQ(counter->steps[i], float(since) / 1000.0f) << work << " " << i;
            stepped += counter->steps[i];
        }
        for (size_t i = 2; i < counter->starts.size(); ++i)
            EXPECT_GE(uint32_t(counter->starts[i] - counter->starts[i - 2]), std::max(kServerPassMs, work));
        // No time lost or counted twice across the wrap.
        EXPECT_NEAR(stepped * 1000.0, double(uint32_t(counter->starts.back() - counter->starts.front())), 0.01) << work;
    }
}

// The shipped hosting paces each client's state by its TCP path and sends it what changed.
TEST(ServerHosting, HostedStateFollowsEachClientsPathAndLeavesOutWhatDidNotChange) {
    HostParameters params;
    params.port = process_test::free_port(), params.num_players = 1;
    QGGame game(QGGame::ServerSide{});
    ServerHosting hosting;
    auto hosted = std::async(std::launch::async, [&] { return hosting.host(game, params); });
    session_test::ConnectResult joined;
    QGGame client(nullptr, params.port, sf::IpAddress::LocalHost, joined.callback());
    if (hosted.wait_for(std::chrono::seconds(60)) != std::future_status::ready) game.quit = true;
    ASSERT_TRUE(hosted.get() && game.network().udp_transport()) << "the client never joined the hosted server";
    const Udp& udp = *game.network().udp_transport();
    EXPECT_EQ(udp.path_monitor,
              static_cast<const PathMonitor*>(dynamic_cast<TcpServer*>(game.network().tcp_transport())));
    EXPECT_GT(udp.refresh_sends, 1u);
}

TEST(Broadcaster, AnnouncesAtMostFiveTimesASecondWithABoundedNameUntilStopped) {
    net_test::ScopedEnv loopback("BRAWL_LOOPBACK_ONLY", "1");
    sf::UdpSocket receiver;
    ASSERT_EQ(receiver.bind(0), sf::Socket::Done);
    receiver.setBlocking(false);
    std::vector<ByteBuffer> got;
    // A two-byte character where the bound falls: the cut comes before it.
    const std::string name = std::string(kMaxAnnouncedNameBytes - 1, 'x') + "\xC3\xA9" + std::string(5000, 'y');
    std::atomic<bool> running{true};
    const auto begun = std::chrono::steady_clock::now();
    std::thread thread(run_broadcaster, name, 4321, &running, receiver.getLocalPort());
    std::vector<uint8_t> buf(sf::UdpSocket::MaxDatagramSize);
    size_t n = 0;
    sf::IpAddress from;
    auto receive = [&] {
        for (unsigned short p = 0; receiver.receive(buf.data(), buf.size(), n, from, p) == sf::Socket::Done;)
            got.emplace_back(buf.data(), n);
    };
    while (got.size() < 3 && ms_since(begun) < 20000) {
        receive();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const int64_t took = ms_since(begun);  // three announcements: 200 ms apart at the least
    running = false;
    thread.join();
    EXPECT_GE(took, 2 * 200 - 5);
    // None once stopped.
    receive();
    const size_t stopped = got.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    receive();
    EXPECT_EQ(got.size(), stopped);
    std::string announced;
    Connection connection;
    ASSERT_TRUE(!got.empty() && decode_announcement(got[0], announced, connection));
    EXPECT_EQ(announced, name.substr(0, kMaxAnnouncedNameBytes - 1));
    EXPECT_EQ(connection, Connection(sf::IpAddress::LocalHost, 4321));
}

TEST(ShippedRunFolder, HoldsTheMatchPhasesOfThePrograms) {
    load_settings();  // the suite runs in the run folder
    EXPECT_EQ(std::make_tuple(ready_time, ending_timeout, result_display_time), std::make_tuple(5.0f, 3.0f, 12.0f));
}

TEST_F(ServerProcess, ABotsPlayTimeBeginsWithTheGamesSetUp) {
    ASSERT_NO_FATAL_FAILURE(start("1", {"Early", "false", "7", "0.2"}));
    // Five times its play time later it still waits for the second player.
    EXPECT_EQ(first->wait_exit(1000), std::nullopt) << first->output();
    const auto host = bot({"Host", "true", "8", "60"});
    EXPECT_EQ(first->wait_exit(20000), 0) << first->output();
}

TEST_F(ServerProcess, TwoBotsPlayATimedMatchToItsResultWhileAHostileClientIsDropped) {
    // The bots would play for a minute; the match ends long before, and the server with it.
    ASSERT_NO_FATAL_FAILURE(start("0.04", {"Alice", "true", "7", "60"}));
    ChildProcess* host = first.get();
    const auto guest = bot({"Bob", "false", "8", "60"});
    ASSERT_TRUE(server->wait_for_output("All players connected. Starting game...", 20000)) << server->output();
    const std::pair<ChildProcess*, std::string> bots[] = {{host, "Bot Alice: "}, {guest.get(), "Bot Bob: "}};
    // The host's bot sent the level parameters; both peers generate the server's level.
    for (auto& [b, name] : bots) EXPECT_TRUE(b->wait_for_output(name + "level 1024 x 512.", 20000)) << b->output();

    // A client that sends everything a client must not, then a length no frame may have.
    TcpLink hostile;
    ASSERT_EQ(hostile.connect(sf::IpAddress::LocalHost, uint16_t(std::stoi(port)), 3000), sf::Socket::Done);
    ByteBuffer id;
    ASSERT_EQ(hostile.receive_within(id, 3000), sf::Socket::Done);
    hostile.send(id);  // a spectator now
    ByteBuffer cut = net_test::data_packet(1), other_kind = cut, huge_count = cut, input_for_player_0, wild_level;
    cut.overwrite_u32_be(16, 100);
    other_kind.overwrite_u32_be(0, 0x07000000);  // kind 7, little-endian
    huge_count.overwrite_u32_be(16, 4);
    huge_count.write_u32_be(0xFFFFFFFF);
    for (uint32_t word : {0, 1}) input_for_player_0.write_u32_le(word);
    wild_level.write_u32_le(0);
    for (int i = 0; i < 12; ++i) wild_level.write_f32_le(i % 2 ? NAN : -1e30f);
    for (const ByteBuffer& packet :
         {cut, other_kind, huge_count,
          events_packet({{EQGEventType::StartGame, {}},
                         {EQGEventType::MatchOver, {}},
                         {EQGEventType::Input, input_for_player_0},
                         {EQGEventType::GenerateLevel, wild_level},
                         {EQGEventType::SetSpawnPositions, net_test::buffer_of(std::vector<uint8_t>(132, 0xFF))}}),
          make_keep_alive_packet(PacketKind::Ping, 4242)})
        ASSERT_EQ(hostile.send(packet), sf::Socket::Done);
    // Packets of a client that is dropped are forgotten: the pong shows the server read these.
    const ByteBuffer pong = make_keep_alive_packet(PacketKind::Pong, 4242);
    for (ByteBuffer any; any.bytes() != pong.bytes();) ASSERT_EQ(hostile.receive_within(any, 20000), sf::Socket::Done);
    const uint8_t endless[8] = {0xFF, 0xFF, 0xFF, 0xF0, 1, 2, 3, 4};
    ASSERT_EQ(::send(hostile.handle(), endless, sizeof endless, 0), ssize_t(sizeof endless));
    sf::Socket::Status status = sf::Socket::Done;
    const auto begun = std::chrono::steady_clock::now();
    for (ByteBuffer any; status != sf::Socket::Disconnected && ms_since(begun) < 20000;)
        status = hostile.receive_within(any, 100);
    EXPECT_EQ(status, sf::Socket::Disconnected);
    // The server survived all of it: the match runs through its countdown and time limit to its
    // result, which reaches both players, and the server ends by itself.
    EXPECT_TRUE(server->wait_for_output("Setting player spawn positions.", 20000)) << server->output();
    EXPECT_TRUE(server->wait_for_output("Starting game.", 20000)) << server->output();
    for (const auto& [b, name] : bots) EXPECT_TRUE(b->wait_for_output(name + "match over.", 40000)) << b->output();
    EXPECT_EQ(server->wait_exit(30000), 0) << server->output();
    for (const auto& [b, name] : bots) EXPECT_EQ(b->wait_exit(10000), 0) << b->output();
}
