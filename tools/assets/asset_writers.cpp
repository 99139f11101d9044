#include "tools/assets/asset_writers.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace assets {
namespace {

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

void put_tag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// libpng reports errors through longjmp, so nothing with a destructor lives in this frame.
bool write_png_rows(const std::string& path, int width, int height, int color_type,
                    const std::vector<png_color>& palette, const std::vector<uint8_t>& rows, std::size_t row_bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;  // survives the longjmp
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, color_type, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (color_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_PLTE(png, info, palette.data(), int(palette.size()));
        }
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            png_write_row(png, rows.data() + std::size_t(y) * row_bytes);
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    std::fclose(file);
    return ok;
}

}  // namespace

bool write_png_rgba(const std::string& path, const Image& image) {
    std::vector<uint8_t> rows;
    rows.reserve(image.pixels.size() * 4);
    for (const Rgba& p : image.pixels) rows.insert(rows.end(), {p.r, p.g, p.b, p.a});
    return write_png_rows(path, image.width, image.height, PNG_COLOR_TYPE_RGB_ALPHA, {}, rows,
                          std::size_t(image.width) * 4);
}

bool write_png_rgb(const std::string& path, const Image& image) {
    std::vector<uint8_t> rows;
    rows.reserve(image.pixels.size() * 3);
    for (const Rgba& p : image.pixels) rows.insert(rows.end(), {p.r, p.g, p.b});
    return write_png_rows(path, image.width, image.height, PNG_COLOR_TYPE_RGB, {}, rows, std::size_t(image.width) * 3);
}

bool write_png_palette(const std::string& path, const Image& image) {
    std::vector<png_color> palette;
    std::map<uint32_t, uint8_t> index_of;
    std::vector<uint8_t> rows;
    rows.reserve(image.pixels.size());
    for (const Rgba& p : image.pixels) {
        uint32_t key = uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
        auto it = index_of.find(key);
        if (it == index_of.end()) {
            if (palette.size() == 256) return false;
            it = index_of.emplace(key, uint8_t(palette.size())).first;
            palette.push_back(png_color{p.r, p.g, p.b});
        }
        rows.push_back(it->second);
    }
    return write_png_rows(path, image.width, image.height, PNG_COLOR_TYPE_PALETTE, palette, rows,
                          std::size_t(image.width));
}

bool write_ico(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > 256 || image.height > 256) {
        return false;
    }
    const uint32_t w = uint32_t(image.width);
    const uint32_t h = uint32_t(image.height);
    const uint32_t mask_row = (w + 31) / 32 * 4;
    const uint32_t image_bytes = 40 + w * h * 4 + mask_row * h;

    std::vector<uint8_t> out;
    put_u16(out, 0);  // reserved
    put_u16(out, 1);  // icon
    put_u16(out, 1);  // one image
    out.push_back(uint8_t(w == 256 ? 0 : w));
    out.push_back(uint8_t(h == 256 ? 0 : h));
    out.push_back(0);  // no palette
    out.push_back(0);  // reserved
    put_u16(out, 1);   // planes
    put_u16(out, 32);  // bits per pixel
    put_u32(out, image_bytes);
    put_u32(out, 6 + 16);

    put_u32(out, 40);
    put_u32(out, w);
    put_u32(out, h * 2);  // colour rows and mask rows
    put_u16(out, 1);
    put_u16(out, 32);
    put_u32(out, 0);  // uncompressed
    put_u32(out, w * h * 4 + mask_row * h);
    put_u32(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {  // bottom row first
        for (int x = 0; x < image.width; ++x) {
            const Rgba& p = image.at(x, y);
            out.insert(out.end(), {p.b, p.g, p.r, p.a});
        }
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(mask_row, 0);
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y).a == 0) row[std::size_t(x) / 8] |= uint8_t(0x80u >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return write_bytes(path, out);
}

bool write_wav(const std::string& path, const std::vector<float>& samples, int sample_rate) {
    const uint32_t data_bytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + data_bytes);
    put_tag(out, "RIFF");
    put_u32(out, 36 + data_bytes);
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put_u32(out, 16);
    put_u16(out, 1);  // PCM
    put_u16(out, 1);  // mono
    put_u32(out, uint32_t(sample_rate));
    put_u32(out, uint32_t(sample_rate) * 2);
    put_u16(out, 2);   // block align
    put_u16(out, 16);  // bits per sample
    put_tag(out, "data");
    put_u32(out, data_bytes);
    for (float s : samples) {
        float clipped = std::clamp(s, -1.0f, 1.0f);
        int value = int(std::lround(clipped * 32767.0f));
        put_u16(out, uint32_t(uint16_t(int16_t(value))));
    }
    return write_bytes(path, out);
}

}  // namespace assets
