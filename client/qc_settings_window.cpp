#include "client/qc_settings_window.h"

#include <string>

#include "client/client_settings.h"
#include "client/client_skins.h"
#include "client/menu_builder.h"
#include "client/qc_game.h"
#include "engine/audio/audio.h"
#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "platform/dialogs.h"

QCSettingsWindow* QCSettingsWindow::instance = nullptr;

namespace {

constexpr const char* kRefusedSize = "Invalid resolution.";
constexpr const char* kNotSaved = "Could not save the settings.";

bool stored_fullscreen() { return setting_keys::fullscreen.read(); }
bool stored_movable() { return client_settings::settings_movable.read(); }

}  // namespace

QCSettingsWindow::QCSettingsWindow(CInterfaceElement* parent, CTextureManager* textures, QCGame* owner)
    : CPanel(parent, textures), game(owner) {
    instance = this;
    set_horizontal_anchor(Anchor::Centre);
    set_vertical_anchor(Anchor::Centre);
    set_draggable(true);
    skin_panel(this, textures, 300, 300);
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);

    const MenuBuilder ui{this, textures, font};
    auto label = [&](float width, const std::string& text, bool centred) {
        CLabel* l = ui.label(width, text);
        if (centred) l->set_horizontal_alignment(0);
        return l;
    };

    place(label(280, "Settings", false), 0, 0);
    place(label(280, "Resolution:", false), 0, 34);
    width_edit = place(ui.edit(125, std::to_string(CGameBase::window_width)), 0, 58);
    place(label(30, "x", true), 125, 58);
    height_edit = place(ui.edit(125, std::to_string(CGameBase::window_height)), 155, 58);
    fullscreen_checkbox = place(ui.checkbox("Fullscreen (requires restart)", stored_fullscreen()), 0, 92);
    movable_checkbox = place(ui.checkbox("Movable Settings Window", stored_movable()), 0, 126);
    set_draggable(movable_checkbox->is_checked());
    place(label(80, "Volume:", true), 0, 160);

    volume_scrollbar = new CScrollbar(this);
    skin_scrollbar(volume_scrollbar, font, 200, 16, 24, textures, false);
    volume_scrollbar->set_minimum(0);
    volume_scrollbar->set_maximum(255);
    volume_scrollbar->set_step(1);
    volume_scrollbar->set_value(float(QCGame::stored_volume()));
    add_child(place(volume_scrollbar, 80, 164));

    cancel_button = place(ui.button(135, "Cancel", on_button), 0, 0, Anchor::Start, Anchor::End);
    confirm_button = place(ui.button(135, "Confirm", on_button), 0, 0, Anchor::End, Anchor::End);
    apply_button = place(ui.button(280, "Apply", on_button), 0, 34, Anchor::Start, Anchor::End);
    status_label = place(label(280, "", false), 0, 68, Anchor::Start, Anchor::End);
    status_label->set_visible(false);
}

QCSettingsWindow::~QCSettingsWindow() {
    if (instance == this) instance = nullptr;
}

void QCSettingsWindow::show_status(const std::string& text) {
    status_label->set_text(text);
    status_label->set_visible(true);
}

bool QCSettingsWindow::apply() {
    if (CGameBase::is_fullscreen) {
        show_status("Restart to apply changes.");
        return false;
    }
    const int height = parse_int(height_edit->get_text(), CGameBase::window_height);
    const int width = parse_int(width_edit->get_text(), CGameBase::window_width);
    if (!QCGame::window_size_allowed(width, height)) {
        show_status(kRefusedSize);
        return false;
    }
    CGameBase::set_window_size(width, height);
    CGameBase::get_audio()->set_volume(uint8_t(volume_scrollbar->get_value()));
    set_draggable(movable_checkbox->is_checked());
    show_status("");
    revert_countdown = kRevertSeconds;
    return true;
}

void QCSettingsWindow::revert() {
    const ivec2d stored = setting_keys::window_resolution.read();
    int width = stored.x;
    int height = stored.y;
    // A stored size that cannot be opened falls back on the size the client started with.
    if (!QCGame::window_size_allowed(width, height)) {
        width = game->startup_width;
        height = game->startup_height;
    }
    CGameBase::set_window_size(width, height);
    CAudio* audio = CGameBase::get_audio();
    audio->set_volume(QCGame::stored_volume());
    volume_scrollbar->set_value(float(audio->volume));
    width_edit->set_text(std::to_string(stored.x));
    height_edit->set_text(std::to_string(stored.y));
    fullscreen_checkbox->set_checked(stored_fullscreen());
    movable_checkbox->set_checked(stored_movable());
    set_draggable(movable_checkbox->is_checked());
}

bool QCSettingsWindow::save(int width, int height) {
    IniBatch batch;
    setting_keys::window_resolution.write(batch, {width, height});
    setting_keys::fullscreen.write(batch, fullscreen_checkbox->is_checked());
    client_settings::settings_movable.write(batch, movable_checkbox->is_checked());
    client_settings::volume.write(batch, CGameBase::get_audio()->volume);
    if (batch.commit()) return true;
    log_message(LogLevel::Warning, std::string("Could not write ") + kUserIni + ".", log_class_name_of(*this));
    return false;
}

void QCSettingsWindow::update(float dt) {
    CPanel::update(dt);
    if (revert_countdown <= 0) return;
    revert_countdown -= dt;
    if (revert_countdown <= 0) {
        status_label->set_visible(false);
        revert();
        return;
    }
    status_label->set_text("Confirm? Reverting in " + std::to_string(int(revert_countdown)) + " seconds.");
}

void QCSettingsWindow::on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    QCSettingsWindow* window = instance;
    if (!window) return;
    if (sender == window->apply_button) {
        window->apply();
    } else if (sender == window->cancel_button) {
        window->revert();
        window->set_finished(true);
    } else if (sender == window->confirm_button) {
        // Full-screen mode applies nothing but stores the typed size for the next start; a size
        // that cannot be opened is never stored.
        const ivec2d defaults = setting_keys::window_resolution.fallback;
        const int width = parse_int(window->width_edit->get_text(), defaults.x);
        const int height = parse_int(window->height_edit->get_text(), defaults.y);
        if (!window->apply() && !CGameBase::is_fullscreen) return;
        if (!QCGame::window_size_allowed(width, height)) {
            window->show_status(kRefusedSize);
            return;
        }
        if (!window->save(width, height)) {
            // The tried values stay without a countdown: Confirm tries again, Cancel goes back.
            window->revert_countdown = 0;
            window->show_status(kNotSaved);
            platform::message_box(
                {"Error", std::string("Could not write ") + kUserIni + ": the settings were not saved.", false});
            return;
        }
        window->set_finished(true);
    }
}
