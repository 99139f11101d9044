#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/geometry.h"

struct SDL_Surface;
typedef struct _TTF_Font TTF_Font;

// On entry the box to place a text in; on return where the text went.
struct TextArea {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// Alignment of a text block: 0 centre, 1 left or top, 2 right or bottom.
enum TextAlign : int { AlignCentre = 0, AlignStart = 1, AlignEnd = 2 };

// One TrueType file opened at one point size. A font whose file did not open measures (0, 0)
// and renders nothing.
class CFont {
public:
    CFont(int32_t point_size, std::string path);
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    void load(int32_t point_size, std::string path);
    std::string get_name() const { return name; }
    int32_t get_point_size() const { return point_size; }
    bool is_loaded() const { return font != nullptr; }

    // Width (x) and height (y) of the text in pixels.
    ivec2d get_text_size(const std::string& text) const;

    // Renders one line into `target`, or, with no target, straight to the current GL buffer.
    void render_line(uint8_t r, uint8_t g, uint8_t b, TextArea* area, int vertical, int horizontal, SDL_Surface* target,
                     const std::string& text);
    void render_line(ColorRGB colour, TextArea* area, int vertical, int horizontal, SDL_Surface* target,
                     std::string text);
    // Renders the lines between "\n" as one block; empty lines take their height.
    void render_multiline(uint8_t r, uint8_t g, uint8_t b, TextArea* area, int vertical, int horizontal,
                          int32_t line_spacing, SDL_Surface* target, const std::string& text);
    void render_multiline(ColorRGB colour, TextArea* area, int vertical, int horizontal, int32_t line_spacing,
                          SDL_Surface* target, std::string text);

private:
    friend class CFontFactory;
    // Places the block in the area, then blits it onto the target or draws it with GL.
    void place_block(SDL_Surface* block, TextArea* area, int vertical, int horizontal, SDL_Surface* target);

    TTF_Font* font = nullptr;
    std::string name;
    int32_t point_size = 0;
};

// Caches fonts by lower-cased path and point size; owns them.
class CFontFactory {
public:
    CFontFactory();
    ~CFontFactory();
    CFontFactory(const CFontFactory&) = delete;
    CFontFactory& operator=(const CFontFactory&) = delete;

    // Never null: a file that does not open still yields a cached font that draws nothing.
    CFont* get_font(int32_t point_size, std::string path);
    void remove_all_fonts();
    std::size_t size() const { return fonts.size(); }

private:
    std::vector<CFont*> fonts;
};
