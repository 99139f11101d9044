// What peers can make the reliable channel spend: a burst of silent newcomers, frames no client
// takes, and the lines a drop leaves.
#include <gtest/gtest.h>

#include <SFML/Network/SocketSelector.hpp>

#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "engine/core/logger.h"
#include "support/net_test_support.h"

using namespace net_test;

namespace {

const sf::IpAddress localhost = sf::IpAddress::LocalHost;

// True when the peer sent the bytes of an id offer and closed (within 3 s of quiet).
bool offered_and_closed(sf::TcpSocket& s) {
    sf::SocketSelector selector;
    selector.add(s);
    size_t total = 0, got = 0;
    char buf[64];
    while (selector.wait(sf::seconds(3))) {
        if (s.receive(buf, sizeof buf, got) != sf::Socket::Done) return total == 8;
        total += got;
    }
    return false;
}

}  // namespace

TEST(TcpServerBurst, ANewcomerBehindSilentOnesIsOfferedItsIdAtOnceAndTheSilentOnesTimeOut) {
    ManualNetClock clock(1000);
    TcpServer server;
    server.set_clock(clock);
    ASSERT_TRUE(server.listen_start(0, 0));
    std::vector<std::unique_ptr<sf::TcpSocket>> silent;
    for (int i = 0; i < 100; ++i) {
        silent.push_back(std::make_unique<sf::TcpSocket>());
        ASSERT_EQ(silent.back()->connect(localhost, server.listening_port()), sf::Socket::Done);
    }
    TcpClient real;
    real.set_clock(clock);
    std::thread opener([&] { real.open(localhost, server.listening_port(), 5.0f); });
    // 101 newcomers in two passes, a third for the echo.
    int passes = 0;
    EXPECT_TRUE(eventually([&] { return !server.clients.empty(); }, [&] {
        ++passes;
        server.accept_client();
    }));
    opener.join();
    EXPECT_TRUE(real.connected);
    EXPECT_LE(passes, 6);
    // The id exchange's time-out runs on the transport's clock.
    clock.advance(1000);
    server.accept_client();
    for (auto& s : silent) EXPECT_TRUE(offered_and_closed(*s));
}

TEST(TcpLimits, AnOversizedFrameOrASilentPeerClosesTheConnectionWithALine) {
    for (bool oversized : {true, false}) {
        std::ostringstream log;
        log_reset_for_tests();
        log_set_output_for_tests(&log);
        log_enable();
        ManualNetClock clock(1000);
        TcpServer server;
        server.set_clock(clock);
        ASSERT_TRUE(server.listen_start(0, 0));
        TcpClient client;
        client.set_clock(clock);
        client.link.max_frame_bytes = 1024;
        ASSERT_TRUE(connect_client(server, client));
        const std::string server_end = client.link.remote().to_string();
        const std::string client_end = Connection(localhost, client.link.local_port()).to_string();
        const std::vector<uint8_t> zeros(2048);
        if (oversized) server.send(ByteBuffer(zeros.data(), zeros.size()));
        else clock.advance(server.timeout_ms);
        EXPECT_TRUE(eventually([&] { return !client.connected && server.clients.empty(); }, [&] {
            server.receive();
            client.receive();
        }));
        // The side that closed said which peer it gave up on.
        EXPECT_NE(log.str().find(oversized ? server_end : client_end), std::string::npos) << log.str();
        log_reset_for_tests();
        log_set_output_for_tests(nullptr);
    }
}
