#pragma once

struct fquad2d;

// A rectangle of window pixels in GL's window coordinates (x right, y up from the bottom row).
struct WindowRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    // Grown by n pixels on every side.
    WindowRect grown(int n) const { return {x - n, y - n, width + 2 * n, height + 2 * n}; }
};

// The window's size in pixels and 2D projections onto rectangles of it. Widgets and sprites that
// clip to a rectangle need this without the application framework; the framework keeps the
// size current.
class CViewport {
public:
    // Viewport on the window rectangle (y down, clipped to the window) with a 2D projection that
    // shows the view rectangle there; a view size of 0 maps one unit to one pixel. False, with
    // nothing changed, when the rectangle does not overlap the window.
    static bool setup_projection(int x, int y, int width, int height, float view_x, float view_y, float view_width,
                                 float view_height);

    static int window_width;
    static int window_height;
};

// Where the point (x, y, z) of modelview coordinates lands in window pixels (GL's, y up) under
// the given matrices (column-major) and viewport.
struct WindowPoint {
    double x, y;
};
WindowPoint window_point(const double* projection, const double* modelview, const int* viewport, double x, double y,
                         double z);

// The window pixels that a quad of coordinates of the current modelview covers under the current
// projection and viewport: the bounds of its corners, rounded outwards.
WindowRect window_rect_of(const fquad2d& quad);

// Confines drawing to a rectangle of window pixels for its lifetime, within the scissor box that
// was in force before (if any), and puts the previous scissor state back when it goes. A pixel
// outside the rectangle is left exactly as it was; those inside are drawn as without it.
class ScopedScissor {
public:
    explicit ScopedScissor(const WindowRect& rect);
    ~ScopedScissor();
    ScopedScissor(const ScopedScissor&) = delete;
    ScopedScissor& operator=(const ScopedScissor&) = delete;

    // Nothing of the rectangle lies inside the earlier box: a draw would touch no pixel.
    bool empty() const { return empty_; }

private:
    bool was_enabled_ = false;
    int saved_[4] = {0, 0, 0, 0};
    bool empty_ = false;
};
