#pragma once
#include <string>
#include <vector>

#include "engine/gfx/texture.h"

// The cache through which every image texture is obtained, so that a file is loaded once.
// It owns the textures; holders keep plain pointers and never delete them.
class CTextureManager {
public:
    CTextureManager();
    ~CTextureManager();
    CTextureManager(const CTextureManager&) = delete;
    CTextureManager& operator=(const CTextureManager&) = delete;

    // Index of the texture named exactly `path` (callers pass it lower-cased), or -1.
    int find_texture(const std::string& path) const;
    // Never null: a file that does not load still yields a cached texture that is not valid.
    // `reload` reads the file again into the cached object, which stays the same object.
    CTexture* get_texture(bool read_only, bool reload, std::string path);
    bool unload_texture(std::string path);
    void unload_all();

    std::size_t size() const { return textures.size(); }

private:
    std::vector<CTexture*> textures;
};
