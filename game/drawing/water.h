#pragma once
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/scene/image_sprite.h"
#include "engine/scene/sprite.h"
#include "game/terrain/quadtree.h"

class CRenderTexture;
class CShaderFactory;
class CShaderProgram;
class CTexture;
struct SDL_Surface;

namespace sph {

// The smallest box around marked cells or pixels (inclusive corners).
struct Extent {
    int x0 = 1, y0 = 1, x1 = 0, y1 = 0;
    bool empty() const { return x1 < x0; }
    void add(int x, int y) {
        if (empty()) {
            x0 = x1 = x;
            y0 = y1 = y;
            return;
        }
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
};

// The runs of marked cells or pixels along a row, left to right (inclusive ends).
struct RowRuns {
    std::vector<std::pair<int, int>> runs;
    bool empty() const { return runs.empty(); }
    // Marks x, which lies right of every mark so far.
    void add(int x) {
        if (!runs.empty() && runs.back().second + 1 >= x) runs.back().second = x;
        else runs.push_back({x, x});
    }
};

// Draws a client's water: the free water from the occupancy tree the server's water object
// sends, and the surface of the static water from the terrain. Each draw fades every occupancy
// cell towards its current value, smooths the cells into an off-screen texture (the scale pass),
// and draws that texture over the level through the water shader, then the static-water pass.
// The framebuffer, viewport, matrices and clear colour it found are put back after the
// off-screen pass.
class Water : public CSprite {
public:
    // cell_size: pixels a side of an occupancy cell; terrain: the level surface (may be null).
    // Without shaders nothing is drawn.
    Water(CSprite* parent, CShaderFactory* shaders, int level_width, int level_height, int cell_size,
          SDL_Surface* terrain);
    ~Water() override;
    Water(const Water&) = delete;
    Water& operator=(const Water&) = delete;

    void draw(SDL_Surface* screen) override;
    void update(float) override {}

    // The draw's first step: each cell's alpha jumps to 255 or 0 in the first frame, and later
    // rises by 50 with water and falls by 5 without, within 0..255.
    void fade();

    // Cells a side of the occupancy (2^depth, at most 4096).
    int cells_per_side() const { return side_; }
    // The faded alpha of a cell.
    uint8_t cell_alpha(int x, int y) const;
    // The static-water mask: opaque white except over static water.
    SDL_Surface* static_mask() const { return mask_surface_; }

    // Written by the owning water object whenever a stream arrives.
    Quadtree<bool> occupancy;

private:
    int side_ = 1;
    int cell_size_ = 1;
    bool first_frame_ = true;
    std::vector<uint8_t> cells_;                // occupancy of the current tree, one byte per cell
    SDL_Surface* occupancy_surface_ = nullptr;  // owned by occupancy_texture_
    SDL_Surface* mask_surface_ = nullptr;       // owned by mask_texture_
    CTexture* occupancy_texture_ = nullptr;
    CTexture* mask_texture_ = nullptr;
    CRenderTexture* render_texture_ = nullptr;
    CShaderProgram* scale_program_ = nullptr;
    CShaderProgram* water_program_ = nullptr;
    CShaderProgram* static_program_ = nullptr;
    CImageSprite scale_sprite_;  // drawn into the render texture, outside the sprite tree
    CImageSprite water_sprite_;  // children of this sprite, drawn by it
    CImageSprite static_sprite_;

    std::vector<RowRuns> wet_rows_;     // per cell row: its cells with any faded water, from the last fade
    std::vector<RowRuns> static_rows_;  // per mask row: its static-water pixels
    Extent wet_box_;                    // around all of wet_rows_
};

}  // namespace sph
