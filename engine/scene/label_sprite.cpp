#include "engine/scene/label_sprite.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>

#include "engine/gfx/viewport.h"

namespace {

constexpr int kLargestSurfaceSide = 8192;

bool is_empty(const TextArea& a) { return a.w <= 0 || a.h <= 0; }

// The smallest area holding both.
TextArea united(const TextArea& a, const TextArea& b) {
    if (is_empty(a)) return b;
    if (is_empty(b)) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    return {x0, y0, std::max(a.x + a.w, b.x + b.w) - x0, std::max(a.y + a.h, b.y + b.h) - y0};
}

// The part of the area that lies on the surface.
TextArea on_surface(const TextArea& a, const SDL_Surface* s) {
    const int x0 = std::max(a.x, 0), y0 = std::max(a.y, 0);
    const int x1 = std::min(a.x + std::max(a.w, 0), s->w), y1 = std::min(a.y + std::max(a.h, 0), s->h);
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

CLabelSprite::CLabelSprite(CSprite* parent_, CFont* font_) : CImageSprite(parent_), font(font_) {}

CLabelSprite::CLabelSprite(const CLabelSprite& o)
    : CImageSprite(o),
      font(o.font),
      text_color(o.text_color),
      text(o.text),
      horizontal_alignment(o.horizontal_alignment),
      vertical_alignment(o.vertical_alignment),
      text_box(o.text_box),
      line_spacing(o.line_spacing),
      multiline(o.multiline) {
    render_text();
}

CLabelSprite::~CLabelSprite() {
    if (text_surface) SDL_FreeSurface(text_surface);
    if (gl_texture != 0) glDeleteTextures(1, &gl_texture);
}

int CLabelSprite::surface_size_for(float box_size) {
    // Below one pixel the logarithm of the truncated size would be that of 0.
    if (!(box_size >= 1)) return 1;
    if (box_size >= float(kLargestSurfaceSide)) return kLargestSurfaceSide;
    const int n = int(box_size);
    int side = 1;
    while (side < n) side *= 2;
    return side;
}

void CLabelSprite::render_text() {
    upload_pending = false;
    const int w = surface_size_for(text_box.width);
    const int h = surface_size_for(text_box.height);
    if (text_surface && (!font || text_surface->w != w || text_surface->h != h)) {
        SDL_FreeSurface(text_surface);
        text_surface = nullptr;
        inked_ = {};
    }
    if (!font) return;

    if (text_surface) {
        // The same surface again: only the old text needs clearing.
        SDL_Rect old = {Sint16(inked_.x), Sint16(inked_.y), Uint16(inked_.w), Uint16(inked_.h)};
        if (!is_empty(inked_)) SDL_FillRect(text_surface, &old, 0);
    } else {
        text_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        if (!text_surface) return;
        SDL_FillRect(text_surface, nullptr, 0);
        upload_whole_ = true;
    }
    changed_ = united(changed_, inked_);
    inked_ = {};
    if (!text.empty()) {
        TextArea area;
        area.w = std::min(text_box.width >= 1 ? int(text_box.width) : 0, w);
        area.h = std::min(text_box.height >= 1 ? int(text_box.height) : 0, h);
        if (multiline) {
            font->render_multiline(text_color, &area, vertical_alignment, horizontal_alignment, line_spacing,
                                   text_surface, text);
        } else {
            font->render_line(text_color, &area, vertical_alignment, horizontal_alignment, text_surface, text);
        }
        // Where the text went; when nothing was placed the area is still the box, which holds
        // at most clear pixels.
        inked_ = on_surface(area, text_surface);
    }
    changed_ = united(changed_, inked_);
    upload_pending = true;
}

void CLabelSprite::set_width(float v) {
    if (!(v >= 0)) return;
    const TextBox b = text_box;
    set_text_box(b.x, b.y, b.width + (v - get_width()), b.height);
    CImageSprite::set_width(v);
}

void CLabelSprite::set_height(float v) {
    if (!(v >= 0)) return;
    const TextBox b = text_box;
    set_text_box(b.x, b.y, b.width, b.height + (v - get_height()));
    CImageSprite::set_height(v);
}

CFont* CLabelSprite::get_font() { return font; }

void CLabelSprite::set_font(CFont* f) {
    font = f;
    render_text();
}

ColorRGB CLabelSprite::get_text_color() { return text_color; }

void CLabelSprite::set_text_color(ColorRGB c) {
    text_color = c;
    render_text();
}

TextBox CLabelSprite::get_text_box() { return text_box; }

void CLabelSprite::set_text_box(float bx, float by, float bw, float bh) {
    const bool resized = bw != text_box.width || bh != text_box.height;
    text_box = {bx, by, bw, bh};
    if (resized) render_text();
}

int CLabelSprite::get_horizontal_alignment() { return horizontal_alignment; }

void CLabelSprite::set_horizontal_alignment(int a) {
    if (a == horizontal_alignment) return;
    horizontal_alignment = a;
    render_text();
}

int CLabelSprite::get_vertical_alignment() { return vertical_alignment; }

void CLabelSprite::set_vertical_alignment(int a) {
    if (a == vertical_alignment) return;
    vertical_alignment = a;
    render_text();
}

std::string CLabelSprite::get_text() { return text; }

void CLabelSprite::set_text(std::string t) {
    if (t == text) return;
    text = std::move(t);
    render_text();
}

int CLabelSprite::get_line_spacing() { return line_spacing; }

void CLabelSprite::set_line_spacing(int s) {
    if (s == line_spacing) return;
    line_spacing = s;
    render_text();
}

bool CLabelSprite::is_multiline() { return multiline; }

void CLabelSprite::set_multiline(bool m) {
    if (m == multiline) return;
    multiline = m;
    render_text();
}

void CLabelSprite::draw_image(SDL_Surface* screen) {
    CImageSprite::draw_image(screen);
    draw_label_text(screen);
}

void CLabelSprite::draw_label_text(SDL_Surface* screen) {
    if (!text_surface) return;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float vx = float(viewport[0]);
    const float vw = float(viewport[2]);
    const float vh = float(viewport[3]);
    const float vtop = float(CViewport::window_height - viewport[1] - viewport[3]);

    const TextBox b = text_box;
    const QuadBounds region = quad_bounds(quad_to_global(fquad2d::from_rect(b.x, b.y, b.width, b.height)));
    if (!(region.x < vx + vw && region.y < vtop + vh && vx < region.x + region.width &&
          vtop < region.y + region.height)) {
        return;
    }
    const float left = std::max(region.x, vx);
    const float top = std::max(region.y, vtop);
    const float right = std::min(region.x + region.width, vx + vw);
    const float bottom = std::min(region.y + region.height, vtop + vh);
    const int cx = int(std::floor(left));
    const int cy = int(std::floor(top));
    const int cw = int(std::ceil(right)) - cx;
    const int ch = int(std::ceil(bottom)) - cy;
    if (CViewport::setup_projection(cx, cy, cw, ch, float(cx), float(cy), float(cw), float(ch))) {
        draw_text(screen);
        CViewport::setup_projection(viewport[0], int(vtop), viewport[2], viewport[3], vx, vtop, vw, vh);
    }
}

bool CLabelSprite::text_footprint(fquad2d& global) {
    if (!text_surface || is_empty(inked_)) return false;
    const TextBox b = text_box;
    global = quad_to_global(fquad2d::from_rect(b.x + float(inked_.x - 1), b.y + float(inked_.y - 1),
                                               float(inked_.w + 2), float(inked_.h + 2)));
    return true;
}

void CLabelSprite::draw_text(SDL_Surface*) {
    if (!text_surface) return;
    if (upload_pending) {
        if (gl_texture == 0) glGenTextures(1, &gl_texture);
        glBindTexture(GL_TEXTURE_2D, gl_texture);
        bool locked = SDL_MUSTLOCK(text_surface) && SDL_LockSurface(text_surface) == 0;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        if (upload_whole_) {
            glTexImage2D(GL_TEXTURE_2D, 0, 4, text_surface->w, text_surface->h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                         text_surface->pixels);
        } else if (!is_empty(changed_)) {
            // The texture holds the surface as it was: only the changed rows and columns go.
            glPixelStorei(GL_UNPACK_ROW_LENGTH, text_surface->pitch / 4);
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, changed_.x);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, changed_.y);
            glTexSubImage2D(GL_TEXTURE_2D, 0, changed_.x, changed_.y, changed_.w, changed_.h, GL_BGRA, GL_UNSIGNED_BYTE,
                            text_surface->pixels);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        }
        if (locked) SDL_UnlockSurface(text_surface);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        upload_pending = false;
        upload_whole_ = false;
        changed_ = {};
    }
    // Bound as before, drawn or not: what follows finds the same state.
    glBindTexture(GL_TEXTURE_2D, gl_texture);
    // A clear surface shows nothing; elsewhere only the pixels near the text can (one more
    // pixel covers the rounding).
    fquad2d near_text;
    if (!text_footprint(near_text)) return;
    ScopedScissor clip(window_rect_of(near_text).grown(1));
    if (clip.empty()) return;
    const TextBox b = text_box;
    fquad3d quad = quad3d_to_global(fquad3d::from_rect(b.x, b.y, float(text_surface->w), float(text_surface->h), 0));
    draw_textured_quad(quad, TextureRect{0, 0, 1, 1});
}
