#include "engine/gfx/font.h"

#include <GL/glew.h>
#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "engine/core/files.h"
#include "engine/core/logger.h"
#include "platform/paths.h"

namespace {

constexpr Uint32 kRedMask = 0x00FF0000;
constexpr Uint32 kGreenMask = 0x0000FF00;
constexpr Uint32 kBlueMask = 0x000000FF;
constexpr Uint32 kAlphaMask = 0xFF000000;

std::string to_lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int place(int box_pos, int box_size, int block_size, int align) {
    switch (align) {
    case AlignCentre: return int((box_size - block_size) * 0.5 + box_pos);
    case AlignEnd: return box_size - block_size + box_pos;
    default: return box_pos;
    }
}

int power_of_two_above(int size) { return int(std::pow(2.0, std::ceil(std::log2(double(size)))) + 0.5); }

// Every "\n" ends a line, so "a\n\nb" is three lines, the second empty.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t hit; (hit = text.find('\n', start)) != std::string::npos; start = hit + 1) {
        lines.push_back(text.substr(start, hit - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Texts are UTF-8. A byte string that is not (single bytes above 127 from older texts) is
// taken as Latin-1, so each of its bytes is still one character.
bool is_utf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t follow = 0;
        if (c < 0x80) follow = 0;
        else if (c >= 0xC2 && c < 0xE0) follow = 1;
        else if (c >= 0xE0 && c < 0xF0) follow = 2;
        else if (c >= 0xF0 && c < 0xF5) follow = 3;
        else return false;
        if (text.size() - i - 1 < follow) return false;
        for (std::size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}

int size_text(TTF_Font* font, const std::string& text, int* w, int* h) {
    return is_utf8(text) ? TTF_SizeUTF8(font, text.c_str(), w, h) : TTF_SizeText(font, text.c_str(), w, h);
}

SDL_Surface* render_text(TTF_Font* font, const std::string& text, SDL_Color colour) {
    return is_utf8(text) ? TTF_RenderUTF8_Blended(font, text.c_str(), colour)
                         : TTF_RenderText_Blended(font, text.c_str(), colour);
}

// Draws the block as one textured quad at (left, top) in the current projection.
void draw_block_with_gl(SDL_Surface* block, int left, int top) {
    int tex_w = power_of_two_above(block->w);
    int tex_h = power_of_two_above(block->h);
    SDL_Surface* padded =
        SDL_CreateRGBSurface(SDL_SWSURFACE, tex_w, tex_h, 32, kRedMask, kGreenMask, kBlueMask, kAlphaMask);
    if (!padded) return;
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(block, nullptr, padded, &at);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, tex_w, tex_h, 0, GL_BGRA, GL_UNSIGNED_BYTE, padded->pixels);

    float right = float(left + block->w);
    float bottom = float(top + block->h);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(float(left), float(top), 1);
    glTexCoord2f(1, 0);
    glVertex3f(right, float(top), 1);
    glTexCoord2f(1, 1);
    glVertex3f(right, bottom, 1);
    glTexCoord2f(0, 1);
    glVertex3f(float(left), bottom, 1);
    glEnd();
    glFinish();

    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
    SDL_FreeSurface(padded);
}

}  // namespace

// CFont ------------------------------------------------------------------------------------------

CFont::CFont(int32_t size, std::string path) { load(size, path); }

CFont::~CFont() {
    if (font) TTF_CloseFont(font);
}

void CFont::load(int32_t size, std::string path) {
    if (font) {
        TTF_CloseFont(font);
        font = nullptr;
    }
    font = TTF_OpenFont(platform::native_path(make_absolute_path(path)).c_str(), size);
    if (!font) {
        log_message(LogLevel::Error, "Failed to load font file " + path + ", SDL reports: " + SDL_GetError(),
                    log_class_name_of(*this));
    }
    name = path;
    point_size = size;
}

ivec2d CFont::get_text_size(const std::string& text) const {
    ivec2d size;
    if (!font) return size;
    int w = 0, h = 0;
    if (size_text(font, text, &w, &h) != 0) return size;
    size.x = w;
    size.y = h;
    return size;
}

void CFont::place_block(SDL_Surface* block, TextArea* area, int vertical, int horizontal, SDL_Surface* target) {
    int top = place(area->y, area->h, block->h, vertical);
    int left = place(area->x, area->w, block->w, horizontal);
    area->x = left;
    area->y = top;
    if (target) {
        area->w = block->w;
        area->h = block->h;
        SDL_Rect at = {Sint16(left), Sint16(top), 0, 0};
        SDL_BlitSurface(block, nullptr, target, &at);
        // Report only the part of the target that received text.
        if (left + area->w > target->w) area->w = target->w - left;
        if (top + area->h > target->h) area->h = target->h - top;
        area->w = std::max(area->w, 0);
        area->h = std::max(area->h, 0);
    } else {
        area->w = std::min(area->w, block->w);
        area->h = std::min(area->h, block->h);
        draw_block_with_gl(block, left, top);
    }
}

void CFont::render_line(uint8_t r, uint8_t g, uint8_t b, TextArea* area, int vertical, int horizontal,
                        SDL_Surface* target, const std::string& text) {
    if (!font || text.empty() || !area) return;
    SDL_Color colour = {r, g, b, 0};
    SDL_Surface* line = render_text(font, text, colour);
    if (!line) return;
    SDL_SetAlpha(line, 0, 255);  // blitting copies the text's alpha instead of blending it
    place_block(line, area, vertical, horizontal, target);
    SDL_FreeSurface(line);
}

void CFont::render_line(ColorRGB colour, TextArea* area, int vertical, int horizontal, SDL_Surface* target,
                        std::string text) {
    render_line(colour.r, colour.g, colour.b, area, vertical, horizontal, target, text);
}

void CFont::render_multiline(uint8_t r, uint8_t g, uint8_t b, TextArea* area, int vertical, int horizontal,
                             int32_t line_spacing, SDL_Surface* target, const std::string& text) {
    if (!font || text.empty() || !area) return;
    std::vector<std::string> lines = split_lines(text);
    std::vector<ivec2d> sizes;
    sizes.reserve(lines.size());
    int block_w = 0;
    int block_h = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        sizes.push_back(get_text_size(lines[i]));
        block_w = std::max(block_w, sizes.back().x);
        block_h += sizes.back().y + (i + 1 < lines.size() ? line_spacing : 0);
    }
    if (block_w <= 0 || block_h <= 0) return;  // nothing visible to place
    SDL_Surface* block = SDL_CreateRGBSurface(SDL_SRCALPHA | SDL_HWSURFACE, block_w, block_h, 32, kRedMask, kGreenMask,
                                              kBlueMask, kAlphaMask);
    if (!block) return;
    SDL_SetAlpha(block, 0, 255);
    SDL_Color colour = {r, g, b, 0};
    int y = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // An empty line has nothing to render (SDL_ttf gives no surface for it), only height.
        if (!lines[i].empty()) {
            SDL_Surface* line = render_text(font, lines[i], colour);
            if (line) {
                SDL_SetAlpha(line, 0, 255);
                int x = horizontal == AlignCentre ? int((block_w - line->w) * 0.5)
                        : horizontal == AlignEnd  ? block_w - line->w
                                                  : 0;
                SDL_Rect at = {Sint16(x), Sint16(y), 0, 0};
                SDL_BlitSurface(line, nullptr, block, &at);
                SDL_FreeSurface(line);
            }
        }
        y += sizes[i].y + line_spacing;
    }
    place_block(block, area, vertical, horizontal, target);
    SDL_FreeSurface(block);
}

void CFont::render_multiline(ColorRGB colour, TextArea* area, int vertical, int horizontal, int32_t line_spacing,
                             SDL_Surface* target, std::string text) {
    render_multiline(colour.r, colour.g, colour.b, area, vertical, horizontal, line_spacing, target, text);
}

// CFontFactory -----------------------------------------------------------------------------------

CFontFactory::CFontFactory() {
    log_message(LogLevel::Status, "Instance initialized. Did nothing. Great success!", log_class_name_of(*this));
}

CFontFactory::~CFontFactory() {
    remove_all_fonts();
    log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this));
}

CFont* CFontFactory::get_font(int32_t point_size, std::string path) {
    path = to_lower(path);
    for (CFont* font : fonts) {
        if (font->point_size == point_size && font->name == path) return font;
    }
    fonts.push_back(new CFont(point_size, path));
    return fonts.back();
}

void CFontFactory::remove_all_fonts() {
    while (!fonts.empty()) {
        delete fonts.front();
        fonts.erase(fonts.begin());
    }
    log_message(LogLevel::Status, "All fonts removed. Why, WHY would you do that?!", log_class_name_of(*this));
}
