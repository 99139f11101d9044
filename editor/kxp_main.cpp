#include "editor/kxp_main.h"

#include <algorithm>
#include <cmath>

#include "editor/editor_format.h"
#include "editor/editor_settings.h"
#include "editor/editor_skins.h"
#include "editor/kxp_basic_editor.h"
#include "editor/kxp_event_editor.h"
#include "editor/kxp_prototype_editor.h"
#include "engine/core/files.h"
#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_writer.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/scrollbar.h"
#include "platform/console.h"
#include "platform/dialogs.h"

KXP_Main* KXP_Main::instance = nullptr;
CTextureManager* KXP_Main::texture_manager = nullptr;

namespace {

using namespace editor_settings;

constexpr ColorRGB kLightText{240, 240, 240};
// The degree sign, as UTF-8.
constexpr const char* kDegree = "\xC2\xB0";

bool ask_yes_no(const std::string& caption, const std::string& text) {
    return platform::message_box({caption, text, true}) == platform::MessageBoxResult::Yes;
}

void show_error(const std::string& text) { platform::message_box({"Error", text, false}); }

// The chosen file as the document names it: relative to the working directory when it can be.
std::string document_path(const std::string& chosen) { return make_relative_path(get_working_directory(), chosen); }

bool is(CInterfaceElement* sender, CInterfaceElement* widget) { return sender && sender == widget; }

}  // namespace

KXP_Main::KXP_Main() : CGameBase(kWindowWidth, kWindowHeight, false, true) {
    file_name.clear();
    instance = this;
    // The editor's panels overlap: the one pressed comes to the front.
    CInterfaceContainer::set_pressed_child_to_front(true);
    log_message(LogLevel::Status, std::string("Setting up ") + kTitle + " " + kVersion + " (" + kReleaseStage + ")...",
                log_class_name_of(*this));
    set_window_title(kTitle);
    set_window_icon(std::string(kGraphicsFolder) + kIcon);
    log_message(LogLevel::Status, "Main setup successful.", log_class_name_of(*this));
}

KXP_Main::~KXP_Main() {
    if (instance == this) instance = nullptr;
}

void KXP_Main::on_start() {
    spawn_count = 10;
    quit_confirmed = false;
    if (!texture_manager) texture_manager = new CTextureManager();
    scene = new CSpriteManager(nullptr, texture_manager);

    preview_engine = new CParticleEngine(scene);
    preview_engine->set_z(-0.5f);
    // The largest count the editor offers is spawned at once.
    preview_engine->limits.spawns_per_update = kMaxSpawnCount;
    scene->add_child(preview_engine);

    gui_root = new CInterfaceContainer(nullptr, texture_manager);
    gui_root->set_z(0.5f);
    gui_root->set_width(float(window_width - 20));
    gui_root->set_height(float(window_height - 20));
    gui_root->set_client_rect(0, 0, gui_root->get_width(), gui_root->get_height());
    scene->add_child(gui_root);

    font = get_font_factory()->get_font(kFontSize, std::string(kFontFolder) + kFont);

    prototype_editor = new KXP_PrototypeEditor(gui_root);
    prototype_editor->set_visible(false);
    gui_root->add_child(prototype_editor);
    event_editor = new KXP_EventEditor(gui_root);
    gui_root->add_child(event_editor);
    event_list_panel = new KXP_BasicEditor(gui_root);
    gui_root->add_child(event_list_panel);

    file_name.clear();
    previewed_sprite = nullptr;
    emit_accumulator = 0;
    build_ui();
}

void KXP_Main::build_ui() {
    float next_x = 10;
    auto place = [this, &next_x](auto* widget, bool bottom) {
        widget->set_x(next_x);
        widget->set_y(10);
        widget->set_horizontal_anchor(Anchor::Start);
        widget->set_vertical_anchor(bottom ? Anchor::End : Anchor::Start);
        next_x += widget->get_width() + 10;
        gui_root->add_child(widget);
        return widget;
    };
    auto file_button = [&](const char* text, ButtonClickHandler handler) {
        auto* button = new CButton(gui_root, font);
        editor_skin_button(button, 80, 24, text);
        button->on_click = handler;
        return place(button, false);
    };
    new_button = file_button("New", &KXP_Main::new_file);
    load_button = file_button("Load", &KXP_Main::open_file);
    save_button = file_button("Save", &KXP_Main::save_file);
    save_as_button = file_button("Save as...", &KXP_Main::save_file_as);

    file_label = new CLabel(gui_root, font);
    file_label->set_width(250);
    file_label->set_height(24);
    file_label->set_text_color(kLightText);
    file_label->set_text_box(0, 0, 250, 24);
    file_label->set_horizontal_alignment(1);
    place(file_label, false);
    update_file_label(get_file_name());

    // The preview controls along the bottom edge.
    next_x = 10;
    auto preview_bar = [&](float minimum, float maximum, float step, float value) {
        auto* bar = new CScrollbar(gui_root);
        editor_skin_scrollbar(bar, 16, 110, 24, false);
        for (CButton* arrow : {bar->get_decrease_button(), bar->get_increase_button()}) {
            arrow->set_width(24);
            arrow->set_text_box(0, 0, arrow->get_width(), arrow->get_height());
        }
        bar->set_minimum(minimum);
        bar->set_maximum(maximum);
        bar->set_step(step);
        bar->set_value(value);
        bar->set_on_value_change(&KXP_Main::update_status_labels);
        return place(bar, true);
    };
    // The values a size smaller, each in a box for its longest text ("Angle: 360.000000",
    // "Particles: 1000.000000"): the row, "Spawn X Particles" last, must end left of the panel
    // on the right with the row's gap to spare.
    CFont* value_font = get_font_factory()->get_font(kFontSize - 2, std::string(kFontFolder) + kFont);
    auto status_label = [&](float width, const std::string& text) {
        auto* label = new CLabel(gui_root, value_font);
        editor_setup_label(label, width, 24, text);
        label->set_text_color(kLightText);
        return place(label, true);
    };
    angle_bar = preview_bar(0, 360, 1, 0);
    angle_label = status_label(100, std::string("Angle: 0") + kDegree);
    scale_bar = preview_bar(0.1f, 5, 0.1f, 1);
    scale_label = status_label(100, "Scale: 1:1");
    rate_bar = preview_bar(0, 1000, 1, 1);
    rate_label = status_label(120, "Particles: 1");

    count_edit = new CEdit(gui_root, font);
    editor_skin_edit(count_edit, 70, 24, "10");
    count_edit->set_on_focus_lost(&KXP_Main::on_particle_count_edited);
    place(count_edit, true);

    spawn_button = new CButton(gui_root, font);
    editor_skin_button(spawn_button, 120, 24, "Spawn X Particles");
    spawn_button->on_click = &KXP_Main::spawn_particles;
    place(spawn_button, true);
}

void KXP_Main::update_file_label(std::string name) {
    file_name = name;
    if (file_label)
        file_label->set_text("Current File: " + (name.empty() ? std::string("<Not Specified>") : format_path(name)));
}

void KXP_Main::on_shutdown() {
    delete scene;  // the preview, the GUI, the panels and with them the document
    scene = nullptr;
    preview_engine = nullptr;
    gui_root = nullptr;
    prototype_editor = nullptr;
    event_editor = nullptr;
    event_list_panel = nullptr;
    previewed_sprite = nullptr;
    file_label = angle_label = scale_label = rate_label = nullptr;
    new_button = load_button = save_button = save_as_button = spawn_button = nullptr;
    angle_bar = scale_bar = rate_bar = nullptr;
    count_edit = nullptr;
    delete texture_manager;
    texture_manager = nullptr;
}

void KXP_Main::render(SDL_Surface* screen) {
    scene->draw(screen);
    if (previewed_sprite) previewed_sprite->draw(screen);
}

void KXP_Main::update(float dt) {
    // The window is being closed: the frame loop ends after this frame unless the question
    // keeps the editor open.
    if (quit_requested && !quit_confirmed) {
        quit_confirmed = confirm_quit();
        quit_requested = quit_confirmed;
    }

    scene->update(dt);
    const float cx = float(window_width - 300) * 0.5f;
    const float cy = float(window_height - 48) * 0.5f + 24;
    if (previewed_sprite) {
        previewed_sprite->set_x(cx - previewed_sprite->get_width() * 0.5f);
        previewed_sprite->set_y(cy - previewed_sprite->get_height() * 0.5f);
        previewed_sprite->update(dt);
    }
    preview_engine->set_x(cx);
    preview_engine->set_y(cy);

    // The continuous emitter keeps the fraction of a particle for the next frame. A long frame
    // gives one burst, bounded like a typed spawn count.
    emit_accumulator += dt;
    const double rate = rate_bar->get_value();
    const double due = rate * emit_accumulator;
    if (due >= 1.0) {
        const int count = int(std::min(std::floor(due), double(kMaxSpawnCount)));
        preview_engine->spawn_effect(0, count, 0, 0, 0, angle_bar->get_value());
        emit_accumulator -= float(std::floor(due) / rate);
    }
}

void KXP_Main::on_key_pressed(const SDL_Event& event) { gui_root->on_key_pressed(event.key); }
void KXP_Main::on_key_repeat(const SDL_Event& event) { gui_root->on_key_repeat(event.key); }
void KXP_Main::on_key_released(const SDL_Event& event) { gui_root->on_key_released(event.key); }
void KXP_Main::on_mouse_motion(const SDL_Event& event) { gui_root->on_mouse_motion(event.motion); }
void KXP_Main::on_mouse_button_down(const SDL_Event& event) { gui_root->on_mouse_button_down(event.button); }
void KXP_Main::on_mouse_button_up(const SDL_Event& event) { gui_root->on_mouse_button_up(event.button); }

void KXP_Main::on_resize(const SDL_Event& event) {
    gui_root->set_width(float(event.resize.w));
    gui_root->set_height(float(event.resize.h));
    gui_root->set_client_rect(0, 0, gui_root->get_width(), gui_root->get_height());
    prototype_editor->on_window_resized(event.resize);
    event_editor->on_window_resized(event.resize);
    event_list_panel->on_window_resized(event.resize);
}

void KXP_Main::close_editing_panels() {
    prototype_editor->close();
    event_editor->set_visible(false);
}

// --- file operations ---------------------------------------------------------------------------

void KXP_Main::new_file(CInterfaceElement*, const SDL_MouseButtonEvent*) {
    KXP_Main* app = instance;
    if (!app || !ask_yes_no("Warning",
                            "When creating a new file, all unsaved changes to the current file will "
                            "be lost. Do you really want to continue?")) {
        return;
    }
    app->update_file_label("");
    app->event_list_panel->replace_document({}, {});
}

void KXP_Main::open_file(CInterfaceElement*, const SDL_MouseButtonEvent*) {
    KXP_Main* app = instance;
    if (!app) return;
    std::string chosen =
        open_file_dialog(make_absolute_path(kAnimationFolder), kParticleFilter, "vp", "Open file...", 1);
    if (chosen.empty()) return;
    const std::string path = document_path(chosen);
    app->close_editing_panels();
    // Read beside the document, so a file that fails leaves the open one as it was.
    ParticleLoader::ParticleFileTemplate loaded(texture_manager);
    if (!ParticleLoader::load_from_file(loaded, path)) {
        show_error("Failed to read from file " + path);
        return;
    }
    app->event_list_panel->replace_document(std::move(loaded.events), std::move(loaded.event_names));
    app->update_file_label(path);
}

void KXP_Main::save_file(CInterfaceElement*, const SDL_MouseButtonEvent*) {
    if (instance) instance->save_document();
}

void KXP_Main::save_file_as(CInterfaceElement*, const SDL_MouseButtonEvent*) {
    if (instance) instance->save_document_as();
}

bool KXP_Main::save_document() {
    if (file_name.empty()) return save_document_as();
    close_editing_panels();
    return write_document(file_name);
}

bool KXP_Main::save_document_as() {
    std::string chosen = save_file_dialog(make_absolute_path(kAnimationFolder), kParticleFilter, "vp", "Save as...", 1);
    if (chosen.empty()) return false;
    const std::string path = document_path(chosen);
    close_editing_panels();
    if (!write_document(path)) return false;
    update_file_label(path);
    event_list_panel->refresh_event_list();
    return true;
}

bool KXP_Main::write_document(const std::string& path) {
    // The writer encodes the whole document first and replaces the file in one step, so a
    // failed save leaves the old file as it was.
    if (ParticleLoader::save_file(*event_list_panel->document, path)) return true;
    show_error("Failed to write to file " + path);
    return false;
}

bool KXP_Main::confirm_quit() {
    if (event_list_panel->document->events.empty()) return true;
    if (!ask_yes_no("Error", "Would you like to save the file before exiting?")) return true;
    return save_document();
}

// --- preview controls --------------------------------------------------------------------------

void KXP_Main::spawn_particles(CInterfaceElement*, const SDL_MouseButtonEvent*) {
    KXP_Main* app = instance;
    if (!app) return;
    app->preview_engine->spawn_effect(0, app->spawn_count, 0, 0, 0, app->angle_bar->get_value());
}

void KXP_Main::update_status_labels(CInterfaceElement* sender, float, float new_value) {
    KXP_Main* app = instance;
    if (!app) return;
    if (is(sender, app->angle_bar)) {
        app->angle_label->set_text("Angle: " + format_fixed(new_value) + kDegree);
    } else if (is(sender, app->scale_bar)) {
        app->preview_engine->set_scale(new_value);
        app->scale_label->set_text("Scale: " + format_fixed(new_value) + ":1");
    } else if (is(sender, app->rate_bar)) {
        app->rate_label->set_text("Particles: " + format_fixed(new_value));
    }
}

void KXP_Main::on_particle_count_edited(CInterfaceElement*) {
    KXP_Main* app = instance;
    if (!app) return;
    app->spawn_count = std::min(parse_int(app->count_edit->get_text(), app->spawn_count), kMaxSpawnCount);
    app->count_edit->set_text(std::to_string(app->spawn_count));
}

// --- program -----------------------------------------------------------------------------------

int editor_main() {
    log_enable();
    log_set_file_path(kLogFile);
    log_enable_file();
    log_disable_console();
    platform::hide_console();
    CGameBase::set_console_titling(false);

    auto* app = new KXP_Main();
    app->run();
    delete app;
    return 0;
}
