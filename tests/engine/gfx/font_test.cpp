#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

#include <tuple>

#include "engine/gfx/font.h"
#include "support/media_test_support.h"

namespace {

const char* const kFontPath = "fnt\\DejaVuSans.ttf";

class FontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(TTF_Init(), 0); }
    static void TearDownTestSuite() { TTF_Quit(); }

    void TearDown() override { SDL_FreeSurface(target); }
    SDL_Surface* make_target(int w, int h) {
        target = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        SDL_FillRect(target, nullptr, 0);
        return target;
    }
    SDL_Surface* target = nullptr;
    CFont font{16, kFontPath};

    // Pixels with any alpha inside (or, with `inside` false, outside) the rectangle.
    static int inked(SDL_Surface* s, const TextArea& a, bool inside) {
        int n = 0;
        for (int y = 0; y < s->h; ++y) {
            for (int x = 0; x < s->w; ++x) {
                bool in = x >= a.x && x < a.x + a.w && y >= a.y && y < a.y + a.h;
                Uint32 p = static_cast<Uint32*>(s->pixels)[y * s->pitch / 4 + x];
                if (in == inside && (p >> 24) != 0) ++n;
            }
        }
        return n;
    }
};

}  // namespace

TEST_F(FontTest, FactoryKeysByLowerCasedPathAndSize) {
    test_support::LogCapture log;
    CFontFactory factory;
    CFont* a = factory.get_font(16, "FNT\\DejaVuSans.ttf");
    CFont* b = factory.get_font(16, "fnt\\dejavusans.TTF");
    CFont* c = factory.get_font(24, kFontPath);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(factory.size(), 2u);
    EXPECT_TRUE(a->is_loaded());
    EXPECT_EQ(a->get_name(), "fnt\\dejavusans.ttf");
    EXPECT_EQ(c->get_point_size(), 24);
    EXPECT_GT(c->get_text_size("Hello").y, a->get_text_size("Hello").y);
    factory.remove_all_fonts();
    EXPECT_EQ(factory.size(), 0u);
    EXPECT_TRUE(log.contains("All fonts removed. Why, WHY would you do that?!"));
}

TEST_F(FontTest, MissingFileOrEmptyTextDrawsAndMovesNothing) {
    test_support::LogCapture log;
    CFontFactory factory;
    CFont* font = factory.get_font(12, "fnt\\Missing.ttf");
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(font->is_loaded());
    EXPECT_TRUE(log.contains("Failed to load font file fnt\\missing.ttf, SDL reports: "));
    EXPECT_EQ(factory.get_font(12, "fnt\\missing.ttf"), font);
    const ivec2d none = font->get_text_size("abc");
    EXPECT_TRUE(none.x == 0 && none.y == 0);
    make_target(64, 32);
    // An unloaded font with text, and a loaded one with none, leave the area and the target alone.
    const struct {
        CFont* font;
        const char *line, *lines;
        int align, spacing;
        TextArea area;
    } rows[] = {{font, "abc", "a\nb", 1, 2, {1, 2, 30, 20}}, {&this->font, "", "", 0, 4, {3, 4, 50, 20}}};
    for (const auto& row : rows) {
        TextArea area = row.area;
        row.font->render_line(255, 255, 255, &area, row.align, row.align, target, row.line);
        row.font->render_multiline(255, 255, 255, &area, row.align, row.align, row.spacing, target, row.lines);
        EXPECT_EQ(std::tie(area.x, area.w), std::tie(row.area.x, row.area.w)) << row.line;
        if (row.font->is_loaded()) {
            EXPECT_EQ(std::tie(area.y, area.h), std::tie(row.area.y, row.area.h));
        }
        EXPECT_EQ(inked(target, TextArea{0, 0, 64, 32}, true), 0) << row.line;
    }
}

TEST_F(FontTest, LineIsPlacedAndDrawnInsideTheReportedArea) {
    ivec2d size = font.get_text_size("Hello");
    ASSERT_GT(size.x, 0);
    make_target(200, 100);
    TextArea area{10, 20, 150, 60};
    font.render_line(ColorRGB{255, 255, 255}, &area, 0, 0, target, "Hello");
    EXPECT_EQ(area.x, int((150 - size.x) * 0.5 + 10));
    EXPECT_EQ(area.y, int((60 - size.y) * 0.5 + 20));
    EXPECT_EQ(area.w, size.x);
    EXPECT_EQ(area.h, size.y);
    EXPECT_GT(inked(target, area, true), 20);
    EXPECT_EQ(inked(target, area, false), 0);

    TextArea bottom_right{0, 0, 200, 100};
    font.render_line(255, 0, 0, &bottom_right, 2, 2, target, "Hello");
    EXPECT_EQ(bottom_right.x, 200 - size.x);
    EXPECT_EQ(bottom_right.y, 100 - size.y);
}

TEST_F(FontTest, AreaIsCutToTheTarget) {
    ivec2d size = font.get_text_size("A line wider than the box");
    ASSERT_GT(size.x, 80);
    make_target(60, 30);
    // Right-aligned in a box wider than the target.
    TextArea area{0, 0, 80, 30};
    font.render_line(255, 255, 255, &area, 1, 2, target, "A line wider than the box");
    EXPECT_EQ(area.x, 80 - size.x);
    EXPECT_EQ(area.w, 60 - area.x);
    EXPECT_EQ(area.h, size.y);

    TextArea outside{100, 0, 50, 30};
    font.render_line(255, 255, 255, &outside, 1, 1, target, "abc");
    EXPECT_EQ(outside.x, 100);
    EXPECT_EQ(outside.w, 0);
    TextArea below{0, 40, 50, 30};
    font.render_line(255, 255, 255, &below, 1, 1, target, "abc");
    EXPECT_EQ(below.h, 0);
}

TEST_F(FontTest, MultilineBlockSize) {
    ivec2d first = font.get_text_size("ab");
    ivec2d second = font.get_text_size("a longer second line");
    make_target(400, 200);
    TextArea area{0, 0, 400, 200};
    font.render_multiline(255, 255, 255, &area, 1, 1, 4, target, "ab\na longer second line");
    EXPECT_EQ(area.w, second.x);
    EXPECT_EQ(area.h, first.y + second.y + 4);
    EXPECT_GT(inked(target, area, true), 50);
    EXPECT_EQ(inked(target, area, false), 0);
}

// SDL_ttf renders no surface for an empty line; the block keeps the line's height.
TEST_F(FontTest, EmptyLineInsideABlock) {
    int line_height = font.get_text_size("a").y;
    make_target(200, 200);
    TextArea area{0, 0, 200, 200};
    font.render_multiline(255, 255, 255, &area, 1, 1, 3, target, "a\n\nb");
    EXPECT_EQ(area.h, 3 * line_height + 2 * 3);
    EXPECT_GT(inked(target, area, true), 0);

    TextArea trailing{0, 0, 200, 200};
    font.render_multiline(255, 255, 255, &trailing, 1, 1, 0, target, "a\n");
    EXPECT_EQ(trailing.h, 2 * line_height);
    TextArea only_breaks{5, 6, 7, 8};
    font.render_multiline(255, 255, 255, &only_breaks, 1, 1, 0, target, "\n\n");
    EXPECT_EQ(only_breaks.x, 5);  // nothing visible to place
    EXPECT_EQ(only_breaks.w, 7);
}
