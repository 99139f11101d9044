#pragma once
#include <optional>
#include <vector>

#include "client/qc_game_state.h"
#include "engine/core/geometry.h"

class CButton;
class CImageSprite;
class CPanel;
class QCGamePlay;
class QGGame;

// The host's choice of where the players start: one marker per player slot over the level,
// dragged with the mouse to free ground, and "Done", which sends the markers' level positions
// to the server (which starts the match with them) and closes the screen. A marker dropped over
// solid terrain stays on the mouse; "Done" waits while any marker is on solid terrain or still on
// the mouse, and each such marker shows it: red on terrain, faded while on the mouse. The panel
// hides the level under it, so a release over the panel drops nothing there.
class QCSpawnSelect : public QCGameState {
public:
    QCSpawnSelect(CTextureManager* textures, QCGame* game, QCGamePlay* game_screen);
    ~QCSpawnSelect() override;

    void on_mouse_motion(const SDL_MouseMotionEvent& event) override;
    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;

    // The click function of "Done"; it finds its screen through the button.
    static void on_done(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);

    // Screen and level positions, through the level's terrain sprite.
    fvec2d to_level(fvec2d screen_point);
    fvec2d to_screen(fvec2d level_point);
    // Whether a player box at the marker's level position, truncated, touches no solid pixel.
    // False when the host's own player is not there to test with.
    bool marker_is_free(CImageSprite* marker);
    // Whether the marker keeps "Done" from acting: on solid terrain or still on the mouse.
    bool marker_blocks_done(CImageSprite* marker);

    QCGamePlay* game_screen = nullptr;
    std::vector<CImageSprite*> markers;
    CImageSprite* held_marker = nullptr;
    CPanel* panel = nullptr;
    CButton* done_button = nullptr;

    static QCSpawnSelect* instance;

private:
    QGGame* session();
    fvec2d marker_level_position(CImageSprite* marker);
    bool on_panel(int x, int y);
    // Ends a press that began on the panel: the marker it picked goes back to where it lay and
    // the one on the mouse before the press is on it again.
    void end_panel_press();
    // Dresses every marker for whether it keeps "Done" from acting.
    void show_markers();

    struct PanelPress {
        CImageSprite* held_before = nullptr;
        CImageSprite* picked = nullptr;
        fvec2d picked_from;
    };
    std::optional<PanelPress> panel_press_;
};
