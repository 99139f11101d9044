#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <optional>

#include "client/client_settings.h"
#include "client/qc_host_menu.h"
#include "game/config/settings.h"
#include "game/water/water_object.h"
#include "support/test_support.h"

namespace {

template <class T>
constexpr bool kMayHaveRange = (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) || requires(T t) {
    t.x;
};

// The value `by` beyond one end of the key's range (each half of a pair alike); none when that
// end is open.
template <class T>
std::optional<T> beyond(const IniKey<T>& key, bool below, double by) {
    const double v = below ? key.least - by : key.most + by;
    if (!std::isfinite(v)) return std::nullopt;
    T value{};
    if constexpr (std::is_arithmetic_v<T>) value = T(v);
    else value.x = value.y = decltype(value.x)(v);
    return value;
}

template <class T>
void write_beyond(const IniKey<T>& key, bool below) {
    if constexpr (kMayHaveRange<T>) {
        const std::optional<T> v = beyond(key, below, 1);
        EXPECT_TRUE(!v || key.store(*v)) << key.key;
    }
}

// 1 when the row has that end and the key read now (and the value loaded, if any) is at it.
template <class T>
int expect_at_bound(const IniKey<T>& key, bool below, const T* loaded = nullptr) {
    if constexpr (kMayHaveRange<T>) {
        const std::optional<T> bound = beyond(key, below, 0);
        EXPECT_TRUE(!bound || (key.read() == *bound && (!loaded || *loaded == *bound))) << key.key;
        return bound.has_value();
    }
    return 0;
}

}  // namespace

// Every row of the tables (settings, client, host menu, water) with a range, read from files that
// hold a value beyond it (below, then above), comes back at the bound; the water's rows come back
// at their defaults. The rows are expanded from the tables, so a new row is tested with them.
TEST(SettingRanges, ValuesBeyondEveryRowComeBackInRange) {
    test_support::ScratchDir folder;
    ASSERT_EQ(chdir(folder.path().c_str()), 0);  // before the first ini read fixes the folder
    std::filesystem::create_directory(folder.file("config"));
    using sph::kCellLimit, sph::kParticleLimit;
    int checked = 0;
    for (bool below : {true, false}) {
#define WRITE_SETTING(type, name, ...) write_beyond(setting_keys::name, below);
#define WRITE_CLIENT(type, name, ...) write_beyond(client_settings::name, below);
#define WRITE_HOST(type, name, ...) write_beyond(HostMenuSettings::name, below);
#define WRITE_WATER(type, member, key, fallback, least, most) \
    ASSERT_TRUE(ini_write_float("physics", key, float(below ? least - 1.0 : most + 1.0), kServerIni));
        BRAWL_SETTINGS(WRITE_SETTING)
        BRAWL_CLIENT_SETTINGS(WRITE_CLIENT)
        BRAWL_HOST_MENU_SETTINGS(WRITE_HOST)
        SPH_WATER_SETTINGS(WRITE_WATER)

        load_settings();
#define EXPECT_SETTING(type, name, ...) checked += expect_at_bound(setting_keys::name, below, &name);
#define EXPECT_CLIENT(type, name, ...) checked += expect_at_bound(client_settings::name, below);
#define EXPECT_HOST(type, name, ...) checked += expect_at_bound(HostMenuSettings::name, below);
        BRAWL_SETTINGS(EXPECT_SETTING)
        BRAWL_CLIENT_SETTINGS(EXPECT_CLIENT)
        BRAWL_HOST_MENU_SETTINGS(EXPECT_HOST)
        const sph::WaterSettings water = sph::WaterSettings::load(), defaults;
#define EXPECT_WATER(type, member, key, fallback, least, most) EXPECT_EQ(water.member, defaults.member) << key;
        SPH_WATER_SETTINGS(EXPECT_WATER)
    }
    EXPECT_GT(checked, 20);

    // The bounds that keep a divisor from 0 or an allocation in reason, as numbers written here.
    const std::tuple<const char*, const char*, const char*, const char*, float, std::function<float()>> pins[] = {
        {kServerIni, "physics", "chanceOfSweetroll", "-3", 0.0f, [] { return chance_of_sweetroll; }},
        {kClientIni, "game", "cameraViewportHeight", "0", 1.0f, [] { return camera_viewport_height; }},
        {kClientIni, "player_common", "labelSizeY", "1e9", 4096.0f, [] { return player_label_size.y; }},
        {kServerIni, "physics", "particleGridSize", "0", 16.0f, [] { return sph::WaterSettings::load().grid_size; }},
        {kServerIni, "physics", "maxWaterParticles", "2000000", 1024.0f,
         [] { return sph::WaterSettings::load().max_particles; }}};
    for (const auto& [file, section, key, written, held, read] : pins)
        ASSERT_TRUE(ini_write_string(section, key, written, file));
    load_settings();
    for (const auto& [file, section, key, written, held, read] : pins) EXPECT_EQ(read(), held) << key;
}
