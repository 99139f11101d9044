// The server program when its host goes away early, with no byte allowed into a file.
#include <gtest/gtest.h>

#include <SFML/Network/TcpListener.hpp>

#include <memory>

#include "support/process_test_support.h"

using process_test::ChildProcess;

TEST(ServerLife, WithoutFileSpaceTheServerEndsWhenTheHostsClientVanishesBeforeTheOthersCame) {
    sf::TcpListener probe;
    ASSERT_EQ(probe.listen(0), sf::Socket::Done);
    const std::string port = std::to_string(probe.getLocalPort());
    probe.close();
    // Every write to server.log fails: a program that does not ignore SIGXFSZ dies at once.
    ChildProcess server({"/bin/sh", "-c", "ulimit -f 0; exec ./brawl_server " + port + " 2 5 0 2 false false X"});
    ASSERT_TRUE(server.wait_for_output("Performing initial game setup.", 20000)) << server.output();
    auto host = std::make_unique<ChildProcess>(
        std::vector<std::string>{BRAWL_RUN_DIR "/brawl_bot", "127.0.0.1", port, "H", "true", "1", "30"});
    ASSERT_TRUE(server.wait_for_output("New client (0)", 20000)) << server.output();
    host.reset();  // killed: the server sees the connection end, not a farewell
    EXPECT_EQ(server.wait_exit(20000), 0) << server.output();
}
