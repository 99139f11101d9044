#include "game/level_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "engine/files.h"
#include "engine/logger.h"
#include "engine/random.h"
#include "game/settings.h"
#include "game/simplex_noise.h"
#include "game/terrain_pixels.h"

GeneratorCallbacks::GeneratorCallbacks(const PlacementCallback* item, const PlacementCallback* weapon,
                                       const PlacementCallback* crate, const PlacementCallback* portal) {
    const PlacementCallback* given[4] = {item, weapon, crate, portal};
    for (int i = 0; i < 4; ++i)
        if (given[i]) entries[i] = *given[i];
}

CellGrid::CellGrid(int w, int h)
    : width(std::max(w, 0)), height(std::max(h, 0)), cells(std::size_t(width) * std::size_t(height), 0) {}

namespace {

constexpr ColorRGBA kKeyWater{0, 0, 255, 255};
constexpr ColorRGBA kKeyDestructible{150, 150, 150, 255};
constexpr ColorRGBA kKeySlot{0, 255, 0, 255};
constexpr ColorRGBA kKeyExplosive{255, 0, 0, 255};

// The random number is drawn by the caller before this test, so that a peer whose delegates do
// nothing draws the same sequence.
void request(const GeneratorCallbacks* callbacks, GeneratorCallbacks::Entry entry, int x, int y, int w,
             int h, int r) {
    if (callbacks && callbacks->entries[entry].is_valid()) callbacks->entries[entry](x, y, w, h, r);
}

// x / w as the presets compute it.
inline float ratio(int v, int size) { return static_cast<float>(v) / static_cast<float>(size); }

// Octave noise of the 2D presets, X and Y taken per column and per row.
class NoiseField {
public:
    NoiseField(const LevelParameters& p, int w, int h) : octaves_(std::max(p.octaves, 0)) {
        xs_.resize(std::size_t(w));
        ys_.resize(std::size_t(h));
        for (int x = 0; x < w; ++x)
            xs_[std::size_t(x)] = ratio(x, w) * p.scale_x * 15.0f + p.scale_x * 256.0f * p.offset_x;
        for (int y = 0; y < h; ++y)
            ys_[std::size_t(y)] = ratio(y, h) * p.scale_y * 20.0f + p.scale_y * 256.0f * p.offset_y;
        for (int i = 0; i < octaves_; ++i) factors_.push_back(octave_factor(i));
    }

    float at(int x, int y) const {
        float X = xs_[std::size_t(x)], Y = ys_[std::size_t(y)];
        float sum = 0.0f;
        for (float f : factors_) sum += simplex_noise_2d(X * f, Y * f);
        return sum;
    }

private:
    int octaves_;
    std::vector<float> xs_, ys_, factors_;
};

// The surface values of the material colours, mapped once per generation.
struct MaterialPixels {
    explicit MaterialPixels(const TerrainPixels& px)
        : air(px.map(color_air)),
          water(px.map(color_water)),
          staticwater(px.map(color_staticwater)),
          explosive(px.map(color_explosive)),
          ladder(px.map(color_ladder)),
          destructible(px.map(color_destructible)),
          indestructible(px.map(color_indestructible)) {}

    uint32_t of_cell(int32_t code) const {
        switch (static_cast<GeneratorCell>(code)) {
        case GeneratorCell::Water: return water;
        case GeneratorCell::Outside: return staticwater;
        case GeneratorCell::Explosive: return explosive;
        case GeneratorCell::Ladder: return ladder;
        case GeneratorCell::Destructible: return destructible;
        case GeneratorCell::Indestructible: return indestructible;
        default: return air;  // Air, ObjectSlot, and nothing else is ever left in the grid
        }
    }

    uint32_t air, water, staticwater, explosive, ladder, destructible, indestructible;
};

inline int mod_positive(int v, int n) {
    int m = v % n;
    return m < 0 ? m + n : m;
}

// --- templates ---

LevelTemplates g_templates;

void load_template_list(const std::string& pattern, std::vector<ColorGrid>& list, bool recognise_red) {
    std::string folder = pattern.substr(0, pattern.size() - 1);  // without the "*"
    std::vector<std::string> names = list_files(pattern);
    list.clear();
    list.resize(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        ColorGrid& grid = list[i];
        if (!load_image_colors(folder + names[i], grid)) {
            log_message(LogLevel::Error, "Failed to load level template \"" + folder + names[i] + "\"", "");
            continue;
        }
        // Key colours become materials; the entry stays even when empty, so that every peer
        // picks templates by the same index.
        for (int y = 0; y < grid.height(); ++y) {
            for (int x = 0; x < grid.width(); ++x) {
                ColorRGBA& c = grid.at(x, y);
                if (c == kKeyWater) c = color_water;
                else if (c == kKeyDestructible) c = color_destructible;
                else if (c == kKeySlot) continue;
                else if (recognise_red && c == kKeyExplosive) c = color_explosive;
                else c = color_air;
            }
        }
    }
}

// --- the Submarine hull walker ---

class HullWalker {
public:
    HullWalker(CellGrid& grid, const LevelParameters& p) : g_(grid) {
        gw = grid.width;
        gh = grid.height;
        X = static_cast<int>((p.size_x / 100u) * 30u);
        Y = static_cast<int>((p.size_y / 100u) * 30u);
        X0 = X;
        Y0 = Y;
        T = static_cast<int>(p.offset_y * 15.0f + 15.0f);
        Wl = static_cast<int>((1.0f - p.water_level) * 0.3f * static_cast<float>(gh));
        S = static_cast<int>(p.scale_y * 128.0f + 100.0f);
        F = static_cast<int>(p.scale_x * 20.0f + 5.0f);
        // Sanitised parameters keep S in 100..228; the guard keeps `mod S` defined whatever.
        if (S < 1) S = 1;
    }

    void dig_tunnels();
    void mark_outside();
    void build_decks();
    void build_rooms(const LevelTemplates& templates);
    void place_ladder(int x0, int y0);

    int gw, gh;
    int X, Y, X0, Y0;
    const int L = 128;
    int T, Wl, S, F;
    int D = 1;
    bool bow_built = false, tower_built = false, torpedo_set = false;
    int tower_x = 0, tower_y = 0, torpedo_x = 0, torpedo_y = 0, motor_x = 0, motor_y = 0;
    int ladder_x = 0;

private:
    void put(int x, int y) { g_.set(x, y, GeneratorCell::Destructible); }

    // [x0, x1) x [y0, y1), cells inside the grid with x > 0 and y > 0.
    void fill_straight(int x0, int x1, int y0, int y1) {
        x0 = std::max(x0, 1);
        y0 = std::max(y0, 1);
        x1 = std::min(x1, gw);
        y1 = std::min(y1, gh);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) put(x, y);
    }
    // The same with x >= 0 and y >= 0.
    void fill_open(int x0, int x1, int y0, int y1) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, gw);
        y1 = std::min(y1, gh);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) put(x, y);
    }
    // The cells of the box whose squared distance from the centre lies in [(R - T)^2, R^2].
    void fill_arc(int x0, int x1, int y0, int y1, int cx, int cy, int R) {
        long long outer = static_cast<long long>(R) * R;
        long long inner = static_cast<long long>(R - T) * (R - T);
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, gw);
        y1 = std::min(y1, gh);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                long long dx = x - cx, dy = y - cy;
                long long d = dx * dx + dy * dy;
                if (d >= inner && d <= outer) put(x, y);
            }
        }
    }

    void right() {
        fill_straight(X, X + L + 1, Y, Y + T);
        X = X + L - T;
        D = 1;
    }
    void left() {
        fill_straight(X - L, X + 1, Y, Y + T);
        X = X - L;
        D = 3;
    }
    void down() {
        fill_straight(X, X + T + 1, Y, Y + L);
        Y = Y + L - T;
        D = 1;
    }
    void up() {
        fill_straight(X, X + T + 1, Y - L, Y + T);
        Y = Y - L;
        D = 0;
    }
    void corner(int d) {
        switch (D) {
        case 0:
            fill_open(X, X + T, Y - T, Y);
            Y = Y - T;
            break;
        case 1:
        case 2: fill_open(X, X + T, Y, Y + T); break;
        case 3:
            fill_open(X - T, X, Y, Y + T);
            X = X - T;
            break;
        default: break;
        }
        if (d == 1 || d == 3) D = d;
    }
    void arc_up_right() {
        fill_arc(X, X + L, Y - L, Y, X + L, Y, L);
        X = X + L;
        Y = Y - L;
        D = 1;
    }
    void arc_down_right() {
        fill_arc(X, X + L, Y, Y + L, X, Y + L, L);
        X = X + L - T;
        Y = Y + L;
        corner(1);
    }
    void arc_down_left() {
        fill_arc(X - L, X, Y, Y + L, X - L, Y, L);
        if (!torpedo_set) {
            torpedo_set = true;
            torpedo_x = X - 200;
            torpedo_y = Y - L / 2;
        }
        Y = Y + L - T;
        X = X - L;
    }
    void arc_up_left() {
        fill_arc(X - L, X, Y + T - L, Y + T, X, Y + T - L, L);
        D = 2;
        X = X - L;
        Y = Y + T - L;
        corner(3);
    }
    void bow() {
        fill_arc(X, X + 3 * L + 1, Y, Y + 5 * L + 1, X, Y + 5 * L - 5 * L / 2, 5 * L / 2 + 2);
        Y = Y + 5 * L - T + 2;
        D = 3;
        bow_built = true;
    }
    void tower() {
        up();
        arc_up_right();
        tower_x = X - 10;
        tower_y = Y - 77;
        right();
        down();
        down();
        int ly = 0;
        for (int r = 0; r < gh; ++r) {
            if (r % S == S - 1 && r > Wl) {
                ly = r + F + 1;
                break;
            }
        }
        int lx = X - 70;
        ladder_x = lx;
        place_ladder(lx, ly);
        place_ladder(lx, ly + S);
        place_ladder(lx, ly + 2 * S);
        right();
        tower_built = true;
    }
    void stern() {
        left();
        down();
        left();
        left();
        up();
        up();
        right();
        up();
        left();
        motor_x = X + L / 2 + T;
        motor_y = Y - L / 2 + T + 15;
        up();
        up();
        right();
        right();
        down();
        corner(1);
    }
    void close() {
        if (X0 != X) {
            float slope = std::fabs(static_cast<float>(Y0 - Y) / static_cast<float>(X0 - X));
            int step = X0 > X ? 1 : -1;
            for (int offset = 0; offset <= T; ++offset) {
                float a = 0.0f;
                int row = Y;
                for (int col = X;; col += step) {
                    if (col >= 0 && col < gw) {
                        a += slope;
                        if (g_.inside(col, row + offset)) put(col, row + offset);
                        if (a >= 0.5f) {
                            a -= 1.0f;
                            row -= 1;
                        }
                    }
                    if (col == X0) break;
                }
            }
        }
        X = X0;
        Y = Y0;
        D = 1;
        corner(1);
    }

    CellGrid& g_;
};

void HullWalker::place_ladder(int x0, int y0) {
    for (int x = x0; x <= x0 + 63; ++x) {
        for (int y = y0 - F - 2; y <= y0 + S - F - 1; ++y) {
            if (!g_.inside(x, y) || x <= 0 || y <= 0) continue;
            bool rail = x == x0 || x == x0 + 1 || x == x0 + 62 || x == x0 + 63;
            if (g_.is(x, y, GeneratorCell::Air) && (rail || y % 8 == 0)) g_.set(x, y, GeneratorCell::Ladder);
            if (y <= y0) g_.set(x, y, GeneratorCell::Ladder);  // the opening through the deck
        }
    }
}

void HullWalker::dig_tunnels() {
    int moves = 0, lefts = 0, up_arcs = 0, down_arcs = 0;
    bow_built = tower_built = torpedo_set = false;
    D = 1;
    int q = random_draw() % 100;
    random_draw();
    random_draw();
    for (int step = 0; step < 100; ++step) {
        if (X > (gw / 100) * 80 && tower_built && !bow_built) {
            bow();
            down_arcs = 0;
        } else if (moves >= q % 4 && !tower_built) {
            tower();
        } else if (!bow_built) {
            // Heading right along the top.
            if (!tower_built) {
                int r = random_draw() % 100;
                if (r >= 40 && up_arcs < 1) {
                    arc_up_right();
                    ++up_arcs;
                    ++moves;
                    continue;
                }
            }
            if (down_arcs < 2) {
                int r = random_draw() % 100;
                if (r > 50 && tower_built) {
                    arc_down_right();
                    ++down_arcs;
                    ++moves;
                    continue;
                }
            }
            right();
            ++moves;
        } else {
            // Heading left along the bottom.
            if (X <= (gw / 100) * 25) {
                stern();
                close();
                break;
            }
            if (X > gw / 2) {
                int r = random_draw() % 100;
                if (r >= 50 && down_arcs < 4) {
                    arc_down_left();
                    ++down_arcs;
                    ++lefts;
                    continue;
                }
            }
            if ((gw / 100) * 40 < X && X < (gw / 100) * 60) {
                left();
            } else {
                int r = random_draw() % 100;
                if (r < (lefts + 5 * (down_arcs - up_arcs)) * 5 && up_arcs - down_arcs < 3) {
                    arc_up_left();
                    ++up_arcs;
                } else {
                    left();
                }
            }
            ++lefts;
        }
    }
}

void HullWalker::mark_outside() {
    const int32_t hull = static_cast<int32_t>(GeneratorCell::Destructible);
    for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw && g_.at(x, y) != hull; ++x) g_.set(x, y, GeneratorCell::Outside);
    for (int x = gw - 1; x >= 1; --x)
        for (int y = 0; y < gh && g_.at(x, y) != hull; ++y) g_.set(x, y, GeneratorCell::Outside);
    for (int x = gw - 1; x >= 1; --x)
        for (int y = gh - 1; y >= 1 && g_.at(x, y) != hull; --y) g_.set(x, y, GeneratorCell::Outside);
    int top = std::min(Wl, gh);
    for (int x = gw - 1; x >= 1; --x) {
        for (int y = 0; y < top; ++y) {
            if (g_.is(x, y, GeneratorCell::Outside) || g_.is(x, y, GeneratorCell::Water))
                g_.set(x, y, GeneratorCell::Air);
        }
    }
}

void HullWalker::build_decks() {
    for (int y = std::max(Wl + 1, 0); y < gh; ++y) {
        if (y % S > F) continue;
        for (int x = 0; x < gw; ++x)
            if (g_.is(x, y, GeneratorCell::Air)) g_.set(x, y, GeneratorCell::Destructible);
    }
}

void HullWalker::build_rooms(const LevelTemplates& templates) {
    const int32_t air = static_cast<int32_t>(GeneratorCell::Air);
    const int32_t marker = static_cast<int32_t>(GeneratorCell::RoomMarker);
    // Markers only ever stand in ceiling rows (just under a deck) and floor rows (just above
    // one) below the top line, so the passes visit those rows only, in ascending order.
    std::vector<int> rows;
    for (int y = std::max(Wl + 1, 0); y < gh; ++y) {
        int m = y % S;
        if (m == F + 1 || m == S - 1) rows.push_back(y);
    }
    auto is_ceiling = [&](int y) { return y % S == F + 1; };

    // a. Corners of a free 100 x 100 box mark a room's ceiling or floor.
    for (int x = 100; x <= gw - 101; ++x) {
        for (int y : rows) {
            if (y < 100 || y > gh - 101) continue;
            if (is_ceiling(y)) {
                if (g_.at(x, y) == air && g_.at(x + 100, y) == air && g_.at(x, y + 100) == air &&
                    g_.at(x + 100, y + 100) == air)
                    g_.at(x, y) = marker;
            } else {
                if (g_.at(x, y) == air && g_.at(x + 100, y) == air && g_.at(x, y - 100) == air &&
                    g_.at(x + 100, y - 100) == air)
                    g_.at(x, y) = marker;
            }
        }
    }

    // b. A marker stays only at the start of 100 markers in a row. Clearing a marker never
    // changes the test of a column further left, so a right-to-left run count decides the same.
    std::vector<int> run(std::size_t(gw) + 1, 0);
    for (int y : rows) {
        run[std::size_t(gw)] = 0;
        for (int x = gw - 1; x >= 0; --x)
            run[std::size_t(x)] = g_.at(x, y) == marker ? run[std::size_t(x) + 1] + 1 : 0;
        for (int x = 0; x < gw; ++x)
            if (g_.at(x, y) == marker && run[std::size_t(x)] < 100) g_.at(x, y) = air;
    }

    // c. A marker between two solid cells less than 100 apart up and down is no room.
    auto meets_solid = [&](int x, int y, int dir) {
        for (int i = 0; i < 100; ++i) {
            int yy = y + i * dir;
            if (yy < 0 || yy >= gh) return false;
            int32_t c = g_.at(x, yy);
            if (c != air && c != marker) return true;
        }
        return false;
    };
    for (int x = 0; x < gw; ++x) {
        for (int y : rows) {
            if (g_.at(x, y) == marker && meets_solid(x, y, 1) && meets_solid(x, y, -1)) g_.at(x, y) = air;
        }
    }

    // d. Furnish the rooms, drawing in column order.
    const std::size_t cell_count = g_.cells.size();
    auto clear_run = [&](int x, int y, int n) {
        std::size_t start = std::size_t(y) * std::size_t(gw) + std::size_t(x);
        std::size_t end = std::min(cell_count, start + std::size_t(n));
        for (std::size_t i = start; i < end; ++i) g_.cells[i] = air;
    };
    for (int x = 0; x < gw; ++x) {
        for (int y : rows) {
            if (g_.at(x, y) != marker) continue;
            if (is_ceiling(y)) {
                int n = random_draw() % 100 + 100;
                clear_run(x, y, n);
                int r = random_draw();
                if (ladder_x - 60 < x && x < ladder_x + 39) place_ladder(x, y);
                if (r % 100 < 70) {
                    stamp_random_template(x, y, g_, templates.hanging);
                } else if (!(x - 2 >= 0 && g_.is(x - 2, y, GeneratorCell::Ladder))) {
                    place_ladder(x, y);
                }
            } else {
                int n = random_draw() % 100 + 100;
                clear_run(x, y, n);
                random_draw();
                stamp_random_template(x, y - 99, g_, templates.standing);
            }
        }
    }
}

}  // namespace

// --- templates ---

const LevelTemplates& level_templates() { return g_templates; }

void load_swamp_templates() {
    if (!g_templates.swamp_background.empty() && !g_templates.swamp.empty()) return;
    load_template_list("object\\swamp_background\\*", g_templates.swamp_background, false);
    load_template_list("object\\swamp\\*", g_templates.swamp, true);
}

void load_submarine_templates() {
    if (!g_templates.tower.empty()) return;
    load_template_list("object\\tower\\*", g_templates.tower, true);
    load_template_list("object\\torpedo\\*", g_templates.torpedo, true);
    load_template_list("object\\standing\\*", g_templates.standing, true);
    load_template_list("object\\motor\\*", g_templates.motor, true);
    load_template_list("object\\hanging\\*", g_templates.hanging, true);
}

void reset_level_templates_for_tests() { g_templates = LevelTemplates(); }

void stamp_random_template(int x, int y, CellGrid& grid, const std::vector<ColorGrid>& list) {
    if (list.empty()) return;
    const ColorGrid& t = list[static_cast<std::size_t>(random_draw()) % list.size()];
    for (int ty = 0; ty < t.height(); ++ty) {
        int gy = y + ty;
        if (gy <= 0 || gy >= grid.height) continue;
        for (int tx = 0; tx < t.width(); ++tx) {
            int gx = x + tx;
            if (gx <= 0 || gx >= grid.width) continue;
            const ColorRGBA& c = t.at(tx, ty);
            if (c == color_water) grid.set(gx, gy, GeneratorCell::Water);
            else if (c == color_destructible) grid.set(gx, gy, GeneratorCell::Destructible);
            else if (c == color_explosive) grid.set(gx, gy, GeneratorCell::Explosive);
            else if (c == kKeySlot) grid.set(gx, gy, GeneratorCell::ObjectSlot);
        }
    }
}

void paint_cell_grid(const CellGrid& grid, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    std::vector<std::pair<int, int>> slots;
    {
        SurfaceLock lock(surface);
        TerrainPixels px(surface);
        MaterialPixels colours(px);
        int w = std::min(grid.width, px.width()), h = std::min(grid.height, px.height());
        const int32_t slot = static_cast<int32_t>(GeneratorCell::ObjectSlot);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                int32_t code = grid.at(x, y);
                if (code == slot) slots.emplace_back(x, y);
                px.put(x, y, colours.of_cell(code));
            }
        }
    }
    // Crates are requested column by column, top to bottom, one draw each.
    std::sort(slots.begin(), slots.end());
    for (const auto& [x, y] : slots) {
        int r = random_draw();
        request(callbacks, GeneratorCallbacks::Crate, x - 20, y - 64, 64, 64, r);
    }
}

// --- presets ---

void generate_hills(const LevelParameters& p, SDL_Surface* surface) {
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    MaterialPixels colours(px);
    const int w = px.width(), h = px.height();
    const float fh = static_cast<float>(h);

    std::vector<int> line(std::size_t(std::max(w, 0)));
    for (int x = 0; x < w; ++x) {
        float t = ratio(x, w) * (p.scale_x * 20.0f) + p.scale_x * 256.0f * p.offset_x;
        float n = octave_noise_1d(p.octaves, t);
        line[std::size_t(x)] = static_cast<int>((n * (p.scale_y * 2.0f) + (p.offset_y * 2.0f - 1.0f)) * fh);
    }
    const float water_line = 1.0f - p.water_level;
    const double rock_depth = (1.0 - static_cast<double>(p.solid_threshold)) * static_cast<double>(h);
    for (int y = 0; y < h; ++y) {
        const uint32_t sky = ratio(y, h) > water_line ? colours.water : colours.air;
        for (int x = 0; x < w; ++x) {
            int s = line[std::size_t(x)];
            uint32_t c;
            if (y < s) c = sky;
            else c = static_cast<double>(y - s) > rock_depth ? colours.indestructible : colours.destructible;
            px.put(x, y, c);
        }
    }
}

void generate_cave(const LevelParameters& p, SDL_Surface* surface) {
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    MaterialPixels colours(px);
    const int w = px.width(), h = px.height();
    NoiseField noise(p, w, h);
    const float water_line = 1.0f - p.water_level;
    // Rows are independent and draw no random numbers, so they may run in parallel.
#pragma omp parallel for schedule(static)
    for (int y = 0; y < h; ++y) {
        const float fy = ratio(y, h);
        const float t = (1.0f - (fy * 2.0f - 1.0f)) * p.additional;
        const uint32_t open = fy > water_line ? colours.water : colours.air;
        const float rock = (1.0f - t * fy) * p.solid_threshold + t;
        for (int x = 0; x < w; ++x) {
            float n = (noise.at(x, y) + 1.0f) * 0.5f;
            uint32_t c;
            if (t > n) c = open;
            else c = n > rock ? colours.indestructible : colours.destructible;
            px.put(x, y, c);
        }
    }
}

void generate_mountain(const LevelParameters& p, SDL_Surface* surface) {
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    MaterialPixels colours(px);
    const int w = px.width(), h = px.height();
    const float fh = static_cast<float>(h);
    const int octaves = std::clamp(p.octaves, 0, static_cast<int>(kMaxOctaves));

    const int N = 1 << octaves;
    std::vector<int> heights(std::size_t(N), static_cast<int>((p.offset_y * 2.0f - 1.0f) * fh));
    const float s = (fh / static_cast<float>(N)) * p.scale_y * 2.0f;
    const int shift = static_cast<int>(p.offset_x * static_cast<float>(N));

    int step = N;
    for (int level = 0; level < octaves; ++level) {
        const int half = step / 2;
        for (int i = half; i < N; i += step) {
            int a = heights[std::size_t(mod_positive(i - half + shift, N))];
            int b = heights[std::size_t(mod_positive(i + half + shift, N))];
            int r = random_draw();
            heights[std::size_t(mod_positive(i + shift, N))] =
                static_cast<int>((static_cast<float>(r) * 2.0f / 32767.0f - 1.0f) * (static_cast<float>(half) * s) +
                                 static_cast<float>(b - a) * 0.5f + static_cast<float>(a));
        }
        step /= 2;
    }

    std::vector<float> ground(std::size_t(std::max(w, 0))), rock(std::size_t(std::max(w, 0)));
    const float columns_per_pixel = static_cast<float>(N) / static_cast<float>(w);
    for (int x = 0; x < w; ++x) {
        float fx = static_cast<float>(x) * columns_per_pixel;
        int i0 = std::min(static_cast<int>(fx), N - 1);
        int i1 = std::min(i0 + 1, N - 1);
        float v = static_cast<float>(heights[std::size_t(i0)]) +
                  static_cast<float>(heights[std::size_t(i1)] - heights[std::size_t(i0)]) *
                      (fx - static_cast<float>(i0));
        ground[std::size_t(x)] = fh - v;
        rock[std::size_t(x)] = fh - v * p.solid_threshold;
    }
    const float water_line = 1.0f - p.water_level;
    for (int y = 0; y < h; ++y) {
        const float fy = static_cast<float>(y);
        const uint32_t open = ratio(y, h) > water_line ? colours.water : colours.air;
        for (int x = 0; x < w; ++x) {
            uint32_t c;
            if (fy < ground[std::size_t(x)]) c = open;
            else c = fy < rock[std::size_t(x)] ? colours.destructible : colours.indestructible;
            px.put(x, y, c);
        }
    }
}

void generate_skyscraper(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    (void)p;
    CellGrid grid(surface->w, surface->h);
    paint_cell_grid(grid, surface, callbacks);
}

void generate_swamp(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    const int w = surface->w, h = surface->h;
    const int band = 10 - static_cast<int>(p.offset_y * -500.0f);
    const int depth = static_cast<int>(p.water_level * 150.0f);

    CellGrid grid(w, h);
    load_swamp_templates();
    const LevelTemplates& templates = level_templates();

    stamp_random_template(0, h - band - 128, grid, templates.swamp_background);
    for (int k = 0; k < w / 320; ++k) {
        int r = random_draw();
        stamp_random_template(250 * k + r % 200, h - band - 266, grid, templates.swamp);
    }

    // Ground band: noise decides rock against earth, more rock with depth.
    if (band > 0) {
        NoiseField noise(p, w, h);
        const int top = h - band;
        for (int y = std::max(top, 0); y < h; ++y) {
            const int d = y - top;
            for (int x = 0; x < w; ++x) {
                float v = (noise.at(x, y) + 1.0f) * 0.5f * static_cast<float>(d) / static_cast<float>(band);
                grid.set(x, y, v > 0.5f ? GeneratorCell::Indestructible : GeneratorCell::Destructible);
            }
        }
    }

    for (int y = std::max(h - depth - band, 0); y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (grid.is(x, y, GeneratorCell::Air)) grid.set(x, y, GeneratorCell::Water);

    paint_cell_grid(grid, surface, callbacks);

    int r = random_draw();
    request(callbacks, GeneratorCallbacks::Weapon, static_cast<int>((w - 64) * 0.5),
            static_cast<int>(h * 0.4 - 64), 64, 64, r);
}

void generate_submarine(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    CellGrid grid(surface->w, surface->h);
    load_submarine_templates();
    const LevelTemplates& templates = level_templates();

    HullWalker walker(grid, p);
    walker.dig_tunnels();
    walker.mark_outside();
    walker.build_decks();
    stamp_random_template(walker.tower_x, walker.tower_y, grid, templates.tower);
    stamp_random_template(walker.torpedo_x, walker.torpedo_y, grid, templates.torpedo);
    stamp_random_template(walker.motor_x, walker.motor_y, grid, templates.motor);
    walker.build_rooms(templates);

    paint_cell_grid(grid, surface, callbacks);
}

SDL_Surface* generate_level_surface(SDL_Surface* surface, bool free_old, const GeneratorCallbacks* callbacks,
                                    LevelParameters parameters) {
    sanitize_level_parameters(parameters, false);
    const int w = static_cast<int>(resolve_level_width(parameters.size_x));
    const int h = static_cast<int>(resolve_level_height(parameters.size_y));

    if (!surface || surface->w != w || surface->h != h) {
        if (surface && free_old) SDL_FreeSurface(surface);
        surface = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu,
                                       0xFF000000u);
        if (!surface) return nullptr;
    }
    parameters.size_x = static_cast<uint32_t>(surface->w);
    parameters.size_y = static_cast<uint32_t>(surface->h);

    random_seed(parameters.seed);
    switch (preset_of(parameters.gen)) {
    case GeneratorPreset::Swamp: generate_swamp(parameters, surface, callbacks); break;
    case GeneratorPreset::Submarine: generate_submarine(parameters, surface, callbacks); break;
    case GeneratorPreset::Skyscraper: generate_skyscraper(parameters, surface, callbacks); break;
    case GeneratorPreset::Mountain: generate_mountain(parameters, surface); break;
    case GeneratorPreset::Cave: generate_cave(parameters, surface); break;
    case GeneratorPreset::Hills: generate_hills(parameters, surface); break;
    }
    return surface;
}
