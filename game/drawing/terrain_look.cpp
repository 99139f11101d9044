#include "game/drawing/terrain_look.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>

#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/viewport.h"
#include "engine/scene/label_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "engine/ui/interface_element.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/drawing/window_mapping.h"
#include "game/base/terrain_pixels.h"

namespace {

// The GL state that making the kept look and a pass into it change, put back when it goes.
class SavedDrawState {
public:
    SavedDrawState() {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer_);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        glGetDoublev(GL_PROJECTION_MATRIX, projection_);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview_);
        glGetIntegerv(GL_MATRIX_MODE, &matrix_mode_);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_);
        glGetFloatv(GL_CURRENT_COLOR, colour_);
        glGetIntegerv(GL_SCISSOR_BOX, scissor_);
        blend_ = glIsEnabled(GL_BLEND), depth_ = glIsEnabled(GL_DEPTH_TEST), scissor_on_ = glIsEnabled(GL_SCISSOR_TEST);
    }
    ~SavedDrawState() {
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(framebuffer_));
        glBindTexture(GL_TEXTURE_2D, GLuint(texture_));
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(projection_);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(modelview_);
        glMatrixMode(GLenum(matrix_mode_));
        glClearColor(clear_[0], clear_[1], clear_[2], clear_[3]);
        glColor4fv(colour_);
        glScissor(scissor_[0], scissor_[1], scissor_[2], scissor_[3]);
        set(GL_BLEND, blend_), set(GL_DEPTH_TEST, depth_), set(GL_SCISSOR_TEST, scissor_on_);
    }
    SavedDrawState(const SavedDrawState&) = delete;
    SavedDrawState& operator=(const SavedDrawState&) = delete;

private:
    static void set(GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); }
    GLdouble projection_[16], modelview_[16];
    GLint framebuffer_ = 0, texture_ = 0, matrix_mode_ = GL_MODELVIEW, scissor_[4] = {0, 0, 0, 0};
    GLfloat clear_[4], colour_[4];
    bool blend_, depth_, scissor_on_;
};

// The window pixels a quad of global coordinates may touch, with a pixel to spare.
PixelRect window_box(const fquad2d& global) {
    const WindowRect r = window_rect_of(global).grown(1);
    return {r.x, r.y, r.width, r.height};
}

bool overlap(const PixelRect& a, const PixelRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// More rectangles than this cost more in draws than they save in pixels: draw the whole quad.
constexpr std::size_t kMostRects = 96;
// Side of the square tiles llvmpipe, the software rasteriser, bins and shades a draw in.
constexpr int kTile = 64;

WindowMapping current_mapping(CSprite& sprite, GLint* viewport) {
    GLdouble projection[16], modelview[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    return WindowMapping::of(sprite, projection, modelview, viewport);
}

}  // namespace

// --- coverage ---

void TerrainCoverage::build(SDL_Surface* surface, ColorRGBA air, ColorRGBA water, ColorRGBA static_water) {
    air_ = air, water_ = water, static_water_ = static_water;
    width_ = surface ? surface->w : 0;
    height_ = surface ? surface->h : 0;
    columns_ = (width_ + kBlock - 1) / kBlock;
    rows_ = (height_ + kBlock - 1) / kBlock;
    // Until read, every block shows terrain and hides nothing: drawn whole, culling nothing.
    flags_.assign(std::size_t(columns_) * std::size_t(rows_), kShows);
    if (surface) classify(surface, 0, 0, columns_, rows_);
}

void TerrainCoverage::update(SDL_Surface* surface, const PixelRect& area) {
    if (!surface || surface->w != width_ || surface->h != height_ || area.empty()) return;
    // The texel around each block counts for it: blocks next to the area may change too.
    const int c0 = std::max((area.x - 1) / kBlock, 0), r0 = std::max((area.y - 1) / kBlock, 0);
    const int c1 = std::min((area.x + area.width) / kBlock + 1, columns_);
    const int r1 = std::min((area.y + area.height) / kBlock + 1, rows_);
    if (c0 < c1 && r0 < r1) classify(surface, c0, r0, c1, r1);
}

void TerrainCoverage::classify(SDL_Surface* surface, int column0, int row0, int column1, int row1) {
    // The texture holds other bytes than these for other layouts: leave such a surface unread.
    if (!is_standard_terrain_format(surface)) return;
    SurfaceLock lock(surface);
    const TerrainPixels pixels(surface);
    const uint32_t air = air_.to_pixel(), water = water_.to_pixel(), still = static_water_.to_pixel();
    for (int row = row0; row < row1; ++row) {
        for (int column = column0; column < column1; ++column) {
            const int x0 = std::max(column * kBlock - 1, 0), x1 = std::min((column + 1) * kBlock + 1, width_);
            const int y0 = std::max(row * kBlock - 1, 0), y1 = std::min((row + 1) * kBlock + 1, height_);
            bool shows = false, hides = true;
            for (int y = y0; y < y1 && (hides || !shows); ++y) {
                for (int x = x0; x < x1; ++x) {
                    const uint32_t p = pixels.raw(x, y);
                    if (p == air || p == water) {
                        hides = false;
                        continue;
                    }
                    shows = true;
                    if (p == still || (p >> 24) != 0xFFu) hides = false;
                }
            }
            flags_[index(column, row)] = uint8_t((shows ? kShows : 0) | (hides ? kHides : 0));
        }
    }
}

namespace {

// Window rectangles, without overlap, holding every pixel whose centre shows a block of the
// coverage that `wanted` accepts, and every pixel of the `also` rectangles, for a sprite drawn
// with the mapping from level pixels to the window and the viewport given. They are made of
// whole tiles of the rasteriser's size, which it shades fastest when a draw covers them whole.
template <typename Wanted>
std::vector<PixelRect> coverage_rects(const TerrainCoverage& coverage, const WindowMapping& m, const int* viewport,
                                      Wanted wanted, const std::vector<PixelRect>& also = {}) {
    std::vector<PixelRect> rects;
    const int columns = coverage.columns(), rows = coverage.rows();
    if (columns <= 0 || rows <= 0 || viewport[2] <= 0 || viewport[3] <= 0) return rects;
    const double block = TerrainCoverage::kBlock;
    const int tx0 = int(std::floor(double(viewport[0]) / kTile)),
              tx1 = int(std::ceil(double(viewport[0] + viewport[2]) / kTile));
    const int ty0 = int(std::floor(double(viewport[1]) / kTile)),
              ty1 = int(std::ceil(double(viewport[1] + viewport[3]) / kTile));
    // The blocks whose texels the pixel centres first + 0.5 .. last - 0.5 of an axis show.
    auto blocks = [block](double a, double f, int first, int last, int count, int& b0, int& b1) {
        // Beyond the level only its edge matters (and a view scaled to nothing maps nowhere).
        auto at = [&](double pixel) {
            const double v = (pixel - a) / f / block;
            return std::isnan(v) ? -1.0 : std::clamp(v, -1.0, double(count));
        };
        const double l0 = at(first + 0.5), l1 = at(last - 0.5);
        b0 = std::max(int(std::floor(std::min(l0, l1))), 0);
        b1 = std::min(int(std::floor(std::max(l0, l1))), count - 1);
    };
    auto tile_wanted = [&](int tx, int ty) {
        const PixelRect tile{tx * kTile, ty * kTile, kTile, kTile};
        if (std::any_of(also.begin(), also.end(), [&](const PixelRect& a) { return overlap(a, tile); })) return true;
        int c0, c1, r0, r1;
        blocks(m.ax, m.bx, tile.x, tile.x + kTile, columns, c0, c1);
        blocks(m.ay, m.by, tile.y, tile.y + kTile, rows, r0, r1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                if (wanted(c, r)) return true;
        return false;
    };
    // Rows of tiles with the same runs of wanted tiles are one band.
    std::vector<std::pair<int, int>> runs, band_runs;
    int band_start = ty0;
    auto close_band = [&](int band_end) {
        for (const auto& [x0, x1] : band_runs) {
            const int left = std::max(x0 * kTile, viewport[0]), right = std::min(x1 * kTile, viewport[0] + viewport[2]);
            const int bottom = std::max(band_start * kTile, viewport[1]);
            const int top = std::min(band_end * kTile, viewport[1] + viewport[3]);
            if (right > left && top > bottom) rects.push_back({left, bottom, right - left, top - bottom});
        }
    };
    for (int ty = ty0; ty < ty1; ++ty) {
        runs.clear();
        for (int tx = tx0; tx < tx1; ++tx) {
            if (!tile_wanted(tx, ty)) continue;
            if (!runs.empty() && runs.back().second == tx) runs.back().second = tx + 1;
            else runs.push_back({tx, tx + 1});
        }
        if (ty > ty0 && runs == band_runs) continue;
        close_band(ty);
        band_runs = runs, band_start = ty;
    }
    close_band(ty1);
    return rects;
}

}  // namespace

// --- terrain ---

TerrainSprite::TerrainSprite(CSprite* parent_sprite) : CImageSprite(parent_sprite) {}

TerrainSprite::~TerrainSprite() = default;

void TerrainSprite::keep_look(const LevelLook& look, CTexture* level_texture, CShaderProgram* world_program,
                              CShaderFactory* shaders, CSpriteManager* sprites) {
    look_ = &look;
    level_texture_ = level_texture;
    world_program_ = world_program;
    shaders_ = shaders;
    sprites_ = sprites;
    coverage_.build(look.texture_holds_surface() ? level_texture->get_surface() : nullptr, color_air, color_water,
                    color_staticwater);
    cache_current_ = false;
}

void TerrainSprite::forget_look() {
    look_ = nullptr;
    level_texture_ = nullptr;
}

void TerrainSprite::surface_changed(const PixelRect& area) {
    if (!look_ || !level_texture_) return;
    coverage_.update(level_texture_->get_surface(), area);
    stale_ = unite(stale_, area);
}

bool TerrainSprite::keeps_look() {
    CShaderProgram* program = world_program_;
    const TextureRect r = get_texture_rect();
    return look_ && level_texture_ && program && program->get_id() != 0 && shaders_ &&
           get_shader_program() == program && get_texture() == level_texture_ && get_alpha() == 255 &&
           get_border_x() == 0 && get_border_y() == 0 && r.left == 0 && r.top == 0 && r.right == 1 && r.bottom == 1 &&
           look_->texture_holds_surface() && coverage_.width() == level_texture_->get_image_width() &&
           coverage_.height() == level_texture_->get_image_height() && get_width() == float(coverage_.width()) &&
           get_height() == float(coverage_.height());
}

void TerrainSprite::work_out_look() {
    const int w = coverage_.width(), h = coverage_.height();
    if (cache_current_ && stale_.empty()) return;
    SavedDrawState saved;  // the render target binds framebuffer 0 when it is made
    if (!cache_) {
        cache_ = std::make_unique<CRenderTexture>(w, h);
        // Read one texel per pixel, never a blend of two.
        cache_->bind();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        cache_program_ = kept_program(shaders_, "shader/worldcache.frag");
        if (cache_program_) {
            cache_program_->set_texture("texture", cache_.get());
            cache_program_->set_uniform("texelsX", float(w));
            cache_program_->set_uniform("texelsY", float(h));
        }
        cache_current_ = false;
    }
    if (!cache_current_) stale_ = {0, 0, w, h};
    const PixelRect area = WindowMapping::clamped(stale_.x, stale_.y, double(stale_.x) + stale_.width,
                                                  double(stale_.y) + stale_.height, w, h);
    stale_ = {};
    cache_current_ = true;
    if (area.empty() || !cache_->is_valid()) return;

    cache_->begin_render();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_SCISSOR_TEST);
    // Row y of the target is row y of the texture, so level pixels keep their coordinates.
    glScissor(area.x, area.y, area.width, area.height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    world_program_->bind(true);
    glColor4f(1, 1, 1, 1);
    // Pixel (x, y) takes the look at the centre of texel (x, y); what world.frag discards (and
    // what the alpha test drops) stays clear, so it is dropped again when drawn from here.
    const float fw = float(w), fh = float(h);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(fw, 0);
    glTexCoord2f(1, 1);
    glVertex2f(fw, fh);
    glTexCoord2f(0, 1);
    glVertex2f(0, fh);
    glEnd();
    world_program_->unbind();
    cache_->end_render();
}

void TerrainSprite::draw_image(SDL_Surface* screen) {
    if (!keeps_look()) {
        // A texture that let the surface go may hold anything when it takes it back.
        if (look_ && !look_->texture_holds_surface()) cache_current_ = false;
        CImageSprite::draw_image(screen);
        return;
    }
    work_out_look();
    if (!cache_program_ || cache_program_->get_id() == 0 || !cache_->is_valid()) {
        CImageSprite::draw_image(screen);
        return;
    }
    GLint viewport[4];
    const WindowMapping mapping = current_mapping(*this, viewport);
    std::vector<PixelRect> rects =
        coverage_rects(coverage_, mapping, viewport, [this](int c, int r) { return coverage_.shows(c, r); });
    cache_program_->bind(true);
    if (rects.size() > kMostRects) draw_pieces(cache_.get());
    else
        for (const PixelRect& r : rects) {
            ScopedScissor clip({r.x, r.y, r.width, r.height});
            if (!clip.empty()) draw_pieces(cache_.get());
        }
    cache_program_->unbind();
}

bool TerrainSprite::covers_what_it_hides(const CSprite& below, std::vector<PixelRect>& nearer) {
    nearer.clear();
    if (!keeps_look() || !sprites_ || !is_visible()) return false;
    // The terrain is drawn with the depth test: it is hidden wherever something nearer was drawn
    // before it. What was drawn before the sprite below hides that too (which draws with the
    // depth test and lies farther); what comes between them and lies nearer than the terrain
    // leaves the terrain out where it draws.
    const float depth = get_absolute_z();
    bool after_below = false;
    for (CSprite* sprite : sprites_->get_draw_list()) {
        if (sprite == this) return after_below;
        if (sprite == &below) {
            after_below = true;
            continue;
        }
        if (!after_below || !sprite->is_visible()) continue;
        // An image sprite draws within its rectangle (a label also in its text box) at its own
        // depth; any other kind may draw anything, and a widget draws where its anchors say.
        auto* image = dynamic_cast<CImageSprite*>(sprite);
        if (!image || dynamic_cast<CInterfaceElement*>(sprite)) return false;
        if (!image->depth_test || image->get_absolute_z() <= depth) continue;
        auto* label = dynamic_cast<CLabelSprite*>(image);
        // A label draws its image only when it has one.
        ITexture* image_texture = image->get_texture();
        CShaderProgram* program = image->get_shader_program();
        if (!label || (program && program->get_id() != 0) || (image_texture && image_texture->is_valid()))
            nearer.push_back(
                window_box(image->quad_to_global(fquad2d::from_rect(0, 0, image->get_width(), image->get_height()))));
        fquad2d text;
        if (label && label->text_footprint(text)) nearer.push_back(window_box(text));
    }
    return false;
}

// --- background ---

BackgroundSprite::BackgroundSprite(TerrainSprite* terrain) : CImageSprite(terrain), terrain_(terrain) {}

void BackgroundSprite::draw_image(SDL_Surface* screen) {
    // Its level pixels must be the terrain's, and the terrain sure to cover what it hides.
    const bool culled = depth_test && get_parent() == terrain_ && get_x() == 0 && get_y() == 0 && get_scale() == 1 &&
                        get_width() == terrain_->get_width() && get_height() == terrain_->get_height() &&
                        terrain_->covers_what_it_hides(*this, nearer_);
    if (!culled) {
        CImageSprite::draw_image(screen);
        return;
    }
    GLint viewport[4];
    const WindowMapping m = current_mapping(*this, viewport);
    const TerrainCoverage& coverage = terrain_->coverage();
    // A hidden block is still drawn where something nearer than the terrain keeps it out.
    std::vector<PixelRect> rects = coverage_rects(
        coverage, m, viewport, [&coverage](int c, int r) { return !coverage.hides(c, r); }, nearer_);
    if (rects.size() > kMostRects) {
        CImageSprite::draw_image(screen);
        return;
    }
    for (const PixelRect& r : rects) {
        ScopedScissor clip({r.x, r.y, r.width, r.height});
        if (!clip.empty()) CImageSprite::draw_image(screen);
    }
}
