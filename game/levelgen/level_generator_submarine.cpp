// The Submarine preset: a hull walked on the cell grid, decks, rooms and their furniture.
#include "game/levelgen/level_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/core/random.h"
#include "game/levelgen/level_generator_shared.h"

namespace {

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
    // The steps of build_rooms over the rows that may hold room markers.
    void mark_rooms(const std::vector<int>& rows);
    void keep_marker_run_starts(const std::vector<int>& rows);
    void drop_low_rooms(const std::vector<int>& rows);
    void furnish_rooms(const std::vector<int>& rows, const LevelTemplates& templates);
    bool is_ceiling(int y) const { return y % S == F + 1; }
    static constexpr int32_t kAir = static_cast<int32_t>(GeneratorCell::Air);
    static constexpr int32_t kMarker = static_cast<int32_t>(GeneratorCell::RoomMarker);
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
    // Columns 1 .. gw-1 from the top edge (row 0) and from the bottom edge (down to row 1) to
    // the hull. Every column stands alone, so the rows are walked in the grid's own order with
    // the columns that have not met the hull yet kept aside.
    std::vector<char> open;
    auto from_edge = [&](int first, int last, int step) {
        open.assign(std::size_t(std::max(gw, 0)), 1);
        for (int y = first; y * step <= last * step; y += step)
            for (int x = 1; x < gw; ++x)
                if (open[std::size_t(x)] && (open[std::size_t(x)] = g_.at(x, y) != hull))
                    g_.set(x, y, GeneratorCell::Outside);
    };
    from_edge(0, gh - 1, 1);
    from_edge(gh - 1, 1, -1);
    int top = std::min(Wl, gh);
    for (int y = 0; y < top; ++y) {
        for (int x = 1; x < gw; ++x) {
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
    // Markers only ever stand in ceiling rows (just under a deck) and floor rows (just above
    // one) below the top line, so the passes visit those rows only, in ascending order.
    std::vector<int> rows;
    for (int y = std::max(Wl + 1, 0); y < gh; ++y) {
        int m = y % S;
        if (m == F + 1 || m == S - 1) rows.push_back(y);
    }
    mark_rooms(rows);
    keep_marker_run_starts(rows);
    drop_low_rooms(rows);
    furnish_rooms(rows, templates);
}

// Corners of a free 100 x 100 box mark a room's ceiling or floor.
void HullWalker::mark_rooms(const std::vector<int>& rows) {
    for (int x = 100; x <= gw - 101; ++x) {
        for (int y : rows) {
            if (y < 100 || y > gh - 101) continue;
            const int dy = is_ceiling(y) ? 100 : -100;  // a ceiling's room lies below it
            if (g_.at(x, y) == kAir && g_.at(x + 100, y) == kAir && g_.at(x, y + dy) == kAir &&
                g_.at(x + 100, y + dy) == kAir)
                g_.at(x, y) = kMarker;
        }
    }
}

// A marker stays only at the start of 100 markers in a row. Clearing a marker never changes
// the test of a column further left, so a right-to-left run count decides the same.
void HullWalker::keep_marker_run_starts(const std::vector<int>& rows) {
    std::vector<int> run(std::size_t(gw) + 1, 0);
    for (int y : rows) {
        run[std::size_t(gw)] = 0;
        for (int x = gw - 1; x >= 0; --x)
            run[std::size_t(x)] = g_.at(x, y) == kMarker ? run[std::size_t(x) + 1] + 1 : 0;
        for (int x = 0; x < gw; ++x)
            if (g_.at(x, y) == kMarker && run[std::size_t(x)] < 100) g_.at(x, y) = kAir;
    }
}

// A marker between two solid cells less than 100 apart up and down is no room.
void HullWalker::drop_low_rooms(const std::vector<int>& rows) {
    auto meets_solid = [&](int x, int y, int dir) {
        for (int i = 0; i < 100; ++i) {
            int yy = y + i * dir;
            if (yy < 0 || yy >= gh) return false;
            int32_t c = g_.at(x, yy);
            if (c != kAir && c != kMarker) return true;
        }
        return false;
    };
    for (int x = 0; x < gw; ++x) {
        for (int y : rows) {
            if (g_.at(x, y) == kMarker && meets_solid(x, y, 1) && meets_solid(x, y, -1)) g_.at(x, y) = kAir;
        }
    }
}

// Furnishes the rooms, drawing in column order.
void HullWalker::furnish_rooms(const std::vector<int>& rows, const LevelTemplates& templates) {
    const std::size_t cell_count = g_.cells.size();
    auto clear_run = [&](int x, int y, int n) {
        std::size_t start = std::size_t(y) * std::size_t(gw) + std::size_t(x);
        std::size_t end = std::min(cell_count, start + std::size_t(n));
        for (std::size_t i = start; i < end; ++i) g_.cells[i] = kAir;
    };
    for (int x = 0; x < gw; ++x) {
        for (int y : rows) {
            if (g_.at(x, y) != kMarker) continue;
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
