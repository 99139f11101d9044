#pragma once
#include <string>

#include "client/qc_game_state.h"
#include "engine/core/geometry.h"
#include "engine/gfx/texture.h"
#include "game/levelgen/level_parameters.h"

class CButton;
class CEdit;
class CImageSprite;
class CLabelSprite;
class CListBox;
class CPanel;
class CScrollbar;
class QCGamePlay;

// The host's level generator screen: a column of controls, one per level parameter, and beside
// it a live preview of the terrain they make. Levels are saved to and loaded from ".vml" files;
// the set last sent is kept in "current.vml" and comes back the next time. "Done" sends the
// parameters to the server and closes the screen.
//
// Swamp and Submarine are previewed at the level's full size, since their structures have a
// fixed size in pixels; the noise presets at the configured preview quality. The preview is
// generated on the frame thread (the generator draws from the process-wide random generator,
// which only the main thread may use). Changes made within one frame regenerate it once; a
// preview too large to make every frame waits until the controls have been left alone, with a
// notice over the old one, so that dragging a slider stays smooth. A waiting preview shows the
// controls as they were at the change that asked for it, not a text typed since.
class QCLevelGen : public QCGameState {
public:
    // Previews of up to this many pixels follow every change: each preset makes one in a few
    // tens of milliseconds.
    static constexpr int kLivePreviewPixels = 2048 * 1024;
    // How long the controls must stay unchanged before a larger preview is made.
    static constexpr float kSettleSeconds = 0.3f;

    QCLevelGen(CTextureManager* textures, QCGame* game, QCGamePlay* game_screen);
    ~QCLevelGen() override;

    // The panel keeps the window's height; the preview stays until it is made again.
    void on_window_resized(const SDL_ResizeEvent& event) override;
    // Regenerates the preview when a control changed: at once when it is small, otherwise once
    // the controls have settled.
    void update(float dt) override;

    // Reads the file into the controls (the values the server would use), then makes the
    // preview.
    void load_level_file(const std::string& path);
    // False, with a warning in the log, when the file could not be written.
    bool save_level_file(const std::string& path);
    void open_level_dialog();
    // Asks for a path and saves there; a failed save is shown in a message box.
    void save_level_dialog();
    void regenerate_preview();
    void fit_preview();
    // What a preview of the controls as they stand is made from: the level "Done" would send,
    // at the preview's size.
    LevelParameters preview_parameters();

    // What the controls describe, as "Done" sends it: texts read as leading integers (0 when
    // none), the preset selected (-1 when none), the bars' values.
    LevelParameters parameters();
    // Puts the parameters into the controls.
    void show_parameters(const LevelParameters& parameters);
    // The size a preview of the preset is generated at, from the texts of the size edits: the
    // size of the level the server makes from them (twice the window's size for a text that
    // does not begin with a number), scaled for the noise presets.
    static ivec2d preview_size(uint32_t gen, const std::string& width_text, const std::string& height_text);

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
    // "Generating preview..." over the preview while a large one waits for the controls.
    CLabelSprite* generating_label = nullptr;

    static QCLevelGen* instance;

private:
    void send_and_close();
    void request_preview();
    void make_preview(LevelParameters p);

    // The controls as the last change left them, for the preview that waits for them to settle.
    LevelParameters requested_preview;
    bool preview_wanted = false;
    float unchanged_seconds = 0;
};
