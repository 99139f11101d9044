#pragma once
#include <memory>
#include <string>

#include "engine/scene/label_sprite.h"
#include "game/drawing/sprite_holder.h"
#include "game/base/drawing_services.h"
#include "game/base/qg_event_handler.h"
#include "game/base/qg_object.h"

class CEdit;
class CFont;
class CFontFactory;
class CParticleEngine;
class CShaderFactory;
class CShaderProgram;
class CTexture;
class CTextureManager;
class ITexture;
class QGChat;
class QGPlayer;
class TerrainSprite;
namespace sph {
class Water;
}  // namespace sph

// A client's drawing services: the world's sprite manager, the shader and the font factory (the
// latter two may be null), from which it builds one look per drawn object. All three outlive the
// session, and so does this object.
class GameDrawing : public DrawingServices {
public:
    GameDrawing(CSpriteManager* sprite_manager, CShaderFactory* shader_factory, CFontFactory* font_factory)
        : sprites(sprite_manager), shaders(shader_factory), fonts(font_factory) {}

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

// The program of the fragment shader file that the factory makes once, shares among its callers
// and keeps until it goes (each level would leave one more behind), or null without a factory or
// when it did not link.
CShaderProgram* kept_program(CShaderFactory* shaders, const char* fragment_path);

// The look of the object, when it has one of that kind.
template <typename Look>
Look* look_of(const QGObject* object) {
    return object ? dynamic_cast<Look*>(object->look()) : nullptr;
}

// The player's sheet with its animation and shader, and the name label above it.
class PlayerLook : public ObjectLook {
public:
    PlayerLook(const GameDrawing& drawing, const QGPlayer& player);
    ~PlayerLook() override;
    void update() override;

    SpriteHolder<CImageSprite> sprite;
    SpriteHolder<CLabelSprite> label;
    SpriteHolder<CImageSprite> plate;  // behind the label's text, the sprite's child too

private:
    void show_animation();

    const GameDrawing& drawing_;
    const QGPlayer& player_;
    CShaderProgram* program_ = nullptr;
    int program_slot_ = -1;
    unsigned int shown_animation_ = 0;
    bool shown_invisible_ = false;
};

// The chat's input box, which the gameplay screen opens and closes.
class ChatLook : public ObjectLook {
public:
    ChatLook(const GameDrawing& drawing, QGChat& chat);
    ~ChatLook() override;

    bool is_open() const;
    // Opening shows the box and focuses it in its container; closing hides it and says its text,
    // when there is any.
    void set_open(bool open);

    // Owned by its container, which deletes it once it is marked finished.
    CEdit* input = nullptr;

private:
    QGChat& chat_;
};

// The level's terrain drawn from its surface through the cached texture "gfx/dummy.png" and the
// world shader, its background picture and the particle engine of the effects the server
// announces; and the camera, which fits the level into the view or follows the own player.
//
// The texture draws the surface without owning it: unloading or reloading that texture never
// frees it, and the look gives a texture still drawing it its own image back before the level
// frees it. One level at a time draws through a texture manager.
class LevelLook : public ObjectLook {
public:
    LevelLook(const GameDrawing& drawing, QGLevel& level);
    ~LevelLook() override;
    // Follows the own player while it is alive in a running match; fits the level into the view
    // the step after it was not followed in a running match.
    void update() override;

    // Moves the view onto a point of the level without showing space beyond its edges; a level
    // smaller than the view is centred.
    void focus_view(float x, float y);
    // Scales the view so the whole level fits and centres it.
    void fit_view();
    // Uploads the rectangle of the surface to the terrain texture.
    void refresh_texture(const PixelRect& area);
    // The SpawnEffect listener: starts the announced effect on the particle engine.
    void on_spawn_effect(const EffectSpawn& spawn);
    // The effects of the particle file.
    int effect_count() const;
    // Whether the terrain texture is still cached and currently draws this level's surface.
    bool texture_holds_surface() const;

    CImageSprite* terrain_sprite = nullptr;
    CImageSprite* background_sprite = nullptr;
    CParticleEngine* particle_engine = nullptr;
    CTexture* terrain_texture = nullptr;

private:
    // The terrain sprite as built, typed: it keeps the look's cache.
    TerrainSprite* terrain_ = nullptr;

    void build_terrain();
    void build_effects();
    // The terrain texture while the cache still holds it (unloading it there deletes it), else null.
    CTexture* cached_terrain_texture() const;

    const GameDrawing& drawing_;
    QGLevel& level_;
    CTextureManager* texture_cache_ = nullptr;
    bool fit_next_ = false;
    EventSubscription effects_;
};

// Most particles one announced effect may start.
constexpr int kMaxEffectParticles = 4096;

// The water renderer over the level's terrain, fed with each occupancy the water object decodes.
class WaterLook : public ObjectLook {
public:
    WaterLook(const GameDrawing& drawing, const sph::WaterObject& water);
    ~WaterLook() override;

    // Owned by the sprite tree.
    sph::Water* renderer = nullptr;
};
