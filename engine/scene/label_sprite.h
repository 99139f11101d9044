#pragma once
#include <cstdint>
#include <string>

#include "engine/gfx/font.h"
#include "engine/scene/image_sprite.h"

// Where a label lays out its text, in the label's local space.
struct TextBox {
    float x = 0, y = 0, width = 1, height = 1;
};

// An image sprite that also shows a text. The text is rendered once into a surface of its own
// (sized to the text box, raised to powers of two) and shown as one quad clipped to the text
// box; it is rendered again only when something that changes its look is set. The upload to
// GL waits for the next draw, so labels can be built and changed without a GL context, and
// sends only the part of the surface that changed. A draw shades only the pixels around the
// rendered text: the rest of the surface is clear, which the framework's alpha test drops.
class CLabelSprite : public CImageSprite {
public:
    explicit CLabelSprite(CSprite* parent = nullptr, CFont* font = nullptr);
    // Copies everything but the rendered surface and the GL texture, then renders afresh.
    CLabelSprite(const CLabelSprite& other);
    CLabelSprite& operator=(const CLabelSprite&) = delete;
    ~CLabelSprite() override;

    // A size change moves the text box's size by the same amount (and renders again).
    void set_width(float width) override;
    void set_height(float height) override;
    void draw_image(SDL_Surface* screen) override;

    virtual void draw_text(SDL_Surface* screen);
    virtual void render_text();
    virtual CFont* get_font();
    virtual void set_font(CFont* font);
    virtual ColorRGB get_text_color();
    virtual void set_text_color(ColorRGB colour);
    virtual TextBox get_text_box();
    // Renders again only when the width or the height changes; a move needs no new render.
    virtual void set_text_box(float x, float y, float width, float height);
    // 0 centred, 1 left, 2 right.
    virtual int get_horizontal_alignment();
    virtual void set_horizontal_alignment(int alignment);
    // 0 centred, 1 top, 2 bottom.
    virtual int get_vertical_alignment();
    virtual void set_vertical_alignment(int alignment);
    virtual std::string get_text();
    virtual void set_text(std::string text);
    // Extra pixels between lines of a multi-line text.
    virtual int get_line_spacing();
    virtual void set_line_spacing(int spacing);
    virtual bool is_multiline();
    virtual void set_multiline(bool multiline);

    // Draws the text clipped to the text box and the current viewport.
    void draw_label_text(SDL_Surface* screen);
    // The global quad outside which the text leaves every pixel alone (one texel around the
    // rendered text, which linear filtering reaches); false when the text shows nothing.
    bool text_footprint(fquad2d& global);

    // The last rendered text, or null (no font yet, or never rendered).
    SDL_Surface* get_text_surface() const { return text_surface; }
    // Side of the rendered surface for a text box side: the next power of two of the size
    // truncated, at least 1 (a box below one pixel still gets a surface) and at most 8192.
    static int surface_size_for(float box_size);

protected:
    SDL_Surface* text_surface = nullptr;
    uint32_t gl_texture = 0;
    CFont* font = nullptr;
    ColorRGB text_color;
    std::string text;
    int horizontal_alignment = 0;
    int vertical_alignment = 0;
    TextBox text_box;
    int line_spacing = 0;
    bool multiline = false;
    // The surface changed since it was last handed to GL.
    bool upload_pending = false;

private:
    // The part of the surface the text was rendered into; all else is clear.
    TextArea inked_;
    // What changed in the surface since the last upload (old and new text alike), and whether
    // the texture must take the whole surface (a new surface, or none uploaded yet).
    TextArea changed_;
    bool upload_whole_ = true;
};
