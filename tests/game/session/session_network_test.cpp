// A server session and headless client sessions in one process, over loopback: the connect
// thread, the join, replication of objects over TCP and UDP, removal, spectators, teardown.
#include "support/session_test_support.h"

#include <SFML/Network/TcpListener.hpp>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "game/base/session_records.h"
#include "game/entities/qg_player.h"
#include "support/net_test_support.h"
#include "support/test_support.h"

using namespace session_test;
using net_test::closed_port;
using test_support::ends_within;

namespace {

const sf::IpAddress localhost = sf::IpAddress::LocalHost;

// A listener whose accept queue is full: the kernel drops further SYNs, so a connect to it gets
// no answer. port stays 0 when the kernel kept answering.
struct FullListener {
    FullListener() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 0) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        for (int i = 0; i < 4; ++i) {
            queued.push_back(std::make_unique<sf::TcpSocket>());
            if (queued.back()->connect(localhost, ntohs(address.sin_port), sf::milliseconds(300)) != sf::Socket::Done) {
                port = ntohs(address.sin_port);
                return;
            }
        }
    }
    ~FullListener() {
        if (fd >= 0) ::close(fd);
    }
    int fd = -1;
    unsigned short port = 0;
    std::vector<std::unique_ptr<sf::TcpSocket>> queued;
};

struct Flag {
    std::atomic<int> hits{0};
    void hit() { ++hits; }
};

dvec2d received_position(const QGPhysObject& o) {
    dvec2d p;
    if (o.received_state.size() < 8) return {-1.0f, -1.0f};
    std::memcpy(&p.x, o.received_state.data(), 4);
    std::memcpy(&p.y, o.received_state.data() + 4, 4);
    return p;
}

std::unique_ptr<QGGame> connect_client(unsigned short port, ConnectResult& result, const NetClock& clock) {
    return std::make_unique<QGGame>(nullptr, port, localhost, result.callback(), &clock);
}

// A client session joined to the server as its next connection; the server is then activated.
std::unique_ptr<QGGame> joined_client(LoopbackServer& server, ConnectResult& result, const NetClock& clock) {
    auto client = connect_client(server.port, result, clock);
    if (!server.admit(*client, server.tcp->client_count() + 1)) return nullptr;
    server.activate();
    return client;
}

}  // namespace

TEST(Replication, ServerObjectsReachAHeadlessClientStreamAndLeave) {
    ManualNetClock clock(1'000'000);
    LoopbackServer server(clock);
    ASSERT_TRUE(server.start(1));
    ListenerLog joins;
    joins.listen(*server.game->event_handler, EQGEventType::JoinGame);

    ConnectResult result;
    auto client = connect_client(server.port, result, clock);
    BeaconBuilder beacons(*client);
    ObjectRegistry& copies = client->registry();
    ASSERT_TRUE(server.admit(*client, 1));
    EXPECT_EQ(result.calls.load(), 1);
    EXPECT_TRUE(result.value.load());
    EXPECT_EQ(client->local_player_id, 0u);
    EXPECT_EQ(client->event_handler->entity_id, 1u);
    EXPECT_EQ(copies.find_object(1), client->event_handler);
    EXPECT_EQ(client->event_handler->delay_ms, 66);
    server.activate();
    // The client's handler runs its delayed events only while a match runs.
    client->match_running = true;

    auto* box = server.game->spawn<QGPhysObject>(0, ivec2d{8, 12}, false, 2.0f, 0.25f, 0.125f, 0.5f, 2, 0xfff1, 1.0f);
    box->position = {100.0f, 50.0f};
    auto* beacon = server.game->spawn<Beacon>(0);
    beacon->value = 7;
    const unsigned int box_id = box->entity_id;
    const unsigned int beacon_id = beacon->entity_id;

    auto pump = [&] {
        clock.advance(34);
        server.game->update(0.034f);
        client->update(0.034f);
    };
    const auto client_frame = [&] { client->update(0.0f); };
    ASSERT_TRUE(eventually(
        [&] { return copies.find_object(box_id) && copies.find_object(beacon_id) && !joins.types.empty(); }, pump));

    // The join request: the connection id and the name the main menu stores.
    ASSERT_EQ(joins.payloads.size(), 1u);
    JoinRequest join;
    ByteBuffer join_bytes(joins.payloads[0].data(), joins.payloads[0].size());
    ASSERT_TRUE(read_record(join_bytes, join));
    EXPECT_EQ(join.player_id, 0u);
    EXPECT_EQ(join.name, "Player");
    // The set-up the server posted while hosting reached the client first.
    EXPECT_EQ(client->rules.player_count, 1u);
    EXPECT_EQ(client->rules.lives, 3);
    EXPECT_EQ(client->rules.respawn_time, 2.5f);

    auto* copy = dynamic_cast<QGPhysObject*>(copies.find_object(box_id));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->size, (ivec2d{8, 12}));
    EXPECT_EQ(copy->mass, 2.0f);
    EXPECT_EQ(copy->collision_mask, 0xfff1);
    EXPECT_EQ(copy->position, dvec2d(100.0f, 50.0f));
    EXPECT_EQ(copies.unreliable_objects().count(box_id), 1u);
    auto* beacon_copy = dynamic_cast<Beacon*>(copies.find_object(beacon_id));
    ASSERT_NE(beacon_copy, nullptr);
    EXPECT_EQ(copies.reliable_objects().count(beacon_id), 1u);

    // Reliable fields over TCP.
    ASSERT_TRUE(eventually([&] { return beacon_copy->value == 7; }, pump));
    beacon->value = 8;
    ASSERT_TRUE(eventually([&] { return beacon_copy->value == 8; }, pump));
    // What a client writes into the server's objects is not taken.
    beacon_copy->value = 99;
    for (int i = 0; i < 5; ++i) pump();
    EXPECT_EQ(beacon->value, 8);
    EXPECT_EQ(beacon_copy->writes, 0);  // nor even sent
    EXPECT_EQ(dynamic_cast<TcpClient*>(client->network().tcp_transport())->link().max_frame_bytes, 32u << 20);

    // A client cannot remove or pause what is not its own.
    client->event_handler->post<EQGEventType::RemoveObject>(IdRecord{beacon_id});
    client->event_handler->post<EQGEventType::Pause>();
    server.game->paused = false;
    for (int i = 0; i < 5; ++i) pump();
    EXPECT_EQ(server.game->registry().find_object(beacon_id), beacon);
    EXPECT_FALSE(server.game->paused);

    // Unreliable fields over UDP, interpolated over one spacing of the server's packets.
    for (int i = 0; i < 3; ++i) client->update(0.0f);
    EXPECT_EQ(copy->position, dvec2d(100.0f, 50.0f));
    box->position = {140.0f, 90.0f};
    clock.advance(34);
    server.game->update(0.034f);
    ASSERT_TRUE(eventually([&] { return received_position(*copy) == dvec2d(140.0f, 90.0f); }, client_frame));
    EXPECT_EQ(copy->position, dvec2d(100.0f, 50.0f));
    clock.advance(34);  // the spacing of the server's packets
    client->update(0.034f);
    EXPECT_EQ(copy->position, dvec2d(140.0f, 90.0f));

    // A removal on the server removes the client's copy after the UDP latency.
    server.game->remove_object(box_id);
    clock.advance(34);
    server.game->update(0.034f);
    EXPECT_EQ(server.game->registry().find_object(box_id), nullptr);
    ASSERT_TRUE(eventually([&] { return !client->event_handler->delayed_events.empty(); }, client_frame));
    EXPECT_EQ(client->event_handler->delayed_events.front().due_ms, clock.now_ms() + 66);
    clock.advance(65);
    client->update(0.0f);
    EXPECT_EQ(copies.find_object(box_id), copy);
    clock.advance(1);
    client->update(0.0f);
    EXPECT_EQ(copies.find_object(box_id), nullptr);
    EXPECT_EQ(copies.unreliable_objects().count(box_id), 0u);

    // The client leaving ends the server's session: no player remains.
    Flag lost;
    client->disconnect_hook = Callback<void>(&lost, &Flag::hit);
    client.reset();
    EXPECT_EQ(lost.hits.load(), 0);
    ASSERT_TRUE(
        eventually([&] { return server.game->quit.load(); }, [&] { clock.advance(34), server.game->update(0.034f); }));
}

TEST(Replication, SpectatorGetsTheStateAloneInOnePacket) {
    ManualNetClock clock(2'000'000);
    LoopbackServer server(clock);
    ASSERT_TRUE(server.start(1));
    ConnectResult player_result;
    auto player = joined_client(server, player_result, clock);
    ASSERT_TRUE(player);

    auto* box = server.game->spawn<QGPhysObject>(0, ivec2d{4, 4}, false, 1, 0, 0, 0, 1, 1, 0);
    auto* plain = server.game->spawn<QGObject>(0, false);
    server.game->spawn<Beacon>(0)->value = 7;
    auto pump_player = [&] {
        clock.advance(34);
        server.game->update(0.034f);
        player->update(0.034f);
    };
    ASSERT_TRUE(eventually([&] { return player->registry().find_object(plain->entity_id) != nullptr; }, pump_player));

    ConnectResult spectator_result;
    auto spectator = connect_client(server.port, spectator_result, clock);
    BeaconBuilder beacons(*spectator);
    ListenerLog order;
    for (EQGEventType t :
         {EQGEventType::None, EQGEventType::CreateObject, EQGEventType::CreatePhysObject, EQGEventType::SetupGame,
          EQGEventType::SetSpawnPositions, EQGEventType::StartGame, EQGEventType::Pause, EQGEventType::Resume})
        order.listen(*spectator->event_handler, t);

    testing::internal::CaptureStdout();
    // The clock holds still while the spectator's connect thread answers its id, however late.
    ASSERT_TRUE(eventually([&] { return server.tcp->client_count() == 2; }, [&] { server.game->update(0.034f); }));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("A spectator joins the game."), std::string::npos);
    ASSERT_TRUE(eventually([&] { return spectator->active.load(); }));
    EXPECT_EQ(spectator->local_player_id, 1u);
    // The beacon's record, sent twice after the snapshot, is read with it in one receive and taken.
    for (int i = 0; i < 2; ++i) clock.advance(34), server.game->update(0.034f);
    const int sent = server.tcp->client(1)->link->handle();
    ASSERT_TRUE(eventually([&, unsent = -1]() mutable { return !ioctl(sent, TIOCOUTQ, &unsent) && !unsent; }));
    ASSERT_TRUE(eventually([&] { return spectator->registry().find_object(box->entity_id) != nullptr; },
                           [&] { spectator->update(0.0f); }));
    auto* beacon = dynamic_cast<Beacon*>(spectator->registry().find_object(plain->entity_id + 1));
    EXPECT_TRUE(beacon && beacon->value == 7);
    // Set-up, the creation records in id order (handler, box, plain object), then the pause.
    EXPECT_EQ(order.types, (std::vector<uint32_t>{8, 0, 2, 1, 21}));
    EXPECT_EQ(spectator->rules.player_count, 1u);
    EXPECT_TRUE(spectator->paused);
    EXPECT_NE(spectator->registry().find_object(plain->entity_id), nullptr);
    // The player, who already had it all, got none of it again.
    EXPECT_EQ(player->registry().objects().size(), 3u);
    // News goes every time: an effect posted in four packets running (the same record) is seen four times.
    order.listen(*spectator->event_handler, EQGEventType::SpawnEffect);
    for (int i = 0; i < 4; ++i) server.game->event_handler->post<EQGEventType::SpawnEffect>({}), pump_player();
    EXPECT_TRUE(eventually([&] { return order.types.size() == 9; }, [&] { spectator->update(0.0f); }, 2000));

    spectator.reset();
    player.reset();
}

TEST(SenderAttribution, ASecondClientSteersOnlyItsOwnPlayerHearsOnlyItsOwnHitsAndCannotChooseTheLevel) {
    ManualNetClock clock(4'000'000);
    LoopbackServer server(clock);
    ASSERT_TRUE(server.start(2));
    // Connected one after the other, so the host has connection 0 and the other client 1.
    ConnectResult host_result, guest_result;
    auto host = connect_client(server.port, host_result, clock);
    ASSERT_TRUE(server.admit(*host, 1));
    auto guest = connect_client(server.port, guest_result, clock);
    ASSERT_TRUE(server.admit(*guest, 2));
    ASSERT_EQ(host->local_player_id, 0u);
    ASSERT_EQ(guest->local_player_id, 1u);
    server.activate();

    ListenerLog heard;
    for (EQGEventType type :
         {EQGEventType::GenerateLevel, EQGEventType::SetSpawnPositions, EQGEventType::Input, EQGEventType::Aim})
        heard.listen(*server.game->event_handler, type);
    LogCapture log;
    // What the guest may not do, then its own input last: once that arrived, all of it did.
    guest->event_handler->post<EQGEventType::GenerateLevel>(LevelCreation{});
    guest->event_handler->post<EQGEventType::SetSpawnPositions>(SpawnPositions{});
    guest->event_handler->post<EQGEventType::Input>(PlayerInput{0});
    guest->event_handler->post<EQGEventType::Aim>(PlayerAim{0});
    guest->event_handler->post<EQGEventType::Input>(PlayerInput{1});
    const auto frame = [&] {
        clock.advance(34);
        guest->update(0.034f);
        host->update(0.034f);
        server.game->update(0.034f);
    };
    ASSERT_TRUE(eventually([&] { return !heard.types.empty(); }, frame));
    EXPECT_EQ(heard.types, (std::vector<uint32_t>{uint32_t(EQGEventType::Input)}));
    ASSERT_EQ(heard.payloads.size(), 1u);
    EXPECT_EQ(heard.payloads[0][0], 1u);
    for (EQGEventType type :
         {EQGEventType::GenerateLevel, EQGEventType::SetSpawnPositions, EQGEventType::Input, EQGEventType::Aim})
        EXPECT_TRUE(log.contains("Ignored event type " + std::to_string(uint32_t(type)) + " from connection 1."))
            << log.text();
    EXPECT_EQ(server.game->level, nullptr);

    // The host's aim at its own player is taken.
    host->event_handler->post<EQGEventType::Aim>(PlayerAim{0});
    ASSERT_TRUE(eventually([&] { return heard.types.size() == 2; }, frame));
    EXPECT_EQ(heard.types[1], uint32_t(EQGEventType::Aim));
    EXPECT_EQ(heard.payloads[1][0], 0u);
    // A hit is news for the victim's own client alone (delayed news is shown while a match runs).
    ListenerLog hits[2];
    for (unsigned int i : {1u, 0u}) {
        (i ? guest : host)->match_running = true;
        hits[i].listen(*(i ? guest : host)->event_handler, EQGEventType::PlayerHit);
        server.game->registry().get_player(i)->spawn_protection = 0.0f;
        server.game->registry().get_player(i)->change_health({DamageType::Drowning, 0, i}, -1.0f);
    }
    ASSERT_TRUE(eventually([&] { return !hits[0].types.empty() && !hits[1].types.empty(); }, frame));
    for (int i = 0; i < 5; ++i) frame();
    for (uint8_t i : {0, 1}) EXPECT_EQ(hits[i].payloads, (std::vector<std::vector<uint8_t>>{{i, 0, 0, 0}}));
    guest.reset();
    host.reset();
}

TEST(SenderAttribution, AClientLimitsTheLinesItsServerCausesPerKind) {
    LogCapture log;
    const auto lines = [&log] { return size_t(std::ranges::count(log.text(), '\n')); };
    ManualNetClock clock(1000);
    auto client = make_headless_client_session(&clock);
    auto* tcp = new net_test::MemoryTcp();
    client->network().install_transports(std::unique_ptr<Tcp>(tcp), nullptr);
    const uint8_t junk[] = {9, 9, 9};
    tcp->arriving.assign(100, {Connection(localhost, 4200), ByteBuffer(junk, 3)});
    const size_t before = lines();
    client->update(0.016f);
    const size_t written = lines() - before;
    EXPECT_TRUE(written > 0 && written <= LogPeerLimits().per_window) << written;
    client.reset();  // and the count of the lines left out
    EXPECT_EQ(lines(), before + written + 1);
}

TEST(ConnectThread, FailedConnectionIsReportedOnce) {
    // Every reading of this clock is a second later, so the 10-second bound runs out at once.
    ManualNetClock clock(0, 1000);
    ConnectResult result;
    testing::internal::CaptureStdout();
    auto client = connect_client(closed_port(), result, clock);
    ASSERT_TRUE(eventually([&] { return client->quit.load(); }));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(result.calls.load(), 1);
    EXPECT_FALSE(result.value.load());
    EXPECT_TRUE(client->connect_failed.load());
    EXPECT_FALSE(client->active.load());
    auto* waiting = client->spawn<QGObject>(5, false);
    client->update(0.1f);
    EXPECT_EQ(client->registry().find_object(5), nullptr);
    EXPECT_EQ(client->registry().pending_objects().front(), waiting);
}

TEST(ConnectThread, LeavingDuringAConnectionAttemptEndsItWithoutCallingTheOwner) {
    // The clock stands still, so only the leaving can end the attempt: a connect refused and
    // retried, a connect that gets no answer, a connection waiting for its id.
    struct Attempt {
        net_test::CountingClock clock{0};
        ConnectResult result;
        std::unique_ptr<QGGame> client;
    };
    sf::TcpListener mute;
    ASSERT_EQ(mute.listen(0, localhost), sf::Socket::Done);
    sf::TcpSocket accepted;
    const FullListener full;
    const auto accepted_one = [&] { return mute.accept(accepted) == sf::Socket::Done; };
    const std::pair<unsigned short, std::function<bool()>> stages[] = {
        {closed_port(), {}}, {full.port, {}}, {mute.getLocalPort(), accepted_one}};
    for (const auto& [port, reached] : stages) {
        if (port == 0) continue;  // the kernel kept answering connects
        auto attempt = std::make_unique<Attempt>();
        testing::internal::CaptureStdout();
        attempt->client = connect_client(port, attempt->result, attempt->clock);
        EXPECT_TRUE(eventually([&] { return attempt->clock.reads > 2; }));
        EXPECT_TRUE(!reached || reached());
        const bool ended = ends_within([&a = *attempt] { a.client.reset(); });
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(ended) << port;
        EXPECT_EQ(attempt->result.calls.load(), 0);
        if (!ended) attempt.release();  // the hung teardown still uses it
    }
}

TEST(ConnectThread, FiveSecondsOfSilenceEndTheConnectionOnlyOnceTheMatchRuns) {
    // Each side in turn keeps stepping while the other falls silent; last, the server sends its
    // state alone (its stream held up on a thin link), which keeps the client.
    for (int variant : {0, 1, 2}) {
        const bool server_listens = variant == 0, state_only = variant == 2;
        ManualNetClock clock(5'000'000);
        LoopbackServer server(clock);
        ASSERT_TRUE(server.start(2));
        ConnectResult result;
        auto client = joined_client(server, result, clock);
        ASSERT_TRUE(client);
        Flag lost;
        client->disconnect_hook = Callback<void>(&lost, &Flag::hit);
        QGGame& listener = server_listens ? *server.game : *client;
        const auto connected = [&] { return server_listens ? server.tcp->client_count() != 0 : lost.hits == 0; };
        ByteBuffer state;
        NetworkableMap none;
        Protocol::build_sync_packet(none, 0, state);
        const auto silence = [&](int64_t ms, int64_t step) {
            for (; ms > 0; ms -= step) {
                clock.advance(step);
                if (state_only) server.udp->send(state);
                listener.update(float(step) / 1000.0f);
            }
        };
        // A level may take long to generate: before the match silence ends nothing. One step, so
        // that one ping waits for an answer.
        silence(60'000, 60'000);
        ASSERT_TRUE(connected()) << server_listens;
        // Both step until the listener has the pong to the ping it sent now, and with it all others.
        const auto answered_now = [&](int64_t last_receive_ms, int64_t latency_ms) {
            return last_receive_ms == clock.now_ms() && latency_ms == 0;
        };
        ASSERT_TRUE(eventually(
            [&] {
                const ConnectedClient* c = server.tcp->client(client->local_player_id);
                const auto& tcp = dynamic_cast<const TcpClient&>(*client->network().tcp_transport());
                return server_listens ? answered_now(c->last_receive_ms, c->latency_ms)
                                      : answered_now(tcp.last_receive_ms(), tcp.latency_ms());
            },
            [&] {
                server.game->update(0.0f);
                client->update(0.0f);
            }));
        listener.match_setup().start_game();
        silence(4900, 100);
        EXPECT_TRUE(connected()) << server_listens;
        silence(100, 100);
        EXPECT_EQ(connected(), state_only) << variant;
        // A client that lost its server leaves the match and forgets the server's UDP side.
        EXPECT_TRUE(server_listens || state_only ||
                    (lost.hits == 1 && !client->match_running && client->network().udp_transport()->peers().empty()));
    }
}
