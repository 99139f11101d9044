#pragma once
#include <cstdint>
#include <vector>

#include "engine/core/geometry.h"
#include "engine/core/scoped_link.h"
#include "game/base/qg_object.h"
#include "game/terrain/qg_level.h"
#include "game/terrain/quadtree.h"

class QGEventHandler;
struct SDL_Surface;

namespace sph {

// Most particles the settings may ask for: the arrays are reserved for all of them.
constexpr int kParticleLimit = 1 << 20;
// Largest interaction radius or grid cell: a level is at most 4096 pixels a side.
constexpr float kCellLimit = 4096.0f;

// The simulation's settings, config\server.ini [physics], as rows: type, member, key, default,
// least and greatest usable value. A value outside (or not a number) is replaced by the default
// when loaded.
#define SPH_WATER_SETTINGS(X)                                                                               \
    X(float, particle_size, "particleSize", 16.0f, 1, kCellLimit)        /* interaction radius h, pixels */ \
    X(float, grid_size, "particleGridSize", 16.0f, 1, kCellLimit)        /* neighbour-grid cell, pixels */  \
    X(int, quadtree_size, "particleQuadtreeSize", 8, 1, int(kCellLimit)) /* occupancy cell, pixels */       \
    X(int, max_particles, "maxWaterParticles", 1024, 0, kParticleLimit)

struct WaterSettings {
#define SPH_WATER_SETTING_MEMBER(type, member, key, fallback, least, most) type member = fallback;
    SPH_WATER_SETTINGS(SPH_WATER_SETTING_MEMBER)
#undef SPH_WATER_SETTING_MEMBER

    static WaterSettings load();
    // Replaces unusable values by the defaults; answers how many it replaced.
    int sanitize();
};

// The particle pairs within the interaction radius that one thread of the force pass found, each
// from its lower index i, one array per quantity: a particle's pairs are one stretch of them, in
// the order its sums add them. Past the stretches the arrays keep room for a group of eight.
struct PairStore {
    std::vector<uint32_t> j;
    std::vector<float> q;
    std::vector<float> nx, ny;      // unit vector from j towards i
    std::vector<float> vj_x, vj_y;  // the partner's velocity, while the records are made
    std::vector<float> density;     // the density terms w^3, w^4 side by side, while the records are made
    // Two floats a pair, x then y, so that the forces add both at once: the viscosity I * n (+0
    // when the pair does not approach) and the pressure m * n.
    std::vector<float> vis, pres;
    std::size_t size = 0;

    // Room for n more pairs and a group of eight beyond them.
    void make_room(std::size_t n);
};

// The arrays of a store where they stand until it makes room again.
struct PairRows {
    uint32_t* j;
    float *q, *nx, *ny, *vj_x, *vj_y, *density, *vis, *pres;

    explicit PairRows(PairStore& s)
        : j(s.j.data()),
          q(s.q.data()),
          nx(s.nx.data()),
          ny(s.ny.data()),
          vj_x(s.vj_x.data()),
          vj_y(s.vj_y.data()),
          density(s.density.data()),
          vis(s.vis.data()),
          pres(s.pres.data()) {}
};

// The particles, one array per quantity; index = particle number.
struct ParticleArrays {
    std::vector<int32_t> cell_x, cell_y;
    std::vector<float> x, y, prev_x, prev_y, vx, vy, fx, fy;

    std::size_t size() const { return x.size(); }
    void reserve(std::size_t n);
    void resize(std::size_t n);
};

// The level's free water. On the server it runs particles (smoothed-particle hydrodynamics with a
// pair relaxation) over the level's solid mask and static water, fed by sources at the edges of
// the static water, and publishes where the water is as an occupancy quadtree of q x q pixel
// cells, the one synchronised field. A client holds no particles: it decodes the received
// occupancy and, with drawing services, hands it to its renderer; headless it only keeps it.
//
// The parallel passes (the solid mask's rows, the particle forces, the motion) write nothing
// another thread writes: mask rows own whole words, each particle finds its own pairs and moves
// itself; the pairs' forces are then added, and the moved particles filed in their cells, on one
// thread in a fixed order. A step therefore gives the same bits whatever the number of threads.
class WaterObject : public QGObject, public LevelWater {
public:
    // The terrain is the level's surface (the session's terrain when level is null). Settings
    // are read from the ini.
    WaterObject(GameSession* game, unsigned int entity_id, QGLevel* level);
    WaterObject(GameSession* game, unsigned int entity_id, QGLevel* level, WaterSettings settings);
    ~WaterObject() override;

    // The occupancy bytes: u32 count and the bytes, no interpolation.
    void sync_fields() override;
    // CreateWaterObject {u32 entity id}.
    void write_creation_event(QGEvent& event) const override;
    bool updates_on_client() const override { return false; }
    bool updates_while_paused() const override { return false; }
    // Server: one step of 0.04 s whatever dt is.
    void update(float dt) override;
    // Client: a newly received occupancy is decoded (and handed to the drawing services).
    void update_sprite() override;

    // How much of the box is water: every grid cell it touches that holds a particle or is
    // static water counts whole, so the answer can exceed 1. 0 for a box of no area.
    float submerged_fraction(float x, float y, float width, float height) const;
    // Particles in the square of half-side radius around the centre are pushed away from it in
    // the next step. Cells outside the grid are skipped.
    void add_explosion(const dvec2d& centre, float radius) override;
    // A carved pixel that is static water, or no longer solid ground, lets particles through.
    void clear_static_cell(int x, int y) override;

    // Adds a particle at rest at the point (as a source does), linked into its cell. False when
    // the table is full or the point is not a number.
    bool add_particle(float x, float y);

    const WaterSettings& settings() const { return settings_; }
    int level_width() const { return width_; }
    int level_height() const { return height_; }
    int grid_width() const { return grid_w_; }
    int grid_height() const { return grid_h_; }
    int top_line() const { return top_line_; }
    // Side of the occupancy tree in cells (2^depth).
    uint32_t tree_side() const { return uint32_t(1) << occupancy_tree_.depth(); }
    // The current occupancy: built by the server's step, decoded from the stream on a client.
    const Quadtree<bool>& occupancy() const;
    // Whether the solid mask blocks the pixel (outside the level: false).
    bool blocks(int x, int y) const;
    bool static_cell(int cx, int cy) const;
    // The last particle placed in the grid cell, -1 for none or outside the grid.
    int32_t cell_head(int cx, int cy) const;
    // Source points in list order.
    const std::vector<ivec2d>& sources() const { return sources_; }
    // The pairs the last step's force pass found.
    std::size_t pair_count() const;

    // The pair search takes eight lanes at a time where the processor has AVX2, four otherwise,
    // and the motion eight particles at a time, one otherwise; cleared, they take four and one on
    // any processor (with the same bits).
    bool eight_lanes = true;

    ParticleArrays particles;
    // The serialized current occupancy tree: what is sent.
    std::vector<unsigned char> occupancy_bytes;

private:
    struct Blast {
        float x = 0, y = 0, radius = 0;
    };

    void setup_server(SDL_Surface* terrain);
    void build_solid_mask(SDL_Surface* terrain);
    void seed_particles(SDL_Surface* terrain);
    void find_static_water(SDL_Surface* terrain);
    void run_sources();
    // The force pass: the particles are sorted by grid cell, each finds its pairs (parallel, in
    // cell order), and the pairs' forces are added (one thread).
    void compute_forces(int threads);
    // The threads of the next step's parallel passes, and the time the passes took on them.
    int force_threads(int n);
    void time_force_pass(int threads, int n, double ns);
    void sort_by_cell();
    // Notes each particle's grid cell in cells_ (-1 outside the grid); answers the first and the
    // last row that hold particles (last < first for none): from particle begin on, with the
    // rows found before it, or on a processor with AVX2 all of them, eight at a time.
    std::pair<int, int> index_cells(std::size_t begin, int first_row, int last_row);
    std::pair<int, int> index_cells_wide();
    void find_pairs(int i, PairStore& store);
    // The same on a processor with AVX2, eight lanes at a time, for the particles at run places
    // begin..end, a cell at a time.
    void find_pairs_wide(std::size_t begin, std::size_t end, PairStore& store);
    // Makes the records of the pairs first_pair..end_pair of a particle of velocity (vxi, vyi)
    // from what the wide search left in them.
    void close_pairs_wide(const PairRows& rows, float vxi, float vyi, std::size_t first_pair,
                          std::size_t end_pair) const;
    // Notes where particle pi's pairs stand in the store, and closes its stretch.
    void file_pairs(std::size_t pi, PairStore& store, std::size_t first_pair, std::size_t end_pair);
    void add_pair_forces();
    // Moves the particles (parallel) and files them in their cells.
    void integrate(int threads);
    // What moving a particle reads, once for a pass; the arrays by their own pointers, so that a
    // store to one does not reload another.
    struct Motion;
    // Moves the particles begin..end: one at a time, or on a processor with AVX2 eight at a
    // time with the same operations in every lane (the particles past the last eight one at a
    // time).
    void move_particles(const Motion& m, std::size_t begin, std::size_t end);
    void move_particles_wide(const Motion& m, std::size_t begin, std::size_t end);
    void move_particle(const Motion& m, std::size_t i);
    // Files a moved particle in its grid cell (and, one thread moving, as the cell's last), and
    // pushes it when a blast stirs its cell.
    void place_particle(const Motion& m, std::size_t i, int cx, int cy);
    // Takes back the blasts written to the grid.
    void clear_blasts();
    void publish_occupancy();
    // Writes the stream of the tree's square of side 2^height whose cells' Morton codes start at
    // first.
    void write_square(BitWriter& out, uint64_t first, int height) const;

    // What placing a point in the grid and in the occupancy tree takes, read once for a pass.
    struct Placing {
        float grid, grid_w, grid_h;  // cell side, cells across and down
        int cells_w, cells_h;
        float tree_cell, tree_side;  // occupancy cell side, cells a side
        uint32_t side;
    };
    Placing placing() const;
    // The grid cell of a point, false outside the grid (or not a number).
    bool cell_of(float x, float y, int& cx, int& cy) const;
    static bool cell_of(const Placing& at, float x, float y, int& cx, int& cy);
    void link(int32_t i, int cx, int cy);
    // Calls visit(cell) for each grid column (or row) the stepped scan from..to meets, as the
    // blast and submersion scans walk cells, skipping those outside 0..cells-1.
    template <typename Visit>
    void scan_cells(float from, float to, int cells, Visit&& visit) const;
    // Marks the occupancy cell of a point inside the tree for this step's tree; shared: other threads
    // mark at the same time.
    void mark_cell(const Placing& at, float x, float y, bool shared);
    // submerged_fraction as the physics' coverage delegate.
    float coverage(float x, float y, float width, float height);
    std::size_t cell_index(int cx, int cy) const { return std::size_t(cy) * std::size_t(grid_w_) + std::size_t(cx); }
    void set_blocked(int x, int y, bool blocked);

    // The water's place in the session's terrain, which ends with it.
    ScopedLink terrain_link_;
    WaterSettings settings_;
    float time_step_ = 0.04f;
    float previous_time_step_ = 0.04f;
    int width_ = 0, height_ = 0;
    int grid_w_ = 0, grid_h_ = 0;
    int top_line_ = 0;

    std::vector<ivec2d> sources_;
    // One bit per pixel; every row starts a new word, so rows never share one.
    std::vector<uint64_t> solid_;
    std::size_t row_words_ = 0;
    std::vector<int32_t> static_flags_;
    std::vector<int32_t> heads_;
    std::vector<Blast> blasts_;
    // The cells a blast of this step was written to, cleared after the motion.
    std::vector<std::size_t> blast_cells_;
    bool blasts_pending_ = false;

    // The particles of the grid cells in cell order, each cell's run descending, with their
    // places and velocities, one array per quantity; cell c's run starts at run_start_[c] and ends where the
    // next one starts. Run place k is element kRunPad + k: the pad in front lets the pair search
    // read eight places ending at any place without leaving the arrays (it matches no particle).
    static constexpr std::size_t kRunPad = 8;
    std::vector<int32_t> run_i_;
    std::vector<float> run_x_, run_y_, run_vx_, run_vy_;
    std::vector<uint32_t> run_start_;
    // Each particle's grid cell as the sort found it, until the motion.
    std::vector<int32_t> cells_;
    // The force pass's pairs: a store per thread, and each particle's store, first pair and count.
    std::vector<PairStore> pair_stores_;
    std::vector<uint32_t> pair_store_;
    std::vector<uint32_t> pair_first_, pair_count_;
    // The forces while the pairs' shares are added, x and y of each particle side by side.
    std::vector<float> forces_;
    // Occupancy cells marked in the current step (server): a bit per cell, in the tree's Morton
    // order.
    std::vector<uint64_t> marked_;

    // The force pass's measured pace (nanoseconds per particle, 0 until timed) on one thread and
    // on the team, and when to try the slower choice again.
    struct Pace {
        double single_ns = 0, team_ns = 0;
        int steps = 0;
        int probe_after = 64;
        bool probing = false;
    };
    Pace pace_;

    // The states of the tree's squares of 64 cells and more (0 clear, 1 set, 2 mixed), a level of
    // squares after another from 64 cells, each level in Morton order.
    std::vector<uint8_t> square_states_;
    std::vector<std::size_t> level_starts_;
    // The server publishes the stream; its tree is decoded from it when asked for.
    mutable Quadtree<bool> occupancy_tree_;
    mutable bool tree_stale_ = false;
    bool fresh_bytes_ = false;
    bool server_ = false;
};

// The water team's idle threads should sleep, not spin: on a machine whose cores other programs
// (other matches) keep busy, spinning threads take the time the working ones need. The OpenMP
// runtime reads its wait policy from the environment once, as it is loaded, before main; so a
// program that steps the water calls this first thing in main, and it starts the program again
// with OMP_WAIT_POLICY=passive, unless the environment names a policy already.
void restart_with_passive_omp_wait(char** argv);

// CreateWaterObject: a client builds the water of its current level.
void create_water_object_action(QGEventHandler& handler, const IdRecord& record);

}  // namespace sph
