// Sprites, labels and particles drawn into the scene, checked pixel by pixel.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/scene/label_sprite.h"
#include "engine/scene/rotatable_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "support/display_game.h"

using namespace display;

namespace {

const ColorRGBA kRed{255, 0, 0, 255};
const ColorRGBA kGreen{0, 255, 0, 255};
const ColorRGBA kBlue{0, 0, 255, 255};
const ColorRGBA kWhite{255, 255, 255, 255};
const ColorRGBA kBlack{0, 0, 0, 0};

class SpriteDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { game().reset_probe(); }
    void TearDown() override { game().reset_probe(); }

    // Draws the sprite as the whole scene of one frame.
    static void show(CSprite& sprite) {
        game().on_render = [&sprite] { sprite.draw(game().screen); };
        game().run_some_frames(1);
    }

    CTexture* quadrants() { return textures_.get_texture(true, false, "gfx\\test\\quadrants.png"); }
    CTexture* bordered() { return textures_.get_texture(true, false, "gfx\\test\\bordered.png"); }

    // Scene pixels with some light in the rectangle.
    static int lit(int x0, int y0, int w, int h) {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                ColorRGBA p = scene_pixel(x, y);
                n += (p.r > 60 || p.g > 60 || p.b > 60) ? 1 : 0;
            }
        }
        return n;
    }

    CTextureManager textures_;
};

#define EXPECT_PIXEL(x, y, colour)                                                                         \
    do {                                                                                                   \
        ColorRGBA seen = scene_pixel(x, y);                                                                \
        EXPECT_TRUE(near_rgb(seen, colour, 8)) << "at (" << (x) << ", " << (y) << "): " << describe(seen); \
    } while (0)

}  // namespace

TEST_F(SpriteDisplayTest, ImageSpriteShowsItsTextureUprightAtItsPlace) {
    CImageSprite s;
    s.set_texture(quadrants());
    s.set_position(20, 30);
    s.set_size(64, 64);
    show(s);
    EXPECT_PIXEL(25, 35, kRed);
    EXPECT_PIXEL(78, 35, kGreen);
    EXPECT_PIXEL(25, 88, kBlue);
    EXPECT_PIXEL(78, 88, kWhite);
    EXPECT_PIXEL(15, 35, kBlack);
    EXPECT_PIXEL(90, 100, kBlack);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SpriteDisplayTest, FrameSelectsItsTile) {
    CImageSprite s;
    s.set_texture(quadrants());
    s.set_tile_width(32);
    s.set_tile_height(32);
    s.set_last_frame(3);
    s.set_frame(1);
    s.set_position(10, 10);
    s.set_size(40, 40);
    show(s);
    EXPECT_PIXEL(14, 14, kGreen);
    EXPECT_PIXEL(45, 45, kGreen);
    s.set_frame(2);
    show(s);
    EXPECT_PIXEL(30, 30, kBlue);
}

TEST_F(SpriteDisplayTest, AlphaBlendsTheImageIntoTheScene) {
    CImageSprite s;
    s.set_texture(quadrants());
    s.set_tile_width(32);
    s.set_tile_height(32);
    s.set_last_frame(3);
    s.set_frame(3);  // white
    s.set_position(10, 10);
    s.set_size(40, 40);
    s.set_alpha(128);
    show(s);
    EXPECT_PIXEL(30, 30, (ColorRGBA{128, 128, 128, 255}));
}

TEST_F(SpriteDisplayTest, SlicedDrawsKeepTheBorderStripsUnstretched) {
    // The image: 32 x 32 blue with a white frame 4 texels wide, drawn at 200 x 100.
    CImageSprite s;
    s.set_texture(bordered());
    s.set_position(10, 10);
    s.set_size(200, 100);
    show(s);  // stretched whole: the frame is 25 pixels wide on the left
    EXPECT_PIXEL(10 + 16, 10 + 50, kWhite);

    s.set_border_x(4);
    s.set_border_y(4);
    show(s);
    EXPECT_PIXEL(10 + 1, 10 + 50, kWhite);   // left strip
    EXPECT_PIXEL(10 + 16, 10 + 50, kBlue);   // centre starts after 4 pixels
    EXPECT_PIXEL(10 + 100, 10 + 1, kWhite);  // top strip
    EXPECT_PIXEL(10 + 100, 10 + 10, kBlue);
    EXPECT_PIXEL(10 + 198, 10 + 98, kWhite);  // bottom-right corner
    EXPECT_PIXEL(10 + 190, 10 + 90, kBlue);

    s.set_border_x(0);  // rows only: the sides stretch again, top and bottom do not
    show(s);
    EXPECT_PIXEL(10 + 100, 10 + 10, kBlue);
    EXPECT_PIXEL(10 + 16, 10 + 50, kWhite);

    s.set_border_x(4);  // columns only
    s.set_border_y(0);
    show(s);
    EXPECT_PIXEL(10 + 16, 10 + 50, kBlue);
    EXPECT_PIXEL(10 + 100, 10 + 10, kWhite);  // top stretched: 12 pixels of frame
}

TEST_F(SpriteDisplayTest, RotationTurnsTheDrawnImage) {
    CImageSpriteEx s;
    s.set_texture(quadrants());
    s.set_position(100, 80);
    s.set_size(64, 64);
    s.set_rotation(90);  // anticlockwise: the top-left quadrant goes to the bottom-left
    show(s);
    EXPECT_PIXEL(110, 134, kRed);
    EXPECT_PIXEL(110, 90, kGreen);
    EXPECT_PIXEL(154, 134, kBlue);
    EXPECT_PIXEL(154, 90, kWhite);
}

TEST_F(SpriteDisplayTest, ManagerDrawsChildrenThroughItsPlaceAndScale) {
    CSpriteManager manager(nullptr, &textures_);
    manager.set_x(200);
    manager.set_y(20);
    manager.set_scale(0.5f);
    auto* child = new CImageSprite();
    child->set_texture(quadrants());
    child->set_size(64, 64);
    child->set_position(20, 40);  // at (210, 40), 32 x 32
    manager.add_child(child);
    show(manager);
    EXPECT_PIXEL(213, 43, kRed);
    EXPECT_PIXEL(239, 69, kWhite);
    EXPECT_PIXEL(245, 50, kBlack);
    manager.set_visible(false);
    show(manager);
    EXPECT_PIXEL(213, 43, kBlack);
}

TEST_F(SpriteDisplayTest, HigherDepthStaysInFront) {
    auto make = [this](int frame, float x, float z) {
        auto* s = new CImageSprite();
        s->set_texture(quadrants());
        s->set_tile_width(32);
        s->set_tile_height(32);
        s->set_last_frame(3);
        s->set_frame(float(frame));
        s->set_position(x, 20);
        s->set_size(60, 60);
        s->set_z(z);
        return s;
    };
    CSpriteManager manager(nullptr, &textures_);
    CImageSprite* front = make(0, 20, 0.5f);  // red, added first
    manager.add_child(front);
    manager.add_child(make(1, 50, -0.5f));  // green, overlapping on its left half
    show(manager);                          // the depth test keeps the red one in front
    EXPECT_PIXEL(65, 50, kRed);
    EXPECT_PIXEL(100, 50, kGreen);

    // Without the depth test the drawing order decides; z-sorting puts the red one last.
    for (int i = 0; i < manager.get_child_count(); ++i) {
        static_cast<CImageSprite*>(manager.get_child(i))->depth_test = false;
    }
    show(manager);
    EXPECT_PIXEL(65, 50, kGreen);
    manager.set_z_sorting(true);
    show(manager);
    EXPECT_PIXEL(65, 50, kRed);
}

TEST_F(SpriteDisplayTest, HiddenSpriteChangesNoGlState) {
    CImageSprite s;
    s.set_texture(quadrants());
    s.set_size(64, 64);
    s.set_visible(false);
    GLfloat colour[4] = {0, 0, 0, 0};
    GLboolean blend = GL_FALSE, depth = GL_TRUE;
    game().on_render = [&] {
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        glEnable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        s.draw(game().screen);
        glGetFloatv(GL_CURRENT_COLOR, colour);
        blend = glIsEnabled(GL_BLEND);
        depth = glIsEnabled(GL_DEPTH_TEST);
    };
    game().run_some_frames(1);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_EQ(blend, GL_TRUE);
    EXPECT_EQ(depth, GL_FALSE);
    EXPECT_PIXEL(10, 10, kBlack);
}

TEST_F(SpriteDisplayTest, LabelTextIsClippedToItsBox) {
    CFont* font = game().get_font_factory()->get_font(14, "fnt\\DejaVuSans.ttf");
    CLabelSprite label(nullptr, font);
    label.set_text_color({255, 255, 255});
    label.set_horizontal_alignment(1);
    label.set_vertical_alignment(1);
    label.set_text("WWWWWWWWWWWWWWWW");
    label.set_text_box(0, 0, 40, 20);
    label.set_position(50, 60);
    GLint viewport[4] = {0, 0, 0, 0};
    game().on_render = [&] {
        label.draw(game().screen);
        glGetIntegerv(GL_VIEWPORT, viewport);
    };
    game().run_some_frames(1);
    EXPECT_GT(lit(50, 60, 40, 20), 40);
    EXPECT_EQ(lit(90, 55, 60, 30), 0);  // the surface is 64 wide and the text wider still
    EXPECT_EQ(lit(0, 0, kWidth, 58), 0);
    // The viewport and the projection are back as they were.
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[2], kWidth);
    EXPECT_EQ(viewport[3], kHeight);
    CImageSprite after;
    after.set_texture(quadrants());
    after.set_position(200, 150);
    after.set_size(64, 64);
    game().on_render = [&] {
        label.draw(game().screen);
        after.draw(game().screen);
    };
    game().run_some_frames(1);
    EXPECT_PIXEL(205, 155, kRed);

    // A move without a new size shows the same text at the new place.
    label.set_text_box(0, 100, 40, 20);
    show(label);
    EXPECT_EQ(lit(50, 60, 40, 20), 0);
    EXPECT_GT(lit(50, 160, 40, 20), 40);
}

TEST_F(SpriteDisplayTest, LabelShowsOnlyThePartInsideTheViewport) {
    CFont* font = game().get_font_factory()->get_font(14, "fnt\\DejaVuSans.ttf");
    CLabelSprite label(nullptr, font);
    label.set_text_color({255, 255, 255});
    label.set_horizontal_alignment(1);
    label.set_text("WWWWWWWW");
    label.set_text_box(0, 0, 100, 20);
    label.set_position(110, 100);  // 110..210 across a viewport that ends at 160
    GLint viewport[4] = {0, 0, 0, 0};
    game().on_render = [&] {
        CGameBase::setup_projection(0, 0, 160, kHeight, 0, 0, 160, float(kHeight));
        label.draw(game().screen);
        glGetIntegerv(GL_VIEWPORT, viewport);
        CGameBase::setup_projection(0, 0, kWidth, kHeight, 0, 0, 0, 0);
    };
    game().run_some_frames(1);
    EXPECT_GT(lit(110, 100, 50, 20), 40);
    EXPECT_EQ(lit(160, 95, 80, 30), 0);
    EXPECT_EQ(viewport[2], 160);

    label.set_x(200);  // wholly outside: the text is not drawn at all
    game().run_some_frames(1);
    EXPECT_EQ(lit(0, 0, kWidth, kHeight), 0);
}

TEST_F(SpriteDisplayTest, LabelDrawsItsImageFirstAndFadesItsText) {
    CFont* font = game().get_font_factory()->get_font(14, "fnt\\DejaVuSans.ttf");
    CLabelSprite label(nullptr, font);
    label.set_texture(quadrants());
    label.set_tile_width(32);
    label.set_tile_height(32);
    label.set_last_frame(3);
    label.set_frame(2);  // blue background
    label.set_size(100, 30);
    label.set_position(20, 20);
    label.set_text_color({255, 255, 255});
    label.set_text("MMMM");
    label.set_text_box(0, 0, 100, 30);
    show(label);
    EXPECT_PIXEL(22, 22, kBlue);
    int white = 0;
    for (int y = 20; y < 50; ++y) {
        for (int x = 20; x < 120; ++x) white += scene_pixel(x, y).r > 200 ? 1 : 0;
    }
    EXPECT_GT(white, 20);

    label.set_alpha(0);
    show(label);
    EXPECT_EQ(lit(10, 10, 130, 50), 0);
}

// Draws the whole surface, uploaded afresh each time, as labels did before they shaded only the
// pixels near their text and uploaded only what changed.
class WholeSurfaceLabel : public CLabelSprite {
public:
    using CLabelSprite::CLabelSprite;
    ~WholeSurfaceLabel() override { glDeleteTextures(1, &texture_); }
    void draw_text(SDL_Surface*) override {
        if (!text_surface) return;
        if (texture_ == 0) glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        const int w = text_surface->w, h = text_surface->h;
        glTexImage2D(GL_TEXTURE_2D, 0, 4, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, text_surface->pixels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        const fquad3d quad = fquad3d::from_rect(text_box.x, text_box.y, float(w), float(h), 0);
        draw_textured_quad(quad3d_to_global(quad), TextureRect{0, 0, 1, 1});
    }

private:
    GLuint texture_ = 0;
};

TEST_F(SpriteDisplayTest, LabelFrameEqualsTheWholeSurfaceDrawnAfterEveryTextChange) {
    CFont* font = game().get_font_factory()->get_font(14, "fnt\\DejaVuSans.ttf");
    CImageSprite backdrop, view;
    backdrop.set_texture(quadrants()), backdrop.set_size(float(kWidth), float(kHeight));
    view.set_position(7.5f, 11.25f), view.set_scale(1.3f);  // a world view scaling its labels, off the pixel grid
    CLabelSprite label(&view, font);
    WholeSurfaceLabel reference(&view, font);
    CLabelSprite* const both[] = {&label, &reference};
    for (CLabelSprite* l : both)
        l->set_position(20.4f, 30.7f), l->set_text_box(0, 0, 180, 60), l->set_text_color({250, 240, 10});
    auto frame_of = [&](CLabelSprite& drawn) {
        game().on_render = [&] { backdrop.draw(game().screen), drawn.draw(game().screen); };
        game().run_some_frames(1);
        return scene_frame();
    };
    using Look = std::tuple<const char*, int, bool>;  // text, horizontal alignment, multiline
    for (auto [text, horizontal, multiline] :
         {Look{"Player 3: 100 HP", 0, false}, Look{"P3: 5 HP", 0, false}, Look{"", 0, false},
          Look{"first line\nand a longer second one", 2, true}, Look{"a\n\nb", 1, true},
          Look{"WWWWWWWWWWWWWWWWWWWWWWWWWWW", 0, false}, Look{"back", 1, false}}) {
        for (CLabelSprite* l : both)
            l->set_multiline(multiline), l->set_horizontal_alignment(horizontal), l->set_text(text);
        EXPECT_TRUE(frame_of(label) == frame_of(reference)) << "after \"" << text << "\"";
    }
}

TEST_F(SpriteDisplayTest, ParticleEngineDrawsLiveParticles) {
    ParticleEffectSettings settings;
    auto* prototype = new CParticleSprite();
    prototype->set_texture(quadrants());
    prototype->set_tile_width(32);
    prototype->set_tile_height(32);
    prototype->set_last_frame(3);
    prototype->set_frame(3);  // white
    prototype->set_size(20, 20);
    settings.prototypes.push_back(prototype);
    settings.life_time = 0.5f;

    CParticleEngine engine;
    int32_t index = engine.add_effect();
    engine.get_effect(index)->settings = &settings;
    engine.spawn_effect(index, 1, 0, 160, 120, 0);
    show(engine);
    EXPECT_PIXEL(160, 120, kWhite);
    EXPECT_PIXEL(145, 120, kBlack);

    engine.set_visible(false);
    show(engine);
    EXPECT_PIXEL(160, 120, kBlack);
    engine.set_visible(true);

    engine.update(0.5f);  // the life ends: no longer drawn though not yet deleted
    EXPECT_EQ(engine.get_effect(index)->particles.size(), 1u);
    show(engine);
    EXPECT_PIXEL(160, 120, kBlack);
    engine.clear_effects();
    delete prototype;
}

TEST_F(SpriteDisplayTest, ShaderProgramDrawsInPlaceOfTheOwnTexture) {
    CShaderFactory* shaders = game().get_shader_factory();
    int index = shaders->create_program({shaders->get_shader(GL_VERTEX_SHADER, "shader\\postprocess.vert"),
                                         shaders->get_shader(GL_FRAGMENT_SHADER, "shader\\postprocess.frag")});
    CShaderProgram* program = shaders->get_program(index);
    ASSERT_NE(program, nullptr);
    ASSERT_NE(program->get_id(), 0u);
    ASSERT_TRUE(program->set_texture("texture", quadrants()));
    CImageSprite s;
    s.set_texture(bordered());  // gives the frame rectangle; the program's texture is sampled
    s.set_shader_program(program);
    s.set_position(20, 20);
    s.set_size(64, 64);
    GLint current = -1;
    game().on_render = [&] {
        s.draw(game().screen);
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    };
    game().run_some_frames(1);
    EXPECT_PIXEL(25, 25, kRed);
    EXPECT_PIXEL(78, 78, kWhite);
    EXPECT_EQ(current, 0);  // unbound again after the draw
}
