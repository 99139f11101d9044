#include "tools/assets/widget_assets.h"

#include <cstdio>

#include "tools/assets/asset_writers.h"

namespace assets {
namespace {

// One palette per program, so the two skins are told apart at a glance.
struct SkinColours {
    Rgba outline;
    Rgba highlight;
    Rgba panel;
    Rgba button[4];  // normal, hover, pressed, disabled
    Rgba box;
    Rgba mark;
    Rgba third;
    Rgba row[3];  // normal, third state, selected
};

const SkinColours kClient = {
    {52, 56, 66, 255},    {250, 250, 248, 255},
    {228, 225, 218, 255}, {{190, 196, 206, 255}, {214, 224, 242, 255}, {150, 160, 182, 255}, {162, 162, 162, 255}},
    {250, 250, 250, 255}, {36, 120, 60, 255},
    {150, 150, 150, 255}, {{240, 240, 234, 255}, {206, 222, 244, 255}, {52, 84, 150, 255}},
};

const SkinColours kEditor = {
    {40, 44, 56, 255},    {236, 240, 248, 255},
    {206, 212, 224, 255}, {{176, 186, 204, 255}, {200, 214, 238, 255}, {136, 150, 178, 255}, {150, 152, 158, 255}},
    {244, 246, 250, 255}, {40, 90, 170, 255},
    {140, 144, 152, 255}, {{226, 230, 238, 255}, {196, 210, 236, 255}, {150, 176, 226, 255}},
};

void fill(Image& image, int x, int y, int w, int h, Rgba c) {
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) image.at(i, j) = c;
    }
}

// A framed rectangle: outline, a one-pixel highlight along the top and left, then the fill.
void framed(Image& image, int x, int y, int w, int h, Rgba fill_colour, const SkinColours& s) {
    fill(image, x, y, w, h, s.outline);
    fill(image, x + 1, y + 1, w - 2, h - 2, fill_colour);
    fill(image, x + 1, y + 1, w - 2, 1, s.highlight);
    fill(image, x + 1, y + 1, 1, h - 2, s.highlight);
}

Image background(const SkinColours& s) {
    Image image(32, 32);
    framed(image, 0, 0, 32, 32, s.panel, s);
    return image;
}

Image button(const SkinColours& s) {
    Image image(96, 24);
    for (int frame = 0; frame < 4; ++frame) framed(image, frame * 24, 0, 24, 24, s.button[frame], s);
    return image;
}

// The box sits in the left columns 1 to 12 of each frame; the rest stays clear, so the sliced
// middle strip (at column 14) adds nothing across the widget.
Image checkbox(const SkinColours& s) {
    Image image(84, 24);
    fill(image, 0, 0, 84, 24, {0, 0, 0, 0});
    for (int frame = 0; frame < 3; ++frame) {
        const int x = frame * 28 + 1;
        framed(image, x, 6, 12, 12, s.box, s);
        if (frame == 0) fill(image, x + 3, 9, 6, 6, s.mark);
        if (frame == 2) fill(image, x + 3, 9, 6, 6, s.third);
    }
    return image;
}

Image list_entry(const SkinColours& s) {
    Image image(90, 30);
    for (int frame = 0; frame < 3; ++frame) {
        fill(image, frame * 30, 0, 30, 30, s.row[frame]);
        fill(image, frame * 30, 29, 30, 1, s.outline);
    }
    return image;
}

bool write_skin(const std::string& folder, const SkinColours& s) {
    bool ok = true;
    auto save = [&ok](const std::string& path, const Image& image) {
        if (!write_png_rgba(path, image)) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", path.c_str());
            ok = false;
        }
    };
    save(folder + "/background.png", background(s));
    save(folder + "/button.png", button(s));
    save(folder + "/checkbox.png", checkbox(s));
    save(folder + "/lb_entry.png", list_entry(s));
    return ok;
}

}  // namespace

bool write_widget_assets(const std::string& run_folder) {
    const bool client = write_skin(run_folder + "/gfx", kClient);
    const bool editor = write_skin(run_folder + "/gfx/partEd", kEditor);
    return client && editor;
}

}  // namespace assets
