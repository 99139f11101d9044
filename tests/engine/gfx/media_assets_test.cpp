// The generated and hand-written assets that the framework and the media classes load.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <regex>
#include <set>

#include "engine/core/files.h"
#include "engine/gfx/shader.h"
#include "engine/image/color_grid.h"
#include "platform/paths.h"
#include "support/media_test_support.h"
#include "support/shader_test_support.h"

TEST(MediaAssets, WindowIconLoadsThroughSdlImage) {
    SDL_Surface* icon = IMG_Load(platform::native_path(make_absolute_path("dravix.ico")).c_str());
    ASSERT_NE(icon, nullptr) << IMG_GetError();
    EXPECT_EQ(icon->w, 32);
    EXPECT_EQ(icon->h, 32);
    EXPECT_EQ(get_surface_pixel(icon, 0, 0).a, 0);      // clear corner
    EXPECT_EQ(get_surface_pixel(icon, 16, 16).a, 255);  // opaque middle
    SDL_FreeSurface(icon);
}

TEST(MediaAssets, DamageTextureIsClearInTheMiddleAndRedAtTheEdges) {
    ColorGrid grid;
    ASSERT_TRUE(load_image_colors("gfx\\damagetexture.png", grid));
    EXPECT_EQ(grid.width(), 256);
    EXPECT_EQ(grid.height(), 256);
    EXPECT_EQ(grid.at(128, 128).a, 0);
    EXPECT_GT(grid.at(0, 0).a, 150);
    EXPECT_GT(grid.at(0, 0).r, 150);
}

// Every uniform a shader declares appears again in its code, and the post-process shader has
// the uniforms the framework and the client set.
TEST(MediaAssets, ShadersAreVersion120AndUseEveryUniform) {
    for (const char* path : {"shader\\postprocess.frag", "shader\\postprocess.vert"}) {
        std::set<std::string> names = shader_test::check_uniforms_used(shader_test::read_source(path), path);
        if (std::string(path).find(".frag") != std::string::npos) {
            EXPECT_EQ(names, (std::set<std::string>{"texture", "texture_damage", "damagefade"}));
        }
    }
}

// Without a GL context no shader compiles, but the cache keys and the failure paths hold.
TEST(ShaderCache, KeysByAbsoluteLowerCasedPathWithoutContext) {
    test_support::LogCapture log;
    CShaderFactory factory;
    CShader* missing = factory.get_shader(GL_FRAGMENT_SHADER, "shader\\Missing.frag");
    EXPECT_EQ(factory.get_shader(GL_VERTEX_SHADER, "SHADER\\missing.FRAG"), missing);
    EXPECT_EQ(factory.shader_count(), 1u);
    EXPECT_EQ(missing->get_id(), 0u);
    EXPECT_EQ(missing->get_type(), GLenum(GL_FRAGMENT_SHADER));
    EXPECT_EQ(log.count("Failed to load shader from file "), 1);
    EXPECT_TRUE(log.contains("shader\\missing.frag."));

    CShader* present = factory.get_shader(GL_FRAGMENT_SHADER, "shader\\postprocess.frag");
    EXPECT_EQ(present->get_id(), 0u);
    EXPECT_TRUE(log.contains("Failed to compile shader "));

    int index = factory.create_program({present, missing});
    EXPECT_EQ(index, 0);
    ASSERT_NE(factory.get_program(index), nullptr);
    EXPECT_EQ(factory.get_program(index)->get_id(), 0u);
    EXPECT_TRUE(log.contains("Failed to create shader program."));
    EXPECT_EQ(factory.get_program(1), nullptr);
    EXPECT_EQ(factory.get_program(-1), nullptr);
    // A program with id 0 does nothing and refuses values.
    factory.get_program(index)->bind(true);
    factory.get_program(index)->unbind();
    EXPECT_FALSE(factory.get_program(index)->set_uniform("damagefade", 1.0f));
    EXPECT_FALSE(factory.get_program(index)->set_texture("texture", nullptr));
}
