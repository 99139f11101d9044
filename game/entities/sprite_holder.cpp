#include "game/entities/sprite_holder.h"

#include <GL/glew.h>

#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "game/config/settings.h"
#include "game/session/qg_game.h"

ITexture* object_texture(QGGame* game, const std::string& path) {
    if (!game || !game->sprite_manager || path.empty()) return nullptr;
    CTextureManager* textures = game->sprite_manager->get_texture_manager();
    return textures ? textures->get_texture(true, false, path) : nullptr;
}

CFont* label_font(QGGame* game) {
    if (!game || !game->font_factory) return nullptr;
    return game->font_factory->get_font(player_label_font_size, player_label_font);
}

CShaderProgram* make_program(QGGame* game, const char* fragment_path, int& slot) {
    slot = -1;
    if (!game || !game->shader_factory) return nullptr;
    CShaderFactory* shaders = game->shader_factory;
    CShader* fragment = shaders->get_shader(GL_FRAGMENT_SHADER, fragment_path);
    slot = shaders->create_program({fragment});
    CShaderProgram* program = shaders->get_program(slot);
    if (program && program->get_id() != 0) return program;
    release_program(game, slot);
    return nullptr;
}

void release_program(QGGame* game, int& slot) {
    if (slot < 0) return;
    if (game && game->shader_factory && size_t(slot) < game->shader_factory->programs.size()) {
        CShaderProgram*& entry = game->shader_factory->programs[size_t(slot)];
        if (entry && entry->get_id() != 0) glDeleteProgram(entry->get_id());
        delete entry;
        entry = nullptr;
    }
    slot = -1;
}
