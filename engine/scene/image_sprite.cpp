#include "engine/scene/image_sprite.h"

#include <GL/glew.h>

#include <cmath>

#include "engine/core/saturate.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"

CImageSprite::CImageSprite(CSprite* parent_) : CSprite(parent_) { update_texture_rect(); }

// --- frames and texture rectangle ---

int CImageSprite::get_frame_count() {
    if (!texture) return 0;
    int imw = texture->get_image_width();
    int imh = texture->get_image_height();
    if (imw <= 0 || imh <= 0 || tile_width <= 0 || tile_height <= 0) return 0;
    return (imw / tile_width) * (imh / tile_height);
}

TextureRect CImageSprite::get_texture_rect() { return texture_rect; }

void CImageSprite::update_texture_rect() {
    int imw = texture ? texture->get_image_width() : 0;
    int imh = texture ? texture->get_image_height() : 0;
    if (imw <= 0 || imh <= 0) {
        texture_rect = TextureRect();
        return;
    }
    // A tile size that is unset - or larger than the image, after the image was reloaded at a
    // smaller size - holds no frame: show the whole image.
    if (tile_width <= 0 || tile_height <= 0 || tile_width > imw || tile_height > imh) {
        tile_width = imw;
        tile_height = imh;
        texture_rect = {0, 0, 1, 1};
        return;
    }
    const float tw = float(tile_width), th = float(tile_height);
    if (!(frame >= 0) || std::floor(frame) >= float(get_frame_count())) {
        set_frame(0);
        texture_rect = {0, 0, tw / float(imw), th / float(imh)};
        return;
    }
    const int n = int(frame);
    const int cols = imw / tile_width;
    const float col = float(n % cols), row = float(n / cols);
    texture_rect = {tw * col / float(imw), th * row / float(imh), tw * (col + 1) / float(imw),
                    th * (row + 1) / float(imh)};
}

int CImageSprite::get_tile_height() { return tile_height; }

void CImageSprite::set_tile_height(int v) {
    if (!texture) return;
    int imh = texture->get_image_height();
    tile_height = (v < 1 || v > imh) ? imh : v;
    set_frame(get_frame());
    update_texture_rect();
}

int CImageSprite::get_tile_width() { return tile_width; }

void CImageSprite::set_tile_width(int v) {
    if (!texture) return;
    int imw = texture->get_image_width();
    tile_width = (v < 1 || v > imw) ? imw : v;
    set_frame(get_frame());
    update_texture_rect();
}

namespace {

// Passes of the animation's end that one update reports at most; whole laps beyond are skipped.
constexpr int kMaxAnimationLaps = 64;

// Index v when it names a frame, else the nearest end of 0..count-1 (0 while there is none).
int clamp_frame_index(int v, int count) {
    if (v >= 0 && v < count) return v;
    if (v < 0) return 0;
    return count > 0 ? count - 1 : 0;
}

}  // namespace

int CImageSprite::get_first_frame() { return first_frame; }

void CImageSprite::set_first_frame(int v) {
    first_frame = clamp_frame_index(v, get_frame_count());
    if (last_frame < first_frame) last_frame = first_frame;
    if (frame < float(first_frame) || frame > float(last_frame) + 1) set_frame(float(first_frame));
}

int CImageSprite::get_last_frame() { return last_frame; }

void CImageSprite::set_last_frame(int v) {
    last_frame = clamp_frame_index(v, get_frame_count());
    if (last_frame < first_frame) first_frame = last_frame;
    if (frame < float(first_frame) || frame > float(last_frame) + 1) set_frame(float(first_frame));
}

float CImageSprite::get_animation_speed() { return animation_speed; }

void CImageSprite::set_animation_speed(float v) { animation_speed = v >= 0 ? v : 0; }

float CImageSprite::get_frame() { return frame; }

void CImageSprite::set_frame(float v) {
    const float old = frame;
    const int count = get_frame_count();
    if (v >= 0 && v < float(count)) {
        frame = v;
    } else if (!(v >= 0)) {
        frame = float(first_frame);
    } else {
        // Frame `count` and beyond would address tiles outside the image.
        frame = float(count > 0 ? count - 1 : 0);
    }
    if (frame < float(first_frame)) first_frame = int(frame);
    if (frame > float(last_frame)) last_frame = int(frame);
    if (std::floor(old) != std::floor(frame)) update_texture_rect();
}

bool CImageSprite::is_playing() { return playing; }
void CImageSprite::set_playing(bool v) { playing = v; }

int CImageSprite::get_repeat_count() { return repeat_count; }
void CImageSprite::set_repeat_count(int v) { repeat_count = v; }

float CImageSprite::get_alpha() { return alpha; }

void CImageSprite::set_alpha(float v) {
    if (v >= 0 && v <= 255) alpha = v;
    else if (v > 255) alpha = 255;
    else alpha = 0;
}

void CImageSprite::set_border_x(int v) { border_x = v; }
int CImageSprite::get_border_x() { return border_x; }
void CImageSprite::set_border_y(int v) { border_y = v; }
int CImageSprite::get_border_y() { return border_y; }

ITexture* CImageSprite::get_texture() { return texture; }

void CImageSprite::set_texture(ITexture* t) {
    texture = t;
    if (t) {
        set_tile_width(t->get_image_width());
        set_tile_height(t->get_image_height());
        set_first_frame(first_frame);
        set_last_frame(last_frame);
        set_frame(frame);
    } else {
        tile_width = 0;
        tile_height = 0;
        frame = 0;
        first_frame = 0;
        last_frame = 0;
    }
}

CShaderProgram* CImageSprite::get_shader_program() { return shader_program; }
void CImageSprite::set_shader_program(CShaderProgram* p) { shader_program = p; }

// --- bounds and helpers ---

IntRect CImageSprite::get_bounds() {
    float s = get_scale();
    return {saturate_cast<int>(get_x()), saturate_cast<int>(get_y()), saturate_cast<int>(s * get_width()),
            saturate_cast<int>(s * get_height())};
}

IntRect CImageSprite::get_outer_bounds() { return get_bounds(); }

IntRect CImageSprite::get_absolute_bounds() {
    return {saturate_cast<int>(get_absolute_x()), saturate_cast<int>(get_absolute_y()),
            saturate_cast<int>(get_absolute_width()), saturate_cast<int>(get_absolute_height())};
}

IntRect CImageSprite::get_absolute_outer_bounds() { return get_absolute_bounds(); }

fquad2d CImageSprite::get_global_quad() {
    IntRect b = get_absolute_bounds();
    return fquad2d::from_rect(float(b.x), float(b.y), float(b.width), float(b.height));
}

void CImageSprite::move_by(float dx, float dy) {
    set_x(get_x() + dx);
    set_y(get_y() + dy);
}

void CImageSprite::set_position(float px, float py) {
    set_x(px);
    set_y(py);
}

void CImageSprite::resize_by(float dw, float dh) {
    set_width(get_width() + dw);
    set_height(get_height() + dh);
}

void CImageSprite::set_size(float w, float h) {
    set_width(w);
    set_height(h);
}

// --- animation ---

void CImageSprite::update(float dt) {
    if (playing && animation_speed > 0) {
        const float old = frame;
        frame += animation_speed * dt;
        if (!std::isfinite(frame)) frame = float(first_frame);
        // Laps beyond the last few are whole ones: skip them in one go, so that no speed makes
        // an update slow (a particle file may hold any speed).
        const float end = float(last_frame) + 1, range = float(last_frame - first_frame + 1);
        if (frame - end >= kMaxAnimationLaps * range)
            frame = end + (kMaxAnimationLaps - 1) * range + std::fmod(frame - end, range);
        // The range is read afresh on each pass: on_animation_end may stop or move the
        // animation. The setters keep first <= last, so each pass steps back at least one frame
        // (the count bounds it where a float step no longer shows).
        for (int lap = 0; lap < kMaxAnimationLaps && frame >= float(last_frame) + 1; ++lap) {
            frame -= float(last_frame - first_frame + 1);
            on_animation_end();
        }
        if (std::trunc(frame) != std::trunc(old)) update_texture_rect();
    }
    on_update(dt);
}

void CImageSprite::on_update(float) {}

void CImageSprite::on_animation_end() {
    if (get_repeat_count() < 0) return;
    set_repeat_count(get_repeat_count() - 1);
    if (get_repeat_count() < 0) {
        set_playing(false);
        set_frame(float(get_last_frame()));
    }
}

// --- drawing ---

void CImageSprite::draw(SDL_Surface* screen) {
    if (!is_visible()) return;
    if (depth_test) glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4d(1, 1, 1, alpha / 255.0);
    draw_image(screen);
    glDisable(GL_BLEND);
    if (depth_test) glDisable(GL_DEPTH_TEST);
}

void CImageSprite::draw_image(SDL_Surface*) {
    CShaderProgram* program = get_shader_program();
    ITexture* image = get_texture();
    const bool use_program = program && program->get_id() != 0;
    if (use_program) {
        program->bind(true);
    } else if (image && image->is_valid()) {
        image->bind();
    } else {
        return;
    }
    draw_pieces(image);
    if (use_program) program->unbind();
}

void CImageSprite::draw_pieces(ITexture* image) {
    const float w = get_width(), h = get_height();
    const int bxi = get_border_x(), byi = get_border_y();
    const float bx = float(bxi), by = float(byi);
    const TextureRect r = get_texture_rect();
    // A program drawn without an image has no texels to slice by.
    const int imw = image ? image->get_image_width() : 0;
    const int imh = image ? image->get_image_height() : 0;
    const float du = imw > 0 ? bx / float(imw) : 0.0f;
    const float dv = imh > 0 ? by / float(imh) : 0.0f;

    auto piece = [this](float x0, float x1, float y0, float y1, float ul, float ur, float vt, float vb) {
        fquad3d local({x0, y1, 0}, {x1, y1, 0}, {x1, y0, 0}, {x0, y0, 0});
        draw_textured_quad(quad3d_to_global(local), TextureRect{ul, vt, ur, vb});
    };

    if (bxi == 0 && byi == 0) {
        piece(0, w, 0, h, r.left, r.right, r.top, r.bottom);
    } else if (bxi == 0) {
        piece(0, w, 0, by, r.left, r.right, r.top, r.top + dv);
        piece(0, w, h - by, h, r.left, r.right, r.bottom - dv, r.bottom);
        piece(0, w, by, h - by, r.left, r.right, r.top + dv, r.bottom - dv);
    } else if (byi == 0) {
        piece(0, bx, 0, h, r.left, r.left + du, r.top, r.bottom);
        piece(w - bx, w, 0, h, r.right - du, r.right, r.top, r.bottom);
        piece(bx, w - bx, 0, h, r.left + du, r.right - du, r.top, r.bottom);
    } else {
        piece(0, bx, by, h - by, r.left, r.left + du, r.top + dv, r.bottom - dv);
        piece(w - bx, w, by, h - by, r.right - du, r.right, r.top + dv, r.bottom - dv);
        piece(bx, w - bx, 0, by, r.left + du, r.right - du, r.top, r.top + dv);
        piece(bx, w - bx, h - by, h, r.left + du, r.right - du, r.bottom - dv, r.bottom);
        piece(0, bx, 0, by, r.left, r.left + du, r.top, r.top + dv);
        piece(w - bx, w, 0, by, r.right - du, r.right, r.top, r.top + dv);
        piece(0, bx, h - by, h, r.left, r.left + du, r.bottom - dv, r.bottom);
        piece(w - bx, w, h - by, h, r.right - du, r.right, r.bottom - dv, r.bottom);
        piece(bx, w - bx, by, h - by, r.left + du, r.right - du, r.top + dv, r.bottom - dv);
    }
}

void CImageSprite::draw_textured_quad(fquad3d quad, TextureRect rect) {
    const float u[4] = {rect.left, rect.right, rect.right, rect.left};
    const float v[4] = {rect.bottom, rect.bottom, rect.top, rect.top};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(u[i], v[i]);
        glVertex3f(quad.c[i].x, quad.c[i].y, quad.c[i].z);
    }
    glEnd();
}
