#include <gtest/gtest.h>

#include <SFML/Network/SocketSelector.hpp>
#include <SFML/Network/TcpListener.hpp>
#include <linux/capability.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <tuple>

#include "engine/core/logger.h"
#include "support/net_test_support.h"

using namespace net_test;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const sf::IpAddress localhost = sf::IpAddress::LocalHost;

// Records what a connection hook is called with and, optionally, what the server looks like then.
struct HookLog {
    struct Call {
        unsigned int id;
        unsigned short local_port;
        Connection remote;
    };
    std::vector<Call> calls;
    void record(Protocol*, unsigned int id, unsigned short local_port, Connection remote) {
        calls.push_back({id, local_port, remote});
    }
    ConnectionCallback callback() { return ConnectionCallback(this, &HookLog::record); }
};

int bytes_waiting(int fd) {
    int n = 0;
    ioctl(fd, FIONREAD, &n);
    return n;
}

// Exactly n bytes from a blocking socket, or fewer when they do not come within the time.
std::vector<uint8_t> raw_read(sf::TcpSocket& s, size_t n, int timeout_ms = 3000) {
    std::vector<uint8_t> out;
    sf::SocketSelector selector;
    selector.add(s);
    while (out.size() < n && selector.wait(sf::milliseconds(timeout_ms))) {
        uint8_t buf[4096];
        size_t got = 0;
        if (s.receive(buf, std::min(n - out.size(), sizeof buf), got) != sf::Socket::Done) break;
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

void raw_send(sf::TcpSocket& s, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(s.send(bytes.data(), bytes.size()), sf::Socket::Done);
}

std::vector<uint8_t> framed(const ByteBuffer& packet) {
    ByteBuffer f;
    f.write_u32_be(uint32_t(packet.size()));
    f.append(packet.data(), packet.size());
    return f.bytes();
}

int64_t elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST(TcpHandshake, IdsGoLowestFreeFirstAndAFreedIdIsGivenAgain) {
    // Hooks outlive the transports that call them (destructors still report).
    HookLog server_connects, server_disconnects, client_connects;
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    const unsigned short port = server.listening_port();
    ASSERT_NE(port, 0);
    server.on_connect = server_connects.callback();
    server.on_disconnect = server_disconnects.callback();

    TcpClient c0, c1, c2;
    c0.on_connect = client_connects.callback();
    CaptureStdout();
    ASSERT_TRUE(connect_client(server, c0));
    ASSERT_TRUE(connect_client(server, c1));
    ASSERT_TRUE(connect_client(server, c2));
    std::string out = GetCapturedStdout();
    EXPECT_EQ(c0.connection_id(), 0u);
    EXPECT_EQ(c1.connection_id(), 1u);
    EXPECT_EQ(c2.connection_id(), 2u);
    EXPECT_NE(out.find("New client (0) connected: 127.0.0.1:" + std::to_string(c0.link().local_port()) + "\n"),
              std::string::npos)
        << out;

    // Both hooks see the id, their own port and the other end.
    ASSERT_EQ(client_connects.calls.size(), 1u);
    EXPECT_EQ(client_connects.calls[0].id, 0u);
    EXPECT_EQ(client_connects.calls[0].local_port, c0.link().local_port());
    EXPECT_EQ(client_connects.calls[0].remote, Connection(localhost, port));
    ASSERT_EQ(server_connects.calls.size(), 3u);
    EXPECT_EQ(server_connects.calls[2].id, 2u);
    EXPECT_EQ(server_connects.calls[2].local_port, port);
    EXPECT_EQ(server_connects.calls[2].remote, Connection(localhost, c2.link().local_port()));
    EXPECT_EQ(server.client(0)->latency_ms, 0);

    // Client 1 leaves: its id is the next one given, then 3.
    const unsigned short c1_port = c1.link().local_port();
    c1.disconnect();
    EXPECT_FALSE(c1.connected());
    CaptureStdout();
    EXPECT_TRUE(eventually([&] { return server.client_count() == 2; }, [&] { server.receive(); }));
    out = GetCapturedStdout();
    EXPECT_EQ(out, "Client (1) disconnected: 127.0.0.1:" + std::to_string(c1_port) + "\n");
    ASSERT_EQ(server_disconnects.calls.size(), 1u);
    EXPECT_EQ(server_disconnects.calls[0].id, 1u);

    TcpClient c3, c4;
    ASSERT_TRUE(connect_client(server, c3));
    ASSERT_TRUE(connect_client(server, c4));
    EXPECT_EQ(c3.connection_id(), 1u);
    EXPECT_EQ(c4.connection_id(), 3u);

    // The same client object can be opened again and gets the lowest free id.
    c0.disconnect();
    EXPECT_TRUE(eventually([&] { return !server.client(0); }, [&] { server.receive(); }));
    ASSERT_TRUE(connect_client(server, c1));
    EXPECT_EQ(c1.connection_id(), 0u);
}

TEST(TcpOpen, FailsOnceTheTransportsClockPassesTheTimeOutWhenNobodyListens) {
    const unsigned short port = closed_port();
    TcpClient client;
    // The attempts are timed on the transport's clock, here one that moves 25 ms a reading.
    for (const float limit : {0.3f, 10.0f}) {
        ManualNetClock clock(0, 25);
        client.set_clock(clock);
        CaptureStdout();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.open(localhost, port, limit));
        const std::string said = GetCapturedStdout();
        EXPECT_LT(elapsed_ms(start), 5000);
        EXPECT_GE(clock.now_ms(), int64_t(limit * 1000.0f)) << limit;
        EXPECT_NE(said.find(std::to_string(port)), std::string::npos) << said;  // one line names the attempt
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_FALSE(client.connected());
    }
}

TEST(TcpOpen, HandshakeFailsWithoutAWholeIdPacket) {
    sf::TcpListener silent;
    ASSERT_EQ(silent.listen(0), sf::Socket::Done);
    const unsigned short port = silent.getLocalPort();
    TcpClient client;
    CaptureStdout();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.open(localhost, port, 0.3f));
    EXPECT_GE(elapsed_ms(start), 299);
    EXPECT_EQ(GetCapturedStdout(),
              "TcpError! handshake on address 127.0.0.1 and port " + std::to_string(port) + " failed.\n");

    // An id packet of two bytes is not an id.
    sf::TcpSocket drain;
    ASSERT_EQ(silent.accept(drain), sf::Socket::Done);  // the first attempt's connection
    std::atomic<bool> opened{true};
    CaptureStdout();
    std::thread connector([&] { opened = client.open(localhost, port, 2.0f); });
    sf::TcpSocket raw;
    ASSERT_EQ(silent.accept(raw), sf::Socket::Done);
    raw_send(raw, {0, 0, 0, 2, 0xAB, 0xCD});
    connector.join();
    EXPECT_FALSE(opened);
    EXPECT_NE(GetCapturedStdout().find("TcpError! handshake on"), std::string::npos);
    EXPECT_FALSE(client.connected());
}

TEST(TcpOpen, HandshakeWaitsAFullTimeOutAfterALateConnect) {
    // The clock moves only where the test moves it: the connect comes at 300 ms of a 400 ms
    // time-out and the id at 650 ms, past one time-out from the start, within one from the connect.
    CountingClock clock(0);
    const unsigned short port = closed_port();
    TcpClient client;
    client.set_clock(clock);
    std::atomic<bool> opened{false};
    std::thread connector([&] { opened = client.open(localhost, port, 0.4f); });
    EXPECT_TRUE(eventually([&] { return clock.reads > 1; }));  // the attempt has taken its start
    clock.set(300);
    sf::TcpListener listener;
    sf::TcpSocket peer;
    const bool reached = listener.listen(port) == sf::Socket::Done && listener.accept(peer) == sf::Socket::Done;
    EXPECT_TRUE(reached);
    // Readings after the accept: the connect has returned and the handshake has its deadline.
    const int seen = clock.reads;
    EXPECT_TRUE(eventually([&] { return clock.reads > seen + 2; }));
    clock.set(reached ? 650 : 1'000'000);  // without a peer the attempt is ended
    // Time for a client that counts from the start to give up.
    std::this_thread::sleep_for(std::chrono::milliseconds(4 * wait_slice_ms));
    raw_send(peer, {0, 0, 0, 4, 0, 0, 0, 7});
    connector.join();
    EXPECT_TRUE(opened && client.connected());
    EXPECT_EQ(client.connection_id(), 7u);
    EXPECT_EQ(raw_read(peer, 8), (std::vector<uint8_t>{0, 0, 0, 4, 0, 0, 0, 7}));
}

TEST(TcpWire, HandshakePingPongAndDataBytesOnTheStream) {
    sf::TcpListener listener;
    ASSERT_EQ(listener.listen(0), sf::Socket::Done);
    ManualNetClock clock(10000);
    HookLog dropped;
    TcpClient client;
    client.set_clock(clock);
    client.on_disconnect = dropped.callback();
    std::atomic<bool> opened{false};
    std::thread connector([&] { opened = client.open(localhost, listener.getLocalPort(), 3.0f); });
    sf::TcpSocket raw;
    ASSERT_EQ(listener.accept(raw), sf::Socket::Done);
    raw_send(raw, {0, 0, 0, 4, 0, 0, 0, 3});
    EXPECT_EQ(hex(raw_read(raw, 8)), "00 00 00 04 00 00 00 03");  // the id comes back unchanged
    connector.join();
    ASSERT_TRUE(opened);
    EXPECT_EQ(client.connection_id(), 3u);
    EXPECT_EQ(client.last_receive_ms(), 10000);

    client.receive();  // the first keep-alive ping goes out at once
    EXPECT_EQ(hex(raw_read(raw, 16)), "00 00 00 0C 01 00 00 00 10 27 00 00 00 00 00 00");

    raw_send(raw, framed(make_keep_alive_packet(PacketKind::Pong, 10000)));
    clock.set(10040);
    EXPECT_TRUE(eventually([&] { return client.latency_ms() == 20; }, [&] { client.receive(); }));
    EXPECT_EQ(client.last_receive_ms(), 10040);

    raw_send(raw, framed(make_keep_alive_packet(PacketKind::Ping, 777)));
    ASSERT_TRUE(eventually([&] { return bytes_waiting(client.link().handle()) >= 16; }));
    client.receive();
    EXPECT_EQ(hex(raw_read(raw, 16)), "00 00 00 0C 02 00 00 00 09 03 00 00 00 00 00 00");

    raw_send(raw, framed(data_packet(42)));
    EXPECT_TRUE(eventually([&] { return client.waiting_packets().size() == 1; }, [&] { client.receive(); }));
    EXPECT_EQ(client.waiting_packets().begin()->first, Connection(localhost, listener.getLocalPort()));
    EXPECT_EQ(client.waiting_packets().begin()->second, data_packet(42));

    // A frame that claims 4 GB: the client holds what arrived, not what was claimed; the part
    // that came shows the server there, long after the last whole frame.
    raw_send(raw, {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_TRUE(eventually([&] { return bytes_waiting(client.link().handle()) >= 14; }));
    clock.set(20000);
    for (int i = 0; i < 20; ++i) client.receive();
    EXPECT_TRUE(client.connected());
    EXPECT_EQ(client.waiting_packets().size(), 1u);
    EXPECT_LT(client.link().receive_capacity(), size_t(1) << 20);

    raw.disconnect();
    EXPECT_TRUE(eventually([&] { return !client.connected(); }, [&] { client.receive(); }));
    ASSERT_EQ(dropped.calls.size(), 1u);
    EXPECT_EQ(dropped.calls[0].id, 3u);
    EXPECT_EQ(dropped.calls[0].remote, Connection(localhost, listener.getLocalPort()));
    EXPECT_TRUE(client.waiting_packets().empty());
    EXPECT_EQ(client.latency_ms(), 0);
}

TEST(TcpAccept, ANewcomerWithoutTheRightEchoIsNotRegistered) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    server.handshake_timeout = sf::milliseconds(200);
    const unsigned short port = server.listening_port();

    sf::TcpSocket mute;
    ASSERT_EQ(mute.connect(localhost, port), sf::Socket::Done);
    server.accept_client();  // the connection is already waiting: accepted, offered an id, not echoed
    EXPECT_EQ(hex(raw_read(mute, 8)), "00 00 00 04 00 00 00 00");  // it was offered id 0
    EXPECT_EQ(server.client_count(), 0u);

    std::atomic<bool> lied{false};
    std::thread liar([&] {
        sf::TcpSocket s;
        if (s.connect(localhost, port) == sf::Socket::Done) {
            raw_read(s, 8);
            const uint8_t wrong[8] = {0, 0, 0, 4, 0, 0, 0, 5};
            s.send(wrong, 8);
            raw_read(s, 1, 5000);  // until the server closes it
        }
        lied = true;
    });
    mute.setBlocking(false);
    const auto closed = [&] {
        char b;
        size_t n = 0;
        return mute.receive(&b, 1, n) == sf::Socket::Disconnected;
    };
    // Served until both are closed: the liar at its echo, the mute one at its time-out.
    EXPECT_TRUE(eventually([&] { return lied && closed(); }, [&] { server.accept_client(); }, 20000));
    liar.join();
    EXPECT_EQ(server.client_count(), 0u);

    TcpClient honest;
    ASSERT_TRUE(connect_client(server, honest));
    EXPECT_EQ(honest.connection_id(), 0u);
}

TEST(TcpAccept, ANewcomerStillShakingHandsHoldsItsPlaceUnderTheCap) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    server.max_clients = 2;
    TcpClient in;
    ASSERT_TRUE(connect_client(server, in));
    sf::TcpSocket half_open, over;
    ASSERT_EQ(half_open.connect(localhost, server.listening_port()), sf::Socket::Done);
    server.accept_client();
    EXPECT_EQ(raw_read(half_open, 8).size(), 8u);  // offered its id, never echoed
    ASSERT_EQ(over.connect(localhost, server.listening_port()), sf::Socket::Done);
    for (int i = 0; i < 3; ++i) server.accept_client();
    EXPECT_TRUE(raw_read(over, 8, 300).empty());
}

TEST(TcpKeepAlive, PingsAreAnsweredToTheirSenderBothSidesMeasureLatencyAndTheLinksCarryTheirOptions) {
    ManualNetClock server_clock(50000), clock0(1000), clock1(1000);
    TcpServer server;
    server.set_clock(server_clock);
    ASSERT_TRUE(server.listen_start(0, 0));
    TcpClient c0, c1;
    c0.set_clock(clock0);
    c1.set_clock(clock1);
    ASSERT_TRUE(connect_client(server, c0));
    ASSERT_TRUE(connect_client(server, c1));
    c1.next_keep_alive_ms = std::numeric_limits<int64_t>::max();  // client 1 never pings

    server.next_keep_alive_ms = std::numeric_limits<int64_t>::max();
    c0.receive();  // ping {1, 1000}
    clock0.set(1040);
    auto pump = [&] {
        server.receive();
        c0.receive();
        c1.receive();
    };
    EXPECT_TRUE(eventually([&] { return c0.latency_ms() == 20; }, pump));
    EXPECT_EQ(c0.last_receive_ms(), 1040);

    // The server's own pings, sent to everyone at 50000, come back to it as pongs.
    server.next_keep_alive_ms = 0;
    server.keep_alive();
    server_clock.set(50060);
    EXPECT_TRUE(
        eventually([&] { return server.client(0)->latency_ms == 30 && server.client(1)->latency_ms == 30; }, pump));
    EXPECT_EQ(server.client(1)->last_receive_ms, 50060);
    EXPECT_EQ(c1.latency_ms(), 0);  // the pong for client 0 went to client 0 only
    EXPECT_TRUE(server.waiting_packets().empty());
    EXPECT_TRUE(c1.waiting_packets().empty());
    PathReport path;
    ASSERT_TRUE(server.path_to(Connection(localhost, c0.link().local_port()), path));
    EXPECT_TRUE(path.min_round_trip_us > 0 && path.min_round_trip_us <= path.round_trip_us);
    TcpLink bare;  // made by a thread without capabilities: it may set only what every user may
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2] = {};
        ::syscall(SYS_capset, &header, none);
        bare.connect(localhost, server.listening_port(), 3000);
    }).join();
    for (int fd : {server.client(0)->link->handle(), c0.link().handle(), bare.handle()}) {
        int segment = 0, thin = 0;
        char congestion[17] = {};
        socklen_t size = sizeof segment, name_size = sizeof congestion - 1;
        ::getsockopt(fd, IPPROTO_TCP, TCP_MAXSEG, &segment, &size);
        ::getsockopt(fd, IPPROTO_TCP, TCP_THIN_LINEAR_TIMEOUTS, &thin, &size);
        ::getsockopt(fd, IPPROTO_TCP, TCP_CONGESTION, congestion, &name_size);
        const std::string cc = congestion;
        EXPECT_TRUE(segment <= TcpServer::max_segment_bytes && thin == 1 &&
                    (cc == "cubic" || (fd == bare.handle() && cc == "reno")))
            << segment << cc;
    }
}

// A listening server, and clients that join it on a clock of their own; both clocks from 0.
struct TcpTimeOut : testing::Test {
    ManualNetClock server_clock{0}, client_clock{0};
    TcpServer server;
    void SetUp() override {
        server.set_clock(server_clock);
        ASSERT_TRUE(server.listen_start(0, 0));
    }
    bool join(TcpClient& client) {
        client.set_clock(client_clock);
        return connect_client(server, client);
    }
};

TEST_F(TcpTimeOut, DropsASilentPeerOnlyWhenSet) {
    HookLog dropped;
    server.timeout_ms = 0;
    TcpClient client;
    client.on_disconnect = dropped.callback();
    ASSERT_TRUE(join(client));

    client_clock.set(4999);
    client.receive();
    EXPECT_TRUE(client.connected());
    client_clock.set(5000);
    client.receive();
    EXPECT_FALSE(client.connected());
    ASSERT_EQ(dropped.calls.size(), 1u);
    EXPECT_EQ(dropped.calls[0].id, 0u);

    // The server side: its time-out of 0 never drops; 5000 drops the silent client.
    TcpClient quiet;
    ASSERT_TRUE(join(quiet));
    server_clock.set(1000000);
    server.receive();
    EXPECT_TRUE(server.client(quiet.connection_id()));
    server.timeout_ms = 5000;
    CaptureStdout();
    server.receive();
    EXPECT_NE(GetCapturedStdout().find("Client (" + std::to_string(quiet.connection_id()) + ") disconnected"),
              std::string::npos);
    EXPECT_FALSE(server.client(quiet.connection_id()));

    // Heard from, though no pong came back yet (the ping waits behind a congested stream): each
    // end keeps the other a time-out from its last frame. One client only listens, one only talks.
    TcpClient listener, talker;
    ASSERT_TRUE(join(listener) && join(talker));
    const ByteBuffer frame(std::vector<uint8_t>{0, 0, 0, 7});
    ASSERT_TRUE(server.send_to_client(listener.connection_id(), frame));
    client_clock.set(9000);
    EXPECT_TRUE(eventually([&] { return !listener.waiting_packets().empty(); }, [&] { listener.receive(); }));
    client_clock.set(13'999);
    listener.receive();
    EXPECT_TRUE(listener.connected());
    // The talker is kept while it talks, until it has answered no ping for six time-outs.
    int64_t ms = 1'000'000;
    do {
        server.take_waiting_packets();
        ASSERT_TRUE(talker.send(frame));
        server_clock.set(ms += 4000);
        // A client dropped is forgotten with its packets.
        EXPECT_TRUE(
            eventually([&] { return !server.waiting_packets().empty() || !server.client(talker.connection_id()); },
                       [&] { server.receive(); }));
    } while (server.client(talker.connection_id()) && ms < 1'100'000);
    EXPECT_EQ(ms, 1'032'000);
}

TEST_F(TcpTimeOut, ABusyClientAnswersPingsAndKeepsTheFramesBetweenThemInOrder) {
    server.timeout_ms = 5000;
    TcpClient client;
    ASSERT_TRUE(join(client));
    // Six seconds of the server's pings, each behind a frame, while the client only answers pings.
    std::vector<uint32_t> sent, got;
    for (int64_t t = 1000; t <= 6000; t += 1000) {
        server_clock.set(t);
        server.send_to_client(client.connection_id(), data_packet(sent.emplace_back(uint32_t(t))));
        ASSERT_TRUE(eventually([&] { return server.client(client.connection_id())->last_receive_ms == t; },
                               [&] { client.answer_pings(), server.receive(); }));
    }
    client.receive();
    for (auto& [from, packet] : client.take_waiting_packets())
        EXPECT_TRUE(packet.skip(12) && packet.read_u32_be(got.emplace_back()));
    EXPECT_EQ(got, sent);
}

TEST(TcpReplication, AnObjectTravelsEachWayAndPacketsKeepTheirSender) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    TcpClient client;
    ASSERT_TRUE(connect_client(server, client));
    server.set_send_interval(0.0f);
    client.set_send_interval(0.0f);

    Thing on_server = sample_thing(), on_client;
    NetworkableMap server_objects{{5, &on_server}}, client_objects{{5, &on_client}};
    ASSERT_TRUE(server.send_objects(server_objects));
    EXPECT_TRUE(eventually([&] { return on_client.name == "ab"; }, [&] { client.receive_objects(client_objects); }));
    expect_same_fields(on_server, on_client);

    Thing from_client = sample_thing(), at_server;
    from_client.name = "up";
    from_client.hp = 1234;
    NetworkableMap up{{6, &from_client}}, down{{6, &at_server}};
    ASSERT_TRUE(client.send_objects(up));
    EXPECT_TRUE(eventually([&] { return at_server.name == "up"; }, [&] { server.receive_objects(down); }));
    EXPECT_EQ(at_server.hp, 1234);
    EXPECT_TRUE(server.newest_send_time(6, Connection(localhost, client.link().local_port())));
}

// The hp of the first record of each packet that reaches the transport, until n have come.
std::vector<int32_t> first_record_hps(Protocol& receiver, size_t n) {
    std::vector<int32_t> hps;
    eventually([&] { return hps.size() >= n; },
               [&] {
                   receiver.receive();
                   for (auto& [from, packet] : receiver.take_waiting_packets())
                       EXPECT_TRUE(packet.skip(20) && packet.read_i32_le(hps.emplace_back()));
               });
    return hps;
}

TEST(TcpReplication, EachConnectionCarriesARecordWhenItChangesOnceMoreAndOnItsRefreshTurns) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    TcpClient first;
    ASSERT_TRUE(connect_client(server, first));
    Thing thing = sample_thing();
    NetworkableMap objects{{5, &thing}};
    const auto send = [&](Protocol& from, std::vector<int32_t> hps) {
        from.set_send_interval(0.0f);
        for (int32_t hp : hps) thing.hp = hp, from.send_objects(objects);
    };
    send(server, {10, 10, 10, 10, 11, 11, 11});
    EXPECT_EQ(first_record_hps(first, 5), (std::vector<int32_t>{10, 10, 10, 11, 11}));  // the 4th: id 5's turn
    // The client's stream likewise; a frame taken back after a send error leaves its record to go twice more.
    send(first, {11, 11, 11, 12});
    const int fd = first.link().handle(), kept = ::dup(fd), udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    ::dup2(udp, fd), send(first, {12}), ::dup2(kept, fd), ::close(kept), ::close(udp), send(first, {12, 12, 12});
    EXPECT_EQ(first_record_hps(server, 5), (std::vector<int32_t>{11, 11, 12, 12, 12}));
    // News goes every time, however alike.
    struct News : Thing {
        void sync_fields() override { Thing::sync_fields(), wrote_news = mode == Write; }
    } news;
    NetworkableMap news_map{{7, &news}};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(server.send_objects(news_map));
    EXPECT_EQ(first_record_hps(first, 3), (std::vector<int32_t>{0, 0, 0}));
}

TEST(TcpReceiveCap, OneReceiveTakesAtMostTheCapPerClient) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    server.max_packets_per_receive = 50;
    server.next_keep_alive_ms = std::numeric_limits<int64_t>::max();
    TcpClient client;
    client.max_packets_per_receive = 50;
    ASSERT_TRUE(connect_client(server, client));

    for (uint32_t i = 0; i < 60; ++i) ASSERT_TRUE(client.send(data_packet(i)));
    const int expected = 60 * int(4 + data_packet(0).size());
    const int fd = server.client(0)->link->handle();
    ASSERT_TRUE(eventually([&] { return bytes_waiting(fd) == expected; }));
    server.receive();
    EXPECT_EQ(server.waiting_packets().size(), 50u);
    server.receive();
    ASSERT_EQ(server.waiting_packets().size(), 60u);
    uint32_t i = 0;  // in arrival order
    for (auto& [from, packet] : server.waiting_packets()) EXPECT_EQ(packet, data_packet(i++));

    for (uint32_t k = 0; k < 60; ++k) ASSERT_TRUE(server.send(data_packet(k)));
    const int client_fd = client.link().handle();
    ASSERT_TRUE(eventually([&] { return bytes_waiting(client_fd) == expected; }));
    client.next_keep_alive_ms = std::numeric_limits<int64_t>::max();
    client.receive();
    EXPECT_EQ(client.waiting_packets().size(), 50u);
    client.receive();
    EXPECT_EQ(client.waiting_packets().size(), 60u);
    client.max_waiting_bytes = 10 * data_packet(0).size();  // flooded while loading, it holds no more
    for (uint32_t k = 60; k < 90; ++k) ASSERT_TRUE(server.send(data_packet(k)));
    ASSERT_TRUE(eventually([&] { return bytes_waiting(client_fd) == expected / 2; }));
    client.answer_pings();
    EXPECT_EQ(bytes_waiting(client_fd), expected / 3);
    client.receive();
    EXPECT_EQ(client.waiting_packets().size(), 70u);
}

TEST(TcpSend, APartialSendIsCompletedAndTheStreamStaysInOrder) {
    TcpServer server;
    // The client's pong queues behind 16 MiB; a slow machine must not count that as silence.
    server.timeout_ms = 0;
    ASSERT_TRUE(server.listen_start(0, 0));
    TcpClient client;
    ASSERT_TRUE(connect_client(server, client));

    // Far more than the loopback socket buffers hold while the server is not reading.
    std::vector<uint8_t> pattern(16u << 20);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i * 7 + (i >> 16));
    const ByteBuffer big(std::move(pattern));
    ASSERT_TRUE(client.send(big));
    ASSERT_GT(client.link().queued_bytes(), 0u);  // the socket took only part of it
    ASSERT_TRUE(client.send(data_packet(1)));

    EXPECT_TRUE(eventually([&] { return server.waiting_packets().size() == 2; },
                           [&] {
                               client.receive();
                               server.receive();
                           },
                           20000));
    ASSERT_EQ(server.waiting_packets().size(), 2u);
    auto it = server.waiting_packets().begin();
    EXPECT_TRUE(it->second == big);
    EXPECT_EQ(std::next(it)->second, data_packet(1));
    EXPECT_EQ(client.link().queued_bytes(), 0u);
}

TEST(TcpSend, FailuresAreReportedNotAnsweredAsSuccess) {
    TcpClient idle;
    EXPECT_FALSE(idle.send(data_packet(1)));

    HookLog dropped;
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    TcpClient client;
    client.on_disconnect = dropped.callback();
    ASSERT_TRUE(connect_client(server, client));

    EXPECT_FALSE(server.send_to_client(9, data_packet(1)));  // nobody
    EXPECT_EQ(server.client_count(), 1u);

    // A socket that can no longer write answers a send with failure and the link is dropped.
    ::shutdown(client.link().handle(), SHUT_WR);
    EXPECT_FALSE(client.send(data_packet(2)));
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(dropped.calls.size(), 1u);
    EXPECT_FALSE(client.send(data_packet(3)));
}

namespace {

// An on-disconnect hook that, like the game's, talks to the remaining clients from inside the
// hook, and notes whether the record was still there when it ran.
struct ReentrantHook {
    TcpServer* server = nullptr;
    std::vector<unsigned int> ids;
    std::vector<bool> present;
    void on_disconnect(Protocol*, unsigned int id, unsigned short, Connection) {
        ids.push_back(id);
        present.push_back(server->client(id) != nullptr);
        server->send(data_packet(1000 + id));
        server->receive();
    }
};

}  // namespace

TEST(TcpServerWalk, ClientsDroppedDuringAWalkAreRemovedAfterIt) {
    log_reset_for_tests();  // the lines checked here, not those of earlier tests' clients
    ReentrantHook hook;
    TcpServer server;
    hook.server = &server;
    ASSERT_TRUE(server.listen_start(0, 0));
    server.on_disconnect = ConnectionCallback(&hook, &ReentrantHook::on_disconnect);
    TcpClient c0, c1, c2;
    ASSERT_TRUE(connect_client(server, c0));
    ASSERT_TRUE(connect_client(server, c1));
    ASSERT_TRUE(connect_client(server, c2));

    // Client 1's server-side socket can no longer write: the answer to its ping (sent while
    // the receive walk stands on client 1) finds it gone. Client 2 simply closes.
    server.next_keep_alive_ms = std::numeric_limits<int64_t>::max();  // only the ping answer sends
    c1.receive();                                                     // sends a ping
    ::shutdown(server.client(1)->link->handle(), SHUT_WR);
    c2.disconnect();
    const int fd1 = server.client(1)->link->handle();
    ASSERT_TRUE(eventually([&] { return bytes_waiting(fd1) >= 16; }));
    CaptureStdout();
    EXPECT_TRUE(eventually([&] { return server.client_count() == 1; }, [&] { server.receive(); }));
    std::string out = GetCapturedStdout();
    std::vector<unsigned int> ids = hook.ids;
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<unsigned int>{1, 2}));
    EXPECT_EQ(hook.present, (std::vector<bool>{true, true}));
    EXPECT_TRUE(server.client(0));
    EXPECT_NE(out.find("Client (1) disconnected: "), std::string::npos);
    EXPECT_NE(out.find("Client (2) disconnected: "), std::string::npos);

    // Client 0 heard both hooks' messages.
    size_t notices = 0;
    auto count_notices = [&] {
        c0.receive();
        for (auto& [from, p] : c0.take_waiting_packets()) notices += (p == data_packet(1001) || p == data_packet(1002));
    };
    EXPECT_TRUE(eventually([&] { return notices == 2; }, count_notices));

    // A send to all that finds a client gone reports it and removes the client after the walk.
    ::shutdown(server.client(0)->link->handle(), SHUT_WR);
    EXPECT_FALSE(server.send(data_packet(7)));
    EXPECT_EQ(server.client_count(), 0u);
    EXPECT_EQ(hook.ids.size(), 3u);
    EXPECT_EQ(hook.ids.back(), 0u);
}

TEST(TcpServerLifecycle, ListenStartWaitsForItsClientsAndDestructionDropsThem) {
    log_reset_for_tests();  // the lines checked here, not those of earlier tests' clients
    const unsigned short port = closed_port();
    HookLog dropped;
    TcpClient c0, c1;
    std::atomic<bool> ok0{false}, ok1{false};
    CaptureStdout();
    {
        TcpServer server;
        server.on_disconnect = dropped.callback();
        std::thread t0([&] { ok0 = c0.open(localhost, port, 5.0f); });
        std::thread t1([&] { ok1 = c1.open(localhost, port, 5.0f); });
        EXPECT_TRUE(server.listen_start(port, 2));
        t0.join();
        t1.join();
        EXPECT_EQ(server.client_count(), 2u);
    }
    std::string out = GetCapturedStdout();
    EXPECT_TRUE(ok0 && ok1);
    EXPECT_EQ(dropped.calls.size(), 2u);
    EXPECT_NE(out.find("Client (0) disconnected: "), std::string::npos);
    EXPECT_NE(out.find("Client (1) disconnected: "), std::string::npos);

    // A port that is taken cannot be listened on.
    sf::TcpListener taken;
    ASSERT_EQ(taken.listen(0), sf::Socket::Done);
    TcpServer second;
    CaptureStdout();
    EXPECT_FALSE(second.listen_start(taken.getLocalPort(), 1));
    EXPECT_EQ(GetCapturedStdout(),
              "TcpError! listen_start on port " + std::to_string(taken.getLocalPort()) + " failed.\n");
}

TEST(TcpAccept, TheIdExchangeNeverStallsTheCallerAndASilentNewcomerIsClosedAfterItsTimeOut) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    // Ample for a loaded machine to let the next newcomer in while the silent one holds its offer.
    server.handshake_timeout = sf::seconds(2);
    const unsigned short port = server.listening_port();
    TcpClient c0, honest, late;
    ASSERT_TRUE(connect_client(server, c0));
    sf::TcpSocket mute;
    ASSERT_EQ(mute.connect(localhost, port), sf::Socket::Done);
    mute.setBlocking(false);
    const auto begun = std::chrono::steady_clock::now();
    server.accept_client();  // offers the silent one id 1
    std::atomic<bool> honest_in{false};
    std::thread opener([&] { honest_in = honest.open(localhost, port, 10.0f); });
    int64_t mute_closed_at = -1;
    const auto serve = [&] {
        server.accept_client();
        server.receive();
        size_t n = 0;
        if (char buf[64]; mute_closed_at < 0 && mute.receive(buf, sizeof buf, n) == sf::Socket::Disconnected)
            mute_closed_at = elapsed_ms(begun);
    };
    EXPECT_TRUE(eventually([&] { return honest_in && mute_closed_at >= 0; }, serve, 20000));
    opener.join();
    // A caller that waited for the silent one would have freed id 1 before the honest one came in.
    EXPECT_TRUE(honest_in && honest.connection_id() == 2u);
    EXPECT_GE(mute_closed_at, 2199);  // its time-out and a retransmission (200 ms at least)
    // The id the silent newcomer was offered is free again.
    ASSERT_TRUE(connect_client(server, late));
    EXPECT_EQ(late.connection_id(), 1u);
}

TEST(TcpSend, AClientThatNeverReadsIsDroppedAtTheQueueCapAndOneThatVanishesIsJustDropped) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    server.max_queued_bytes = 256 * 1024;
    const ByteBuffer big(std::vector<uint8_t>(64 * 1024, 7));
    for (bool vanish : {false, true}) {
        TcpClient client;
        ASSERT_TRUE(connect_client(server, client));
        if (vanish) {
            // Closed with data unread and no linger: the peer resets the connection.
            ASSERT_TRUE(server.send(big));
            EXPECT_TRUE(eventually([&] { return bytes_waiting(client.link().handle()) > 0; }));
            const linger reset{1, 0};
            setsockopt(client.link().handle(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            client.disconnect();
        }
        size_t most_queued = 0;
        for (int i = 0; i < 2000 && server.client_count() != 0; ++i) {
            server.send(big);
            server.receive();
            if (const ConnectedClient* c = server.client(client.connection_id()))
                most_queued = std::max(most_queued, c->link->queued_bytes());
        }
        EXPECT_EQ(server.client_count(), 0u) << vanish;
        EXPECT_LE(most_queued, server.max_queued_bytes) << vanish;
    }
}
