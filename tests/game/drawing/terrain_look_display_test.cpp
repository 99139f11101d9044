// The level's terrain drawn from its kept look, and its background only where the terrain may
// not cover it, give the very frame that plain sprites with the same texture and program give.
#include <gtest/gtest.h>

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
    const struct {
        int x, y, w, h;
        ColorRGBA c;
    } patches[] = {{40, 120, 60, 40, color_explosive},
                   {150, 100, 20, 120, color_ladder},
                   {200, 150, 90, 50, color_staticwater},
                   {330, 90, 70, 70, color_indestructible},
                   {420, 180, 40, 76, color_air}};
    for (const auto& p : patches) {
        session_test::fill(level->surface(), p.x, p.y, p.w, p.h, p.c);
        drawing.terrain_changed(*level, {p.x, p.y, p.w, p.h});
    }

    // The same level drawn by plain sprites, each next to the one it stands in for in the draw
    // order; a sprite at alpha 0 draws nothing.
    CImageSprite* plain_terrain = new CImageSprite(&view);
    plain_terrain->set_texture(look.terrain_texture);
    plain_terrain->set_shader_program(look.terrain_sprite->get_shader_program());
    plain_terrain->set_size(512, 256);
    CImageSprite* plain_background = new CImageSprite(plain_terrain);
    plain_background->set_texture(look.background_sprite->get_texture());
    plain_background->set_size(512, 256);
    plain_background->set_z(-0.999f);
    // See-through things between the background and the terrain, and one drawn before the
    // terrain that lies nearer: the terrain's depth test leaves the background showing there.
    CTextureManager textures;
    CTexture* quadrants = textures.get_texture(true, false, "gfx\\test\\quadrants.png");
    CImageSprite* holder = new CImageSprite(&view);  // no image: draws nothing itself
    holder->set_z(0.5f);
    CImageSprite* between = new CImageSprite(plain_terrain);
    CImageSprite* nearer = new CImageSprite(holder);
    for (CImageSprite* s : {between, nearer}) {
        s->set_texture(quadrants);
        s->set_alpha(120);
        s->set_size(90, 60);
        s->set_z(-0.4f);
    }
    between->set_position(180, 80), nearer->set_position(110, 150);
    // A name label drawn there too: only its text keeps the terrain out.
    CFontFactory fonts;
    auto* label = new CLabelSprite(holder, fonts.get_font(14, "fnt\\DejaVuSans.ttf"));
    label->set_position(300, 228), label->set_z(-0.4f);
    label->set_text_box(0, 0, 300, 24), label->set_text_color({255, 255, 0});
    label->set_text("Player 3: 100 HP");
    for (CImageSprite* s : {nearer, static_cast<CImageSprite*>(label)}) s->set_visible(false);
    for (CImageSprite* s :
         {plain_terrain, plain_background, holder, between, nearer, static_cast<CImageSprite*>(label)})
        view.add_child(s);

    // And one nearer drawn before the whole view.
    CImageSprite first;
    first.set_texture(quadrants), first.set_alpha(120), first.set_size(70, 50), first.set_z(0.3f);
    first.set_position(200, 150);
    bool first_drawn = false;

    auto frame = [&](bool kept) {
        for (CImageSprite* s : {look.terrain_sprite, look.background_sprite}) s->set_alpha(kept ? 255 : 0);
        for (CImageSprite* s : {plain_terrain, plain_background}) s->set_alpha(kept ? 0 : 255);
        game().on_render = [&] {
            if (first_drawn) first.draw(game().screen);
            view.draw(game().screen);
        };
        game().run_some_frames(1);
        return scene_frame();
    };
    struct View {
        float scale, x, y;
        const char* what;
    };
    for (const View& v : {View{0.625f, 0, 0, "fitted"}, View{0.9f, 201.3f, 130.7f, "zoomed out, off the pixel grid"},
                          View{1.0f, 160.0f, 120.0f, "one pixel a texel"}, View{1.37f, 333.2f, 101.9f, "zoomed in"}}) {
        view.set_scale(v.scale);
        if (v.x > 0) look.focus_view(v.x, v.y);
        else look.fit_view();
        EXPECT_TRUE(frame(true) == frame(false)) << v.what;
        session->explode({v.x + 20.0f, 140.0f}, 25.0f);  // carved: the kept look follows
        EXPECT_TRUE(frame(true) == frame(false)) << v.what << ", after a blast";
        for (CImageSprite* s : {nearer, static_cast<CImageSprite*>(label)}) s->set_visible(true);
        EXPECT_TRUE(frame(true) == frame(false)) << v.what << ", something nearer drawn before the terrain";
        for (CImageSprite* s : {nearer, static_cast<CImageSprite*>(label)}) s->set_visible(false);
        first_drawn = true;
        EXPECT_TRUE(frame(true) == frame(false)) << v.what << ", something nearer drawn before the level";
        first_drawn = false;
    }
    session.reset();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
