// The level assets of the run folder: template images read through the generator's own loaders
// and stamped by its presets, the backgrounds, the placeholder texture and the world shader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/core/files.h"
#include "engine/image/color_grid.h"
#include "game/config/settings.h"
#include "game/levelgen/level_generator.h"
#include "support/shader_test_support.h"
#include "support/terrain_test_support.h"
#include "support/test_support.h"

using namespace terrain_test;

namespace {

// Every template folder, the size its placement implies, and whether it may hold explosives.
struct TemplateFolder {
    const char* name;
    std::vector<ColorGrid> LevelTemplates::*list;
    int width, height;
    bool explosive;
};

const TemplateFolder kFolders[] = {
    // From the left edge, the rows right above the ground band, as wide as the widest level.
    {"swamp_background", &LevelTemplates::swamp_background, 4096, 128, false},
    // Standing on the ground band, one every 250 px or so.
    {"swamp", &LevelTemplates::swamp, 250, 266, true},
    // 10 px left of the tower roof and 77 px above it, down into the roof.
    {"tower", &LevelTemplates::tower, 150, 92, true},
    // 200 px left of where the hull curves down at the bottom, 64 px above it.
    {"torpedo", &LevelTemplates::torpedo, 200, 64, true},
    // Rooms are at least 100 x 100: standing pieces end on the floor...
    {"standing", &LevelTemplates::standing, 100, 100, true},
    // ...and hanging ones start at the ceiling, leaving headroom.
    {"hanging", &LevelTemplates::hanging, 100, 48, true},
    // Across the notch of the stern.
    {"motor", &LevelTemplates::motor, 128, 156, true},
};

std::string folder_of(const TemplateFolder& f) { return std::string("object\\") + f.name + "\\"; }

std::vector<std::string> listed(const TemplateFolder& f) { return list_files(folder_of(f) + "*"); }

// The image as drawn, before the generator rewrites its key colours.
ColorGrid raw_image(const std::string& path) {
    ColorGrid grid;
    EXPECT_TRUE(load_image_colors(path, grid)) << path;
    return grid;
}

bool is_clear(ColorRGBA c) { return c.a == 0; }

// Sizes of the 4-connected patches of `key` pixels, as explosions chain through them.
std::vector<int> patch_sizes(const ColorGrid& g, ColorRGBA key) {
    std::vector<char> seen(std::size_t(g.width()) * std::size_t(g.height()), 0);
    std::vector<int> sizes;
    for (int y0 = 0; y0 < g.height(); ++y0) {
        for (int x0 = 0; x0 < g.width(); ++x0) {
            if (seen[std::size_t(y0) * std::size_t(g.width()) + std::size_t(x0)] || !(g.at(x0, y0) == key)) continue;
            std::vector<std::pair<int, int>> todo{{x0, y0}};
            seen[std::size_t(y0) * std::size_t(g.width()) + std::size_t(x0)] = 1;
            int n = 0;
            while (!todo.empty()) {
                auto [x, y] = todo.back();
                todo.pop_back();
                ++n;
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= g.width() || ny >= g.height()) continue;
                    char& s = seen[std::size_t(ny) * std::size_t(g.width()) + std::size_t(nx)];
                    if (!s && g.at(nx, ny) == key) {
                        s = 1;
                        todo.push_back({nx, ny});
                    }
                }
            }
            sizes.push_back(n);
        }
    }
    return sizes;
}

struct CrateRecorder {
    int crates = 0, weapons = 0;
    bool crate(int, int, int, int, int) {
        ++crates;
        return true;
    }
    bool weapon(int, int, int, int, int) {
        ++weapons;
        return true;
    }
};

struct Generated {
    SurfacePtr surface;
    int crates = 0, weapons = 0;
};

Generated generate_preset(uint32_t gen) {
    CrateRecorder rec;
    PlacementCallback crate(&rec, &CrateRecorder::crate), weapon(&rec, &CrateRecorder::weapon);
    GeneratorCallbacks callbacks(nullptr, &weapon, &crate, nullptr);
    LevelParameters p;
    p.gen = gen;
    p.seed = 7;  // at this size the hull often leaves the level; with this seed its rooms stay in
    p.size_x = 2048;
    p.size_y = 1024;
    Generated out;
    out.surface.reset(generate_level_surface(nullptr, false, &callbacks, p));
    out.crates = rec.crates;
    out.weapons = rec.weapons;
    return out;
}

// Destructible pixels above the Swamp's ground band, which only templates put there.
long solid_above_band(SDL_Surface* s, const LevelParameters& p) {
    const int band = 10 - static_cast<int>(p.offset_y * -500.0f);
    long n = 0;
    for (int y = 0; y < s->h - band; ++y)
        for (int x = 0; x < s->w; ++x) n += pixel(s, x, y) == color_destructible;
    return n;
}

class LevelAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        load_settings();
        reset_level_templates_for_tests();
    }
    static void TearDownTestSuite() { reset_level_templates_for_tests(); }
};

}  // namespace

TEST_F(LevelAssets, EveryPresetHasAnOpaqueBackground) {
    ASSERT_GE(background_names.size(), 6u);  // Swamp, Submarine, Skyscraper, Mountain, Cave, Hills
    std::set<std::string> distinct(background_names.begin(), background_names.end());
    EXPECT_EQ(distinct.size(), background_names.size());
    for (const std::string& name : background_names) {
        ColorGrid grid;
        ASSERT_TRUE(load_image_colors(name, grid)) << name;
        EXPECT_GE(grid.width(), 512) << name;
        EXPECT_EQ(grid.width(), 2 * grid.height()) << name;  // levels are 2:1 by default
        long translucent = 0;
        std::set<uint32_t> colours;
        for (const ColorRGBA& c : grid.cells()) {
            translucent += c.a != 255;
            colours.insert(c.to_pixel());
        }
        EXPECT_EQ(translucent, 0) << name;
        EXPECT_GT(colours.size(), 50u) << name << " is drawn, not a flat fill";
    }
}

TEST_F(LevelAssets, DummyTextureIsASmallImage) {
    ColorGrid grid;
    ASSERT_TRUE(load_image_colors("gfx\\dummy.png", grid));
    EXPECT_GT(grid.width(), 0);
    EXPECT_LE(grid.width(), 64);
    EXPECT_LE(grid.height(), 64);
}

TEST_F(LevelAssets, TemplatesAreDrawnInExactKeyColours) {
    const ColorRGBA keys[] = {kBlue, kGrey, kGreen, kRed};
    for (const TemplateFolder& f : kFolders) {
        for (const std::string& file : listed(f)) {
            ColorGrid g = raw_image(folder_of(f) + file);
            long solid = 0, stray = 0, red = 0;
            for (const ColorRGBA& c : g.cells()) {
                bool key = std::any_of(std::begin(keys), std::end(keys), [&](ColorRGBA k) { return c == k; });
                stray += !key && !is_clear(c);  // a blended edge would silently turn into air
                solid += c == kGrey;
                red += c == kRed;
            }
            EXPECT_EQ(stray, 0) << file;
            EXPECT_GT(solid, 0) << file;
            if (!f.explosive) {
                EXPECT_EQ(red, 0) << file << ": the swamp background reads no red";
            }
        }
    }
}

TEST_F(LevelAssets, FoldersListSortedAndLoadThroughTheGeneratorWithTheirSizes) {
    load_swamp_templates();
    load_submarine_templates();
    const LevelTemplates& t = level_templates();
    for (const TemplateFolder& f : kFolders) {
        std::vector<std::string> names = listed(f);
        EXPECT_FALSE(names.empty()) << f.name;
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << f.name;
        for (const std::string& n : names) EXPECT_TRUE(n.ends_with(".png")) << f.name << ": " << n;
        const std::vector<ColorGrid>& list = t.*f.list;
        ASSERT_EQ(list.size(), names.size()) << f.name;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].width(), f.width) << f.name << "\\" << names[i];
            EXPECT_EQ(list[i].height(), f.height) << f.name << "\\" << names[i];
            // After the rewrite only materials and slots remain, and something is stamped.
            long stamped = 0;
            for (const ColorRGBA& c : list[i].cells()) {
                bool known = c == color_air || c == color_water || c == color_destructible || c == color_explosive ||
                             c == kGreen;
                EXPECT_TRUE(known) << f.name << "\\" << names[i];
                if (!known) break;
                stamped += !(c == color_air);
            }
            EXPECT_GT(stamped, 0) << f.name << "\\" << names[i];
        }
    }
}

// The generator asks for a 48 px crate with its top-left corner 20 px left of and 64 px above
// a slot pixel: that box must be free, and the crate must have something to land on.
TEST_F(LevelAssets, CrateSlotsHaveRoomAndFooting) {
    int slots = 0;
    for (const TemplateFolder& f : kFolders) {
        for (const std::string& file : listed(f)) {
            ColorGrid g = raw_image(folder_of(f) + file);
            for (int y = 0; y < g.height(); ++y) {
                for (int x = 0; x < g.width(); ++x) {
                    if (!(g.at(x, y) == kGreen)) continue;
                    ++slots;
                    long blocked = 0;
                    for (int by = std::max(y - 64, 0); by <= y - 17; ++by)
                        for (int bx = std::max(x - 20, 0); bx <= std::min(x + 27, g.width() - 1); ++bx)
                            blocked += !is_clear(g.at(bx, by));
                    EXPECT_EQ(blocked, 0) << file << " slot at " << x << "," << y;
                    bool footing = y == g.height() - 1 || g.at(x, y + 1) == kGrey;
                    EXPECT_TRUE(footing) << file << " slot at " << x << "," << y;
                }
            }
        }
    }
    EXPECT_GT(slots, 5);
}

// A patch of n explosive pixels blasts with radius n / 10; beyond the default radius of 48 one
// patch would scatter several effects and tear out a room.
TEST_F(LevelAssets, ExplosivePatchesStaySmall) {
    int patches = 0;
    for (const TemplateFolder& f : kFolders) {
        for (const std::string& file : listed(f)) {
            for (int n : patch_sizes(raw_image(folder_of(f) + file), kRed)) {
                ++patches;
                EXPECT_LE(n, 480) << f.name << "\\" << file;
            }
        }
    }
    EXPECT_GT(patches, 5);
}

TEST_F(LevelAssets, SwampAndSubmarineStampTheTemplates) {
    reset_level_templates_for_tests();
    LevelParameters defaults;
    Generated swamp = generate_preset(0);
    ASSERT_TRUE(swamp.surface);
    EXPECT_GT(swamp.crates, 0);  // slots come from templates only
    EXPECT_EQ(swamp.weapons, 1);
    EXPECT_GT(count(swamp.surface.get(), color_explosive), 0);
    EXPECT_GT(solid_above_band(swamp.surface.get(), defaults), 2000);

    Generated sub = generate_preset(1);
    ASSERT_TRUE(sub.surface);
    EXPECT_GT(sub.crates, 0);
    EXPECT_GT(count(sub.surface.get(), color_explosive), 0);

    // The same levels without any template folder: no slots, no explosives, nothing above the
    // ground band, so what was counted above came from the templates.
    test_support::ScratchDir empty;
    std::filesystem::path run = std::filesystem::current_path();
    std::filesystem::current_path(empty.path());
    reset_level_templates_for_tests();
    Generated bare_swamp = generate_preset(0);
    Generated bare_sub = generate_preset(1);
    std::filesystem::current_path(run);
    reset_level_templates_for_tests();
    ASSERT_TRUE(bare_swamp.surface);
    ASSERT_TRUE(bare_sub.surface);
    EXPECT_EQ(bare_swamp.crates + bare_sub.crates, 0);
    EXPECT_EQ(count(bare_swamp.surface.get(), color_explosive) + count(bare_sub.surface.get(), color_explosive), 0);
    EXPECT_EQ(solid_above_band(bare_swamp.surface.get(), defaults), 0);
}

// The level sets these uniforms on the world shader and the one its kept look is drawn through;
// each must be declared and used, or the setter logs a warning and the value is lost.
TEST_F(LevelAssets, WorldShadersAreVersion120AndUseEveryUniformTheLevelSets) {
    std::string source = shader_test::read_source("shader\\world.frag");
    EXPECT_NE(source.find("texture2D"), std::string::npos);
    EXPECT_EQ(shader_test::check_uniforms_used(source, "shader\\world.frag"),
              (std::set<std::string>{"texture", "texelsX", "texelsY", "waterLevel", "waterColor", "staticWaterColor",
                                     "airColor", "destructibleColor", "indestructibleColor", "explosiveColor",
                                     "ladderColor"}));
    EXPECT_EQ(shader_test::check_uniforms_used(shader_test::read_source("shader\\worldcache.frag"),
                                               "shader\\worldcache.frag"),
              (std::set<std::string>{"texture", "texelsX", "texelsY"}));
}
