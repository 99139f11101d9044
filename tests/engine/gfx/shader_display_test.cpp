// Shader programs and the post-process pass with a real GL context.
#include <gtest/gtest.h>

#include <vector>

#include "engine/gfx/shader.h"
#include "engine/gfx/texture_manager.h"
#include "support/display_game.h"
#include "support/media_test_support.h"
#include "support/test_support.h"

using namespace display;

namespace {

class ShaderDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { game().reset_probe(); }
    void TearDown() override { game().reset_probe(); }

    static CShaderFactory& factory() { return *game().get_shader_factory(); }
    static CShader* postprocess_frag() { return factory().get_shader(GL_FRAGMENT_SHADER, "shader\\postprocess.frag"); }
    static CShader* postprocess_vert() { return factory().get_shader(GL_VERTEX_SHADER, "shader\\postprocess.vert"); }

    // The post-process set up as the client does: damage texture, fade, scene on "texture".
    static CShaderProgram* post_process(const std::vector<CShader*>& shaders, ITexture* damage, float fade) {
        CShaderProgram* program = factory().get_program(factory().create_program(shaders));
        if (!program || program->get_id() == 0) return nullptr;
        program->set_texture("texture_damage", damage);
        program->set_uniform("damagefade", fade);
        const ShaderUniform* scene = program->find_uniform("texture");
        game().post_process_program = program;
        game().post_process_texture_unit = scene && scene->type == GL_SAMPLER_2D ? scene->unit : -1;
        return program;
    }

    // The overlay's colour at the scene's brightness, mixed in by the amount.
    static ColorRGBA flashed(ColorRGBA scene, ColorRGBA overlay, float amount) {
        const float light = (0.299f * scene.r + 0.587f * scene.g + 0.114f * scene.b) / 255.0f;
        const float lift = 0.4f + 0.6f * light, white = 153.0f * light * light;
        const auto tint = [&](int s, int o) { return uint8_t(s + (o * lift + white - s) * amount + 0.5f); };
        return {tint(scene.r, overlay.r), tint(scene.g, overlay.g), tint(scene.b, overlay.b), 255};
    }
};

const ColorRGBA kGrey{100, 100, 100, 255};

}  // namespace

TEST_F(ShaderDisplayTest, ShadersCompileAndAreCachedByPath) {
    test_support::LogCapture log;
    CShader* frag = postprocess_frag();
    EXPECT_NE(frag->get_id(), 0u);
    EXPECT_EQ(factory().get_shader(GL_FRAGMENT_SHADER, "SHADER\\PostProcess.frag"), frag);
    EXPECT_NE(postprocess_vert()->get_id(), 0u);

    test_support::ScratchDir dir;
    std::string broken = dir.write("broken.frag", "#version 120\nvoid main() { gl_FragColor = nope; }\n");
    CShader* bad = factory().get_shader(GL_FRAGMENT_SHADER, broken);
    EXPECT_EQ(bad->get_id(), 0u);
    EXPECT_TRUE(log.contains(", Error log:\n"));
    EXPECT_EQ(factory().get_shader(GL_FRAGMENT_SHADER, broken), bad);
}

TEST_F(ShaderDisplayTest, LinkingWithAMissingShader) {
    test_support::LogCapture log;
    int full = factory().create_program({postprocess_vert(), postprocess_frag()});
    ASSERT_NE(factory().get_program(full)->get_id(), 0u);
    EXPECT_FALSE(log.contains("Shader program linked successfully."));

    int partial = factory().create_program({postprocess_frag(), nullptr});
    EXPECT_NE(factory().get_program(partial)->get_id(), 0u);
    EXPECT_TRUE(
        log.contains("WARNING in class CShaderProgram: Not all shaders specified for program "
                     "creation were valid. Trying to build the program without them..."));
    EXPECT_TRUE(log.contains("STATUS in class CShaderProgram: Shader program linked successfully."));

    int none = factory().create_program({nullptr});
    EXPECT_EQ(factory().get_program(none)->get_id(), 0u);
    EXPECT_TRUE(log.contains("No valid shaders specified, failed to create shader program."));
}

TEST_F(ShaderDisplayTest, SamplersUniformsAndTheCurrentProgram) {
    test_support::LogCapture log;
    CShaderProgram* program = factory().get_program(factory().create_program({postprocess_frag()}));
    ASSERT_NE(program, nullptr);
    ASSERT_NE(program->get_id(), 0u);
    const ShaderUniform* scene = program->find_uniform("texture");
    const ShaderUniform* damage = program->find_uniform("texture_damage");
    const ShaderUniform* fade = program->find_uniform("damagefade");
    ASSERT_TRUE(scene && damage && fade);
    EXPECT_EQ(std::min(scene->unit, damage->unit), 0);
    EXPECT_EQ(std::max(scene->unit, damage->unit), 1);
    EXPECT_EQ(fade->unit, -1);
    EXPECT_EQ(program->get_uniforms().size(), 3u);

    EXPECT_FALSE(program->set_texture("damagefade", nullptr));
    EXPECT_FALSE(program->set_texture("nothing", nullptr));
    EXPECT_TRUE(program->set_texture("texture_damage", nullptr));
    EXPECT_FALSE(program->set_uniform("no_such_value", 1.0f));
    EXPECT_TRUE(
        log.contains("WARNING in class CShaderProgram: Tried to set value of non-existent variable no_such_value."));

    // Setting a value through a temporary bind leaves another program current.
    CShaderProgram* other = factory().get_program(factory().create_program({postprocess_vert(), postprocess_frag()}));
    glUseProgram(other->get_id());
    EXPECT_TRUE(program->set_uniform("damagefade", 0.25f));
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(GLuint(current), other->get_id());
    GLfloat value = -1;
    glGetUniformfv(program->get_id(), fade->location, &value);
    EXPECT_EQ(value, 0.25f);

    // bind remembers the program it replaced, unbind restores it; binding twice changes nothing.
    program->bind(true);
    program->bind(true);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(GLuint(current), program->get_id());
    program->unbind();
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(GLuint(current), other->get_id());
    glUseProgram(0);
}

TEST_F(ShaderDisplayTest, ValueTypes) {
    test_support::ScratchDir dir;
    std::string path = dir.write("values.frag",
                                 "#version 120\n"
                                 "uniform bool flag;\n"
                                 "uniform vec3 tint;\n"
                                 "uniform vec4 shade;\n"
                                 "void main() { gl_FragColor = flag ? shade : vec4(tint, 1.0); }\n");
    CShaderProgram* program =
        factory().get_program(factory().create_program({factory().get_shader(GL_FRAGMENT_SHADER, path)}));
    ASSERT_NE(program->get_id(), 0u);
    EXPECT_TRUE(program->set_uniform("flag", true));
    EXPECT_TRUE(program->set_uniform("tint", ColorRGB{255, 0, 51}));
    EXPECT_TRUE(program->set_uniform("shade", ColorRGBA{0, 255, 102, 51}));
    GLint flag = 0;
    GLfloat tint[3] = {0, 0, 0}, shade[4] = {0, 0, 0, 0};
    glGetUniformiv(program->get_id(), program->find_uniform("flag")->location, &flag);
    glGetUniformfv(program->get_id(), program->find_uniform("tint")->location, tint);
    glGetUniformfv(program->get_id(), program->find_uniform("shade")->location, shade);
    EXPECT_EQ(flag, 1);
    EXPECT_FLOAT_EQ(tint[0], 1.0f);
    EXPECT_FLOAT_EQ(tint[2], 0.2f);
    EXPECT_FLOAT_EQ(shade[1], 1.0f);
    EXPECT_FLOAT_EQ(shade[2], 0.4f);
    EXPECT_FLOAT_EQ(shade[3], 0.2f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderDisplayTest, EmptiedProgramSlotIsReusedAndASharedProgramMadeOnce) {
    int first = factory().create_program({postprocess_frag()});
    int second = factory().create_program({postprocess_frag()});
    ASSERT_EQ(second, first + 1);
    CShaderProgram* gone = factory().programs[std::size_t(first)];
    glDeleteProgram(gone->get_id());
    delete gone;
    factory().programs[std::size_t(first)] = nullptr;
    EXPECT_EQ(factory().get_program(first), nullptr);
    EXPECT_EQ(factory().create_program({postprocess_frag()}), first);
    const int shared = factory().shared_program({postprocess_frag()});
    EXPECT_GT(shared, second);  // not one of the programs of its own
    EXPECT_EQ(factory().shared_program({postprocess_frag()}), shared);
    EXPECT_NE(factory().shared_program({postprocess_vert(), postprocess_frag()}), shared);
}

// The frame drawn through the post-process program: with fade 0 the scene passes unchanged;
// with a fade the overlay is mixed in, upside down like the scene (first texture row at the
// bottom of the window).
TEST_F(ShaderDisplayTest, PostProcessIsAppliedToThePresentedFrame) {
    CTextureManager manager;
    CTexture* overlay = manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    ASSERT_TRUE(overlay->is_valid());
    game().on_render = [] { fill_rect(0, 0, kWidth, kHeight, kGrey); };

    for (auto shaders :
         {std::vector<CShader*>{postprocess_frag()}, std::vector<CShader*>{postprocess_vert(), postprocess_frag()}}) {
        CShaderProgram* program = post_process(shaders, overlay, 0.0f);
        ASSERT_NE(program, nullptr);
        ASSERT_GE(game().post_process_texture_unit, 0);
        game().run_some_frames(1);
        EXPECT_TRUE(near_rgb(window_pixel(40, 40), kGrey)) << describe(window_pixel(40, 40));
        EXPECT_TRUE(near_rgb(window_pixel(280, 200), kGrey));

        program->set_uniform("damagefade", 0.5f);
        game().run_some_frames(1);
        const struct {
            int x, y;
            ColorRGBA quadrant;
        } probes[] = {{40, 40, {0, 0, 255, 255}},       // window top-left: image bottom-left
                      {280, 40, {255, 255, 255, 255}},  // top-right: bottom-right
                      {40, 200, {255, 0, 0, 255}},      // bottom-left: top-left
                      {280, 200, {0, 255, 0, 255}}};    // bottom-right: top-right
        for (const auto& probe : probes) {
            const ColorRGBA expected = flashed(kGrey, probe.quadrant, 0.5f);
            EXPECT_TRUE(near_rgb(window_pixel(probe.x, probe.y), expected, 3))
                << probe.x << "," << probe.y << " " << describe(window_pixel(probe.x, probe.y)) << " expected "
                << describe(expected);
        }
        // The scene itself is untouched by the pass.
        EXPECT_TRUE(near(scene_pixel(40, 40), kGrey));
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        EXPECT_EQ(current, 0);  // the pass put the previous program back
    }

    // Without a program the scene is presented as it is.
    game().post_process_program = nullptr;
    game().run_some_frames(1);
    EXPECT_TRUE(near_rgb(window_pixel(40, 40), kGrey));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A program that passes the frame through is left out; the window shows exactly what it would
// have, clear and faint scene pixels (which the alpha test drops) included.
TEST_F(ShaderDisplayTest, PassThroughFrameEqualsTheFrameThroughTheProgramAtFadeZero) {
    CTextureManager manager;
    CTexture* overlay = manager.get_texture(true, false, "gfx\\test\\quadrants.png");
    game().on_render = [&] {
        draw_texture(*overlay, 10.5f, 20.25f, 200, 150);
        fill_rect(150, 100, 120, 90, {200, 120, 40, 128});
        fill_rect(30, 180, 200, 40, {250, 250, 250, 2});
    };
    CShaderProgram* program = post_process({postprocess_frag()}, overlay, 0.0f);
    ASSERT_NE(program, nullptr);
    game().run_some_frames(1);
    const std::vector<uint8_t> through = scene_frame(true);
    program->set_uniform("damagefade", 0.7f);  // a stale fade is not shown either
    game().post_process_passes_through = true;
    game().run_some_frames(1);
    EXPECT_TRUE(scene_frame(true) == through);
    game().post_process_passes_through = false;
    game().run_some_frames(1);
    EXPECT_FALSE(scene_frame(true) == through);
}
