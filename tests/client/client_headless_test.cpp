#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "client/client_main.h"
#include "client/host_lookup.h"
#include "client/qc_game.h"
#include "support/test_support.h"

TEST(ClientArguments, AddressAndPortOnlyTogether) {
    const std::vector<std::vector<const char*>> argvs = {{"brawl_client", "127.0.0.1", "4200"},
                                                         {"brawl_client", "127.0.0.1"},
                                                         {"brawl_client", "10.1.2.3", "70000", "extra"},
                                                         {"brawl_client", "127.0.0.1", "abc"}};
    const std::pair<sf::IpAddress, uint16_t> expected[] = {{sf::IpAddress(127, 0, 0, 1), 4200},
                                                           {sf::IpAddress::None, 0},
                                                           {sf::IpAddress(10, 1, 2, 3), 4464},
                                                           {sf::IpAddress(127, 0, 0, 1), 0}};
    for (std::size_t i = 0; i < argvs.size(); ++i) {
        ClientArguments parsed = parse_client_arguments(int(argvs[i].size()), const_cast<char**>(argvs[i].data()));
        EXPECT_EQ(std::make_pair(parsed.server_address, parsed.server_port), expected[i]) << i;
    }
}

// A client game made outside the program's main (a benchmark) opens only X11 too: an unreachable
// X server is named, not handed to a text-mode driver that cannot open the window.
TEST(ClientStartDeathTest, UnreachableDisplayIsNamed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test_support::ScopedEnv display("DISPLAY", ":65000"), driver("SDL_VIDEODRIVER", nullptr);
    EXPECT_EXIT(QCGame(sf::IpAddress::None, 0), ::testing::ExitedWithCode(1), ":65000");
}

namespace {
std::atomic<bool> release_lookup{false};
std::atomic<int> finished_lookups{0};

// A name server that answers only when the test lets it.
sf::IpAddress slow_lookup(const std::string&) {
    while (!release_lookup) std::this_thread::yield();
    ++finished_lookups;
    return sf::IpAddress(127, 0, 0, 2);
}
}  // namespace

TEST(HostLookup, NamesAreLookedUpWithoutWaitingAndMayBeAbandoned) {
    sf::IpAddress address;
    HostLookup lookup;
    ASSERT_TRUE(lookup.start("127.0.0.1") && lookup.take_result(address));
    EXPECT_EQ(address, sf::IpAddress(127, 0, 0, 1));

    const HostLookup::Resolver system_lookup = HostLookup::resolver;
    HostLookup::resolver = slow_lookup;
    EXPECT_FALSE(HostLookup().start("never.answers"));  // its owner goes without waiting
    EXPECT_FALSE(lookup.start("slow.host") || lookup.take_result(address));
    EXPECT_TRUE(lookup.pending());
    release_lookup = true;
    while (!lookup.take_result(address)) std::this_thread::yield();
    EXPECT_EQ(address, sf::IpAddress(127, 0, 0, 2));
    while (finished_lookups < 2) std::this_thread::yield();
    HostLookup::resolver = system_lookup;
}
