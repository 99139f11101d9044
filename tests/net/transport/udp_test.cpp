#include <gtest/gtest.h>

#include "net/lan/browser.h"
#include "net/transport/udp.h"
#include "support/net_test_support.h"

using namespace net_test;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const sf::IpAddress localhost = sf::IpAddress::LocalHost;

Connection endpoint_of(const Udp& udp) { return Connection(localhost, udp.local_port()); }

void bind_free(std::initializer_list<Udp*> udps) {
    for (Udp* udp : udps) {
        ASSERT_TRUE(udp->bind(0));
        ASSERT_NE(udp->local_port(), 0);
    }
}

void link(Udp& a, Udp& b) {
    a.add_peer(endpoint_of(b));
    b.add_peer(endpoint_of(a));
}

bool receive_until(Udp& udp, size_t n) {
    return eventually([&] { return udp.waiting_packets().size() >= n; }, [&] { udp.receive(); });
}

size_t drain(Udp& udp) {
    udp.receive();
    return udp.take_waiting_packets().size();
}

// Gives a deferred network softirq a moment on a loaded machine.
void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

// Sends announcements the way the server's announcer does: from a Udp of its own to the
// announcement target address, which the loopback-only mode keeps on this machine.
struct Announcer {
    explicit Announcer(unsigned short browser_port) {
        udp.add_peer(Connection(announcement_target_address(), browser_port));
    }
    void announce(const std::string& name, const Connection& server, int64_t time = 1) {
        udp.send(encode_announcement(name, server, time));
    }
    ScopedEnv env{"BRAWL_LOOPBACK_ONLY", "1"};
    Udp udp;
};

const Connection arena(sf::IpAddress(192, 168, 0, 5), 4200);

std::vector<ServerInfo> listed(Browser& browser) {
    std::vector<ServerInfo> out;
    browser.list_servers(out);
    return out;
}

bool update_until(Browser& browser, const std::function<bool()>& done) {
    return eventually(done, [&] { browser.update(); });
}

// A queue on the paths to the peers in `congested`, reliable bytes waiting for those in `waiting`.
struct TestPaths : PathMonitor {
    std::set<Connection> congested, waiting;
    bool path_to(const Connection& peer, PathReport& out) const override {
        out = PathReport{congested.count(peer) ? 2 * SendPace::queue_limit_us : 0, 0, waiting.count(peer) * 2000};
        return true;
    }
};

// Notes every datagram it hands to the socket (its size, and a count per port) and loses as
// many as it is told to for a port, or has the socket refuse them.
struct MeasuredUdp : Udp {
    std::vector<size_t> sizes;
    std::map<unsigned short, int> sent, lose, refuse;
    std::vector<unsigned short> order;
    bool send_datagram(const uint8_t* data, size_t size, const Connection& to) override {
        sizes.push_back(size);
        order.push_back(to.port);
        ++sent[to.port];
        if (refuse[to.port]-- > 0) return false;
        return lose[to.port]-- > 0 || Udp::send_datagram(data, size, to);
    }
};

}  // namespace

TEST(UdpReplication, PeersTakeTurnsAtBeingFirstAndTurnsThatFallTogetherAreSpread) {
    ManualNetClock clock(10000);
    MeasuredUdp server;
    server.set_clock(clock);
    server.set_send_interval(0);
    server.refresh_sends = 8;
    TestPaths paths;
    volatile unsigned short first = 4200;
    for (unsigned short port = first; port < first + 8; ++port)
        server.add_peer(Connection(localhost, port)), paths.congested.insert(Connection(localhost, port));
    Thing mover;
    NetworkableMap objects{{1, &mover}};
    // No peer is first at every send, so that a full link loses each peer's packets in turn.
    for (mover.hp = 0; mover.hp < 3; ++mover.hp) server.send_objects(objects);
    EXPECT_EQ(std::set<unsigned short>({server.order.at(0), server.order.at(8), server.order.at(16)}).size(), 3u);
    // Equally thinned, all would be due at the same sends: they are served over several, the one
    // that waited longest first. Behind their reliable streams for ten sends, none due, they still
    // go at most two a send after; and 32 peers at the greatest stretch (from send 400 on) are
    // each served within 750 ms and one send, as the 8 are at any stretch.
    server.set_send_interval(0.033f);
    server.path_monitor = &paths;
    size_t most = 0;
    int64_t longest = 0;
    std::map<unsigned short, int64_t> last;
    const std::set<Connection> eight = paths.congested;
    for (int i = 0; i < 900; ++i, clock.advance(33), ++mover.hp) {
        for (unsigned short port = first + 8; i == 400 && port < first + 32; ++port)
            server.add_peer(Connection(localhost, port)), paths.congested.insert(Connection(localhost, port));
        paths.waiting = i >= 400 ? paths.congested : i >= 300 && i < 310 ? eight : std::set<Connection>();
        server.order.clear();
        server.send_objects(objects);
        for (unsigned short port : server.order) {
            if (last.count(port) && i >= 100 && (i < 400 || i >= 600))
                longest = std::max(longest, clock.now_ms() - last[port]);
            last[port] = clock.now_ms();
        }
        most = std::max(most, i < 100 || i >= 400 ? 0 : server.order.size());
    }
    EXPECT_LE(most, 2u);
    EXPECT_LE(longest, 750 + 33);
    EXPECT_EQ(last.size(), 32u);
}

TEST(Udp, PeersAreVisitedByPortAndAddedOnce) {
    Udp sender;
    sender.add_peer(Connection(localhost, 5000));
    sender.add_peer(Connection(localhost, 4200));
    ASSERT_EQ(sender.peers().size(), 2u);
    EXPECT_EQ(sender.peers().begin()->port, 4200);
    EXPECT_EQ(std::next(sender.peers().begin())->port, 5000);

    Udp receiver, lone;
    bind_free({&receiver});
    receiver.accept_unknown_senders = true;
    lone.add_peer(endpoint_of(receiver));
    lone.add_peer(endpoint_of(receiver));
    EXPECT_EQ(lone.peers().size(), 1u);
    EXPECT_TRUE(lone.send(data_packet(1)));
    size_t got = 0;
    EXPECT_TRUE(eventually([&] { return got >= 1; }, [&] { got += drain(receiver); }));
    settle();
    got += drain(receiver);
    EXPECT_EQ(got, 1u);

    std::vector<uint8_t> huge(sf::UdpSocket::MaxDatagramSize + 1);
    huge[0] = uint8_t(PacketKind::Ping);
    EXPECT_FALSE(lone.send(buffer_of(huge)));
}

TEST(Udp, StrangersAreDroppedOrFiledUnderTheBroadcastKey) {
    Udp receiver, known, stranger;
    bind_free({&receiver, &known, &stranger});
    link(receiver, known);
    stranger.add_peer(endpoint_of(receiver));

    stranger.send(data_packet(1));
    known.send(data_packet(2));  // sent after the stranger's: once it is in, so was the other
    EXPECT_TRUE(receive_until(receiver, 1));
    receiver.receive();
    ASSERT_EQ(receiver.waiting_packets().size(), 1u);
    EXPECT_EQ(receiver.take_waiting_packets().begin()->first, endpoint_of(known));

    receiver.accept_unknown_senders = true;
    stranger.send(data_packet(3));
    EXPECT_TRUE(receive_until(receiver, 1));
    EXPECT_EQ(receiver.waiting_packets().begin()->first, Connection(sf::IpAddress::Broadcast, stranger.local_port()));
    EXPECT_EQ(receiver.waiting_packets().begin()->second, data_packet(3));
}

TEST(Udp, OneReceiveTakesAtMostTheCap) {
    Udp receiver, sender;
    bind_free({&receiver, &sender});
    link(receiver, sender);
    receiver.max_packets_per_receive = 50;
    for (uint32_t i = 0; i < 80; ++i) sender.send(data_packet(i));
    settle();
    receiver.receive();
    EXPECT_EQ(receiver.waiting_packets().size(), 50u);
    receiver.receive();
    ASSERT_EQ(receiver.waiting_packets().size(), 80u);
    uint32_t i = 0;
    for (auto& [from, packet] : receiver.waiting_packets()) EXPECT_EQ(packet, data_packet(i++));
}

TEST(Udp, RemovingAPeerForgetsItsPacketsAndNewestTimes) {
    Udp receiver, a, b;
    bind_free({&receiver, &a, &b});
    link(receiver, a);
    link(receiver, b);
    Thing sent = sample_thing(), one, two;
    NetworkableMap objects{{1, &one}, {2, &two}}, both{{1, &sent}, {2, &sent}};
    ByteBuffer packet;
    for (auto [from, at] : {std::pair{&a, 7}, {&b, 6}})
        Protocol::build_sync_packet(both, at, packet), from->send(packet);
    const auto newest = [&](unsigned id, const Udp& from) { return receiver.newest_send_time(id, endpoint_of(from)); };
    EXPECT_TRUE(eventually([&] { return newest(2, a) && newest(2, b); }, [&] { receiver.receive_objects(objects); }));

    a.send(data_packet(1));
    b.send(data_packet(2));
    EXPECT_TRUE(receive_until(receiver, 2));
    receiver.remove_peer(endpoint_of(a));
    ASSERT_EQ(receiver.waiting_packets().size(), 1u);
    EXPECT_EQ(receiver.waiting_packets().begin()->first, endpoint_of(b));
    EXPECT_FALSE(newest(1, a) || newest(2, a));
    EXPECT_EQ(newest(1, b), 6);

    a.send(data_packet(3));
    b.send(data_packet(4));
    EXPECT_TRUE(receive_until(receiver, 2));
    for (auto& [from, packet] : receiver.waiting_packets()) EXPECT_EQ(from, endpoint_of(b));
}

TEST(UdpReplication, ServerToClientDropsStaleDataAndInterpolates) {
    ManualNetClock server_clock(1000), client_clock(0);
    Udp server, client;
    server.set_clock(server_clock);
    client.set_clock(client_clock);
    bind_free({&server, &client});
    link(server, client);
    server.set_send_interval(0.0f);
    client.set_send_interval(0.033f);  // latency 66 ms

    Thing on_server = sample_thing();
    Thing on_client;
    on_client.smooth = true;
    on_client.speed = 10.0f;
    NetworkableMap server_objects{{3, &on_server}}, client_objects{{3, &on_client}};

    // The second is sent after the first but stamped older: it must lose.
    for (auto [ms, hp, speed] : {std::tuple{1000, 1, 20.0f}, {967, 2, 99.0f}, {1033, 3, 30.0f}}) {
        server_clock.set(ms);
        server.next_send_ms = 0;
        on_server.hp = hp;
        on_server.speed = speed;
        ASSERT_TRUE(server.send_objects(server_objects));
    }

    bool saw_stale = false;
    auto receive = [&] {
        client.receive_objects(client_objects);
        saw_stale = saw_stale || on_client.hp == 2;
    };
    EXPECT_TRUE(eventually([&] { return on_client.hp == 3; }, receive));
    EXPECT_FALSE(saw_stale);
    EXPECT_EQ(on_client.name, "ab");
    EXPECT_EQ(client.newest_send_time(3, endpoint_of(server)), 1033);

    // From the older update to the newer in one interval, then extrapolated half an interval at most.
    EXPECT_FLOAT_EQ(on_client.speed, 20.0f);
    for (auto [ms, speed] : {std::pair{33, 30.0f}, {99, 35.0f}}) {
        client_clock.set(ms);
        client.receive_objects(client_objects);
        EXPECT_FLOAT_EQ(on_client.speed, speed);
    }
    EXPECT_EQ(on_client.position, dvec2d(1.0f, 2.0f));
}

TEST(Browser, ListsAServerRenamesItInPlaceAndForgetsItAfterItsLife) {
    ManualNetClock clock(10000);
    Browser browser(2.0f, 0, &clock);
    EXPECT_EQ(browser.entry_life_ms, 2000);
    ASSERT_NE(browser.local_port(), 0);
    Announcer announcer(browser.local_port());
    EXPECT_EQ(announcer.udp.peers().begin()->address, sf::IpAddress::LocalHost);

    announcer.announce("Arena", arena);
    ASSERT_TRUE(update_until(browser, [&] { return listed(browser).size() == 1; }));
    EXPECT_EQ(listed(browser)[0].name, "Arena");
    EXPECT_EQ(listed(browser)[0].connection, arena);

    clock.set(10200);
    announcer.announce("Arena (FULL)", arena);
    ASSERT_TRUE(update_until(browser, [&] { return listed(browser)[0].name == "Arena (FULL)"; }));
    EXPECT_EQ(listed(browser).size(), 1u);
    EXPECT_EQ(browser.servers[arena].expiry_ms, 12200);

    // Lists behind Arena by port, whatever the order of arrival.
    clock.set(10000);
    const Connection second(sf::IpAddress(192, 168, 0, 5), 4300);
    announcer.announce("Second", second);
    ASSERT_TRUE(update_until(browser, [&] { return listed(browser).size() == 2; }));
    std::vector<ServerInfo> both = listed(browser);
    EXPECT_EQ(both[0].connection.port, 4200);
    EXPECT_EQ(both[1].connection.port, 4300);
    EXPECT_EQ(both[1].name, "Second");

    // Second was refreshed at 10000, Arena at 10200.
    for (auto [ms, left] : {std::pair{11999, 2u}, {12000, 1u}, {12200, 0u}}) {
        clock.set(ms);
        browser.update();
        ASSERT_EQ(listed(browser).size(), left) << ms;
        if (left == 1) {
            EXPECT_EQ(listed(browser)[0].connection, arena);
        }
    }
}

TEST(Browser, ANegativeEntryLifeKeepsTheListEmpty) {
    ManualNetClock clock(10000);
    Browser browser(-1.0f, 0, &clock);
    EXPECT_EQ(browser.entry_life_ms, 0);
    Announcer announcer(browser.local_port());
    announcer.announce("Arena", arena);
    settle();
    for (int i = 0; i < 10; ++i) {
        browser.update();
        EXPECT_TRUE(listed(browser).empty());
    }
}

TEST(Browser, MalformedAnnouncementsNeitherCreateNorRefreshEntries) {
    ManualNetClock clock(10000);
    Browser browser(2.0f, 0, &clock);
    Announcer announcer(browser.local_port());
    announcer.announce("Arena", arena);
    ASSERT_TRUE(update_until(browser, [&] { return listed(browser).size() == 1; }));
    clock.set(11000);

    // Every cut of a refresh of Arena and of a new server.
    const Connection other_server(sf::IpAddress(10, 0, 0, 9), 4400);
    const std::vector<uint8_t> refresh = encode_announcement("Arena (FULL)", arena, 2).bytes();
    const std::vector<uint8_t> other = encode_announcement("Other", other_server, 2).bytes();
    for (const auto* whole : {&refresh, &other})
        for (size_t n = 0; n < whole->size(); ++n) announcer.udp.send(ByteBuffer(whole->data(), n));

    std::vector<uint8_t> wrong_id = other;  // for object 5
    wrong_id[15] = 5;
    announcer.udp.send(buffer_of(wrong_id));

    ByteBuffer padded;  // bytes to spare behind the connection
    padded.write_u32_le(0);
    padded.write_i64_le(3);
    padded.write_u32_be(0);
    padded.write_u32_be(4 + 5 + 8 + 2);
    padded.write_string("Other");
    other_server.write(padded);
    padded.write_u16_be(0);
    announcer.udp.send(padded);

    std::vector<uint8_t> long_name = refresh;
    long_name[23] = 200;  // more than its record holds
    announcer.udp.send(buffer_of(long_name));

    // Behind them all, one good announcement: once it is listed, the others were read.
    const Connection sentinel(sf::IpAddress(10, 0, 0, 1), 4500);
    announcer.announce("Sentinel", sentinel);
    ASSERT_TRUE(update_until(browser, [&] { return browser.servers.count(sentinel) == 1; }));
    EXPECT_EQ(browser.servers.size(), 2u);
    EXPECT_EQ(browser.servers[arena].name, "Arena");
    EXPECT_EQ(browser.servers[arena].expiry_ms, 12000);  // not refreshed
}

TEST(Browser, ASecondBrowserOnTheSamePortHearsNothing) {
    ManualNetClock clock(0);
    Browser first(2.0f, 0, &clock);
    const unsigned short port = first.local_port();
    CaptureStdout();
    Browser second(2.0f, port, &clock);
    EXPECT_EQ(GetCapturedStdout(), "UdpError! bind on port " + std::to_string(port) + " failed.\n");
    Announcer announcer(port);
    announcer.announce("Arena", arena);
    ASSERT_TRUE(update_until(first, [&] { return listed(first).size() == 1; }));
    second.update();
    EXPECT_TRUE(listed(second).empty());
    EXPECT_EQ(lan_announce_port, 4201);
}

TEST(UdpReplication, LargeSyncPacketsTravelAsWholeRecordsInDatagramsOfOnePacket) {
    MeasuredUdp server;
    Udp client;
    bind_free({&server, &client});
    link(server, client);

    std::vector<Thing> sent(120), got(120);
    NetworkableMap server_objects, client_objects;
    for (uint32_t i = 0; i < sent.size(); ++i) {
        sent[i].hp = int32_t(i);
        sent[i].blob.assign(171, uint8_t(i));  // records of 240 bytes: five fill 1200 but for the header
        server_objects[i] = &sent[i];
        client_objects[i] = &got[i];
    }
    sent[100].blob.assign(sf::UdpSocket::MaxDatagramSize, 1);
    ByteBuffer packet;
    Protocol::build_sync_packet(server_objects, 5, packet);
    ASSERT_GT(packet.size(), sf::UdpSocket::MaxDatagramSize + 20000u);

    EXPECT_FALSE(server.send(packet));  // record 100 fits no datagram: left out, and said so
    EXPECT_GT(server.sizes.size(), 20u);
    for (size_t size : server.sizes) EXPECT_LE(size, 1200u);
    auto all_there = [&] {
        for (uint32_t i = 0; i < got.size(); ++i)
            if (i != 100 && (got[i].hp != int32_t(i) || got[i].blob != sent[i].blob)) return false;
        return true;
    };
    EXPECT_TRUE(eventually(all_there, [&] { client.receive_objects(client_objects); }));
    EXPECT_TRUE(got[100].blob.empty());
}

TEST(UdpReplication, EachPeerGetsWhatChangedAtThePaceOfItsPath) {
    ManualNetClock clock(10000);
    MeasuredUdp server;
    Udp near, far;
    for (Udp* udp : {static_cast<Udp*>(&server), &near, &far}) {
        udp->set_clock(clock);
        udp->set_send_interval(0.033f);
    }
    bind_free({&server, &near, &far});
    link(server, near);
    link(server, far);
    TestPaths paths;
    server.refresh_sends = 8;  // as the server's hosting sets it
    server.path_monitor = &paths;
    const Connection to_near = endpoint_of(near), to_far = endpoint_of(far), from = endpoint_of(server);
    Thing mover, idle, near_mover, near_idle, far_mover;
    near_mover.smooth = far_mover.smooth = true;
    NetworkableMap objects{{1, &mover}, {2, &idle}}, near_objects{{1, &near_mover}, {2, &near_idle}},
        far_objects{{1, &far_mover}};
    auto tick = [&](float step) {
        mover.position.x += step;
        clock.advance(33);
        server.send_objects(objects);
    };
    // Receives until the packet sent now is in; answers its time and the mover's value then.
    auto received_now = [&](Udp& client, NetworkableMap& map) {
        const int64_t at = clock.now_ms();
        EXPECT_TRUE(
            eventually([&] { return client.newest_send_time(1, from) == at; }, [&] { client.receive_objects(map); }));
        return std::pair{at, mover.position.x};
    };

    // A record that stops changing goes once more, so the receiver holds the object where it
    // stopped instead of carrying it half a step on.
    for (int i = 0; i < 4; ++i) tick(10.0f);
    tick(0.0f);
    received_now(near, near_objects);
    clock.advance(1000);
    near.receive_objects(near_objects);
    EXPECT_EQ(near_mover.position.x, 40.0f);
    // Then unchanged records cost nothing but their turns of the refresh, each one packet in 8.
    server.sent.clear();
    for (int i = 0; i < 16; ++i) tick(0.0f);
    EXPECT_EQ(server.sent[to_near.port], 4);
    // A change whose datagram and repeat are both lost comes again within the refresh.
    idle.hp = 5;
    server.lose[to_near.port] = 2;
    for (int i = 0; i < 2 + 8; ++i) tick(0.0f);
    EXPECT_TRUE(eventually([&] { return near_idle.hp == 5; }, [&] { near.receive_objects(near_objects); }));
    // A congested peer gets fewer packets, and its receiver moves on evenly over their spacing.
    paths.congested = {to_far};
    server.sent.clear();
    for (int i = 0; i < 60; ++i) tick(10.0f);
    EXPECT_EQ(server.sent[to_near.port], 60);
    EXPECT_LT(server.sent[to_far.port], 60 / 4);
    auto next_far_packet = [&] {
        for (server.sent.clear(); !server.sent[to_far.port];) tick(10.0f);
        return received_now(far, far_objects);
    };
    paths.waiting = {to_far};
    for (int i = 0; i < 30; ++i) tick(10.0f);
    paths.waiting.clear();
    const auto [t1, x1] = next_far_packet();
    const auto [t2, x2] = next_far_packet();
    // Thinned past the spacing receivers follow, the receiver holds the newest value.
    EXPECT_GT(t2 - t1, Protocol::max_update_spacing_intervals * 33);
    clock.advance(t2 - t1);
    far.receive_objects(far_objects);
    EXPECT_FLOAT_EQ(far_mover.position.x, x2);
    // Once its path clears, the peer's pace comes back to every interval.
    paths.congested.clear();
    for (int i = 0; i < 300 && server.peer_stretch(to_far) > 1.0f; ++i) tick(10.0f);
    server.sent.clear();
    for (int i = 0; i < 8; ++i) tick(10.0f);
    EXPECT_EQ(server.sent[to_far.port], 8);
    // A datagram the socket refuses stretches that peer's pace alone.
    server.refuse[to_far.port] = 1;
    tick(10.0f);
    EXPECT_GT(server.peer_stretch(to_far), 1.0f);
    EXPECT_EQ(server.peer_stretch(to_near), 1.0f);
}
