#include <gtest/gtest.h>

#include <limits>

#include "net/lan/announcement.h"
#include "support/net_test_support.h"

using namespace net_test;

TEST(Announcement, DatagramLayoutIsByteExact) {
    const Connection server(sf::IpAddress(192, 168, 0, 5), 4200);
    ByteBuffer d = encode_announcement("Test", server, 0x0A0B0C0D);
    EXPECT_EQ(hex(d.bytes()),
              "00 00 00 00 0D 0C 0B 0A 00 00 00 00 "  // kind, send time
              "00 00 00 00 00 00 00 10 "              // object 0, 16 bytes
              "00 00 00 04 54 65 73 74 "              // "Test"
              "C0 A8 00 05 68 10 00 00");             // 192.168.0.5, port 4200
    EXPECT_EQ(d.size(), 36u);
    EXPECT_EQ(encode_announcement("", server, 1).size(), 32u);

    std::string name;
    Connection c;
    ASSERT_TRUE(decode_announcement(d, name, c));
    EXPECT_EQ(name, "Test");
    EXPECT_EQ(c, server);

    // Cut, padded, or for another object: not an announcement.
    std::vector<uint8_t> bytes = d.bytes();
    for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(decode_announcement(ByteBuffer(bytes.data(), n), name, c));
    // Object 5; a name one byte shorter than its record.
    for (auto [at, value] : {std::pair{15, 5}, {23, 3}}) {
        std::vector<uint8_t> changed = bytes;
        changed[at] = uint8_t(value);
        EXPECT_FALSE(decode_announcement(buffer_of(changed), name, c)) << at;
    }
    EXPECT_EQ(name, "Test");
}

TEST(Announcement, LoopbackOnlyModeKeepsEverythingOnThisMachine) {
    for (auto [value, on] : {std::pair<const char*, bool>{"1", true}, {nullptr, false}, {"0", false}}) {
        ScopedEnv env("BRAWL_LOOPBACK_ONLY", value);
        EXPECT_EQ(loopback_only(), on) << (value ? value : "unset");
        EXPECT_EQ(announcement_target_address(), on ? sf::IpAddress::LocalHost : sf::IpAddress::Broadcast);
        if (on) {
            EXPECT_EQ(public_address_text(), "unavailable");
        }
    }
}
