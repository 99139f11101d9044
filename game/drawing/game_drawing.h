#pragma once
#include <memory>
#include <string>

#include "game/session/drawing_services.h"

class CFont;
class CFontFactory;
class CShaderFactory;
class CShaderProgram;
class CSpriteManager;
class ITexture;
class QGObject;

// A client's drawing services: the world's sprite manager, the shader and the font factory (the
// latter two may be null), from which it builds one look per drawn object. All three outlive the
// session, and so does this object.
class GameDrawing : public DrawingServices {
public:
    GameDrawing(CSpriteManager* sprites, CShaderFactory* shaders, CFontFactory* fonts)
        : sprites(sprites), shaders(shaders), fonts(fonts) {}

    std::unique_ptr<ObjectLook> make_look(QGObject& object) override;
    void terrain_changed(QGLevel& level, const PixelRect& area) override;
    void water_changed(sph::WaterObject& water) override;

    // Textures come from the sprite manager's texture manager, read-only and cached; an empty path
    // gives none. A file that does not load still gives the cached entry, which draws nothing.
    ITexture* texture(const std::string& path) const;
    // The font, or null without a font factory.
    CFont* font(int size, const std::string& path) const;
    // A program of its own from the fragment shader file, or null without a shader factory or when
    // it did not link; slot is then -1. The look frees it with release_program.
    CShaderProgram* make_program(const char* fragment_path, int& slot) const;
    void release_program(int& slot) const;

    CSpriteManager* const sprites;
    CShaderFactory* const shaders;
    CFontFactory* const fonts;
};

// A program from the fragment shader file that the factory keeps until it goes, or null without a
// factory or when it did not link.
CShaderProgram* kept_program(CShaderFactory* shaders, const char* fragment_path);
