#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "platform/clock.h"
#include "support/net_test_support.h"

using namespace net_test;

namespace {
// Two 4-byte fields; the float one interpolated when `smooth` is set.
class Pair : public Networkable {
public:
    explicit Pair(int32_t a_ = 0, float b_ = 0.0f, bool smooth_ = false) : a(a_), b(b_), smooth(smooth_) {}
    int32_t a;
    float b;
    bool smooth;
    void sync_fields() override {
        sync_field(a);
        sync_field(b, smooth ? default_float_interpolation : InterpolationCallback<float>());
    }
};

const Connection alice(sf::IpAddress(10, 0, 0, 1), 5000);
const Connection bob(sf::IpAddress(10, 0, 0, 2), 5000);

// A sync packet sent at `time` carrying {id: (a, b)} records.
ByteBuffer sync_packet(int64_t time, std::vector<std::pair<unsigned int, Pair*>> records) {
    NetworkableMap map;
    for (auto& [id, p] : records) map[id] = p;
    ByteBuffer out;
    Protocol::build_sync_packet(map, time, out);
    return out;
}
}  // namespace

TEST(Protocol, SyncPacketHasTheHeaderAndOneRecordPerObjectThatWrote) {
    Pair one(1, 2.0f), two(-1, 0.5f);
    Silent silent;
    NetworkableMap map{{9, &two}, {3, &one}, {5, &silent}};
    ManualNetClock clock(0x0102030405);
    MemoryTransport t;
    t.set_clock(clock);
    ASSERT_TRUE(t.send_objects(map));
    ASSERT_EQ(t.sent.size(), 1u);
    EXPECT_EQ(hex(t.sent[0].bytes()),
              "00 00 00 00 05 04 03 02 01 00 00 00 "               // kind 0, send time
              "00 00 00 03 00 00 00 08 01 00 00 00 00 00 00 40 "   // id 3, 8 bytes
              "00 00 00 09 00 00 00 08 FF FF FF FF 00 00 00 3F");  // id 9 (the silent 5 has none)
    EXPECT_TRUE(Protocol::is_well_formed_sync_packet(t.sent[0]));
    // Nothing to say: no packet at all, but the call still counts as a send.
    NetworkableMap quiet{{1, &silent}};
    clock.advance(1000);
    EXPECT_TRUE(t.send_objects(quiet));
    EXPECT_EQ(t.sent.size(), 1u);
}

TEST(Protocol, SendIntervalGatesPackets) {
    Pair p(1, 1.0f);
    NetworkableMap map{{1, &p}};
    ManualNetClock clock(1000);
    MemoryTransport t;
    t.set_clock(clock);
    EXPECT_EQ(t.send_interval_ms, 50);
    for (auto [at, sends] : {std::pair{1000, true}, {1030, false}, {1050, true}}) {
        clock.set(at);
        EXPECT_EQ(t.send_objects(map), sends) << at;
    }
    EXPECT_EQ(t.sent.size(), 2u);
    t.set_send_interval(-1.0f);
    EXPECT_EQ(t.send_interval_ms, 0);
    EXPECT_EQ(t.next_send_ms, 1050);  // was 50 ms ahead of 1050, more than the new 0
    EXPECT_TRUE(t.send_objects(map));
    EXPECT_TRUE(t.send_objects(map));
    EXPECT_EQ(t.sent.size(), 4u);
    t.set_send_interval(0.033f);
    EXPECT_EQ(t.send_interval_ms, 33);
    for (auto [next, expected] : {std::pair{1050 + 50, 1050 + 33}, {1050 + 10, 1050 + 10}}) {
        t.next_send_ms = next;
        t.set_send_interval(0.033f);
        EXPECT_EQ(t.next_send_ms, expected);
    }
    EXPECT_EQ(t.get_latency(), 66);
    const int64_t before = int64_t(platform::monotonic_ms()), now = MemoryTransport().now_ms();
    EXPECT_TRUE(before <= now && now <= int64_t(platform::monotonic_ms()));  // unless given one, the monotonic clock
}

TEST(Protocol, StaleRecordsAreDroppedPerObjectAndSender) {
    Pair a_new(100), a_old(90), b_old(91), a, b;
    NetworkableMap map{{1, &a}, {2, &b}};
    MemoryTransport t;
    t.arriving.push_back({alice, sync_packet(100, {{1, &a_new}})});
    t.arriving.push_back({alice, sync_packet(90, {{1, &a_old}, {2, &b_old}})});
    t.receive_objects(map);
    EXPECT_EQ(a.a, 100);  // the older packet lost object 1...
    EXPECT_EQ(b.a, 91);   // ...but object 2 was new to it
    EXPECT_TRUE(t.waiting_packets().empty());
    // Equal times are both applied; another sender keeps its own newest time; unknown senders
    // (the broadcast key) are never stale.
    const Connection stranger(sf::IpAddress::Broadcast, 5000);
    for (auto [from, sent_at, value] : {std::tuple{alice, 100, 101}, {bob, 5, 7}, {stranger, 1, -5}}) {
        Pair p(value);
        t.arriving.push_back({from, sync_packet(sent_at, {{1, &p}})});
        t.receive_objects(map);
        EXPECT_EQ(a.a, value);
    }
    EXPECT_EQ(t.newest_send_time(1, alice), 100);
    EXPECT_EQ(t.newest_send_time(1, bob), 5);
    EXPECT_FALSE(t.newest_send_time(1, stranger));
}

TEST(Protocol, RecordsApplyInPacketOrderWhateverTheirIds) {
    // Senders list records by id; a packet in another order, with repeats, applies each in turn.
    Pair one, two, three;
    NetworkableMap map{{1, &one}, {2, &two}, {3, &three}, {4, nullptr}};
    ByteBuffer packet = sync_packet(50, {});
    for (auto [id, a] : {std::pair<unsigned, int32_t>{3, 30}, {1, 10}, {4, 40}, {3, 31}, {9, 90}, {2, 20}, {1, 11}}) {
        Pair p(a);
        ByteBuffer single = sync_packet(50, {{id, &p}});
        packet.append(single.data() + sync_header_size, single.size() - sync_header_size);
    }
    MemoryTransport t;
    t.arriving.push_back({alice, packet});
    t.receive_objects(map);
    EXPECT_EQ(std::vector<int32_t>({one.a, two.a, three.a}), std::vector<int32_t>({11, 20, 31}));
    for (unsigned id : {1, 2, 3}) EXPECT_EQ(t.newest_send_time(id, alice), 50);
    for (unsigned id : {4, 9}) EXPECT_FALSE(t.newest_send_time(id, alice));  // the missing 4, the unknown 9
}

TEST(Protocol, UnknownIdsAreSkippedAndEachRecordIsReadFromItsOwnBytes) {
    // Object 2's field list reads more than was sent for it; object 3 behind it is unharmed.
    class Ints : public Networkable {  // the first `count` of two int fields
    public:
        Ints(int count_, int32_t x_) : count(count_), x(x_) {}
        int count;
        int32_t x, y = 55;
        void sync_fields() override {
            sync_field(x);
            if (count > 1) sync_field(y);
        }
    };
    Ints two_sender(1, 22), three_sender(1, 33), eight_sender(1, 88), two(2, 0), three(1, 0);
    NetworkableMap out{{2, &two_sender}, {3, &three_sender}, {8, &eight_sender}};
    ByteBuffer packet;
    Protocol::build_sync_packet(out, 10, packet);
    NetworkableMap in{{2, &two}, {3, &three}};  // no object 8 here
    MemoryTransport t;
    t.arriving.push_back({alice, packet});
    t.receive_objects(in);
    EXPECT_EQ(two.x, 0);  // short of a field: refused whole
    EXPECT_EQ(two.y, 55);
    EXPECT_EQ(three.x, 33);
}

TEST(Protocol, ARecordShortOfAnyByteChangesNothing) {
    // Every cut of a record of every field kind, with and without delegates, after a whole one or not.
    for (const int variant : {0, 1, 2, 3}) {
        const bool smooth = variant & 1, after_whole = variant & 2;
        Thing sender = sample_thing();
        NetworkableMap out{{1, &sender}};
        ByteBuffer whole;
        Protocol::build_sync_packet(out, 10, whole);
        const size_t record_at = 20;
        for (size_t n = 0; n < whole.size() - record_at; ++n) {
            ByteBuffer cut(whole.data(), record_at + n);
            cut.overwrite_u32_be(record_at - 4, uint32_t(n));
            Thing receiver;
            receiver.smooth = smooth;
            receiver.name = "kept";
            NetworkableMap in{{1, &receiver}};
            ManualNetClock clock(1000);
            MemoryTransport t;
            t.set_clock(clock);
            if (after_whole) t.arriving.push_back({alice, whole});
            t.receive_objects(in);
            const Thing untouched = receiver;
            t.arriving.push_back({alice, cut});
            t.receive_objects(in);
            expect_same_fields(receiver, untouched);
            EXPECT_EQ(receiver.received_state.size(), untouched.received_state.size()) << n;
        }
    }
}

TEST(Protocol, ARecordWithAValueOutsideItsRangeChangesNothing) {
    struct Ranged : Networkable {
        std::vector<unsigned int> ids{4};
        dvec2d position{1.0f, 2.0f};
        Facing facing = Facing::Right;
        int32_t state = 3;
        void sync_fields() override {
            sync_field(ids);
            sync_field(position, Finite{}, default_dvec2d_interpolation);
            sync_field(facing, Within{Facing::Left, Facing::Right});
            sync_field(state, Within{0, 3});
        }
    };
    // Where in the record, what value (NaN, infinity); the record's new id must not land either.
    const std::pair<size_t, uint32_t> rows[] = {{8, 0x7fc00000}, {12, 0x7f800000},   {16, uint32_t(-2)},
                                                {16, 2},         {20, uint32_t(-1)}, {20, 4}};
    for (auto [at, bad] : rows) {
        Ranged sender, receiver;
        NetworkableMap out{{1, &sender}}, in{{1, &receiver}};
        MemoryTransport t;
        t.arriving.resize(2, {alice, ByteBuffer()});
        Protocol::build_sync_packet(out, 10, t.arriving[0].second);
        sender.ids = {9};
        Protocol::build_sync_packet(out, 20, t.arriving[1].second);
        t.arriving[1].second.overwrite_u32_be(20 + at, __builtin_bswap32(bad));  // little-endian on the wire
        t.receive_objects(in);
        EXPECT_EQ(receiver.ids, std::vector<unsigned int>{4}) << at;
    }
}

TEST(Protocol, InterpolationRunsBetweenTheTwoNewestUpdatesOverOneInterval) {
    ManualNetClock clock(10000);
    MemoryTransport t;
    t.set_clock(clock);
    t.set_send_interval(0.04f);
    Pair p(0, 10.0f, true);
    NetworkableMap map{{4, &p}};
    // At each time a packet with a new b may arrive; then the b shown.
    struct Step {
        int64_t at;
        bool arrives;
        float received, shown;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Step steps[] = {
        {10000, true, 20.0f, 10.0f},  // the first update starts from the value shown
        {10020, false, 0.0f, 15.0f},  // half an interval
        {10040, false, 0.0f, 20.0f},  // one interval: the newest value
        {10100, false, 0.0f, 25.0f},  // a stall extrapolates half an interval at most
        {10100, true, 30.0f, 20.0f},  // the next update starts from the last received, not the shown
        {10120, false, 0.0f, 25.0f}, {10150, true, 40.0f, 30.0f},  // a packet on every frame still moves on
        {10200, true, 50.0f, 40.0f}, {10200, true, nan, 40.0f},    // no number: the field keeps what it shows
        {10300, false, 0.0f, 40.0f}, {10300, true, 60.0f, 60.0f},  // and takes the next number at once
        {10340, false, 0.0f, 60.0f},
    };
    int64_t sent = 1;
    for (const Step& s : steps) {
        clock.set(s.at);
        if (s.arrives) {
            Pair sender(3, s.received);
            t.arriving.push_back({alice, sync_packet(sent++, {{4, &sender}})});
        }
        t.receive_objects(map);
        EXPECT_EQ(p.a, 3);
        EXPECT_FLOAT_EQ(p.b, s.shown) << "at " << s.at;
    }
    // With an interval of 0 the newest value is shown.
    Pair sender(3, 70.0f);
    t.arriving.push_back({alice, sync_packet(sent++, {{4, &sender}})});
    t.set_send_interval(0.0f);
    t.receive_objects(map);
    EXPECT_FLOAT_EQ(p.b, 70.0f);
    // An object that never accepted an update is not interpolated.
    Pair untouched(0, 1.0f, true);
    NetworkableMap other{{1, &untouched}};
    t.receive_objects(other);
    EXPECT_FLOAT_EQ(untouched.b, 1.0f);
    EXPECT_EQ(untouched.mode, Networkable::Idle);
}

TEST(Protocol, DefaultInterpolationStoresOnlyFiniteValues) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float old_value, new_value, t, expected;
    };  // the field shows 7 before
    const Case cases[] = {
        {1.0f, 3.0f, 0.5f, 2.0f}, {inf, 4.0f, 0.5f, 4.0f}, {nan, 4.0f, 0.0f, 4.0f},
        {1.0f, 3.0f, inf, 3.0f},  {0.0f, inf, 0.5f, 7.0f}, {0.0f, nan, 1.0f, 7.0f},
    };
    for (const Case& c : cases) {
        float f = 7.0f, angle = 7.0f;
        double d = 7.0;
        dvec2d v(7.0f, 7.0f);
        interpolate_linear(f, c.old_value, c.new_value, c.t);
        interpolate_linear(d, double(c.old_value), double(c.new_value), c.t);
        interpolate_linear(v, dvec2d(c.old_value, 1.0f), dvec2d(c.new_value, 1.0f), c.t);
        interpolate_angle(angle, c.old_value, c.new_value, c.t);
        EXPECT_EQ(f, c.expected) << c.old_value << " " << c.new_value << " " << c.t;
        EXPECT_EQ(d, double(c.expected));
        EXPECT_EQ(v, dvec2d(c.expected, 1.0f));
        EXPECT_EQ(angle, c.expected);
    }
}

TEST(Protocol, MalformedSyncPacketsAreDroppedWhole) {
    Pair source(5, 6.0f);
    const std::vector<uint8_t> good = sync_packet(50, {{1, &source}, {2, &source}}).bytes();
    ASSERT_EQ(good.size(), 12u + 2 * 16u);
    std::vector<std::vector<uint8_t>> bad(3, good);
    bad[0].insert(bad[0].end(), {0, 0, 0});                    // long
    bad[1][16] = bad[1][17] = bad[1][18] = bad[1][19] = 0xFF;  // byte count of 4 GB
    bad[2][19] = 9;                                            // a count one past the record
    for (size_t n = 0; n < good.size(); ++n)                   // short, and cut records
        if (n != 12 && n != 28) bad.emplace_back(good.begin(), good.begin() + std::ptrdiff_t(n));
    for (const auto& bytes : bad) {
        Pair one, two;
        NetworkableMap map{{1, &one}, {2, &two}};
        MemoryTransport t;
        t.arriving.push_back({alice, buffer_of(bytes)});
        t.receive_objects(map);
        EXPECT_EQ(one.a, 0) << hex(bytes);
        EXPECT_EQ(two.a, 0) << hex(bytes);
        EXPECT_FALSE(t.newest_send_time(1, alice) || t.newest_send_time(2, alice));
        EXPECT_TRUE(one.previous_state.empty());
    }
    // Random damage of every kind never crashes and never reads outside the packet (the
    // sanitizer build checks); a good packet behind the garbage still applies.
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    Pair one, two;
    NetworkableMap map{{1, &one}, {2, &two}};
    MemoryTransport t;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = good;
        switch (next() % 4) {
        case 0: bytes.resize(next() % (bytes.size() + 1)); break;
        case 1: bytes[next() % bytes.size()] ^= uint8_t(1u << (next() % 8)); break;
        case 2: bytes.resize(bytes.size() + next() % 40, uint8_t(next())); break;
        default:
            for (auto& byte : bytes) byte = uint8_t(next());
        }
        t.arriving.push_back({Connection(sf::IpAddress::Broadcast, uint16_t(round)), buffer_of(bytes)});
    }
    t.receive_objects(map);
    t.arriving.push_back({alice, buffer_of(good)});
    t.receive_objects(map);
    EXPECT_EQ(one.a, 5);
    EXPECT_EQ(two.b, 6.0f);
}
