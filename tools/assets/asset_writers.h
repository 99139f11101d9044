#pragma once
// File writers of the asset generator. Every multi-byte value is written little-endian byte by
// byte, whatever the host.
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// An image held as RGBA, row 0 at the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Image(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h)) {}
    Rgba& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    const Rgba& at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// PNG colour types the game loads: 8-bit RGBA, 8-bit RGB (alpha dropped) and 8-bit palette
// (every pixel's colour must be in the palette, at most 256 entries).
bool write_png_rgba(const std::string& path, const Image& image);
bool write_png_rgb(const std::string& path, const Image& image);
bool write_png_palette(const std::string& path, const Image& image);

// A Windows icon with one 32-bit image (BMP layout with its AND mask); at most 256x256.
bool write_ico(const std::string& path, const Image& image);

// 16-bit PCM WAV, mono; samples in -1..1 are scaled and clipped.
bool write_wav(const std::string& path, const std::vector<float>& samples, int sample_rate);

}  // namespace assets
