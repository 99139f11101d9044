#pragma once
#include "engine/ui/interface_container.h"

class CButton;
class CCheckbox;
class CEdit;
class CImageSprite;
class CLabel;
class CParticleSprite;

// The panel that edits one prototype particle of an event: texture, size, depth, angle,
// rotation centre, borders, tiles, frames, animation and mass. While it is open the preview
// shows the prototype itself in place of the particle engine.
class KXP_PrototypeEditor : public CInterfaceContainer {
public:
    explicit KXP_PrototypeEditor(CInterfaceElement* parent);
    ~KXP_PrototypeEditor() override;
    KXP_PrototypeEditor(const KXP_PrototypeEditor&) = delete;
    KXP_PrototypeEditor& operator=(const KXP_PrototypeEditor&) = delete;

    void build_ui();
    void open_prototype(CParticleSprite* sprite);
    // Gives the prototype back its start frame, ends the preview of it and hides the panel.
    void close();
    void refresh_fields();
    void on_window_resized(const SDL_ResizeEvent& event);
    CParticleSprite* get_prototype() const { return prototype; }

    static void apply_fields(CInterfaceElement* sender);
    static void on_button_clicked(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void on_animation_toggled(CInterfaceElement* sender, const SDL_MouseButtonEvent* event, int state_before);

    CParticleSprite* prototype = nullptr;
    CImageSprite* background = nullptr;
    CLabel* texture_label = nullptr;
    CButton* select_texture_button = nullptr;
    CButton* done_button = nullptr;
    CCheckbox* animation_checkbox = nullptr;
    CEdit* z_edit = nullptr;
    CEdit* width_edit = nullptr;
    CEdit* height_edit = nullptr;
    CEdit* angle_edit = nullptr;
    CEdit* border_x_edit = nullptr;
    CEdit* border_y_edit = nullptr;
    CEdit* tile_width_edit = nullptr;
    CEdit* tile_height_edit = nullptr;
    CEdit* first_frame_edit = nullptr;
    CEdit* last_frame_edit = nullptr;
    CEdit* speed_edit = nullptr;
    CEdit* start_edit = nullptr;
    CEdit* center_x_edit = nullptr;
    CEdit* center_y_edit = nullptr;
    CEdit* mass_edit = nullptr;
    float start_frame = 0;

    static KXP_PrototypeEditor* instance;

private:
    void choose_texture();
};
