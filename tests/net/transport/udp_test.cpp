#include <gtest/gtest.h>

#include "net/lan/browser.h"
#include "net/transport/udp.h"
#include "support/net_test_support.h"

using namespace net_test;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const sf::IpAddress localhost = sf::IpAddress::LocalHost;

Connection endpoint_of(const Udp& udp) {
    return Connection(localhost, udp.local_port());
}

void bind_free(Udp& udp) {
    ASSERT_TRUE(udp.bind(0));
    ASSERT_NE(udp.local_port(), 0);
}

size_t drain(Udp& udp) {
    udp.receive();
    size_t n = udp.inbox.size();
    udp.inbox.clear();
    return n;
}

// Loopback datagrams are queued at the receiver before the send returns; this only gives a
// deferred network softirq a moment on a loaded machine.
void settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

TEST(Udp, PeersAreVisitedByPortAndAddedOnce) {
    Udp sender;
    sender.add_peer(Connection(localhost, 5000));
    sender.add_peer(Connection(localhost, 4200));
    ASSERT_EQ(sender.peers.size(), 2u);
    EXPECT_EQ(sender.peers.begin()->port, 4200);
    EXPECT_EQ(std::next(sender.peers.begin())->port, 5000);

    Udp receiver, lone;
    bind_free(receiver);
    receiver.accept_unknown_senders = true;
    lone.add_peer(endpoint_of(receiver));
    lone.add_peer(endpoint_of(receiver));
    EXPECT_EQ(lone.peers.size(), 1u);
    EXPECT_TRUE(lone.send(data_packet(1)));
    size_t got = 0;
    EXPECT_TRUE(eventually([&] { return got >= 1; }, [&] { got += drain(receiver); }));
    settle();
    got += drain(receiver);
    EXPECT_EQ(got, 1u);

    // Too large for one datagram and no sync packet to cut: not sent, and said so.
    std::vector<uint8_t> huge(sf::UdpSocket::MaxDatagramSize + 1);
    huge[0] = uint8_t(PacketKind::Ping);
    EXPECT_FALSE(lone.send(buffer_of(huge)));
}

TEST(Udp, StrangersAreDroppedOrFiledUnderTheBroadcastKey) {
    Udp receiver, known, stranger;
    bind_free(receiver);
    bind_free(known);
    bind_free(stranger);
    receiver.add_peer(endpoint_of(known));
    known.add_peer(endpoint_of(receiver));
    stranger.add_peer(endpoint_of(receiver));

    stranger.send(data_packet(1));
    known.send(data_packet(2));  // sent after the stranger's: once it is in, so was the other
    EXPECT_TRUE(eventually([&] { return !receiver.inbox.empty(); }, [&] { receiver.receive(); }));
    receiver.receive();
    ASSERT_EQ(receiver.inbox.size(), 1u);
    EXPECT_EQ(receiver.inbox.begin()->first, endpoint_of(known));
    receiver.inbox.clear();

    receiver.accept_unknown_senders = true;
    stranger.send(data_packet(3));
    EXPECT_TRUE(eventually([&] { return !receiver.inbox.empty(); }, [&] { receiver.receive(); }));
    EXPECT_EQ(receiver.inbox.begin()->first, Connection(sf::IpAddress::Broadcast, stranger.local_port()));
    EXPECT_EQ(receiver.inbox.begin()->second, data_packet(3));
}

TEST(Udp, OneReceiveTakesAtMostTheCap) {
    Udp receiver, sender;
    bind_free(receiver);
    bind_free(sender);
    receiver.add_peer(endpoint_of(sender));
    sender.add_peer(endpoint_of(receiver));
    receiver.max_packets_per_receive = 50;
    for (uint32_t i = 0; i < 80; ++i) sender.send(data_packet(i));
    settle();
    receiver.receive();
    EXPECT_EQ(receiver.inbox.size(), 50u);
    receiver.receive();
    ASSERT_EQ(receiver.inbox.size(), 80u);
    uint32_t i = 0;
    for (auto& [from, packet] : receiver.inbox) EXPECT_EQ(packet, data_packet(i++));
}

TEST(Udp, RemovingAPeerForgetsItsPacketsAndNewestTimes) {
    Udp receiver, a, b;
    bind_free(receiver);
    bind_free(a);
    bind_free(b);
    receiver.add_peer(endpoint_of(a));
    receiver.add_peer(endpoint_of(b));
    a.add_peer(endpoint_of(receiver));
    b.add_peer(endpoint_of(receiver));
    receiver.newest_timestamps = {{1, {{endpoint_of(a), 5}, {endpoint_of(b), 6}}}, {2, {{endpoint_of(a), 7}}}};

    a.send(data_packet(1));
    b.send(data_packet(2));
    EXPECT_TRUE(eventually([&] { return receiver.inbox.size() == 2; }, [&] { receiver.receive(); }));
    receiver.remove_peer(endpoint_of(a));
    ASSERT_EQ(receiver.inbox.size(), 1u);
    EXPECT_EQ(receiver.inbox.begin()->first, endpoint_of(b));
    EXPECT_EQ(receiver.newest_timestamps.size(), 1u);
    EXPECT_EQ(receiver.newest_timestamps[1].size(), 1u);
    EXPECT_EQ(receiver.newest_timestamps[1][endpoint_of(b)], 6);

    // Removed peers are strangers now.
    a.send(data_packet(3));
    b.send(data_packet(4));
    EXPECT_TRUE(eventually([&] { return receiver.inbox.size() == 2; }, [&] { receiver.receive(); }));
    for (auto& [from, packet] : receiver.inbox) EXPECT_EQ(from, endpoint_of(b));
}

TEST(UdpReplication, ServerToClientDropsStaleDataAndInterpolates) {
    ManualNetClock server_clock(1000), client_clock(0);
    Udp server, client;
    server.set_clock(server_clock);
    client.set_clock(client_clock);
    bind_free(server);
    bind_free(client);
    server.add_peer(endpoint_of(client));
    client.add_peer(endpoint_of(server));
    server.set_send_interval(0.0f);
    client.set_send_interval(0.033f);  // latency 66 ms

    Thing on_server = sample_thing();
    Thing on_client;
    on_client.smooth = true;
    on_client.speed = 10.0f;
    NetworkableMap server_objects{{3, &on_server}}, client_objects{{3, &on_client}};

    on_server.hp = 1;
    on_server.speed = 20.0f;
    ASSERT_TRUE(server.send_objects(server_objects));  // sent at 1000
    // A packet built earlier that arrives later: its send time is older than the last one's.
    server_clock.set(900);
    server.next_send_ms = 0;
    on_server.hp = 2;
    on_server.speed = 99.0f;
    ASSERT_TRUE(server.send_objects(server_objects));  // older: must lose
    server_clock.set(1100);
    on_server.hp = 3;
    on_server.speed = 30.0f;
    ASSERT_TRUE(server.send_objects(server_objects));

    bool saw_stale = false;
    EXPECT_TRUE(eventually([&] { return on_client.hp == 3; }, [&] {
        client.receive_objects(client_objects);
        saw_stale = saw_stale || on_client.hp == 2;
    }));
    EXPECT_FALSE(saw_stale);
    EXPECT_EQ(on_client.name, "ab");
    EXPECT_EQ(client.newest_timestamps[3][endpoint_of(server)], 1100);

    // The delegate fields move from the older update (20) to the newer one (30) in one interval.
    EXPECT_FLOAT_EQ(on_client.speed, 20.0f);
    client_clock.set(33);
    client.receive_objects(client_objects);
    EXPECT_FLOAT_EQ(on_client.speed, 30.0f);
    client_clock.set(99);
    client.receive_objects(client_objects);
    EXPECT_FLOAT_EQ(on_client.speed, 35.0f);  // extrapolated half an interval at most
    EXPECT_EQ(on_client.position, dvec2d(1.0f, 2.0f));
}

namespace {

// Sends announcements the way the server's announcer does: from a Udp of its own to the
// announcement target address, which the loopback-only mode keeps on this machine.
class Announcer {
public:
    explicit Announcer(unsigned short browser_port) : env_("BRAWL_LOOPBACK_ONLY", "1") {
        udp_.add_peer(Connection(announcement_target_address(), browser_port));
    }
    void announce(const std::string& name, const Connection& server, int64_t time = 1) {
        udp_.send(encode_announcement(name, server, time));
    }
    void send_raw(const ByteBuffer& datagram) { udp_.send(datagram); }
    const std::set<Connection>& peers() const { return udp_.peers; }

private:
    ScopedEnv env_;
    Udp udp_;
};

const Connection arena(sf::IpAddress(192, 168, 0, 5), 4200);

std::vector<ServerInfo> listed(Browser& browser) {
    std::vector<ServerInfo> out;
    browser.list_servers(out);
    return out;
}

}  // namespace

TEST(Browser, ListsAServerRenamesItInPlaceAndForgetsItAfterItsLife) {
    ManualNetClock clock(10000);
    Browser browser(2.0f, 0, &clock);
    EXPECT_EQ(browser.entry_life_ms, 2000);
    ASSERT_NE(browser.local_port(), 0);
    Announcer announcer(browser.local_port());
    EXPECT_EQ(announcer.peers().begin()->address, sf::IpAddress::LocalHost);

    announcer.announce("Arena", arena);
    ASSERT_TRUE(eventually([&] { return listed(browser).size() == 1; }, [&] { browser.update(); }));
    EXPECT_EQ(listed(browser)[0].name, "Arena");
    EXPECT_EQ(listed(browser)[0].connection, arena);

    clock.set(10200);
    announcer.announce("Arena (FULL)", arena);
    ASSERT_TRUE(eventually([&] { return listed(browser)[0].name == "Arena (FULL)"; }, [&] { browser.update(); }));
    EXPECT_EQ(listed(browser).size(), 1u);
    EXPECT_EQ(browser.servers[arena].expiry_ms, 12200);

    // A second server on the same machine with a higher port lists behind it, whatever the
    // order of arrival.
    clock.set(10000);
    const Connection second(sf::IpAddress(192, 168, 0, 5), 4300);
    announcer.announce("Second", second);
    ASSERT_TRUE(eventually([&] { return listed(browser).size() == 2; }, [&] { browser.update(); }));
    std::vector<ServerInfo> both = listed(browser);
    EXPECT_EQ(both[0].connection.port, 4200);
    EXPECT_EQ(both[1].connection.port, 4300);
    EXPECT_EQ(both[1].name, "Second");

    // Second was refreshed at 10000: still there at 11999, gone at 12000.
    clock.set(11999);
    browser.update();
    EXPECT_EQ(listed(browser).size(), 2u);
    clock.set(12000);
    browser.update();
    ASSERT_EQ(listed(browser).size(), 1u);
    EXPECT_EQ(listed(browser)[0].connection, arena);
    clock.set(12200);
    browser.update();
    EXPECT_TRUE(listed(browser).empty());
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
    ASSERT_TRUE(eventually([&] { return listed(browser).size() == 1; }, [&] { browser.update(); }));
    clock.set(11000);

    // Every cut of a refresh of Arena and of a new server.
    const std::vector<uint8_t> refresh = encode_announcement("Arena (FULL)", arena, 2).bytes();
    const std::vector<uint8_t> other =
        encode_announcement("Other", Connection(sf::IpAddress(10, 0, 0, 9), 4400), 2).bytes();
    for (size_t n = 0; n < refresh.size(); ++n) announcer.send_raw(ByteBuffer(refresh.data(), n));
    for (size_t n = 0; n < other.size(); ++n) announcer.send_raw(ByteBuffer(other.data(), n));

    // A whole announcement, but for object 5.
    std::vector<uint8_t> wrong_id = other;
    wrong_id[15] = 5;
    announcer.send_raw(buffer_of(wrong_id));

    // A record with bytes to spare behind the connection.
    ByteBuffer padded;
    padded.write_u32_le(0);
    padded.write_i64_le(3);
    padded.write_u32_be(0);
    padded.write_u32_be(4 + 5 + 8 + 2);
    padded.write_string("Other");
    Connection(sf::IpAddress(10, 0, 0, 9), 4400).write(padded);
    padded.write_u16_be(0);
    announcer.send_raw(padded);

    // A name that claims more bytes than its record holds.
    std::vector<uint8_t> long_name = refresh;
    long_name[23] = 200;
    announcer.send_raw(buffer_of(long_name));

    // Behind them all, one good announcement: once it is listed, the others were read.
    const Connection sentinel(sf::IpAddress(10, 0, 0, 1), 4500);
    announcer.announce("Sentinel", sentinel);
    ASSERT_TRUE(eventually([&] { return browser.servers.count(sentinel) == 1; }, [&] { browser.update(); }));
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
    ASSERT_TRUE(eventually([&] { return listed(first).size() == 1; }, [&] { first.update(); }));
    second.update();
    EXPECT_TRUE(listed(second).empty());
    EXPECT_EQ(lan_announce_port, 4201);
}

namespace {

// Notes the size of every datagram it hands to the socket.
class MeasuredUdp : public Udp {
public:
    std::vector<size_t> sizes;

protected:
    bool send_datagram(const uint8_t* data, size_t size, const Connection& to) override {
        sizes.push_back(size);
        return Udp::send_datagram(data, size, to);
    }
};

}  // namespace

TEST(UdpReplication, LargeSyncPacketsTravelAsWholeRecordsInDatagramsOfOnePacket) {
    MeasuredUdp server;
    Udp client;
    bind_free(server);
    bind_free(client);
    server.add_peer(endpoint_of(client));
    client.add_peer(endpoint_of(server));

    // Records for many datagrams, and one that no datagram can hold.
    std::vector<Thing> sent(120), got(120);
    NetworkableMap server_objects, client_objects;
    for (uint32_t i = 0; i < sent.size(); ++i) {
        sent[i].hp = int32_t(i);
        sent[i].blob.assign(150, uint8_t(i));
        server_objects[i] = &sent[i];
        client_objects[i] = &got[i];
    }
    sent[100].blob.assign(sf::UdpSocket::MaxDatagramSize, 1);
    ByteBuffer packet;
    Protocol::build_sync_packet(server_objects, 5, packet);
    ASSERT_GT(packet.size(), sf::UdpSocket::MaxDatagramSize + 20000u);

    EXPECT_FALSE(server.send(packet));  // the one record is left out, and said so
    EXPECT_GT(server.sizes.size(), 20u);
    for (size_t size : server.sizes) EXPECT_LE(size, server.datagram_limit);
    auto all_there = [&] {
        for (uint32_t i = 0; i < got.size(); ++i)
            if (i != 100 && (got[i].hp != int32_t(i) || got[i].blob != sent[i].blob)) return false;
        return true;
    };
    EXPECT_TRUE(eventually(all_there, [&] { client.receive_objects(client_objects); }));
    EXPECT_TRUE(got[100].blob.empty());
}
