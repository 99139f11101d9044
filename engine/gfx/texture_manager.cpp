#include "engine/gfx/texture_manager.h"

#include <cctype>

#include "engine/core/logger.h"

namespace {

std::string to_lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

CTextureManager::CTextureManager() { log_message(LogLevel::Status, "Instance initialized.", log_class_name_of(*this)); }

CTextureManager::~CTextureManager() {
    unload_all();
    log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this));
}

int CTextureManager::find_texture(const std::string& path) const {
    for (std::size_t i = 0; i < textures.size(); ++i) {
        if (textures[i]->name == path) return int(i);
    }
    return -1;
}

CTexture* CTextureManager::get_texture(bool read_only, bool reload, std::string path) {
    path = to_lower(path);
    int index = find_texture(path);
    if (index < 0) {
        textures.push_back(new CTexture(read_only, path));
        return textures.back();
    }
    CTexture* texture = textures[std::size_t(index)];
    if (reload) {
        // Sprites hold this pointer: the object is loaded afresh in place, never replaced.
        texture->read_only = read_only;
        texture->load(path);
        texture->set_linear_filtering(true);
        texture->set_clamped(true);
        return texture;
    }
    if (!read_only && texture->read_only) {
        log_message(LogLevel::Warning, "Reloading read-only texture " + path + "for write access.",
                    log_class_name_of(*this));
        texture->read_only = false;
        texture->load(path);
    }
    return texture;
}

bool CTextureManager::unload_texture(std::string path) {
    int index = find_texture(to_lower(path));
    if (index < 0) return false;
    delete textures[std::size_t(index)];
    textures.erase(textures.begin() + index);
    return true;
}

void CTextureManager::unload_all() {
    while (!textures.empty()) {
        delete textures.front();
        textures.erase(textures.begin());
    }
    log_message(LogLevel::Status, "All textures unloaded.", log_class_name_of(*this));
}
