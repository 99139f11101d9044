#include <gtest/gtest.h>
#include <unistd.h>

#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "support/test_support.h"

bool operator==(const ColorRGB& a, const ColorRGB& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

namespace {

// A value of the row's type that differs from its default and from every other row's.
int sample(int, int row) { return 1000 + row; }
float sample(float, int row) { return row + 0.5f; }
bool sample(bool fallback, int) { return !fallback; }
std::string sample(const std::string&, int row) { return "v" + std::to_string(row); }
fvec2d sample(fvec2d, int row) { return {row + 0.25f, row + 0.75f}; }
ivec2d sample(ivec2d, int row) { return {row + 2000, row + 3000}; }
ColorRGB sample(ColorRGB, int row) { return {uint8_t(row), uint8_t(row + 1), uint8_t(row + 2)}; }
ColorRGBA sample(ColorRGBA, int row) { return {uint8_t(row), uint8_t(row + 1), uint8_t(row + 2), 9}; }
std::vector<std::string> sample(const std::vector<std::string>&, int row) {
    return {"a", "v" + std::to_string(row)};
}
std::vector<int> sample(const std::vector<int>&, int row) { return {row, -row}; }

// Stores a value as the game's files spell it.
using Key = const std::string&;
void write(const char* file, Key section, Key key, int v) { ini_write_int(section, key, v, file); }
void write(const char* file, Key section, Key key, float v) { ini_write_float(section, key, v, file); }
void write(const char* file, Key section, Key key, bool v) { ini_write_bool(section, key, v, file); }
void write(const char* file, Key section, Key key, Key v) { ini_write_string(section, key, v, file); }
template <class Pair>
void write(const char* file, Key section, Key key, Pair v) requires requires { v.x; } {
    write(file, section, key + "X", v.x);
    write(file, section, key + "Y", v.y);
}
void write(const char* file, Key section, Key key, ColorRGB v) {
    write(file, section, key + "R", int(v.r));
    write(file, section, key + "G", int(v.g));
    write(file, section, key + "B", int(v.b));
}
void write(const char* file, Key section, Key key, ColorRGBA v) {
    write(file, section, key, ColorRGB{v.r, v.g, v.b});
    write(file, section, key + "A", int(v.a));
}
template <class T>
void write(const char* file, Key section, Key key, const std::vector<T>& list) {
    write(file, section, key + "s", int(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i) write(file, section, key + std::to_string(i), list[i]);
}

// Each suite reads from a scratch folder of its own; the first ini read fixes the folder.
class SettingsFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(chdir(folder.path().c_str()), 0); }
    static inline test_support::ScratchDir folder;
};

}  // namespace

TEST_F(SettingsFiles, MissingFilesKeepEveryDefaultAndWrittenKeysOverrideEveryRow) {
    load_settings();
#define EXPECT_DEFAULT(type, name, file, section, key, fallback) \
    { const type expected = fallback; EXPECT_EQ(name, expected) << #name; }
    BRAWL_SETTINGS(EXPECT_DEFAULT)
    EXPECT_TRUE(background_names.empty());

    // Distinct values per row: two rows on one key would read the same value and fail here.
    std::filesystem::create_directory(folder.file("config"));
    int row = 0;
#define WRITE_SAMPLE(type, name, file, section, key, fallback) write(file, section, key, sample(name, ++row));
    BRAWL_SETTINGS(WRITE_SAMPLE)
    load_settings();
    row = 0;
#define EXPECT_SAMPLE(type, name, file, section, key, fallback) \
    { const type d = fallback; EXPECT_EQ(name, sample(d, ++row)) << #name; }
    BRAWL_SETTINGS(EXPECT_SAMPLE)
    EXPECT_TRUE(equal_material_colors().empty());
}

TEST_F(SettingsFiles, DefinitionTablesWithoutFiles) {
    load_settings();
    EXPECT_TRUE(weapon_definitions.empty());
    EXPECT_TRUE(item_definitions.empty());
    EXPECT_EQ(weapon_definition_count(), 0u);
    const PlayerDefinition& p = player_definitions[15];
    EXPECT_EQ(p.visual_size, fvec2d(64, 64));
    EXPECT_EQ(p.tile_size, (ivec2d{64, 64}));
    EXPECT_EQ(p.snd_spawn, -1);
    EXPECT_FLOAT_EQ(p.animations[int(EQGPlayerAnimation::Die)].speed, 1.0f);
    EXPECT_EQ(portal_definition.idle_animation.repeat, -1);
    EXPECT_EQ(portal_definition.enter_sound, -1);
}
