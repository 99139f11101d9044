#include <gtest/gtest.h>

#include <limits>

#include "support/net_test_support.h"

using namespace net_test;

TEST(Connection, IsEightRawBytesOnTheWire) {
    ByteBuffer b;
    Connection(sf::IpAddress(127, 0, 0, 1), 4200).write(b);
    EXPECT_EQ(hex(b.bytes()), "7F 00 00 01 68 10 00 00");

    ByteBuffer in = buffer_of({192, 168, 0, 5, 0x68, 0x10, 0xAA, 0xBB});  // padding of any value
    Connection c;
    ASSERT_TRUE(c.read(in));
    EXPECT_EQ(c, Connection(sf::IpAddress(192, 168, 0, 5), 4200));
    EXPECT_EQ(c.to_string(), "192.168.0.5:4200");

    ByteBuffer short_in = buffer_of({1, 2, 3, 4, 5, 6, 7});
    Connection kept(sf::IpAddress(1, 1, 1, 1), 1);  // a short read leaves it as it was
    EXPECT_FALSE(kept.read(short_in));
    EXPECT_EQ(kept, Connection(sf::IpAddress(1, 1, 1, 1), 1));
}

TEST(TcpKeepAlive, PingsOnTheIntervalAndAnswersPingsAndPongs) {
    ManualNetClock clock(5000);
    MemoryTcp t;
    t.set_clock(clock);
    EXPECT_EQ(t.timeout_ms, 5000);
    EXPECT_EQ(t.keep_alive_interval_ms, 1000);
    t.keep_alive();
    ASSERT_EQ(t.sent.size(), 1u);
    EXPECT_EQ(hex(t.sent[0].bytes()), "01 00 00 00 88 13 00 00 00 00 00 00");  // Ping, 5000
    for (auto [ms, sent] : {std::pair{5999, 1u}, {6000, 2u}}) {
        clock.set(ms);
        t.keep_alive();
        EXPECT_EQ(t.sent.size(), sent) << ms;
    }

    ByteBuffer ping = make_keep_alive_packet(PacketKind::Ping, 0x1122334455667788);
    EXPECT_TRUE(t.handle_ping(ping));
    EXPECT_EQ(hex(t.sent.back().bytes()), "02 00 00 00 88 77 66 55 44 33 22 11");  // Pong, same time

    ByteBuffer data = buffer_of({0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0});  // a sync packet's kind
    EXPECT_FALSE(t.handle_ping(data));
    EXPECT_EQ(data.read_position(), 0u);
    int64_t last = 0, latency = 0;
    EXPECT_FALSE(t.handle_pong(data, last, latency));
    EXPECT_EQ(data.read_position(), 0u);
    EXPECT_EQ(last, 0);

    clock.set(20000);
    ByteBuffer pong = make_keep_alive_packet(PacketKind::Pong, 20000 - 40);
    EXPECT_TRUE(t.handle_pong(pong, last, latency));
    EXPECT_EQ(last, 20000);
    EXPECT_EQ(latency, 20);

    // A ping cut short is consumed but not answered; a garbage time does not overflow.
    size_t before = t.sent.size();
    ByteBuffer cut = buffer_of({1, 0, 0, 0, 9});
    EXPECT_TRUE(t.handle_ping(cut));
    EXPECT_EQ(t.sent.size(), before);
    ByteBuffer wild = make_keep_alive_packet(PacketKind::Pong, std::numeric_limits<int64_t>::min());
    EXPECT_TRUE(t.handle_pong(wild, last, latency));
}
