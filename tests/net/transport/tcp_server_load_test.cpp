// Newcomers in bursts, frames no client takes, and the line a drop leaves.
#include <SFML/Network/SocketSelector.hpp>
#include <sstream>

#include "engine/core/logger.h"
#include "support/net_test_support.h"

using namespace net_test;

TEST(TcpServerBurst, ANewcomerBehindABurstOfSilentOnesIsOfferedItsIdWithinTwoPasses) {
    TcpServer server;
    ASSERT_TRUE(server.listen_start(0, 0));
    std::vector<sf::TcpSocket> newcomers(101);  // 100 silent ones, then one that answers
    for (auto& s : newcomers) ASSERT_EQ(s.connect(sf::IpAddress::LocalHost, server.listening_port()), sf::Socket::Done);
    server.accept_client();
    server.accept_client();
    sf::SocketSelector selector;
    selector.add(newcomers.back());
    uint8_t offer[8];
    size_t got = 0;
    ASSERT_TRUE(selector.wait(sf::seconds(3)));
    EXPECT_EQ(newcomers.back().receive(offer, 8, got), sf::Socket::Done);  // its id, offered
}

// Players behind one router share an address: each one's coming and going prints.
TEST(TcpServerBurst, PlayersFromOneAddressPrintEveryLine) {
    log_reset_for_tests();
    TcpServer server;
    std::vector<TcpClient> clients(16);
    ASSERT_TRUE(server.listen_start(0, 0));
    testing::internal::CaptureStdout();
    for (TcpClient& client : clients) ASSERT_TRUE(connect_client(server, client));
    server.disconnect_all();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 32) << printed;
}

TEST(TcpLimits, AnOversizedFrameOrASilentPeerClosesTheConnectionWithALineNamingThePeer) {
    std::ostringstream log;
    log_set_output_for_tests(&log);
    for (bool oversized : {true, false}) {
        log_reset_for_tests();
        log_enable();
        ManualNetClock clock(1000);
        TcpServer server;
        TcpClient client;
        for (Protocol* p : {static_cast<Protocol*>(&server), static_cast<Protocol*>(&client)}) p->set_clock(clock);
        client.max_frame_bytes = 1024;
        ASSERT_TRUE(server.listen_start(0, 0) && connect_client(server, client));
        const Connection local(sf::IpAddress::LocalHost, client.link().local_port());
        const std::string named = (oversized ? client.link().remote() : local).to_string();
        if (oversized) server.send(ByteBuffer(std::vector<uint8_t>(2048).data(), 2048));
        else clock.advance(server.timeout_ms);
        EXPECT_TRUE(eventually([&] { return !client.connected() && server.client_count() == 0; },
                               [&] { server.receive(), client.receive(); }));
        EXPECT_NE(log.str().find(named), std::string::npos) << log.str();
    }
    log_reset_for_tests();
    log_set_output_for_tests(nullptr);
}
