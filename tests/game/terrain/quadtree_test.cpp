#include <gtest/gtest.h>

#include <cstdint>

#include "game/terrain/quadtree.h"

using BoolTree = Quadtree<bool>;

namespace {

// Deterministic test data: a 64-bit linear congruential generator, its upper 32 bits.
struct TestRng {
    uint64_t state;
    uint32_t operator()() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 32);
    }
};

}  // namespace

TEST(Quadtree, StreamVectorsOfSingleLeaves) {
    BoolTree t;
    t.set_depth(3);
    EXPECT_EQ(t.serialize(), (std::vector<unsigned char>{0x18}));
    t.set(5, 2, true);
    EXPECT_EQ(t.node_count(), 1u + 4 + 4 + 4);
    for (uint32_t x = 0; x < 8; ++x)
        for (uint32_t y = 0; y < 8; ++y) t.set(x, y, true);
    EXPECT_EQ(t.node_count(), 1u);  // merged back into one leaf
    EXPECT_EQ(t.serialize(), (std::vector<unsigned char>{0x1A}));
}

TEST(Quadtree, DepthOneAllTrueIsOneLeafAndEqualSetsChangeNothing) {
    BoolTree t;
    t.set_depth(1);
    t.set(0, 0, true);
    t.set(1, 0, true);
    t.set(0, 1, true);
    EXPECT_EQ(t.node_count(), 5u);
    EXPECT_FALSE(t.get(1, 1));
    t.set(1, 1, true);
    EXPECT_TRUE(t.root().is_leaf());
    EXPECT_TRUE(t.root().value());

    BoolTree u;
    u.set_depth(4);
    u.set(3, 3, false);  // already false: no split
    EXPECT_EQ(u.node_count(), 1u);
}

TEST(Quadtree, ChildrenFollowTheBitsOfXAndY) {
    BoolTree t;
    t.set_depth(2);
    t.set(3, 0, true);  // top-right quarter, its top-right cell
    ASSERT_FALSE(t.root().is_leaf());
    BoolTree::NodeRef q = t.root().child(1);
    ASSERT_FALSE(q.is_leaf());
    EXPECT_TRUE(q.child(1).value());
    EXPECT_FALSE(q.child(0).value());
    EXPECT_TRUE(t.root().child(0).is_leaf());
    // After the depth 00010: 1 | 00 | 1 00 01 00 00 | 00 | 00, 21 bits.
    EXPECT_EQ(t.serialize(), (std::vector<unsigned char>{0x14, 0x88, 0x00}));
}

TEST(Quadtree, StreamEndingOnAByteBoundaryGetsAZeroByte) {
    // A bool tree of s split nodes takes 5 + s + 2 * (3s + 1) = 7 (s + 1) bits: seven splits
    // fill exactly seven bytes, and an eighth zero byte follows.
    BoolTree t;
    t.set_depth(3);
    t.set(0, 0, true);  // three splits
    t.set(7, 7, true);  // two more
    t.set(7, 0, true);  // two more
    ASSERT_EQ(t.node_count(), 1u + 4 * 7);
    std::vector<unsigned char> b = t.serialize();
    ASSERT_EQ(b.size(), 8u);
    EXPECT_EQ(b.back(), 0x00);
    BoolTree back;
    ASSERT_TRUE(back.deserialize(b));
    EXPECT_TRUE(back == t);
    // Clearing the cell merges two splits away: 42 bits, six bytes with the padding.
    t.set(7, 0, false);
    EXPECT_EQ(t.serialize().size(), 6u);
}

TEST(Quadtree, RoundTripsAtEveryDepth) {
    TestRng rng{7};
    for (int depth = 0; depth <= 31; ++depth) {
        BoolTree t;
        t.set_depth(depth);
        const uint32_t side_mask = depth == 0 ? 0u : uint32_t((uint64_t(1) << depth) - 1);
        for (int i = 0; i < 40; ++i) t.set(rng() & side_mask, rng() & side_mask, rng() % 3 != 0);
        std::vector<unsigned char> bytes = t.serialize();
        BoolTree back;
        ASSERT_TRUE(back.deserialize(bytes)) << depth;
        EXPECT_EQ(back.depth(), depth);
        EXPECT_TRUE(back == t) << depth;
        EXPECT_EQ(back.serialize(), bytes);
    }
}

TEST(Quadtree, DenseRoundTripKeepsEveryCell) {
    TestRng rng{11};
    BoolTree t;
    t.set_depth(6);
    std::vector<bool> cells(64 * 64);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            bool v = (x / 8 + y / 8) % 2 == 0 || rng() % 17 == 0;
            cells[y * 64 + x] = v;
            t.set(x, y, v);
        }
    BoolTree back;
    ASSERT_TRUE(back.deserialize(t.serialize()));
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) ASSERT_EQ(back.get(x, y), cells[y * 64 + x]);
}

TEST(Quadtree, BuildGivesTheSameSmallestTreeAsSettingCells) {
    TestRng rng{3};
    for (int round = 0; round < 20; ++round) {
        const int depth = 1 + round % 6;
        const uint32_t side = 1u << depth;
        std::vector<bool> cells(side * side);
        for (auto&& c : cells) c = (rng() % 5) < unsigned(round % 5);
        BoolTree by_set;
        by_set.set_depth(depth);
        for (uint32_t x = 0; x < side; ++x)
            for (uint32_t y = 0; y < side; ++y) by_set.set(x, y, cells[y * side + x]);
        BoolTree built;
        built.build(depth, [&](uint32_t x, uint32_t y, int h, bool& v) { return v = cells[y * side + x], h == 0; });
        EXPECT_TRUE(built == by_set) << round;
        EXPECT_EQ(built.node_count(), by_set.node_count()) << round;
    }
}

TEST(Quadtree, DepthAboveThirtyOneIsRefused) {
    BoolTree t;
    t.set_depth(31);
    try {
        t.set_depth(32);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "quadtree-level too high");
    }
    EXPECT_EQ(t.depth(), 31);
    t.set_size(300, 10);
    EXPECT_EQ(t.depth(), 9);
    t.set_size(1, 1);
    EXPECT_EQ(t.depth(), 0);
    t.set_size(256, 256);
    EXPECT_EQ(t.depth(), 8);
}

TEST(Quadtree, AssignAndResetCopyDeeplyAndClear) {
    BoolTree a;
    a.set_depth(3);
    a.set(1, 6, true);
    BoolTree b;
    b.assign(a);
    a.set(1, 6, false);
    EXPECT_TRUE(b.get(1, 6));
    EXPECT_FALSE(a.get(1, 6));
    b.reset();
    EXPECT_EQ(b.node_count(), 1u);
    EXPECT_FALSE(b.get(1, 6));
}

TEST(Quadtree, MalformedStreamsStopWithoutHarm) {
    BoolTree t;
    EXPECT_FALSE(t.deserialize({}));
    EXPECT_EQ(t.node_count(), 1u);
    // Depth 0, then a split bit: a single cell cannot split.
    EXPECT_FALSE(t.deserialize({0x04}));
    EXPECT_EQ(t.node_count(), 1u);
    // Depth 31 and splits to the end of the bytes: stops, with what was read.
    EXPECT_FALSE(t.deserialize({0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(t.node_count(), 1u + 4 * 19);
    // Random garbage never crashes.
    TestRng rng{5};
    for (int i = 0; i < 2000; ++i) {
        std::vector<unsigned char> junk(rng() % 40);
        for (auto& c : junk) c = static_cast<unsigned char>(rng());
        BoolTree g;
        g.deserialize(junk);
        (void)g.get(rng(), rng());
    }
}

TEST(Quadtree, ManySetsStayInSmallestFormAndMatchAPlainGrid) {
    // Splits and merges reuse freed nodes; the tree must still answer every cell and equal the
    // tree built from scratch.
    TestRng rng{21};
    const int depth = 5;
    const uint32_t side = 1u << depth;
    std::vector<int> grid(side * side, 0);
    Quadtree<int> t;
    t.set_depth(depth);
    for (int i = 0; i < 20000; ++i) {
        uint32_t x = rng() % side, y = rng() % side;
        int v = (i / 2000) % 2 ? int(rng() % 3) : (x / 8 + y / 8) % 2;
        grid[y * side + x] = v;
        t.set(x, y, v);
    }
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) ASSERT_EQ(t.get(x, y), grid[y * side + x]);
    Quadtree<int> built;
    built.build(depth, [&](uint32_t x, uint32_t y, int h, int& v) { return v = grid[y * side + x], h == 0; });
    EXPECT_TRUE(built == t);
    EXPECT_EQ(built.node_count(), t.node_count());
}

TEST(Quadtree, AStreamOfAnotherDepthIsRefusedBeforeAnythingIsBuilt) {
    const std::vector<unsigned char> deep(1 << 20, 0xFF);  // depth 31, nothing but splits
    BoolTree t;
    EXPECT_FALSE(t.deserialize(deep, 9));
    EXPECT_EQ(t.node_count(), 1u);
}
