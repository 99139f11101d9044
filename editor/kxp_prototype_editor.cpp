#include "editor/kxp_prototype_editor.h"

#include "editor/editor_format.h"
#include "editor/editor_settings.h"
#include "editor/editor_skins.h"
#include "editor/kxp_main.h"
#include "engine/core/files.h"
#include "engine/core/ini.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"

KXP_PrototypeEditor* KXP_PrototypeEditor::instance = nullptr;

KXP_PrototypeEditor::KXP_PrototypeEditor(CInterfaceElement* parent)
    : CInterfaceContainer(parent, KXP_Main::texture_manager) {
    set_x(10);
    set_horizontal_anchor(Anchor::End);
    set_vertical_anchor(Anchor::Centre);
    set_z(0.2f);
    set_width(300);
    if (CGameBase::window_height - 20 >= 0) set_height(float(CGameBase::window_height - 20));
    set_client_rect(0, 0, get_width(), get_height());

    background = new CImageSprite(this);
    background->set_size(get_width(), get_height());
    background->set_texture(
        get_texture_manager()->get_texture(true, false, std::string(editor_settings::kSkinFolder) + "background.png"));
    background->set_border_x(5);
    background->set_border_y(5);
    add_child(background);

    start_frame = 0;
    instance = this;
    build_ui();
}

KXP_PrototypeEditor::~KXP_PrototypeEditor() {
    if (instance == this) instance = nullptr;
}

void KXP_PrototypeEditor::build_ui() {
    CFont* font = KXP_Main::instance->font;
    auto label = [&](const char* text, float x, float width, float y, int anchor, int alignment) {
        auto* l = new CLabel(this, font);
        editor_setup_label(l, width, 24, text);
        l->set_horizontal_alignment(alignment);
        l->set_x(x);
        l->set_y(y);
        l->set_horizontal_anchor(anchor);
        add_child(l);
        return l;
    };
    auto edit = [&](const char* text, float x, float width, float y) {
        return editor_add_value_edit(this, font, text, x, width, y, &KXP_PrototypeEditor::apply_fields);
    };
    auto button = [&](const char* text, float y, int v_anchor) {
        auto* b = new CButton(this, font);
        editor_skin_button(b, 280, 24, text);
        b->set_x(10);
        b->set_y(y);
        b->set_vertical_anchor(v_anchor);
        b->on_click = &KXP_PrototypeEditor::on_button_clicked;
        add_child(b);
        return b;
    };
    // A row of two fields: the right one, the separator, then the left one.
    auto pair = [&](const char* text, float y, const char* separator, const char* right_text, const char* left_text,
                    CEdit** right, CEdit** left) {
        label(text, 10, 90, y, Anchor::Start, 1);
        *right = edit(right_text, 10, 80, y);
        label(separator, 100, 5, y, Anchor::End, 0);
        *left = edit(left_text, 115, 80, y);
    };

    texture_label = label("Texture: <Not Specified>", 10, 280, 10, Anchor::Start, 1);
    select_texture_button = button("Select Texture...", 34, Anchor::Start);
    pair("Size:", 68, "/", "1", "1", &height_edit, &width_edit);
    label("Z (-1 to 1):", 10, 80, 102, Anchor::Start, 1);
    z_edit = edit("0", 10, 185, 102);
    label("Angle:", 10, 150, 136, Anchor::Start, 1);
    angle_edit = edit("0", 10, 185, 136);
    pair("Rot. Center:", 170, "/", "0,5", "0,5", &center_y_edit, &center_x_edit);
    pair("Tex. Borders:", 204, "/", "0", "0", &border_y_edit, &border_x_edit);
    pair("Tile Size:", 238, "/", "0", "0", &tile_height_edit, &tile_width_edit);
    pair("Anim Frames:", 272, "-", "0", "0", &last_frame_edit, &first_frame_edit);
    label("Animation Speed (FPS):", 10, 150, 306, Anchor::Start, 1);
    speed_edit = edit("0", 10, 130, 306);
    label("Animation Start:", 10, 150, 340, Anchor::Start, 1);
    start_edit = edit("0", 10, 130, 340);

    animation_checkbox = new CCheckbox(this, font);
    editor_skin_checkbox(animation_checkbox, 280, "Enable Animation");
    animation_checkbox->set_x(10);
    animation_checkbox->set_y(374);
    animation_checkbox->set_on_change(&KXP_PrototypeEditor::on_animation_toggled);
    add_child(animation_checkbox);

    label("Mass:", 10, 150, 408, Anchor::Start, 1);
    mass_edit = edit("1", 10, 130, 408);
    done_button = button("Done", 10, Anchor::End);
}

void KXP_PrototypeEditor::open_prototype(CParticleSprite* sprite) {
    KXP_Main* app = KXP_Main::instance;
    app->previewed_sprite = sprite;
    app->preview_engine->set_visible(false);
    prototype = sprite;
    start_frame = sprite ? sprite->get_frame() : 0;
    refresh_fields();
    set_visible(true);
}

void KXP_PrototypeEditor::close() {
    if (prototype) {
        prototype->set_frame(start_frame);
        prototype = nullptr;
    }
    KXP_Main* app = KXP_Main::instance;
    app->previewed_sprite = nullptr;
    app->preview_engine->set_visible(true);
    set_visible(false);
}

void KXP_PrototypeEditor::refresh_fields() {
    if (!prototype) return;
    ITexture* texture = prototype->get_texture();
    auto* named = dynamic_cast<CTexture*>(texture);
    texture_label->set_text(named ? "Texture: " +
                                        format_path(make_relative_path(
                                            make_absolute_path(editor_settings::kGraphicsFolder), named->get_name()))
                                  : std::string("Texture: <Not Specified>"));
    const fvec2d centre = prototype->get_rotation_center();
    width_edit->set_text(format_fixed(prototype->get_width()));
    height_edit->set_text(format_fixed(prototype->get_height()));
    z_edit->set_text(format_fixed(prototype->get_z()));
    angle_edit->set_text(format_fixed(prototype->get_rotation()));
    speed_edit->set_text(format_fixed(prototype->get_animation_speed()));
    center_x_edit->set_text(format_fixed(centre.x));
    center_y_edit->set_text(format_fixed(centre.y));
    mass_edit->set_text(format_fixed(prototype->get_mass()));
    border_x_edit->set_text(std::to_string(prototype->get_border_x()));
    border_y_edit->set_text(std::to_string(prototype->get_border_y()));
    tile_width_edit->set_text(std::to_string(prototype->get_tile_width()));
    tile_height_edit->set_text(std::to_string(prototype->get_tile_height()));
    first_frame_edit->set_text(std::to_string(prototype->get_first_frame()));
    last_frame_edit->set_text(std::to_string(prototype->get_last_frame()));
    start_edit->set_text(format_fixed(start_frame));
}

void KXP_PrototypeEditor::apply_fields(CInterfaceElement* sender) {
    KXP_PrototypeEditor* panel = instance;
    CParticleSprite* p = panel ? panel->prototype : nullptr;
    if (!p || !sender) return;
    auto* edit = dynamic_cast<CEdit*>(sender);
    if (!edit) return;
    const std::string text = edit->get_text();
    auto real = [&](float current) { return parse_float(text, current); };
    auto whole = [&](int current) { return parse_int(text, current); };

    if (edit == panel->z_edit) p->set_z(real(p->get_z()));
    else if (edit == panel->width_edit) p->set_width(real(p->get_width()));
    else if (edit == panel->height_edit) p->set_height(real(p->get_height()));
    else if (edit == panel->angle_edit) p->set_rotation(real(p->get_rotation()));
    else if (edit == panel->border_x_edit) p->set_border_x(whole(p->get_border_x()));
    else if (edit == panel->border_y_edit) p->set_border_y(whole(p->get_border_y()));
    else if (edit == panel->tile_width_edit) p->set_tile_width(whole(p->get_tile_width()));
    else if (edit == panel->tile_height_edit) p->set_tile_height(whole(p->get_tile_height()));
    else if (edit == panel->first_frame_edit) p->set_first_frame(whole(p->get_first_frame()));
    else if (edit == panel->last_frame_edit) p->set_last_frame(whole(p->get_last_frame()));
    else if (edit == panel->speed_edit) p->set_animation_speed(real(p->get_animation_speed()));
    else if (edit == panel->mass_edit) p->set_mass(real(p->get_mass()));
    else if (edit == panel->center_x_edit || edit == panel->center_y_edit) {
        fvec2d centre = p->get_rotation_center();
        if (edit == panel->center_x_edit) centre.x = real(centre.x);
        else centre.y = real(centre.y);
        p->set_rotation_center(centre);
    } else if (edit == panel->start_edit) {
        p->set_frame(real(p->get_frame()));
        panel->start_frame = p->get_frame();
    }
    panel->refresh_fields();
}

void KXP_PrototypeEditor::choose_texture() {
    std::string chosen = open_file_dialog(make_absolute_path(editor_settings::kGraphicsFolder),
                                          editor_settings::kTextureFilter, "png", "Select a texture file...", 1);
    if (!chosen.empty()) {
        const std::string path = make_relative_path(get_working_directory(), chosen);
        CTexture* texture = KXP_Main::texture_manager->get_texture(true, false, path);
        if (texture && texture->is_valid()) prototype->set_texture(texture);
    }
    refresh_fields();
}

void KXP_PrototypeEditor::on_button_clicked(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    KXP_PrototypeEditor* panel = instance;
    if (!panel || !sender) return;
    if (sender == panel->select_texture_button) {
        if (panel->prototype) panel->choose_texture();
    } else if (sender == panel->done_button) {
        panel->close();
    }
}

void KXP_PrototypeEditor::on_animation_toggled(CInterfaceElement* sender, const SDL_MouseButtonEvent*, int) {
    KXP_PrototypeEditor* panel = instance;
    if (!panel || !panel->prototype || sender != panel->animation_checkbox) return;
    panel->prototype->set_playing(panel->animation_checkbox->get_state() == 1);
}

void KXP_PrototypeEditor::on_window_resized(const SDL_ResizeEvent& event) {
    set_height(float(event.h - 20));
    set_client_rect(0, 0, get_width(), get_height());
    background->set_height(get_height());
}
