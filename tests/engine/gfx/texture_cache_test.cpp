// The texture cache and the load/upload bookkeeping. These run without a GL context: GL calls
// then go to the no-op dispatch of the GL library (texture names stay 0), which leaves the
// logic under test - keys, reloading, validity, surfaces - to be checked on its own.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cstdio>

#include "engine/gfx/texture_manager.h"
#include "support/media_test_support.h"
#include "support/test_support.h"

namespace {

// A 24-bit BMP of the given size, every pixel the same colour.
void write_bmp(const std::string& path, int w, int h, uint8_t red) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    ASSERT_NE(s, nullptr);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, red, 0, 0));
    ASSERT_EQ(SDL_SaveBMP(s, path.c_str()), 0);
    SDL_FreeSurface(s);
}

SDL_Surface* make_surface(int bits) {
    if (bits == 8) return SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 8, 0, 0, 0, 0);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
}

}  // namespace

TEST(TextureCache, KeysByLowerCasedPath) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* a = manager.get_texture(true, false, "GFX\\Test\\Quadrants.png");
    CTexture* b = manager.get_texture(true, false, "gfx\\test\\quadrants.PNG");
    EXPECT_EQ(a, b);
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(a->get_name(), "gfx\\test\\quadrants.png");
    EXPECT_TRUE(a->is_valid());
    EXPECT_EQ(a->get_image_width(), 64);
    EXPECT_EQ(a->get_pixel_depth(), 4);
    EXPECT_EQ(log.count("Texture gfx\\test\\quadrants.png loaded successfully."), 1);
    EXPECT_EQ(manager.find_texture("gfx\\test\\quadrants.png"), 0);
    EXPECT_EQ(manager.find_texture("GFX\\test\\quadrants.png"), -1);  // callers pass lower case
}

TEST(TextureCache, FailedLoadStaysCachedAndIsReturnedAgain) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* missing = manager.get_texture(true, false, "gfx\\no_such_file.png");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->is_valid());
    EXPECT_EQ(missing->get_image_width(), 0);
    EXPECT_EQ(manager.get_texture(true, false, "GFX\\No_Such_File.png"), missing);
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(log.count("Failed to load texture from gfx\\no_such_file.png, SDL reports: \n"), 1);
}

TEST(TextureCache, ReadOnlyTurnsWritableInPlace) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* texture = manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    EXPECT_TRUE(texture->is_read_only());
    EXPECT_EQ(texture->get_surface(), nullptr);
    EXPECT_TRUE(log.contains("Tried to access read-only surface. This might cause an exception."));

    log.clear();
    EXPECT_EQ(manager.get_texture(false, false, "gfx\\test\\quadrants.png"), texture);
    EXPECT_EQ(manager.get_texture(false, false, "gfx\\test\\quadrants.png"), texture);
    EXPECT_EQ(log.count("Reloading read-only texture gfx\\test\\quadrants.pngfor write access."), 1);
    EXPECT_FALSE(texture->is_read_only());
    ASSERT_NE(texture->get_surface(), nullptr);
    EXPECT_EQ(texture->get_surface()->w, 64);
    EXPECT_TRUE(texture->is_valid());

    // Asking a writable texture read-only keeps it writable.
    EXPECT_EQ(manager.get_texture(true, false, "gfx\\test\\quadrants.png"), texture);
    EXPECT_FALSE(texture->is_read_only());
    EXPECT_NE(texture->get_surface(), nullptr);
}

// Sprites keep the pointer they were given; reloading must not leave them holding a freed object.
TEST(TextureCache, ReloadReadsTheFileIntoTheSameObject) {
    test_support::ScratchDir dir;
    std::string path = dir.file("reload.bmp");
    write_bmp(path, 8, 8, 200);
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* held_by_sprite = manager.get_texture(false, false, path);
    ASSERT_TRUE(held_by_sprite->is_valid());
    EXPECT_EQ(held_by_sprite->get_image_width(), 8);

    write_bmp(path, 16, 4, 10);
    CTexture* reloaded = manager.get_texture(false, true, path);
    EXPECT_EQ(reloaded, held_by_sprite);
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(held_by_sprite->get_image_width(), 16);
    EXPECT_EQ(held_by_sprite->get_image_height(), 4);
    EXPECT_TRUE(held_by_sprite->is_valid());
    EXPECT_TRUE(held_by_sprite->is_linear_filtering());
    EXPECT_TRUE(held_by_sprite->is_clamped());

    // Reloading takes this call's read-only choice.
    manager.get_texture(true, true, path);
    EXPECT_TRUE(held_by_sprite->is_read_only());
    EXPECT_EQ(held_by_sprite->get_image_width(), 16);  // stored size without a surface

    // A reload that fails leaves the object invalid, still cached and still the same.
    std::remove(path.c_str());
    EXPECT_EQ(manager.get_texture(false, true, path), held_by_sprite);
    EXPECT_FALSE(held_by_sprite->is_valid());
}

TEST(TextureCache, NonPowerOfTwoWarnsAndIsUsable) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* texture = manager.get_texture(true, false, "gfx\\test\\npot_100x60.png");
    EXPECT_TRUE(log.contains("Texture measurements are not a power of 2."));
    EXPECT_TRUE(texture->is_valid());
    EXPECT_EQ(texture->get_image_width(), 100);
    EXPECT_EQ(texture->get_image_height(), 60);
}

// GL has no upload format for palette pixels: such a texture must not claim to be usable.
TEST(TextureCache, PaletteImageIsNotValid) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* texture = manager.get_texture(false, false, "gfx\\test\\palette.png");
    EXPECT_TRUE(log.contains("The image is not truecolor. This will cause problems."));
    EXPECT_FALSE(texture->is_valid());
    EXPECT_EQ(texture->get_pixel_format(), 0);

    // A truecolor surface makes it valid, a palette surface invalid again.
    texture->set_surface(make_surface(32));
    EXPECT_TRUE(texture->is_valid());
    EXPECT_EQ(texture->get_pixel_depth(), 4);
    texture->set_surface(make_surface(8));
    EXPECT_FALSE(texture->is_valid());
}

TEST(TextureCache, SurfaceRulesOfReadOnlyAndNull) {
    test_support::LogCapture log;
    CTextureManager manager;
    CTexture* read_only = manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    SDL_Surface* spare = make_surface(32);
    read_only->set_surface(spare);
    EXPECT_TRUE(log.contains("Trying to set surface of a read only texture, ignoring."));
    EXPECT_EQ(read_only->get_image_width(), 64);
    SDL_FreeSurface(spare);  // refused, so still ours

    CTexture* writable = manager.get_texture(false, false, "gfx\\test\\npot_100x60.png");
    SDL_Surface* held = writable->get_surface();
    writable->set_surface(nullptr);
    EXPECT_TRUE(log.contains("Trying to set texture surface to NULL, ignoring."));
    EXPECT_EQ(writable->get_surface(), held);
    writable->set_surface(held);  // the same surface again only uploads it
    EXPECT_EQ(writable->get_surface(), held);
    EXPECT_TRUE(writable->is_valid());

    log.clear();
    read_only->upload();
    read_only->update_area(0, 0, 4, 4);
    EXPECT_EQ(log.count("Tried to update read-only texture. Ignoring."), 2);
}

TEST(TextureCache, UnloadByPath) {
    test_support::LogCapture log;
    CTextureManager manager;
    manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    CTexture* second = manager.get_texture(true, false, "gfx\\test\\npot_100x60.png");
    EXPECT_FALSE(manager.unload_texture("gfx\\test\\unknown.png"));
    EXPECT_EQ(manager.size(), 2u);
    EXPECT_TRUE(manager.unload_texture("GFX\\TEST\\QUADRANTS.PNG"));
    EXPECT_TRUE(log.contains("Texture gfx\\test\\quadrants.png unloaded successfully."));
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(manager.find_texture("gfx\\test\\npot_100x60.png"), 0);  // moved down one place
    EXPECT_EQ(manager.get_texture(true, false, "gfx\\test\\npot_100x60.png"), second);
    manager.unload_all();
    EXPECT_EQ(manager.size(), 0u);
    EXPECT_TRUE(log.contains("All textures unloaded."));
}

TEST(TextureCache, ABorrowedSurfaceIsDrawnButNeverFreed) {
    test_support::LogCapture log;
    SDL_Surface* borrowed = make_surface(32);
    SDL_Surface* owned = make_surface(32);
    {
        CTextureManager manager;
        CTexture* texture = manager.get_texture(false, false, "gfx\\test\\quadrants.png");
        texture->set_surface(borrowed, false);
        EXPECT_EQ(texture->get_surface(), borrowed);
        EXPECT_EQ(texture->get_image_width(), 4);
        // Reloading lets go of it and reads the texture's own image.
        manager.get_texture(false, true, "gfx\\test\\quadrants.png");
        EXPECT_EQ(texture->get_image_width(), 64);
        // Replacing it with another surface, then the texture going, leaves it alone too.
        texture->set_surface(borrowed, false);
        texture->set_surface(owned);
        texture->set_surface(borrowed, false);
        EXPECT_TRUE(manager.unload_texture("gfx\\test\\quadrants.png"));
        // A texture whose file fails to load lets go of it as well.
        CTexture* missing = manager.get_texture(false, false, "gfx\\no_such_file.png");
        missing->set_surface(borrowed, false);
        missing->load("gfx\\no_such_file.png");
        EXPECT_EQ(missing->get_surface(), nullptr);
        // The manager's clear frees only what its textures own.
        missing->set_surface(borrowed, false);
    }
    // Still ours: the sanitizer reports a use after free or a second free here otherwise.
    SDL_FillRect(borrowed, nullptr, 0);
    EXPECT_EQ(borrowed->w, 4);
    SDL_FreeSurface(borrowed);
}
