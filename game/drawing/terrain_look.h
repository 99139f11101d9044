#pragma once
// The level's terrain and background sprites, which shade only what can change the picture.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/scene/image_sprite.h"
#include "game/terrain/terrain_carver.h"

class CRenderTexture;
class CShaderFactory;
class CShaderProgram;
class CSpriteManager;
class CTexture;
class LevelLook;
struct SDL_Surface;

// Which blocks of the level show any terrain and which lie wholly under opaque terrain, read
// from the surface's materials as world.frag draws them: air and free water not at all, static
// water see-through, every other colour opaque when its alpha is full. A block answers for one
// texel around it too, so a pixel that rounds into the neighbouring texel is answered for.
class TerrainCoverage {
public:
    static constexpr int kBlock = 16;

    void build(SDL_Surface* surface, ColorRGBA air, ColorRGBA water, ColorRGBA static_water);
    // Reads the blocks the area touches again.
    void update(SDL_Surface* surface, const PixelRect& area);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool shows(int column, int row) const { return flags_[index(column, row)] & kShows; }
    bool hides(int column, int row) const { return flags_[index(column, row)] & kHides; }

private:
    static constexpr uint8_t kShows = 1, kHides = 2;
    std::size_t index(int column, int row) const {
        return std::size_t(row) * std::size_t(columns_) + std::size_t(column);
    }
    void classify(SDL_Surface* surface, int column0, int row0, int column1, int row1);

    int width_ = 0, height_ = 0, columns_ = 0, rows_ = 0;
    ColorRGBA air_, water_, static_water_;
    std::vector<uint8_t> flags_;
};

// The terrain. world.frag gives each texel one look, wherever a pixel shows it, so the look is
// worked out once per texel into a texture of the level's size and drawn from there through
// worldcache.frag; the texels of an area whose surface changed are worked out again at the next
// draw. Only the tiles of the window that show terrain are drawn (world.frag discards the rest).
//
// It draws as a plain image sprite whenever the kept look might not be what world.frag would
// draw: another texture or program than the level's, a surface no longer in the texture, an
// alpha below 255, a size other than the texture's, or after its level look has gone.
class TerrainSprite : public CImageSprite {
public:
    explicit TerrainSprite(CSprite* parent = nullptr);
    ~TerrainSprite() override;

    void draw_image(SDL_Surface* screen) override;

    // Draws the level texture through the world program from now on, keeping its look. `sprites`
    // is the manager that draws this sprite and the background.
    void keep_look(const LevelLook& look, CTexture* level_texture, CShaderProgram* world_program,
                   CShaderFactory* shaders, CSpriteManager* sprites);
    // The level look goes: from now on a plain image sprite.
    void forget_look();
    // The level surface changed in the area (already in the level texture).
    void surface_changed(const PixelRect& area);

    // Whether this frame's draw of the terrain puts opaque terrain, independent of what lies
    // below, on every pixel of each block its coverage hides, outside the window rectangles it
    // gives of sprites drawn between `below` and the terrain that lie nearer; so that nothing
    // of `below` can show there. False when unsure.
    bool covers_what_it_hides(const CSprite& below, std::vector<PixelRect>& nearer);
    const TerrainCoverage& coverage() const { return coverage_; }

private:
    bool keeps_look();
    void work_out_look();

    const LevelLook* look_ = nullptr;
    CTexture* level_texture_ = nullptr;
    CShaderProgram* world_program_ = nullptr;
    CShaderFactory* shaders_ = nullptr;
    CSpriteManager* sprites_ = nullptr;
    CShaderProgram* cache_program_ = nullptr;
    std::unique_ptr<CRenderTexture> cache_;
    TerrainCoverage coverage_;
    // Texels whose kept look is out of date; the whole level until it was first worked out.
    PixelRect stale_;
    bool cache_current_ = false;
};

// The level's background picture, drawn under the terrain: the tiles of the window the terrain
// hides wholly are left out whenever the terrain is sure to cover them this frame. Only while
// the terrain is its parent does it ask the terrain anything.
class BackgroundSprite : public CImageSprite {
public:
    explicit BackgroundSprite(TerrainSprite* terrain);
    void draw_image(SDL_Surface* screen) override;

private:
    TerrainSprite* terrain_;
    std::vector<PixelRect> nearer_;
};
