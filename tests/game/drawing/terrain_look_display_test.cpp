// The level's terrain drawn from its kept look, and its background only where the terrain may
// not cover it, give the very frame that plain sprites with the same texture and program give.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture_manager.h"
#include "engine/scene/label_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "game/drawing/game_drawing.h"
#include "game/terrain/qg_level.h"
#include "support/display_game.h"
#include "support/level_test_support.h"

using namespace display;

TEST(TerrainLook, KeptLookAndCulledBackgroundDrawTheFramePlainSpritesDraw) {
    game().reset_probe();
    load_settings();
    session_test::set_material_colors();
    CSpriteManager view(nullptr, nullptr);
    view.set_z_sorting(true);
    view.set_width(float(kWidth)), view.set_height(float(kHeight));
    GameDrawing drawing(&view, game().get_shader_factory(), nullptr);
    auto session = session_test::make_headless_client_session(nullptr, &drawing);
    auto* level = session->spawn<QGLevel>(50, level_test::hills(512, 256, 11));
    session->flush_registrations();
    LevelLook& look = *look_of<LevelLook>(level);
    // Every material, as a map tile brings it.
    const std::pair<PixelRect, ColorRGBA> patches[] = {{{40, 120, 60, 40}, color_explosive},
                                                       {{150, 100, 20, 120}, color_ladder},
                                                       {{200, 150, 90, 50}, color_staticwater},
                                                       {{330, 90, 70, 70}, color_indestructible},
                                                       {{420, 180, 40, 76}, color_air}};
    for (const auto& [r, c] : patches) {
        session_test::fill(level->surface(), r.x, r.y, r.width, r.height, c);
        drawing.terrain_changed(*level, r);
    }

    // The same level drawn by plain sprites, each next to the one it stands in for in the draw
    // order; a sprite at alpha 0 draws nothing.
    auto sprite = [&](CSprite* parent, ITexture* texture, PixelRect r, float z, float alpha = 255) {
        auto* s = new CImageSprite(parent);
        s->set_texture(texture), s->set_position(r.x, r.y), s->set_size(r.width, r.height);
        s->set_z(z), s->set_alpha(alpha);
        view.add_child(s);
        return s;
    };
    auto* plain_terrain = sprite(&view, look.terrain_texture, {0, 0, 512, 256}, 0);
    plain_terrain->set_shader_program(look.terrain_sprite->get_shader_program());
    auto* plain_background = sprite(plain_terrain, look.background_sprite->get_texture(), {0, 0, 512, 256}, -0.999f);
    // See-through things between the background and the terrain, and one drawn before the
    // terrain that lies nearer: the terrain's depth test leaves the background showing there.
    CTextureManager textures;
    CTexture* quadrants = textures.get_texture(true, false, "gfx\\test\\quadrants.png");
    auto* holder = sprite(&view, nullptr, {}, 0.5f);  // no image: draws nothing itself
    sprite(plain_terrain, quadrants, {180, 80, 90, 60}, -0.4f, 120);
    auto* nearer = sprite(holder, quadrants, {110, 150, 90, 60}, -0.4f, 120);
    // A name label drawn there too: only its text keeps the terrain out.
    CFontFactory fonts;
    auto* label = new CLabelSprite(holder, fonts.get_font(14, "fnt\\DejaVuSans.ttf"));
    label->set_position(300, 228), label->set_z(-0.4f), label->set_text_box(0, 0, 300, 24);
    label->set_text_color({255, 255, 0}), label->set_text("Player 3: 100 HP");
    view.add_child(label);
    // And one nearer drawn before the whole view.
    CImageSprite first;
    first.set_texture(quadrants), first.set_alpha(120), first.set_size(70, 50), first.set_z(0.3f);
    first.set_position(200, 150);

    // The kept look and the plain sprites draw the same frame.
    auto same_frame = [&](bool nearer_shown, bool first_drawn) {
        nearer->set_visible(nearer_shown), label->set_visible(nearer_shown);
        std::vector<uint8_t> frames[2];
        for (bool kept : {false, true}) {
            for (CImageSprite* s : {look.terrain_sprite, look.background_sprite}) s->set_alpha(kept ? 255 : 0);
            for (CImageSprite* s : {plain_terrain, plain_background}) s->set_alpha(kept ? 0 : 255);
            game().on_render = [&] {
                if (first_drawn) first.draw(game().screen);
                view.draw(game().screen);
            };
            game().run_some_frames(1);
            frames[kept] = scene_frame();
        }
        return frames[0] == frames[1];
    };
    using View = std::tuple<float, float, float, const char*>;
    for (auto [scale, x, y, what] :
         {View{0.625f, 0, 0, "fitted"}, View{0.9f, 201.3f, 130.7f, "zoomed out, off the pixel grid"},
          View{1.0f, 160.0f, 120.0f, "one pixel a texel"}, View{1.37f, 333.2f, 101.9f, "zoomed in"}}) {
        view.set_scale(scale);
        if (x > 0) look.focus_view(x, y);
        else look.fit_view();
        EXPECT_TRUE(same_frame(false, false)) << what;
        session->terrain().explode({x + 20.0f, 140.0f}, 25.0f);  // carved: the kept look follows
        EXPECT_TRUE(same_frame(false, false)) << what << ", after a blast";
        EXPECT_TRUE(same_frame(true, false)) << what << ", something nearer drawn before the terrain";
        EXPECT_TRUE(same_frame(false, true)) << what << ", something nearer drawn before the level";
    }
    session.reset();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
