// Text sprites: when they render, what size their surface has and what lands in it. The text
// is rendered into a surface without GL; the upload waits for a draw.
#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

#include <limits>

#include "engine/gfx/font.h"
#include "engine/scene/label_sprite.h"

namespace {

class CountingLabel : public CLabelSprite {
public:
    using CLabelSprite::CLabelSprite;
    void render_text() override {
        ++renders;
        CLabelSprite::render_text();
    }
    int renders = 0;
};

class LabelSpriteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(TTF_Init(), 0); }
    static void TearDownTestSuite() { TTF_Quit(); }

    CFont* font() { return fonts_.get_font(14, "fnt\\DejaVuSans.ttf"); }

    // Pixels with some alpha, inside or outside the first w x h pixels of the surface.
    static int inked(SDL_Surface* s, int w, int h, bool inside) {
        int n = 0;
        for (int y = 0; y < s->h; ++y) {
            for (int x = 0; x < s->w; ++x) {
                bool in = x < w && y < h;
                Uint32 p = static_cast<Uint32*>(s->pixels)[y * s->pitch / 4 + x];
                if (in == inside && (p >> 24) != 0) ++n;
            }
        }
        return n;
    }

    CFontFactory fonts_;
};

}  // namespace

TEST_F(LabelSpriteTest, SurfaceSidesArePowersOfTwo) {
    EXPECT_EQ(CLabelSprite::surface_size_for(100), 128);
    EXPECT_EQ(CLabelSprite::surface_size_for(20), 32);
    EXPECT_EQ(CLabelSprite::surface_size_for(64), 64);
    EXPECT_EQ(CLabelSprite::surface_size_for(64.9f), 64);
    EXPECT_EQ(CLabelSprite::surface_size_for(1), 1);
    // Below one pixel there is no logarithm to take; the surface is one pixel.
    EXPECT_EQ(CLabelSprite::surface_size_for(0.5f), 1);
    EXPECT_EQ(CLabelSprite::surface_size_for(0), 1);
    EXPECT_EQ(CLabelSprite::surface_size_for(-30), 1);
    EXPECT_EQ(CLabelSprite::surface_size_for(std::numeric_limits<float>::quiet_NaN()), 1);
    EXPECT_EQ(CLabelSprite::surface_size_for(1e9f), 8192);
}

TEST_F(LabelSpriteTest, RenderedSurfaceFollowsTheTextBox) {
    CLabelSprite label(nullptr, font());
    label.set_text_box(0, 0, 100, 20);
    ASSERT_NE(label.get_text_surface(), nullptr);
    EXPECT_EQ(label.get_text_surface()->w, 128);
    EXPECT_EQ(label.get_text_surface()->h, 32);
    label.set_text_box(0, 0, 0.25f, 0);
    ASSERT_NE(label.get_text_surface(), nullptr);
    EXPECT_EQ(label.get_text_surface()->w, 1);
    EXPECT_EQ(label.get_text_surface()->h, 1);
}

TEST_F(LabelSpriteTest, OnlyChangesOfTheLookRenderAgain) {
    CountingLabel label(nullptr, font());
    EXPECT_EQ(label.renders, 0);  // nothing rendered before the first setter
    EXPECT_EQ(label.get_text_surface(), nullptr);
    label.set_text("Hello");
    EXPECT_EQ(label.renders, 1);
    label.set_text("Hello");
    EXPECT_EQ(label.renders, 1);
    label.set_text_box(5, 5, 1, 1);  // same size, moved
    EXPECT_EQ(label.renders, 1);
    EXPECT_EQ(label.get_text_box().x, 5);
    label.set_text_box(5, 5, 80, 20);
    EXPECT_EQ(label.renders, 2);
    label.set_text_color({0, 0, 0});  // the same colour still renders
    EXPECT_EQ(label.renders, 3);
    label.set_horizontal_alignment(0);
    label.set_vertical_alignment(0);
    label.set_line_spacing(0);
    label.set_multiline(false);
    EXPECT_EQ(label.renders, 3);
    label.set_horizontal_alignment(1);
    label.set_vertical_alignment(2);
    label.set_line_spacing(3);
    label.set_multiline(true);
    EXPECT_EQ(label.renders, 7);
    label.set_font(font());
    EXPECT_EQ(label.renders, 8);
}

TEST_F(LabelSpriteTest, SizeChangesMoveTheTextBox) {
    CountingLabel label(nullptr, font());
    label.set_size(100, 30);
    label.set_text_box(2, 3, 100, 30);
    int before = label.renders;
    label.set_width(90);
    EXPECT_EQ(label.get_width(), 90);
    EXPECT_EQ(label.get_text_box().width, 90);
    EXPECT_EQ(label.get_text_box().x, 2);
    EXPECT_EQ(label.renders, before + 1);
    label.set_height(40);
    EXPECT_EQ(label.get_text_box().height, 40);
    label.set_width(-5);  // refused: neither changes
    EXPECT_EQ(label.get_width(), 90);
    EXPECT_EQ(label.get_text_box().width, 90);
    EXPECT_EQ(label.renders, before + 2);
}

TEST_F(LabelSpriteTest, TextLandsInsideTheBoxOnly) {
    CLabelSprite label(nullptr, font());
    label.set_horizontal_alignment(1);
    label.set_vertical_alignment(1);
    label.set_text("WWWWWWWWWWWWWWWWWWWW");  // far wider than the box
    label.set_text_box(0, 0, 40, 20);
    SDL_Surface* s = label.get_text_surface();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 64);
    EXPECT_GT(inked(s, 40, 20, true), 20);
    // The blit is not cut at the box: the draw clips what lies beyond it.
    EXPECT_GT(inked(s, 40, 20, false), 0);
}

TEST_F(LabelSpriteTest, NoFontOrNoTextDrawsNothing) {
    CLabelSprite bare;
    bare.set_text("Hello");
    bare.set_text_box(0, 0, 50, 20);
    EXPECT_EQ(bare.get_text_surface(), nullptr);

    CLabelSprite empty(nullptr, font());
    empty.set_text_box(0, 0, 50, 20);
    ASSERT_NE(empty.get_text_surface(), nullptr);
    EXPECT_EQ(inked(empty.get_text_surface(), 64, 32, true), 0);
}

TEST_F(LabelSpriteTest, CopyRendersItsOwnSurface) {
    CLabelSprite label(nullptr, font());
    label.set_text("Copy me");
    label.set_text_box(0, 0, 100, 20);
    label.set_x(12);
    CLabelSprite copy(label);
    ASSERT_NE(copy.get_text_surface(), nullptr);
    EXPECT_NE(copy.get_text_surface(), label.get_text_surface());
    EXPECT_EQ(copy.get_text(), "Copy me");
    EXPECT_EQ(copy.get_x(), 12);
    EXPECT_EQ(copy.get_text_surface()->w, 128);
}
