// Newcomers in bursts, frames no client takes, and the line a drop leaves.
#include <gtest/gtest.h>

#include <SFML/Network/SocketSelector.hpp>

#include <sstream>

#include "engine/core/logger.h"
#include "support/net_test_support.h"

using namespace net_test;

TEST(TcpServerBurst, ANewcomerBehindSilentOnesGetsItsIdAtOnceAndTheSilentOnesTimeOut) {
    ManualNetClock clock(1000);
    TcpServer server;
    server.set_clock(clock);
    ASSERT_TRUE(server.listen_start(0, 0));
    std::vector<sf::TcpSocket> silent(100);
    for (auto& s : silent) ASSERT_EQ(s.connect(sf::IpAddress::LocalHost, server.listening_port()), sf::Socket::Done);
    TcpClient real;
    real.set_clock(clock);
    std::thread opener([&] { real.open(sf::IpAddress::LocalHost, server.listening_port(), 5.0f); });
    int passes = 0;  // two take the 101 newcomers, a third the echo
    EXPECT_TRUE(eventually([&] { return !server.clients.empty(); }, [&] { server.accept_client(), ++passes; }));
    opener.join();
    EXPECT_LE(passes, 6);
    clock.advance(1000);  // the id exchange's time-out runs on the transport's clock
    server.accept_client();
    for (auto& s : silent) {
        sf::SocketSelector selector;
        selector.add(s);
        char buf[16];
        size_t got = 0;
        sf::Socket::Status status = sf::Socket::Done;
        while (status == sf::Socket::Done && selector.wait(sf::seconds(3))) status = s.receive(buf, sizeof buf, got);
        EXPECT_EQ(status, sf::Socket::Disconnected);
    }
}

TEST(TcpLimits, AnOversizedFrameOrASilentPeerClosesTheConnectionWithALine) {
    std::ostringstream log;
    for (bool oversized : {true, false}) {
        log_reset_for_tests();
        log_set_output_for_tests(&log);
        log_enable();
        ManualNetClock clock(1000);
        TcpServer server;
        TcpClient client;
        server.set_clock(clock);
        client.set_clock(clock);
        client.link.max_frame_bytes = 1024;
        ASSERT_TRUE(server.listen_start(0, 0));
        ASSERT_TRUE(connect_client(server, client));
        // The side that closes names the peer it gave up on.
        const std::string named = oversized ? client.link.remote().to_string()
                                            : Connection(sf::IpAddress::LocalHost, client.link.local_port()).to_string();
        const std::vector<uint8_t> zeros(2048);
        if (oversized) server.send(ByteBuffer(zeros.data(), zeros.size()));
        else clock.advance(server.timeout_ms);
        EXPECT_TRUE(eventually([&] { return !client.connected && server.clients.empty(); }, [&] {
            server.receive();
            client.receive();
        }));
        EXPECT_NE(log.str().find(named), std::string::npos) << log.str();
    }
    log_reset_for_tests();
    log_set_output_for_tests(nullptr);
}
