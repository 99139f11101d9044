#pragma once
#include <string>

#include "client/qc_game_state.h"
#include "engine/gfx/texture.h"
#include "game/levelgen/level_parameters.h"

class CButton;
class CEdit;
class CImageSprite;
class CListBox;
class CPanel;
class CScrollbar;
class QCGamePlay;

// The host's level generator screen: a column of controls, one per level parameter, and beside
// it a live preview of the terrain they make. Levels are saved to and loaded from ".vml" files;
// the set last sent is kept in "current.vml" and comes back the next time. "Done" sends the
// parameters to the server and closes the screen.
//
// The preview is generated on the frame thread (the generator draws from the process-wide
// random generator, which only the main thread may use), so it is kept small: noise presets at
// the configured preview quality, and every preset within a pixel budget that a frame can
// afford, whatever the level size. Changes made within one frame regenerate it once.
class QCLevelGen : public QCGameState {
public:
    // Largest preview in pixels: the default 2048 x 1024 level previews at full size.
    static constexpr int kPreviewPixelBudget = 2048 * 1024;

    QCLevelGen(CTextureManager* textures, QCGame* game, QCGamePlay* game_screen);
    ~QCLevelGen() override;

    // The panel keeps the window's height; the preview stays until it is made again.
    void on_window_resized(const SDL_ResizeEvent& event) override;
    // Regenerates the preview when a control changed since the last frame.
    void update(float dt) override;

    // Reads the file into the controls (the values the server would use), then makes the
    // preview.
    void load_level_file(const std::string& path);
    void save_level_file(const std::string& path);
    void open_level_dialog();
    void save_level_dialog();
    void regenerate_preview();
    void fit_preview();

    // What the controls describe, as "Done" sends it: texts read as leading integers (0 when
    // none), the preset selected (-1 when none), the bars' values.
    LevelParameters parameters();
    // Puts the parameters into the controls.
    void show_parameters(const LevelParameters& parameters);
    // The size a preview of these parameters is generated at; the texts' sizes are passed as
    // read (negative: no number there, twice the window's size is shown instead).
    static void preview_size(uint32_t gen, int width_text, int height_text, int& width, int& height);

    static void on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void on_slider_changed(CInterfaceElement* sender, float old_value, float new_value);
    static void on_edit_focus_lost(CInterfaceElement* sender);
    static void on_preset_selected(CListBox* list, const SDL_MouseButtonEvent* event, int item);

    CImageSprite* preview_sprite = nullptr;
    CTexture preview_texture{false, "gfx/dummy.png"};
    QCGamePlay* game_screen = nullptr;
    CPanel* panel = nullptr;
    CListBox* preset_list = nullptr;
    CEdit* seed_edit = nullptr;
    CEdit* width_edit = nullptr;
    CEdit* height_edit = nullptr;
    CScrollbar* octaves_bar = nullptr;
    CScrollbar* scale_x_bar = nullptr;
    CScrollbar* scale_y_bar = nullptr;
    CScrollbar* water_level_bar = nullptr;
    CScrollbar* solid_threshold_bar = nullptr;
    CScrollbar* additional_bar = nullptr;
    CScrollbar* offset_x_bar = nullptr;
    CScrollbar* offset_y_bar = nullptr;
    CButton* save_button = nullptr;
    CButton* load_button = nullptr;
    CButton* done_button = nullptr;

    static QCLevelGen* instance;

private:
    void send_and_close();

    bool preview_wanted = false;
};
