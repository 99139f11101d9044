// Textures and render textures with a real GL context: what ends up in the framebuffers.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <memory>
#include <utility>
#include <vector>

#include "engine/gfx/texture_manager.h"
#include "engine/image/color_grid.h"
#include "support/display_game.h"
#include "support/media_test_support.h"

using namespace display;

namespace {

class TextureDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { game().reset_probe(); }
    void TearDown() override { game().reset_probe(); }

    // The texture's level 0 as GL holds it, read back as tightly packed RGB rows.
    static std::vector<uint8_t> texture_rgb(ITexture& texture) {
        int w = texture.get_image_width(), h = texture.get_image_height();
        std::vector<uint8_t> out(std::size_t(w) * h * 3);
        texture.bind();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, out.data());
        texture.unbind();
        return out;
    }

    // Every pixel of the texture in GL equals the surface's pixel.
    static void expect_texture_matches_surface(CTexture& texture) {
        SDL_Surface* s = texture.get_surface();
        ASSERT_NE(s, nullptr);
        std::vector<uint8_t> gl = texture_rgb(texture);
        int mismatches = 0;
        for (int y = 0; y < s->h; ++y) {
            for (int x = 0; x < s->w; ++x) {
                ColorRGBA want = get_surface_pixel(s, x, y);
                const uint8_t* got = &gl[(std::size_t(y) * s->w + x) * 3];
                if (got[0] != want.r || got[1] != want.g || got[2] != want.b) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
};

}  // namespace

TEST_F(TextureDisplayTest, TextureDrawnIntoTheSceneAndPresented) {
    CTextureManager manager;
    CTexture* texture = manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    ASSERT_TRUE(texture->is_valid());
    EXPECT_NE(texture->get_id(), 0u);
    EXPECT_EQ(texture->get_pixel_format(), GL_RGBA);
    game().on_render = [&] { draw_texture(*texture, 10, 20, 64, 64); };
    game().run_some_frames(1);

    const std::pair<int, int> points[] = {{26, 36}, {58, 36}, {26, 68}, {58, 68}};
    const ColorRGBA colours[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    for (int i = 0; i < 4; ++i) {
        auto [x, y] = points[i];
        EXPECT_TRUE(near(scene_pixel(x, y), colours[i])) << x << "," << y << " " << describe(scene_pixel(x, y));
        EXPECT_TRUE(near_rgb(window_pixel(x, y), colours[i])) << x << "," << y << " " << describe(window_pixel(x, y));
    }
    EXPECT_EQ(scene_pixel(200, 150), (ColorRGBA{0, 0, 0, 0}));
    EXPECT_TRUE(near_rgb(window_pixel(200, 150), ColorRGBA{0, 0, 0, 255}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureDisplayTest, FilteringAndWrappingSetters) {
    CTextureManager manager;
    CTexture* texture = manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    GLint min = 0, wrap = 0;
    texture->bind();
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(min, GL_LINEAR);
    EXPECT_EQ(wrap, GL_CLAMP);
    texture->set_linear_filtering(false);
    texture->set_clamped(false);
    texture->bind();
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(min, GL_NEAREST);
    EXPECT_EQ(wrap, GL_REPEAT);
    texture->unbind();
}

// Rows of 3-byte pixels are padded in memory; GL must read them with the matching alignment.
TEST_F(TextureDisplayTest, ThreeByteRowsUploadUnskewed) {
    CTextureManager manager;
    CTexture* texture = manager.get_texture(false, false, "gfx\\test\\odd_width_rgb.png");
    ASSERT_TRUE(texture->is_valid());
    ASSERT_EQ(texture->get_pixel_depth(), 3);
    EXPECT_EQ(texture->get_pixel_format(), GL_RGB);
    expect_texture_matches_surface(*texture);

    // A partial upload of an odd number of columns, the rectangle partly off the image.
    SDL_Surface* s = texture->get_surface();
    for (int y = 0; y < s->h; ++y) {
        for (int x = 0; x < s->w; ++x) {
            uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 3;
            p[0] = uint8_t(p[0] ^ 0x5A);
            p[1] = uint8_t(x * 7 + y);
        }
    }
    texture->update_area(-2, 1, 7, 20);  // columns 0..4, rows 1..6
    std::vector<uint8_t> gl = texture_rgb(*texture);
    int changed_outside = 0, stale_inside = 0;
    for (int y = 0; y < s->h; ++y) {
        for (int x = 0; x < s->w; ++x) {
            ColorRGBA want = get_surface_pixel(s, x, y);
            const uint8_t* got = &gl[(std::size_t(y) * s->w + x) * 3];
            bool same = got[0] == want.r && got[1] == want.g && got[2] == want.b;
            bool inside = x < 5 && y >= 1;
            if (inside && !same) ++stale_inside;
            if (!inside && same) ++changed_outside;
        }
    }
    EXPECT_EQ(stale_inside, 0);
    EXPECT_EQ(changed_outside, 0);
    texture->update_area(0, 0, s->w, s->h);
    expect_texture_matches_surface(*texture);
}

// A surface whose pitch no unpack alignment describes (rows 5 pixels of 3 bytes, 20 bytes apart).
TEST_F(TextureDisplayTest, UnusualPitchUploads) {
    CTextureManager manager;
    CTexture* texture = manager.get_texture(false, false, "gfx\\test\\quadrants.png");
    static std::vector<uint8_t> pixels(20 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 11);
    SDL_Surface* odd = SDL_CreateRGBSurfaceFrom(pixels.data(), 5, 3, 24, 20, 0x0000FF, 0x00FF00, 0xFF0000, 0);
    ASSERT_NE(odd, nullptr);
    texture->set_surface(odd);
    ASSERT_TRUE(texture->is_valid());
    EXPECT_EQ(texture->get_image_width(), 5);
    expect_texture_matches_surface(*texture);
}

// A repeated upload writes into the image GL holds; an image of another size replaces it.
TEST_F(TextureDisplayTest, ReuploadsFollowTheSurfaceAndItsSize) {
    auto rgb = [](int w, int h, uint8_t seed) {
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < w * 3; ++i)
                static_cast<uint8_t*>(s->pixels)[y * s->pitch + i] = uint8_t(seed + y * 31 + i);
        return s;
    };
    CTexture texture(rgb(8, 4, 0));
    SDL_Surface* s = texture.get_surface();
    for (int i = 0; i < s->pitch * s->h; ++i) static_cast<uint8_t*>(s->pixels)[i] ^= 0xA5;
    texture.upload();
    expect_texture_matches_surface(texture);
    for (auto [w, h] : {std::pair{16, 8}, std::pair{4, 2}, std::pair{5, 3}}) {
        texture.set_surface(rgb(w, h, uint8_t(w)));
        GLint gl_size[2] = {0, 0};
        texture.bind();
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, gl_size);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, gl_size + 1);
        EXPECT_TRUE(gl_size[0] == w && gl_size[1] == h);
        expect_texture_matches_surface(texture);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureDisplayTest, UpdateAreaRefusals) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* texture = manager.get_texture(false, false, "gfx\\test\\quadrants.png");
    texture->update_area(64, 0, 10, 10);
    texture->update_area(-10, 0, 10, 10);
    EXPECT_EQ(log.count("Tried to update invalid texture area. Ignoring."), 2);
    CTexture* palette = manager.get_texture(false, false, "gfx\\test\\palette.png");
    EXPECT_FALSE(palette->is_valid());
    palette->update_area(0, 0, 4, 4);
    EXPECT_TRUE(log.contains("Tried to update invalid texture. Ignoring."));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));  // nothing GL cannot take was handed over
}

TEST_F(TextureDisplayTest, RenderTextureDrawnIntoAndFreed) {
    auto target = std::make_unique<CRenderTexture>(64, 32);
    ASSERT_TRUE(target->is_valid());
    EXPECT_EQ(target->get_pixel_depth(), 32);
    EXPECT_FALSE(target->set_viewport(0, 10));
    EXPECT_FALSE(target->set_viewport(10, -1));

    GLint binding_after_end = -1, binding_during_nested = -1;
    bool valid_while_target = true;
    GLint viewport_after[4] = {0, 0, 0, 0};
    game().on_render = [&] {
        target->begin_render();
        valid_while_target = target->is_valid();
        // y grows upwards in a render texture's projection: this fills its left half.
        fill_rect(0, 0, 32, 32, ColorRGBA{0, 200, 100, 255});
        target->begin_render();  // nested: still returns to the scene afterwards
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding_during_nested);
        target->end_render();
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding_after_end);
        glGetIntegerv(GL_VIEWPORT, viewport_after);
        draw_texture(*target, 100, 50, 64, 32);
    };
    game().run_some_frames(1);
    EXPECT_FALSE(valid_while_target);
    EXPECT_TRUE(target->is_valid());
    EXPECT_EQ(GLuint(binding_during_nested), target->get_framebuffer());
    EXPECT_EQ(GLuint(binding_after_end), game().framebuffer);
    EXPECT_EQ(std::vector<GLint>(viewport_after, viewport_after + 4), (std::vector<GLint>{0, 0, kWidth, kHeight}));

    EXPECT_TRUE(near(framebuffer_pixel(target->get_framebuffer(), 10, 10, 32), ColorRGBA{0, 200, 100, 255}));
    EXPECT_EQ(framebuffer_pixel(target->get_framebuffer(), 50, 10, 32), (ColorRGBA{0, 0, 0, 0}));
    EXPECT_TRUE(near(scene_pixel(110, 60), ColorRGBA{0, 200, 100, 255})) << describe(scene_pixel(110, 60));
    EXPECT_EQ(scene_pixel(150, 60), (ColorRGBA{0, 0, 0, 0}));
    EXPECT_TRUE(near_rgb(window_pixel(110, 60), ColorRGBA{0, 200, 100, 255}));

    GLuint framebuffer = target->get_framebuffer();
    GLuint renderbuffer = target->get_renderbuffer();
    GLuint texture = target->get_id();
    target.reset();
    EXPECT_EQ(glIsFramebuffer(framebuffer), GL_FALSE);
    EXPECT_EQ(glIsRenderbuffer(renderbuffer), GL_FALSE);
    EXPECT_EQ(glIsTexture(texture), GL_FALSE);
}
