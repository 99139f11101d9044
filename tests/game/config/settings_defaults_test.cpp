#include <gtest/gtest.h>
#include <unistd.h>

#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "support/test_support.h"

bool operator==(const ColorRGB& a, const ColorRGB& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

namespace {

// A value of the row's type unlike its default and unlike every other row's.
int sample(int, int row) { return 1000 + row; }
float sample(float, int row) { return row + 0.5f; }
bool sample(bool fallback, int) { return !fallback; }
std::string sample(const std::string&, int row) { return "v" + std::to_string(row); }
fvec2d sample(fvec2d, int row) { return {row + 0.25f, row + 0.75f}; }
ivec2d sample(ivec2d, int row) { return {row, -row}; }
ColorRGB sample(ColorRGB, int row) { return {uint8_t(row), 1, 2}; }
ColorRGBA sample(ColorRGBA, int row) { return {uint8_t(row), 1, 2, 3}; }
template <class T>
std::vector<T> sample(const std::vector<T>&, int row) {
    return {sample(T(), row), sample(T(), -row)};
}

// Stores a value the way the game's files spell it.
template <class T>
void write(const char* file, const std::string& section, const std::string& key, const T& v) {
    if constexpr (std::is_same_v<T, std::string>) {
        ASSERT_TRUE(ini_write_string(section, key, v, file));
    } else if constexpr (requires { v.x; }) {
        write(file, section, key + "X", v.x);
        write(file, section, key + "Y", v.y);
    } else if constexpr (requires { v.b; }) {
        for (auto [channel, value] : {std::pair{"R", v.r}, std::pair{"G", v.g}, std::pair{"B", v.b}})
            write(file, section, key + channel, int(value));
        if constexpr (requires { v.a; }) write(file, section, key + "A", int(v.a));
    } else if constexpr (requires { v.size(); }) {
        write(file, section, key + "s", int(v.size()));
        for (std::size_t i = 0; i < v.size(); ++i) write(file, section, key + std::to_string(i), v[i]);
    } else {
        ASSERT_TRUE(ini_write_string(section, key, std::to_string(v), file));
    }
}

}  // namespace

// Without files every row keeps its default; with every key written, every row takes its own
// value, which two rows on one key could not.
TEST(SettingsTable, MissingFilesKeepEveryDefaultAndWrittenKeysOverrideEveryRow) {
    test_support::ScratchDir folder;
    ASSERT_EQ(chdir(folder.path().c_str()), 0);  // before the first ini read fixes the folder
    load_settings();
#define EXPECT_DEFAULT(type, name, file, section, key, fallback) EXPECT_EQ(name, type(fallback)) << #name;
    BRAWL_SETTINGS(EXPECT_DEFAULT)
    EXPECT_TRUE(background_names.empty() && weapon_definitions.empty() && item_definitions.empty());
    EXPECT_EQ(player_definitions[15].tile_size, (ivec2d{64, 64}));
    EXPECT_EQ(player_definitions[15].snd_spawn, -1);
    EXPECT_EQ(portal_definition.idle_animation.repeat, -1);

    std::filesystem::create_directory(folder.file("config"));
    int row = 0;
#define WRITE_SAMPLE(type, name, file, section, key, fallback) write(file, section, key, sample(name, ++row));
    BRAWL_SETTINGS(WRITE_SAMPLE)
    load_settings();
    row = 0;
#define EXPECT_SAMPLE(type, name, file, section, key, fallback) EXPECT_EQ(name, sample(type(fallback), ++row)) << #name;
    BRAWL_SETTINGS(EXPECT_SAMPLE)
    EXPECT_TRUE(equal_material_colors().empty());
}
