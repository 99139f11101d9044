#include "game/drawing/water.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>

#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/viewport.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/drawing/window_mapping.h"
#include "game/terrain/terrain_carver.h"
#include "game/base/terrain_pixels.h"

namespace sph {

namespace {

// Largest side of the occupancy and mask images.
constexpr int kMaxSide = 4096;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;
// Rows of a band the water passes are clipped by: cell rows, and level rows for static water.
constexpr int kWaterBand = 4;
constexpr int kStaticBand = 16;

SDL_Surface* make_rgba_surface(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
}

uint32_t* row_of(SDL_Surface* s, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + std::size_t(y) * std::size_t(s->pitch));
}

// Draws the sprite with only the rectangle's pixels touched; an empty one draws nothing.
void draw_within(CSprite& sprite, SDL_Surface* screen, const PixelRect& area) {
    if (area.empty()) return;
    ScopedScissor clip({area.x, area.y, area.width, area.height});
    if (!clip.empty()) sprite.draw(screen);
}

// Draws the sprite in bands of `band` rows, each clipped to the columns its rows mark, with
// `margin` rows and columns to spare; rows and columns are the mapping's local units, one list
// of runs per row. The bands split the window's rows without overlap, and the stretches of one
// band are kept apart (merged where they would meet), so no pixel is blended twice; the first
// and last band reach past the edges.
void draw_in_bands(CSprite& sprite, SDL_Surface* screen, const WindowMapping& m, const std::vector<RowRuns>& rows,
                   int band, int margin) {
    // More stretches than this in a band are drawn as the one around them all.
    constexpr std::size_t kMostStretches = 8;
    const int count = int(rows.size());
    std::vector<std::pair<double, double>> stretches;
    for (int b0 = 0; b0 < count; b0 += band) {
        const int b1 = std::min(b0 + band, count);
        stretches.clear();
        for (int r = std::max(b0 - margin, 0); r < std::min(b1 + margin, count); ++r) {
            for (const auto& [x0, x1] : rows[std::size_t(r)].runs) {
                const double c0 = m.ax + m.bx * (x0 - margin), c1 = m.ax + m.bx * (x1 + 1 + margin);
                stretches.push_back({std::floor(std::min(c0, c1)) - 1, std::ceil(std::max(c0, c1)) + 1});
            }
        }
        if (stretches.empty()) continue;
        std::sort(stretches.begin(), stretches.end());
        std::size_t kept = 0;
        for (std::size_t i = 1; i < stretches.size(); ++i) {
            if (stretches[i].first <= stretches[kept].second)
                stretches[kept].second = std::max(stretches[kept].second, stretches[i].second);
            else stretches[++kept] = stretches[i];
        }
        stretches.resize(kept + 1);
        if (stretches.size() > kMostStretches) stretches = {{stretches.front().first, stretches.back().second}};
        // Window rows whose centres map into the band.
        const double w0 = m.ay + m.by * (b0 == 0 ? -margin : b0);
        const double w1 = m.ay + m.by * (b1 == count ? count + margin : b1);
        const double first = m.by > 0 ? std::ceil(w0 - 0.5) : std::floor(w1 - 0.5) + 1;
        const double end = m.by > 0 ? std::ceil(w1 - 0.5) : std::floor(w0 - 0.5) + 1;
        for (const auto& [left, right] : stretches)
            draw_within(sprite, screen, WindowMapping::clamped(left, first, right, end, 1 << 20, 1 << 20));
    }
}

}  // namespace

Water::Water(CSprite* parent_, CShaderFactory* shaders, int level_width, int level_height, int cell_size,
             SDL_Surface* terrain)
    : CSprite(parent_),
      cell_size_(std::max(cell_size, 1)),
      scale_sprite_(nullptr),
      water_sprite_(this),
      static_sprite_(this) {
    const unsigned q = unsigned(cell_size_);
    occupancy.set_size(int(unsigned(std::max(level_width, 0)) / q), int(unsigned(std::max(level_height, 0)) / q));
    side_ = int(std::min<int64_t>(int64_t(1) << occupancy.depth(), kMaxSide));
    cells_.assign(std::size_t(side_) * std::size_t(side_), 0);

    // The occupancy, one pixel per cell, white with the cell's alpha.
    occupancy_surface_ = make_rgba_surface(side_, side_);
    if (occupancy_surface_) {
        SDL_FillRect(occupancy_surface_, nullptr, 0);
        occupancy_texture_ = new CTexture(occupancy_surface_);
        occupancy_texture_->set_linear_filtering(false);
    }

    // Static water stays transparent in the mask; everything else is opaque white.
    const int mask_w = level_width > 0 ? std::min(level_width, kMaxSide) : 2048;
    const int mask_h = level_height > 0 ? std::min(level_height, kMaxSide) : 1024;
    mask_surface_ = make_rgba_surface(mask_w, mask_h);
    if (mask_surface_) {
        SDL_FillRect(mask_surface_, nullptr, kOpaqueWhite);
        static_rows_.assign(std::size_t(mask_h), RowRuns{});
        if (terrain && terrain->w > 0 && terrain->h > 0) {
            SurfaceLock lock(terrain);
            const TerrainPixels pixels(terrain);
            for (int py = 0; py < std::min(mask_h, terrain->h); ++py) {
                uint32_t* row = row_of(mask_surface_, py);
                for (int px = 0; px < std::min(mask_w, terrain->w); ++px) {
                    if (pixels.get(px, py) != color_staticwater) continue;
                    row[px] = 0;
                    static_rows_[std::size_t(py)].add(px);
                }
            }
        }
        mask_texture_ = new CTexture(mask_surface_);
        mask_texture_->set_linear_filtering(false);
    }

    render_texture_ = new CRenderTexture(side_, side_);

    scale_program_ = kept_program(shaders, "shader/scalewater.frag");
    if (scale_program_) {
        scale_program_->set_texture("texture", occupancy_texture_);
        scale_program_->set_uniform("texturesize", float(side_));
    }
    water_program_ = kept_program(shaders, "shader/water.frag");
    if (water_program_) {
        water_program_->set_texture("texture", render_texture_);
        water_program_->set_uniform("texturesize", float(side_) * float(cell_size_));
    }
    static_program_ = kept_program(shaders, "shader/staticwater.frag");
    if (static_program_) {
        static_program_->set_texture("texture", mask_texture_);
        static_program_->set_uniform("size_x", float(mask_w));
        static_program_->set_uniform("size_y", float(mask_h));
    }

    scale_sprite_.set_texture(occupancy_texture_);
    scale_sprite_.set_shader_program(scale_program_);
    scale_sprite_.set_size(float(side_), float(side_));

    // Free water lies behind the terrain, which hides it where the ground is; the static-water
    // surface is drawn over the terrain.
    water_sprite_.set_texture(render_texture_);
    water_sprite_.set_shader_program(water_program_);
    water_sprite_.set_size(float(side_) * float(cell_size_), float(side_) * float(cell_size_));
    water_sprite_.set_z(-0.5f);
    static_sprite_.set_texture(mask_texture_);
    static_sprite_.set_shader_program(static_program_);
    static_sprite_.set_size(float(mask_w), float(mask_h));
    static_sprite_.set_z(0.1f);
}

Water::~Water() {
    delete occupancy_texture_;
    delete mask_texture_;
    delete render_texture_;
    // A surface whose texture could not be made is still ours.
    if (!occupancy_texture_ && occupancy_surface_) SDL_FreeSurface(occupancy_surface_);
    if (!mask_texture_ && mask_surface_) SDL_FreeSurface(mask_surface_);
}

void Water::fade() {
    std::fill(cells_.begin(), cells_.end(), 0);
    const uint64_t side = uint64_t(side_);
    occupancy.for_each_leaf([&](uint32_t cx, uint32_t cy, uint32_t size, bool water) {
        if (!water || cx >= side || cy >= side) return;
        const uint64_t x1 = std::min<uint64_t>(uint64_t(cx) + size, side);
        const uint64_t y1 = std::min<uint64_t>(uint64_t(cy) + size, side);
        for (uint64_t yy = cy; yy < y1; ++yy)
            std::fill(cells_.begin() + std::ptrdiff_t(yy * side + cx), cells_.begin() + std::ptrdiff_t(yy * side + x1),
                      1);
    });
    wet_box_ = {};
    wet_rows_.resize(std::size_t(side_));
    for (RowRuns& row : wet_rows_) row.runs.clear();
    if (!occupancy_surface_) return;
    SurfaceLock lock(occupancy_surface_);
    for (int cy = 0; cy < side_; ++cy) {
        uint32_t* row = row_of(occupancy_surface_, cy);
        const uint8_t* water = cells_.data() + std::size_t(cy) * std::size_t(side_);
        for (int cx = 0; cx < side_; ++cx) {
            int alpha = int(row[cx] >> 24);
            if (first_frame_) alpha = water[cx] ? 255 : 0;
            else alpha = std::clamp(alpha + (water[cx] ? 50 : -5), 0, 255);
            row[cx] = (uint32_t(alpha) << 24) | 0x00FFFFFFu;
            if (alpha > 0) wet_rows_[std::size_t(cy)].add(cx);
        }
        if (!wet_rows_[std::size_t(cy)].empty()) {
            wet_box_.add(wet_rows_[std::size_t(cy)].runs.front().first, cy);
            wet_box_.add(wet_rows_[std::size_t(cy)].runs.back().second, cy);
        }
    }
}

uint8_t Water::cell_alpha(int cx, int cy) const {
    if (!occupancy_surface_ || cx < 0 || cy < 0 || cx >= side_ || cy >= side_) return 0;
    return uint8_t(row_of(occupancy_surface_, cy)[cx] >> 24);
}

void Water::draw(SDL_Surface* screen) {
    if (!is_visible()) return;
    fade();
    if (occupancy_texture_) occupancy_texture_->upload();

    GLdouble projection[16], modelview[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const WindowMapping water_window = WindowMapping::of(water_sprite_, projection, modelview, viewport);
    const double cell = double(cell_size_);

    // Only cells near water can reach half a cell's worth after smoothing and filtering, and
    // only those in view are looked at: the passes leave everything else alone.
    if (scale_program_ && render_texture_ && render_texture_->is_valid() && !wet_box_.empty()) {
        GLfloat clear[4];
        GLint matrix_mode = GL_MODELVIEW;
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        glGetIntegerv(GL_MATRIX_MODE, &matrix_mode);

        double x0, y0, x1, y1;
        water_window.local_box(viewport, x0, y0, x1, y1);
        const PixelRect cells =
            WindowMapping::clamped(std::max(std::floor(x0 / cell) - 2, double(wet_box_.x0 - 4)),
                                   std::max(std::floor(y0 / cell) - 2, double(wet_box_.y0 - 4)),
                                   std::min(std::ceil(x1 / cell) + 2, double(wet_box_.x1 + 5)),
                                   std::min(std::ceil(y1 / cell) + 2, double(wet_box_.y1 + 5)), side_, side_);

        // begin_render keeps the bound framebuffer and viewport, end_render binds them again.
        render_texture_->begin_render();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // The render target's pixels are the cells (its projection is y-up from row 0).
        draw_within(scale_sprite_, screen, cells);
        render_texture_->end_render();

        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(projection);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(modelview);
        glMatrixMode(GLenum(matrix_mode));
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
    }
    // Without their programs the images are only masks: nothing to show. Without water the
    // passes would discard every pixel.
    // A pixel reads the smoothed cells next to its own, which hold water only beside wet ones.
    if (water_program_ && !wet_box_.empty()) {
        const WindowMapping cells{water_window.ax, water_window.bx * cell, water_window.ay, water_window.by * cell};
        draw_in_bands(water_sprite_, screen, cells, wet_rows_, kWaterBand, 3);
    }
    if (static_program_)
        draw_in_bands(static_sprite_, screen, WindowMapping::of(static_sprite_, projection, modelview, viewport),
                      static_rows_, kStaticBand, 2);
    first_frame_ = false;
}

}  // namespace sph
