#include "game/drawing/game_drawing.h"

#include <GL/glew.h>

#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "game/drawing/looks.h"
#include "game/drawing/water.h"
#include "game/water/water_object.h"

void GameDrawing::terrain_changed(QGLevel& level, const PixelRect& area) {
    if (auto* look = look_of<LevelLook>(&level)) look->refresh_texture(area);
}

void GameDrawing::water_changed(sph::WaterObject& water) {
    if (auto* look = look_of<WaterLook>(&water)) look->renderer->occupancy = water.occupancy();
}

ITexture* GameDrawing::texture(const std::string& path) const {
    CTextureManager* textures = path.empty() ? nullptr : sprites->get_texture_manager();
    return textures ? textures->get_texture(true, false, path) : nullptr;
}

CFont* GameDrawing::font(int size, const std::string& path) const {
    return fonts ? fonts->get_font(size, path) : nullptr;
}

CShaderProgram* GameDrawing::make_program(const char* fragment_path, int& slot) const {
    slot = -1;
    if (!shaders) return nullptr;
    slot = shaders->create_program({shaders->get_shader(GL_FRAGMENT_SHADER, fragment_path)});
    CShaderProgram* program = shaders->get_program(slot);
    if (program && program->get_id() != 0) return program;
    release_program(slot);
    return nullptr;
}

void GameDrawing::release_program(int& slot) const {
    if (slot < 0) return;
    if (shaders && size_t(slot) < shaders->programs.size()) {
        CShaderProgram*& entry = shaders->programs[size_t(slot)];
        if (entry && entry->get_id() != 0) glDeleteProgram(entry->get_id());
        delete entry;
        entry = nullptr;
    }
    slot = -1;
}

CShaderProgram* kept_program(CShaderFactory* shaders, const char* fragment_path) {
    if (!shaders) return nullptr;
    CShaderProgram* program =
        shaders->get_program(shaders->create_program({shaders->get_shader(GL_FRAGMENT_SHADER, fragment_path)}));
    return program && program->get_id() != 0 ? program : nullptr;
}
