// The server program when the host's client vanishes early and every write to server.log fails.
#include <SFML/Network/TcpListener.hpp>
#include <gtest/gtest.h>

#include "support/process_test_support.h"

TEST(ServerLife, WithoutFileSpaceTheServerEndsWhenTheHostsClientVanishesBeforeTheOthersCame) {
    sf::TcpListener probe;
    ASSERT_EQ(probe.listen(0), sf::Socket::Done);
    const std::string port = std::to_string(probe.getLocalPort());
    probe.close();
    process_test::ChildProcess server({"/bin/sh", "-c", "ulimit -f 0; exec ./brawl_server " + port + " 2 5 0 2 0 0 X"});
    ASSERT_TRUE(server.wait_for_output("Performing initial game setup.", 20000)) << server.output();
    {  // killed on leaving the scope: the server sees the connection end, not a farewell
        process_test::ChildProcess host({BRAWL_RUN_DIR "/brawl_bot", "127.0.0.1", port, "H", "true", "1", "30"});
        ASSERT_TRUE(server.wait_for_output("New client (0)", 20000)) << server.output();
    }
    EXPECT_EQ(server.wait_exit(20000), 0) << server.output();
}
