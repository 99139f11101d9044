#pragma once

// The window's size in pixels and 2D projections onto rectangles of it. Widgets and sprites that
// clip to a rectangle need this without the application framework; the framework keeps the
// size current.
class CViewport {
public:
    // Viewport on the window rectangle (y down, clipped to the window) with a 2D projection that
    // shows the view rectangle there; a view size of 0 maps one unit to one pixel. False, with
    // nothing changed, when the rectangle does not overlap the window.
    static bool setup_projection(int x, int y, int width, int height, float view_x, float view_y,
                                 float view_width, float view_height);

    static int window_width;
    static int window_height;
};
