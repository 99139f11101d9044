#pragma once
// Pixel-art helpers of the object and screen images: a canvas over one frame of a sheet that
// clips to the frame, flat and lit shapes (lit from the upper left in three bands), a dark
// outline around what was drawn, and mirroring.
#include <vector>

#include "tools/assets/asset_writers.h"
#include "tools/assets/level_drawing.h"

namespace assets::sprite_drawing {

using level_drawing::Point;

Rgba rgba(int r, int g, int b, int a = 255);
// Brightness scaled by f (alpha kept).
Rgba shade(Rgba c, float f);
Rgba mix(Rgba a, Rgba b, float t);

// One frame (tile) of an image; coordinates are relative to the frame's top-left corner.
class Canvas {
public:
    Canvas(Image& image, int x0, int y0, int width, int height);
    explicit Canvas(Image& image) : Canvas(image, 0, 0, image.width, image.height) {}

    int width() const { return w_; }
    int height() const { return h_; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    void put(int x, int y, Rgba c);
    Rgba get(int x, int y) const;
    bool filled(int x, int y) const { return inside(x, y) && get(x, y).a > 0; }

    void rect(int x0, int y0, int x1, int y1, Rgba c);  // [x0, x1) x [y0, y1)
    void ellipse(float cx, float cy, float rx, float ry, Rgba c);
    void line(float x0, float y0, float x1, float y1, float width, Rgba c);
    void polygon(const std::vector<Point>& points, Rgba c);
    // The same shapes shaded as rounded bodies.
    void lit_ellipse(float cx, float cy, float rx, float ry, Rgba c);
    void lit_line(float x0, float y0, float x1, float y1, float width, Rgba c);
    // Flat shapes with the top rows lighter and the bottom rows darker.
    void lit_rect(int x0, int y0, int x1, int y1, Rgba c);

    // Clear pixels next to (4-neighbour) drawn ones take the colour.
    void outline(Rgba c);
    void mirror();
    // Every pixel's alpha times f.
    void fade(float f);

private:
    Image& image_;
    int x0_, y0_, w_, h_;
};

// Clear pixels take the colour of a drawn neighbour (alpha stays 0), so that linear filtering
// does not draw dark fringes around shapes.
void bleed_edges(Image& image);

// Brightness factor of a surface whose outward normal is (nx, ny), quantised to bands.
float light_band(float nx, float ny);

}  // namespace assets::sprite_drawing
