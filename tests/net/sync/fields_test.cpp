#include <gtest/gtest.h>

#include <limits>

#include "support/net_test_support.h"

using namespace net_test;

namespace {

// Runs one pass the way the transports do.
void run_pass(Networkable& object, int mode, ByteBuffer* packet) { object.run_pass(mode, packet); }

const char* sample_bytes =
    "FE FF FF FF "                          // int -2, raw
    "04 03 02 01 "                          // unsigned 0x01020304, raw
    "00 00 C0 3F "                          // float 1.5
    "00 00 B4 C2 "                          // float -90
    "00 00 80 3F 00 00 00 40 "              // dvec2d (1, 2)
    "03 00 00 00 FF FF FF FF "              // ivec2d (3, -1)
    "01 "                                   // bool
    "01 00 00 00 "                          // 4-byte enum
    "00 00 00 02 61 62 "                    // string "ab"
    "00 00 00 02 00 00 00 01 00 00 01 02 "  // vector<unsigned> {1, 258}
    "00 00 00 01 09 "                       // vector<unsigned char> {9}
    "0A 00 00 07 CC 10 00 00 "              // Connection 10.0.0.7:4300
    "07 00 00 00";                          // PrivateWrite<unsigned>

// A vector and a string that carry delegates (which only count their calls).
class Counted : public Networkable {
public:
    std::vector<unsigned int> list;
    std::string text;
    int tail = 0;
    bool with_delegates = true;
    static void keep_list(std::vector<unsigned int>&, const std::vector<unsigned int>&,
                          const std::vector<unsigned int>&, float) {}
    static void keep_text(std::string&, const std::string&, const std::string&, float) {}
    void sync_fields() override {
        sync_field(list, with_delegates ? InterpolationCallback<std::vector<unsigned int>>(&keep_list)
                                        : InterpolationCallback<std::vector<unsigned int>>());
        sync_field(text, with_delegates ? InterpolationCallback<std::string>(&keep_text)
                                        : InterpolationCallback<std::string>());
        sync_field(tail);
    }
};

// A PrivateWrite field whose delegate is a member of the owner, the one class that may set it.
class Owner : public Networkable {
public:
    PrivateWrite<dvec2d, Owner> where;
    void put(dvec2d v) { where = v; }
    static void blend(PrivateWrite<dvec2d, Owner>& out, const PrivateWrite<dvec2d, Owner>& a,
                      const PrivateWrite<dvec2d, Owner>& b, float t) {
        dvec2d v;
        interpolate_linear(v, a.get(), b.get(), t);
        out = v;
    }
    void sync_fields() override { sync_field(where, InterpolationCallback<PrivateWrite<dvec2d, Owner>>(&blend)); }
};

}  // namespace

TEST(NetworkableFields, WriteAndSnapshotEncodeEveryFieldTypeByteForByte) {
    Thing t = sample_thing();
    ByteBuffer written, snapshot;
    run_pass(t, Networkable::Write, &written);
    run_pass(t, Networkable::Snapshot, &snapshot);
    EXPECT_EQ(hex(written.bytes()), sample_bytes);
    EXPECT_EQ(written, snapshot);
    EXPECT_EQ(t.mode, Networkable::Idle);

    // Idle and unknown modes touch nothing.
    ByteBuffer untouched;
    run_pass(t, Networkable::Idle, &untouched);
    run_pass(t, 7, &untouched);
    EXPECT_TRUE(untouched.empty());

    Silent silent;
    ByteBuffer none;
    run_pass(silent, Networkable::Write, &none);
    EXPECT_TRUE(none.empty());
}

TEST(NetworkableFields, ReadWithoutDelegatesTakesEveryValueAtOnce) {
    Thing source = sample_thing();
    ByteBuffer packet;
    run_pass(source, Networkable::Write, &packet);
    Thing target;
    target.ids = {5, 6, 7, 8};
    run_pass(target, Networkable::Read, &packet);
    EXPECT_TRUE(packet.ok());
    EXPECT_TRUE(packet.at_end());
    expect_same_fields(source, target);

    // Any non-zero byte reads as true.
    std::vector<uint8_t> bytes = packet.bytes();
    bytes[32] = 0x7F;  // the bool
    ByteBuffer odd = buffer_of(bytes);
    target.alive = false;
    run_pass(target, Networkable::Read, &odd);
    EXPECT_TRUE(target.alive);
}

TEST(NetworkableFields, ReadLeavesDelegateFieldsForTheInterpolatePass) {
    Thing source = sample_thing();
    ByteBuffer packet;
    run_pass(source, Networkable::Write, &packet);

    Thing target;
    target.smooth = true;
    target.speed = 10.0f;
    target.angle = 350.0f;
    target.position = {0.0f, 0.0f};
    source.speed = 20.0f;
    source.angle = 10.0f;
    source.position = {4.0f, -8.0f};
    packet.clear();
    run_pass(source, Networkable::Write, &packet);

    // What the transport does for an accepted update: snapshot, keep the bytes, read.
    run_pass(target, Networkable::Snapshot, &target.previous_state);
    target.received_state = buffer_of(packet.bytes());
    run_pass(target, Networkable::Read, &target.received_state);
    EXPECT_EQ(target.speed, 10.0f);  // delegate fields keep their value...
    EXPECT_EQ(target.angle, 350.0f);
    EXPECT_EQ(target.position, dvec2d(0.0f, 0.0f));
    EXPECT_EQ(target.hp, -2);  // ...the others take the received one at once
    EXPECT_EQ(target.name, "ab");

    target.interpolation_factor = 0.5f;
    target.previous_state.rewind();
    target.received_state.rewind();
    run_pass(target, Networkable::Interpolate, &target.received_state);
    EXPECT_FLOAT_EQ(target.speed, 15.0f);
    EXPECT_FLOAT_EQ(target.angle, 0.0f);
    EXPECT_EQ(target.position, dvec2d(2.0f, -4.0f));
    EXPECT_EQ(target.hp, -2);
    EXPECT_EQ(target.ids, source.ids);
}

TEST(NetworkableFields, DelegateFieldsOfVariableLengthAreSteppedOverWhole) {
    Counted source;
    source.list = {1, 2, 3};
    source.text = "hello";
    source.tail = 42;
    ByteBuffer packet;
    run_pass(source, Networkable::Write, &packet);
    ASSERT_EQ(packet.size(), 4u + 12u + 4u + 5u + 4u);

    Counted target;
    target.list = {9};
    target.text = "old";
    run_pass(target, Networkable::Read, &packet);
    EXPECT_TRUE(packet.ok());
    EXPECT_EQ(target.list, std::vector<unsigned int>{9});
    EXPECT_EQ(target.text, "old");
    EXPECT_EQ(target.tail, 42);  // found right behind 4 + 4n and 4 + length bytes
}

TEST(NetworkableFields, PrivateWriteTravelsAsItsValueWithTheOwnersDelegate) {
    Owner source, target;
    source.put({10.0f, 20.0f});
    ByteBuffer packet;
    run_pass(source, Networkable::Write, &packet);
    EXPECT_EQ(hex(packet.bytes()), "00 00 20 41 00 00 A0 41");

    target.put({0.0f, 0.0f});
    run_pass(target, Networkable::Snapshot, &target.previous_state);
    target.received_state = buffer_of(packet.bytes());
    run_pass(target, Networkable::Read, &target.received_state);
    EXPECT_EQ(target.where.get(), dvec2d(0.0f, 0.0f));
    target.interpolation_factor = 0.25f;
    target.previous_state.rewind();
    target.received_state.rewind();
    run_pass(target, Networkable::Interpolate, &target.received_state);
    EXPECT_EQ(target.where.get(), dvec2d(2.5f, 5.0f));
}

TEST(NetworkableFields, CountsAndLengthsBeyondThePacketChangeNothingAndAllocateNothing) {
    Counted target;
    target.with_delegates = false;
    target.list = {1, 2};
    target.text = "keep";
    target.tail = 5;

    ByteBuffer huge_count;  // a vector count of a billion with 8 bytes behind it
    huge_count.write_u32_be(0x40000000u);
    huge_count.write_u32_be(1);
    huge_count.write_u32_be(2);
    run_pass(target, Networkable::Read, &huge_count);
    EXPECT_FALSE(huge_count.ok());
    EXPECT_EQ(target.list, (std::vector<unsigned int>{1, 2}));
    EXPECT_LE(target.list.capacity(), 16u);
    EXPECT_EQ(target.text, "keep");  // the fields behind it keep their values too
    EXPECT_EQ(target.tail, 5);

    ByteBuffer long_string;  // a fitting vector, then a string that claims 4 GB
    long_string.write_u32_be(0);
    long_string.write_u32_be(0xFFFFFFFFu);
    long_string.write_u32_be(0x41414141u);
    run_pass(target, Networkable::Read, &long_string);
    EXPECT_TRUE(target.list.empty());
    EXPECT_EQ(target.text, "keep");
    EXPECT_EQ(target.tail, 5);

    // The same counts on the skip path (fields with delegates) fail without moving past the end.
    Counted skipping;
    skipping.tail = 5;
    ByteBuffer again = buffer_of(huge_count.bytes());
    run_pass(skipping, Networkable::Read, &again);
    EXPECT_FALSE(again.ok());
    EXPECT_LE(again.read_position(), again.size());
    EXPECT_EQ(skipping.tail, 5);

    // A raw field with too few bytes left keeps its value.
    Thing thing = sample_thing();
    ByteBuffer three(reinterpret_cast<const uint8_t*>("\x01\x02\x03"), 3);
    run_pass(thing, Networkable::Read, &three);
    EXPECT_EQ(thing.hp, -2);
    EXPECT_EQ(thing.name, "ab");

    // A byte vector whose count runs past the end.
    Thing bytes_target;
    bytes_target.blob = {1, 2, 3};
    Thing bytes_source = sample_thing();
    ByteBuffer cut;
    run_pass(bytes_source, Networkable::Write, &cut);
    cut.truncate(59);  // the byte vector's count (1) is there, its byte is not
    run_pass(bytes_target, Networkable::Read, &cut);
    EXPECT_EQ(bytes_target.ids, bytes_source.ids);
    EXPECT_EQ(bytes_target.blob, (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(bytes_target.peer, Connection());
}

TEST(NetworkableFields, DefaultDelegatesInterpolateAndExtrapolate) {
    float f = 0;
    for (auto [t, expected] :
         std::initializer_list<std::pair<float, float>>{{0.0f, 10.0f}, {0.5f, 15.0f}, {1.0f, 20.0f}, {1.5f, 25.0f}}) {
        default_float_interpolation(f, 10.0f, 20.0f, t);
        EXPECT_FLOAT_EQ(f, expected);
    }

    default_angle_interpolation(f, 350.0f, 10.0f, 0.5f);
    EXPECT_FLOAT_EQ(f, 0.0f);
    default_angle_interpolation(f, 10.0f, 350.0f, 0.5f);
    EXPECT_FLOAT_EQ(f, 360.0f);
    default_angle_interpolation(f, 0.0f, 180.0f, 0.5f);
    EXPECT_FLOAT_EQ(f, 90.0f);

    int i = 0;
    default_int_interpolation(i, 0, 3, 0.5f);
    EXPECT_EQ(i, 1);
    default_int_interpolation(i, 0, -3, 0.5f);
    EXPECT_EQ(i, -1);  // towards zero
    short s = 0;
    default_short_interpolation(s, 100, 200, 0.25f);
    EXPECT_EQ(s, 125);
    double d = 0;
    default_double_interpolation(d, 1.0, 3.0, 0.5f);
    EXPECT_DOUBLE_EQ(d, 2.0);
    ivec2d iv;
    default_ivec2d_interpolation(iv, ivec2d{0, 10}, ivec2d{5, -10}, 0.5f);
    EXPECT_EQ(iv, (ivec2d{2, 0}));
    dvec2d dv;
    default_dvec2d_interpolation(dv, dvec2d(0.0f, 1.0f), dvec2d(2.0f, 3.0f), 1.5f);
    EXPECT_EQ(dv, dvec2d(3.0f, 4.0f));

    // Extrapolating far past the range of the type is held at its end, not undefined.
    default_int_interpolation(i, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), 5.0f);
    EXPECT_EQ(i, std::numeric_limits<int>::max());
    default_short_interpolation(s, 0, 30000, -3.0f);
    EXPECT_EQ(s, std::numeric_limits<short>::min());
}
