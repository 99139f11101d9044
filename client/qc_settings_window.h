#pragma once
#include <string>

#include "engine/ui/panel.h"

class CButton;
class CCheckbox;
class CEdit;
class CLabel;
class CScrollbar;
class QCGame;

// The settings dialog over the main menu: window size, full-screen mode, whether the dialog can
// be dragged, and the master volume (config.ini [system]). Apply tries the size and the volume
// out and undoes them after a 10-second countdown unless Confirm stores them; Cancel restores
// the stored values. Full-screen mode only takes effect at the next start. A Confirm whose write
// fails says so and keeps the window open with the tried values.
class QCSettingsWindow : public CPanel {
public:
    static constexpr float kRevertSeconds = 10.0f;

    QCSettingsWindow(CInterfaceElement* parent, CTextureManager* textures, QCGame* game);
    ~QCSettingsWindow() override;

    void update(float dt) override;
    // False, with the reason shown, when the typed size cannot be opened or the window is
    // full-screen; nothing is changed then.
    bool apply();
    void revert();

    static void on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);

    QCGame* game = nullptr;
    // Seconds until the tried-out values are undone; 0 or less: no countdown.
    float revert_countdown = 0;
    CLabel* status_label = nullptr;
    CCheckbox* fullscreen_checkbox = nullptr;
    CCheckbox* movable_checkbox = nullptr;
    CEdit* width_edit = nullptr;
    CEdit* height_edit = nullptr;
    CScrollbar* volume_scrollbar = nullptr;
    CButton* apply_button = nullptr;
    CButton* confirm_button = nullptr;
    CButton* cancel_button = nullptr;

    static QCSettingsWindow* instance;

private:
    void show_status(const std::string& text);
    // Stores the size, the check boxes and the volume in one write; false when it failed.
    bool save(int width, int height);
};
