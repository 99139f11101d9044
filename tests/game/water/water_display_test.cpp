// The water renderer drawing a known occupancy into the scene, checked pixel by pixel.
#include <gtest/gtest.h>

#include "engine/scene/image_sprite.h"
#include "game/drawing/water.h"
#include "support/display_game.h"
#include "support/session_test_support.h"

using namespace display;

TEST(WaterDisplay, DrawsTheOccupancyAndTheStaticSurfaceAndPutsTheTargetBack) {
    game().reset_probe();
    load_settings();
    session_test::set_material_colors();
    auto terrain = session_test::make_surface(64, 64);
    session_test::fill(terrain.get(), 0, 48, 32, 16, color_staticwater);

    // 8 x 8 cells of 8 pixels: the left half holds water below the top two rows.
    sph::Water water(nullptr, game().get_shader_factory(), 64, 64, 8, terrain.get());
    ASSERT_EQ(water.cells_per_side(), 8);
    for (uint32_t y = 2; y < 8; ++y)
        for (uint32_t x = 0; x < 4; ++x) water.occupancy.set(x, y, true);

    GLint found[5] = {}, after[5] = {};
    game().on_render = [&] {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, found);
        glGetIntegerv(GL_VIEWPORT, found + 1);
        water.draw(game().screen);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, after);
        glGetIntegerv(GL_VIEWPORT, after + 1);
    };
    game().run_some_frames(1);
    EXPECT_TRUE(std::equal(found, found + 5, after));
    EXPECT_EQ(GLuint(after[0]), game().framebuffer);

    const ColorRGBA deep = scene_pixel(12, 36);
    EXPECT_TRUE(deep.b > 120 && deep.b > deep.r + 60) << describe(deep);
    for (ColorRGBA dry : {scene_pixel(52, 36), scene_pixel(12, 8)}) EXPECT_TRUE(near_rgb(dry, {}, 8)) << describe(dry);
    const ColorRGBA surface = scene_pixel(16, 48), below = scene_pixel(16, 56);
    EXPECT_GT(surface.r, deep.r + 60) << describe(surface);  // the light line along the top
    EXPECT_TRUE(near_rgb(below, deep, 40)) << describe(below);

    // A cell that turns to water fades in over six draws; one that dries loses 5 a draw.
    water.occupancy.set(6, 0, true);
    water.occupancy.set(0, 2, false);
    EXPECT_EQ(water.cell_alpha(6, 0), 0);
    for (int alpha : {50, 100, 150, 200, 250, 255}) {
        game().run_some_frames(1);
        EXPECT_EQ(water.cell_alpha(6, 0), alpha);
    }
    EXPECT_EQ(water.cell_alpha(0, 2), 255 - 6 * 5);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // The static mask: transparent over static water only; without a terrain, white everywhere.
    auto mask_at = [](SDL_Surface* s, int x, int y) { return static_cast<uint32_t*>(s->pixels)[y * s->pitch / 4 + x]; };
    EXPECT_EQ(mask_at(water.static_mask(), 10, 50), 0u);
    EXPECT_EQ(mask_at(water.static_mask(), 40, 50), 0xFFFFFFFFu);
    sph::Water plain(nullptr, game().get_shader_factory(), 64, 64, 8, nullptr);
    EXPECT_EQ(mask_at(plain.static_mask(), 10, 50), 0xFFFFFFFFu);

    // Under a scaled view moved partly off the window, every wet spot in view is still drawn and
    // every dry one left clear, and the clipping state is put back.
    for (auto [ox, oy] : {std::pair{-40, -60}, std::pair{-100, -150}, std::pair{150, 20}}) {
        CImageSprite view;
        view.set_scale(3.0f);
        view.set_position(float(ox), float(oy));  // local (x, y) shows at (3x + ox, 3y + oy)
        sph::Water moved(&view, game().get_shader_factory(), 128, 128, 8, nullptr);
        for (uint32_t y = 4; y < 12; ++y)
            for (uint32_t x = 2; x < 7; ++x) moved.occupancy.set(x, y, true);
        GLboolean scissor_after = GL_TRUE;
        game().on_render = [&] { moved.draw(game().screen), scissor_after = glIsEnabled(GL_SCISSOR_TEST); };
        game().run_some_frames(1);
        EXPECT_EQ(scissor_after, GL_FALSE);
        for (int y = 2; y < 126; y += 6) {
            for (int x = 2; x < 126; x += 6) {
                const int sx = 3 * x + ox, sy = 3 * y + oy;
                if (sx < 0 || sy < 0 || sx >= kWidth || sy >= kHeight) continue;
                const ColorRGBA c = scene_pixel(sx, sy);
                const bool wet = x >= 20 && x < 52 && y >= 36 && y < 92, dry = x < 12 || x >= 60 || y < 28 || y >= 100;
                EXPECT_TRUE(!wet || (c.b > 120 && c.b > c.r + 60)) << x << "," << y << " " << describe(c);
                EXPECT_TRUE(!dry || near_rgb(c, {}, 8)) << x << "," << y << " " << describe(c);
            }
        }
    }
    game().reset_probe();
}
