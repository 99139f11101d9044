#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "game/levelgen/level_parameters.h"

namespace {

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

uint32_t float_bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

}  // namespace

TEST(LevelParameters, FreshRecordHoldsTheDefaults) {
    LevelCreation c;
    EXPECT_EQ(c.parameters.gen, 0u);
    EXPECT_EQ(c.parameters.seed, 0u);
    EXPECT_EQ(c.parameters.size_x, 2048u);
    EXPECT_EQ(c.parameters.size_y, 1024u);
    EXPECT_EQ(c.parameters.water_level, 0.3f);
    EXPECT_EQ(c.parameters.octaves, 1);
    for (float v : {c.parameters.scale_x, c.parameters.scale_y, c.parameters.offset_x, c.parameters.offset_y,
                    c.parameters.solid_threshold, c.parameters.additional})
        EXPECT_EQ(v, 0.5f);
}

TEST(LevelParameters, CreationRecordIsFiftyTwoLittleEndianBytesFieldByField) {
    LevelCreation c;
    c.level_entity_id = 0x01020304u;
    c.parameters = {0xFFFFFFFFu, 12345u, 300u, 4096u, 0.25f, -2, 0.1f, 0.2f, 0.3f, 0.4f, 0.6f, 0.7f};
    ByteBuffer record = record_bytes(c);
    std::vector<uint8_t> b = record.bytes();
    EXPECT_EQ(b[0], 0x04);  // little-endian
    EXPECT_EQ(b[3], 0x01);
    EXPECT_EQ(le32(b, 4), 0xFFFFFFFFu);
    EXPECT_EQ(le32(b, 8), 12345u);
    EXPECT_EQ(le32(b, 12), 300u);
    EXPECT_EQ(le32(b, 16), 4096u);
    EXPECT_EQ(le32(b, 20), float_bits(0.25f));
    EXPECT_EQ(le32(b, 24), uint32_t(-2));
    const float rest[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.6f, 0.7f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(le32(b, 28 + 4 * i), float_bits(rest[i])) << i;

    LevelCreation back;
    ASSERT_TRUE(read_record(record, back));
    EXPECT_EQ(back, c);
}

TEST(LevelParameters, ValidParametersAreLeftAlone) {
    LevelParameters p;
    p.gen = 0xFFFFFFFFu;  // "no preset selected" generates Hills; not a fault
    p.size_x = 0;         // the default size
    p.water_level = 0.0f;
    p.octaves = 10;
    p.scale_x = 1.0f;
    p.additional = 0.0f;
    LevelParameters before = p;
    EXPECT_EQ(sanitize_level_parameters(p, false), 0);
    EXPECT_EQ(p, before);
}

TEST(LevelParameters, OutOfRangeValuesAreClampedSoNoPeriodIsZero) {
    LevelParameters p;
    p.scale_y = -0.78f;  // Submarine's deck spacing trunc(scale_y * 128 + 100) would be 0
    p.scale_x = 2.5f;
    p.offset_y = -1e9f;
    p.octaves = -4;
    p.size_x = 5000;
    p.size_y = 0xFFFFFFFFu;
    EXPECT_EQ(sanitize_level_parameters(p, false), 6);
    EXPECT_EQ(p.scale_y, 0.0f);
    EXPECT_EQ(p.scale_x, 1.0f);
    EXPECT_EQ(p.offset_y, 0.0f);
    EXPECT_EQ(p.octaves, 0);
    EXPECT_EQ(p.size_x, 4096u);
    EXPECT_EQ(p.size_y, 4096u);

    p.octaves = 1 << 30;
    EXPECT_EQ(sanitize_level_parameters(p, false), 1);
    EXPECT_EQ(p.octaves, kMaxOctaves);
}

TEST(LevelParameters, NonFiniteValuesTakeTheirDefaults) {
    LevelParameters p;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    p.water_level = nan;
    p.scale_x = inf;
    p.scale_y = -inf;
    p.offset_x = nan;
    p.offset_y = nan;
    p.solid_threshold = inf;
    p.additional = nan;
    EXPECT_EQ(sanitize_level_parameters(p, false), 7);
    EXPECT_EQ(p, LevelParameters());
}

TEST(LevelParameters, SanitizingTwiceChangesNothingMore) {
    // The server sanitises before generating and sends what it used; a client that sanitises
    // again must arrive at the same values.
    LevelParameters p;
    p.water_level = 7.0f;
    p.octaves = 99;
    p.offset_x = -0.5f;
    sanitize_level_parameters(p, false);
    LevelParameters once = p;
    EXPECT_EQ(sanitize_level_parameters(p, false), 0);
    EXPECT_EQ(p, once);
}

TEST(LevelParameters, SizesResolveToTheDefaultsAndTheCap) {
    EXPECT_EQ(resolve_level_width(0), 2048u);
    EXPECT_EQ(resolve_level_height(0), 1024u);
    EXPECT_EQ(resolve_level_width(5000), 4096u);
    EXPECT_EQ(resolve_level_height(4096), 4096u);
    EXPECT_EQ(resolve_level_width(1), 1u);
}

TEST(LevelParameters, PresetsBeyondTheListAreHills) {
    EXPECT_EQ(preset_of(4), GeneratorPreset::Cave);
    EXPECT_EQ(preset_of(5), GeneratorPreset::Hills);
    EXPECT_EQ(preset_of(7), GeneratorPreset::Hills);
    EXPECT_EQ(preset_of(0xFFFFFFFFu), GeneratorPreset::Hills);
}

TEST(LevelParameters, BackgroundLookupNeverIndexesPastTheList) {
    std::vector<std::string> names = {"gfx\\swamp.png",    "gfx\\sub.png",  "gfx\\sky.png",
                                      "gfx\\mountain.png", "gfx\\cave.png", "gfx\\hills.png"};
    EXPECT_EQ(background_name_for(1, names), "gfx\\sub.png");
    EXPECT_EQ(background_name_for(9, names), "gfx\\hills.png");
    EXPECT_EQ(background_name_for(0xFFFFFFFFu, names), "gfx\\hills.png");
    names.resize(2);
    EXPECT_EQ(background_name_for(3, names), "");
    EXPECT_EQ(background_name_for(0, {}), "");
}

// A host who writes 0 means none: nothing is divided by it.
TEST(LevelParameters, SweetrollDrawHitsWhenTheChanceDividesIt) {
    volatile int none = 0;
    EXPECT_TRUE(sweetroll_draw_hits(100, 50));
    EXPECT_FALSE(sweetroll_draw_hits(101, 50));
    EXPECT_TRUE(sweetroll_draw_hits(12345, 1));
    EXPECT_FALSE(sweetroll_draw_hits(0, none));
}
