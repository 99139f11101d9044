#include "game/drawing/game_drawing.h"

#include <GL/glew.h>

#include "engine/gfx/font.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "game/drawing/looks.h"
#include "game/drawing/water.h"
#include "game/entities/qg_item.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_tombstone.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "game/terrain/qg_level.h"
#include "game/water/water_object.h"

std::unique_ptr<ObjectLook> GameDrawing::make_look(QGObject& object) {
    if (auto* player = dynamic_cast<QGPlayer*>(&object)) return std::make_unique<PlayerLook>(*this, *player);
    if (auto* item = dynamic_cast<QGItem*>(&object)) return std::make_unique<ItemLook>(*this, *item);
    if (auto* shot = dynamic_cast<QGProjectile*>(&object)) return std::make_unique<ProjectileLook>(*this, *shot);
    if (auto* tombstone = dynamic_cast<QGTombstone*>(&object)) return std::make_unique<TombstoneLook>(*this, *tombstone);
    if (auto* portal = dynamic_cast<QGPortal*>(&object)) return std::make_unique<PortalLook>(*this, *portal);
    if (auto* sweetroll = dynamic_cast<QGSweetroll*>(&object)) return std::make_unique<SweetrollLook>(*this, *sweetroll);
    if (auto* controller = dynamic_cast<QGMatchController*>(&object))
        return std::make_unique<MatchLook>(*this, *controller);
    if (auto* chat = dynamic_cast<QGChat*>(&object)) return std::make_unique<ChatLook>(*this, *chat);
    if (auto* level = dynamic_cast<QGLevel*>(&object)) return std::make_unique<LevelLook>(*this, *level);
    if (auto* water = dynamic_cast<sph::WaterObject*>(&object)) return std::make_unique<WaterLook>(*this, *water);
    return nullptr;
}

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
