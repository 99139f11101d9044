// Text drawn straight into the scene (no target surface).
#include <gtest/gtest.h>

#include "engine/gfx/font.h"
#include "support/display_game.h"

using namespace display;

namespace {

class TextDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { game().reset_probe(); }
    void TearDown() override { game().reset_probe(); }

    // Scene pixels with some light in the rectangle.
    static int lit(int x0, int y0, int w, int h) {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) n += scene_pixel(x, y).r > 60 ? 1 : 0;
        }
        return n;
    }
};

}  // namespace

TEST_F(TextDisplayTest, LineRenderedIntoTheScene) {
    CFont* font = game().get_font_factory()->get_font(20, "fnt\\DejaVuSans.ttf");
    ASSERT_TRUE(font->is_loaded());
    ivec2d size = font->get_text_size("Hello");
    TextArea area;
    game().on_render = [&] {
        area = TextArea{10, 100, 200, 40};
        font->render_line(255, 255, 255, &area, 1, 1, nullptr, "Hello");
    };
    game().run_some_frames(1);
    EXPECT_EQ(area.x, 10);
    EXPECT_EQ(area.y, 100);
    EXPECT_EQ(area.w, size.x);
    EXPECT_EQ(area.h, size.y);
    EXPECT_GT(lit(area.x, area.y, area.w, area.h), 40);
    EXPECT_EQ(lit(area.x + area.w + 2, 90, 60, 60), 0);
    EXPECT_EQ(lit(0, 0, kWidth, 95), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextDisplayTest, BlockWithAnEmptyLineRenderedIntoTheScene) {
    CFont* font = game().get_font_factory()->get_font(16, "fnt\\DejaVuSans.ttf");
    int line = font->get_text_size("a").y;
    TextArea area;
    game().on_render = [&] {
        area = TextArea{20, 20, 280, 200};
        font->render_multiline(255, 255, 255, &area, 1, 1, 2, nullptr, "first\n\nthird line");
    };
    game().run_some_frames(1);
    EXPECT_EQ(area.h, 3 * line + 4);
    EXPECT_GT(lit(20, 20, 100, line), 10);                 // first line
    EXPECT_EQ(lit(20, 20 + line + 4, 100, line - 4), 0);   // the empty one
    EXPECT_GT(lit(20, 20 + 2 * line + 4, 150, line), 10);  // third line
}
