#include "client/qc_level_gen.h"

#include <algorithm>
#include <cctype>

#include "client/client_skins.h"
#include "client/level_file.h"
#include "client/qc_game.h"
#include "client/qc_game_play.h"
#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "engine/gfx/font.h"
#include "engine/gfx/texture_manager.h"
#include "engine/scene/image_sprite.h"
#include "engine/scene/label_sprite.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "engine/ui/panel.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "game/levelgen/level_generator.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "platform/dialogs.h"

QCLevelGen* QCLevelGen::instance = nullptr;

namespace {

constexpr float kPanelWidth = 300;
constexpr float kRowWidth = 280;
constexpr float kRowGap = 10;
constexpr const char* kLevelFilter = "Level Files (*.vml)|*.vml";
constexpr ColorRGB kNoticeColour{230, 230, 230};

const char* const kPresetNames[kGeneratorPresetCount] = {
    "Swamp", "Submarine", "Skyscraper", "Mountain", "Cave / Floating Rocks", "Hills"};

// The presets whose structures have a fixed size in pixels: a smaller preview would not show
// the level they make.
bool previews_at_full_size(uint32_t gen) { return gen == 0 || gen == 1; }

// As the integer reading of the texts sees it: blanks, an optional sign, then a digit.
bool begins_with_number(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

// The side of the level the server makes from what "Done" sends for the text (a number beyond
// 32 bits is sent as 0); twice the window's side when the text holds no number.
double level_side(const std::string& text, int window_side, uint32_t (*resolve)(uint32_t)) {
    if (!begins_with_number(text)) return double(window_side) * 2.0;
    return double(resolve(uint32_t(parse_int(text, 0))));
}

}  // namespace

QCLevelGen::QCLevelGen(CTextureManager* textures, QCGame* owner, QCGamePlay* screen)
    : QCGameState(textures, owner), game_screen(screen) {
    instance = this;
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);

    panel = new CPanel(this, textures);
    skin_panel(panel, textures, kPanelWidth, get_height());
    add_child(panel);

    float next_y = 0;
    auto label = [&](float width, const std::string& text, float x, float y) {
        CLabel* l = new CLabel(panel, font);
        setup_label(l, width, 24, text);
        l->CSprite::set_x(x);
        l->CSprite::set_y(y);
        panel->add_child(l);
        return l;
    };
    label(kRowWidth, "Level Generator:", 0, 0);

    preset_list = new CListBox(panel);
    skin_list_box(preset_list, font, kRowWidth, 100, 24, textures);
    for (const char* name : kPresetNames) preset_list->add_item(name, -1);
    preset_list->select_item(0);
    preset_list->CSprite::set_y(24);
    panel->add_child(preset_list);
    next_y = 24 + 100 + kRowGap;

    auto edit_row = [&](const std::string& caption, const std::string& text) {
        // The caption takes 10 pixels of the field: "Level height (px):" needs them in our face.
        CLabel* l = label(110, caption, 0, next_y);
        CEdit* e = new CEdit(panel, font);
        skin_edit(e, textures, 160, 24, text);
        e->CSprite::set_x(l->get_width() + kRowGap);
        e->CSprite::set_y(next_y);
        panel->add_child(e);
        next_y += 24 + kRowGap;
        return e;
    };
    seed_edit = edit_row("Random Seed:", "0");
    width_edit = edit_row("Level width (px):", std::to_string(int(get_width()) * 2));
    height_edit = edit_row("Level height (px):", std::to_string(int(get_height()) * 2));

    auto bar_row = [&](const std::string& caption, float minimum, float maximum, float step, float value) {
        label(kRowWidth, caption, 0, next_y);
        CScrollbar* bar = new CScrollbar(panel);
        skin_scrollbar(bar, font, kRowWidth, 16, 24, textures, false);
        bar->set_minimum(minimum);
        bar->set_maximum(maximum);
        bar->set_step(step);
        bar->set_value(value);
        bar->CSprite::set_y(next_y + 24);
        panel->add_child(bar);
        next_y += 24 + 16 + kRowGap;
        return bar;
    };
    water_level_bar = bar_row("Water Level:", 0, 1, 0.01f, 0);
    octaves_bar = bar_row("Simplex Noise Octaves:", 1, 10, 1, 1);
    scale_x_bar = bar_row("Noise Scale X:", 0, 1, 0.005f, 0.5f);
    scale_y_bar = bar_row("Noise Scale Y:", 0, 1, 0.005f, 0.5f);
    offset_x_bar = bar_row("Offset X:", 0, 1, 0.005f, 0.5f);
    offset_y_bar = bar_row("Offset Y:", 0, 1, 0.005f, 0.5f);
    solid_threshold_bar = bar_row("Solid Amount:", 0, 1, 0.005f, 0.5f);
    additional_bar = bar_row("Additional Value (custom):", 0, 1, 0.005f, 0.5f);

    auto button = [&](float width, const std::string& text, int horizontal, float y) {
        CButton* b = new CButton(panel, font);
        skin_button(b, textures, width, 24, text);
        b->set_horizontal_anchor(horizontal);
        b->set_vertical_anchor(Anchor::End);
        b->CSprite::set_y(y);
        b->on_click = on_button;
        panel->add_child(b);
        return b;
    };
    done_button = button(kRowWidth, "Done", Anchor::Start, 0);
    save_button = button(135, "Save Level", Anchor::Start, 34);
    load_button = button(135, "Load Level", Anchor::End, 34);

    preview_sprite = new CImageSprite(this);
    preview_sprite->set_texture(&preview_texture);
    add_child(preview_sprite);

    generating_label = new CLabelSprite(this, font);
    generating_label->set_size(240, 40);
    generating_label->set_text_box(0, 0, 240, 40);
    generating_label->set_text_color(kNoticeColour);
    generating_label->set_text("Generating preview...");
    if (textures) generating_label->set_texture(textures->get_texture(true, false, "gfx\\blend.png"));
    generating_label->set_x(kPanelWidth + (get_width() - kPanelWidth - 240) * 0.5f);
    generating_label->set_y((get_height() - 40) * 0.5f);
    generating_label->set_z(1.0f);
    generating_label->set_visible(false);
    add_child(generating_label);

    load_level_file(kCurrentLevelFile);

    // Installed only now, so that the load above makes exactly one preview.
    preset_list->set_on_select(on_preset_selected);
    for (CEdit* e : {seed_edit, width_edit, height_edit}) e->set_on_focus_lost(on_edit_focus_lost);
    for (CScrollbar* bar : {water_level_bar, octaves_bar, scale_x_bar, scale_y_bar, offset_x_bar, offset_y_bar,
                            solid_threshold_bar, additional_bar})
        bar->set_on_value_change(on_slider_changed);
}

QCLevelGen::~QCLevelGen() {
    if (instance == this) instance = nullptr;
    // The sprite goes with the container, after the texture it shows.
    preview_sprite->set_texture(nullptr);
}

void QCLevelGen::on_window_resized(const SDL_ResizeEvent& event) {
    QCGameState::on_window_resized(event);
    panel->set_height(get_height());
}

void QCLevelGen::update(float dt) {
    QCGameState::update(dt);
    if (!preview_wanted) return;
    if (int64_t(requested_preview.size_x) * requested_preview.size_y <= kLivePreviewPixels) {
        make_preview(requested_preview);
    } else if (!generating_label->is_visible()) {
        generating_label->set_visible(true);  // drawn before the frame that stops for the preview
    } else {
        unchanged_seconds += dt;
        if (unchanged_seconds >= kSettleSeconds) make_preview(requested_preview);
    }
}

void QCLevelGen::request_preview() {
    // Taken now: by the time a large preview is made, an edit may hold a half-typed number.
    requested_preview = preview_parameters();
    preview_wanted = true;
    unchanged_seconds = 0;
}

LevelParameters QCLevelGen::parameters() {
    LevelParameters p;
    p.seed = uint32_t(parse_int(seed_edit->get_text(), 0));
    p.gen = uint32_t(preset_list->get_selected_item());
    p.water_level = water_level_bar->get_value();
    p.octaves = int32_t(octaves_bar->get_value());
    p.size_x = uint32_t(parse_int(width_edit->get_text(), 0));
    p.size_y = uint32_t(parse_int(height_edit->get_text(), 0));
    p.scale_x = scale_x_bar->get_value();
    p.scale_y = scale_y_bar->get_value();
    p.offset_x = offset_x_bar->get_value();
    p.offset_y = offset_y_bar->get_value();
    p.solid_threshold = solid_threshold_bar->get_value();
    p.additional = additional_bar->get_value();
    return p;
}

void QCLevelGen::show_parameters(const LevelParameters& p) {
    seed_edit->set_text(std::to_string(int32_t(p.seed)));
    preset_list->select_item(int(p.gen));
    water_level_bar->set_value(p.water_level);
    octaves_bar->set_value(float(p.octaves));
    width_edit->set_text(std::to_string(p.size_x));
    height_edit->set_text(std::to_string(p.size_y));
    scale_x_bar->set_value(p.scale_x);
    scale_y_bar->set_value(p.scale_y);
    offset_x_bar->set_value(p.offset_x);
    offset_y_bar->set_value(p.offset_y);
    solid_threshold_bar->set_value(p.solid_threshold);
    additional_bar->set_value(p.additional);
}

void QCLevelGen::load_level_file(const std::string& path) {
    show_parameters(read_level_file(path, parameters()));
    regenerate_preview();
}

bool QCLevelGen::save_level_file(const std::string& path) {
    if (write_level_file(path, parameters())) return true;
    log_message(LogLevel::Warning, "Could not write the level file " + path + ".", log_class_name_of(*this));
    return false;
}

void QCLevelGen::open_level_dialog() {
    platform::FileDialogRequest request;
    request.title = "Open...";
    request.filter = kLevelFilter;
    request.default_extension = "vml";
    const std::string path = platform::file_dialog(request);
    if (!path.empty()) load_level_file(path);
}

void QCLevelGen::save_level_dialog() {
    platform::FileDialogRequest request;
    request.save = true;
    request.title = "Save as...";
    request.filter = kLevelFilter;
    request.default_extension = "vml";
    const std::string path = platform::file_dialog(request);
    if (!path.empty() && !save_level_file(path))
        platform::message_box({"Error", "Could not save the level to " + path + ".", false});
}

ivec2d QCLevelGen::preview_size(uint32_t gen, const std::string& width_text, const std::string& height_text) {
    const float quality = previews_at_full_size(gen) ? 1.0f : std::min(menu_preview_quality, 1.0f);
    const double w = level_side(width_text, CGameBase::window_width, resolve_level_width) * quality;
    const double h = level_side(height_text, CGameBase::window_height, resolve_level_height) * quality;
    return {std::max(1, int(w)), std::max(1, int(h))};
}

LevelParameters QCLevelGen::preview_parameters() {
    LevelParameters p = parameters();
    const ivec2d size = preview_size(p.gen, width_edit->get_text(), height_edit->get_text());
    p.size_x = uint32_t(size.x);
    p.size_y = uint32_t(size.y);
    return p;
}

void QCLevelGen::regenerate_preview() { make_preview(preview_parameters()); }

void QCLevelGen::make_preview(LevelParameters p) {
    preview_wanted = false;
    generating_label->set_visible(false);
    // Empty placement callbacks: the preview places nothing.
    const GeneratorCallbacks callbacks;
    SDL_Surface* surface = generate_level_surface(preview_texture.get_surface(), false, &callbacks, p);
    if (surface) preview_texture.set_surface(surface);
    else log_message(LogLevel::Warning, "No surface for the level preview.", log_class_name_of(*this));
    fit_preview();
}

void QCLevelGen::fit_preview() {
    const float tw = float(preview_texture.get_image_width());
    const float th = float(preview_texture.get_image_height());
    if (tw <= 0 || th <= 0) return;
    const float area_width = std::max(get_width() - panel->get_width(), 1.0f);
    const float area_height = std::max(get_height(), 1.0f);
    float width, height;
    if (tw / th > area_width / area_height) {
        width = area_width;
        height = area_width / tw * th;
    } else {
        height = area_height;
        width = area_height / th * tw;
    }
    preview_sprite->set_tile_width(int(tw));
    preview_sprite->set_tile_height(int(th));
    preview_sprite->set_size(width, height);
    preview_sprite->set_x(panel->get_width() + (area_width - width) * 0.5f);
    preview_sprite->set_y((area_height - height) * 0.5f);
}

void QCLevelGen::send_and_close() {
    save_level_file(kCurrentLevelFile);
    LevelCreation record;
    record.parameters = parameters();
    log_message(LogLevel::Status, "Sending level parameters to server...", "Level Generator");
    QGGame* client = game_screen ? game_screen->client_game.get() : nullptr;
    if (client && client->event_handler) {
        client->event_handler->post<EQGEventType::GenerateLevel>(record);
    }
    if (game_screen) game_screen->set_status_message("Waiting for other players...");
    game->close_top_state();
}

void QCLevelGen::on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    QCLevelGen* screen = instance;
    if (!screen) return;
    if (sender == screen->save_button) screen->save_level_dialog();
    else if (sender == screen->load_button) screen->open_level_dialog();
    else if (sender == screen->done_button) screen->send_and_close();
}

void QCLevelGen::on_slider_changed(CInterfaceElement*, float, float) {
    if (instance) instance->request_preview();
}

void QCLevelGen::on_edit_focus_lost(CInterfaceElement* sender) {
    QCLevelGen* screen = instance;
    if (!screen) return;
    if (sender == screen->seed_edit || sender == screen->width_edit || sender == screen->height_edit)
        screen->request_preview();
}

void QCLevelGen::on_preset_selected(CListBox* list, const SDL_MouseButtonEvent*, int) {
    QCLevelGen* screen = instance;
    if (screen && list == screen->preset_list) screen->request_preview();
}
