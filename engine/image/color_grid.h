#pragma once
#include <string>
#include <vector>

#include "engine/core/geometry.h"

struct SDL_Surface;

// A grid of colours stored row by row: element (x, y) at y * width + x.
class ColorGrid {
public:
    ColorGrid() = default;
    ColorGrid(int width, int height) { resize(width, height); }

    int width() const { return width_; }
    int height() const { return height_; }
    // Callers pass coordinates inside the grid.
    ColorRGBA& at(int x, int y) { return cells_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    const ColorRGBA& at(int x, int y) const { return cells_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    const std::vector<ColorRGBA>& cells() const { return cells_; }

    // Keeps the elements inside both the old and the new size, zero-fills the rest; negative
    // sizes count as 0.
    void resize(int new_width, int new_height);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<ColorRGBA> cells_;
};

// The pixel at (x, y) of a surface of any pixel size; (0, 0, 0, 0) outside the surface.
ColorRGBA get_surface_pixel(SDL_Surface* surface, int x, int y);

// Loads the image (path under the working directory) into the grid; false, leaving the grid
// as it was, when it does not load.
bool load_image_colors(std::string path, ColorGrid& out);
