#include "editor/kxp_event_editor.h"

#include <string>

#include "editor/editor_format.h"
#include "editor/editor_settings.h"
#include "editor/editor_skins.h"
#include "editor/kxp_basic_editor.h"
#include "editor/kxp_main.h"
#include "editor/kxp_prototype_editor.h"
#include "engine/core/ini.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "platform/dialogs.h"

KXP_EventEditor* KXP_EventEditor::instance = nullptr;

namespace {

// One value of an event: a float, or an int32 for the gravity centre.
struct ValueRef {
    float* f = nullptr;
    int32_t* i = nullptr;
};
using ValueOf = ValueRef (*)(ParticleEffectSettings&);

struct ValueRow {
    const char* label;
    ValueOf left;   // the one value of a one-edit row
    ValueOf right;  // null: a one-edit row
    const char* left_text;
    const char* right_text;
};

// The rows top to bottom; every edit reads and writes its value through the table.
#define VALUE(expr) [](ParticleEffectSettings& s) { return ValueRef{&s.expr, nullptr}; }
#define INT_VALUE(expr) [](ParticleEffectSettings& s) { return ValueRef{nullptr, &s.expr}; }
const ValueRow kRows[] = {
    {"Spawn dX:", VALUE(spawn_dx.min), VALUE(spawn_dx.max), "0", "0"},
    {"Spawn dY:", VALUE(spawn_dy.min), VALUE(spawn_dy.max), "0", "0"},
    {"Size Factor:", VALUE(size_factor.min), VALUE(size_factor.max), "1", "1"},
    {"Alpha:", VALUE(alpha.min), VALUE(alpha.max), "255", "255"},
    {"Ejection Angle:", VALUE(ejection_angle.min), VALUE(ejection_angle.max), "0", "360"},
    {"Ejection Force:", VALUE(ejection_force.min), VALUE(ejection_force.max), "0", "0"},
    {"Rot. Speed:", VALUE(rotation_speed.min), VALUE(rotation_speed.max), "0", "0"},
    {"Mass Factor:", VALUE(mass_factor.min), VALUE(mass_factor.max), "1", "1"},
    {"Scale Factor:", VALUE(scale_factor), nullptr, "0", nullptr},
    {"Gravity (X/Y):", VALUE(gravity.x), VALUE(gravity.y), "0", "0"},
    {"Gravity Center:", INT_VALUE(gravity_center.x), INT_VALUE(gravity_center.y), "0", "0"},
    {"Grav to Center:", VALUE(gravity_to_center), nullptr, "0", nullptr},
    {"Friction:", VALUE(friction), nullptr, "0", nullptr},
    {"Life Time:", VALUE(life_time), nullptr, "1", nullptr},
    {"FadeIn Time:", VALUE(fade_in_time), nullptr, "0", nullptr},
    {"FadeOut Time:", VALUE(fade_out_time), nullptr, "0", nullptr},
};
#undef VALUE
#undef INT_VALUE

// The accessor of each value edit, in the order of value_edits.
std::vector<ValueOf> edit_values() {
    std::vector<ValueOf> values;
    for (const ValueRow& row : kRows) {
        values.push_back(row.left);
        if (row.right) values.push_back(row.right);
    }
    return values;
}

std::string show(ValueRef value) { return value.f ? format_fixed(*value.f) : std::to_string(*value.i); }

}  // namespace

KXP_EventEditor::KXP_EventEditor(CInterfaceElement* parent) : CInterfaceContainer(parent, KXP_Main::texture_manager) {
    set_x(10);
    set_z(0.1f);
    set_width(300);
    if (CGameBase::window_height - 20 >= 0) set_height(float(CGameBase::window_height - 20));
    set_horizontal_anchor(Anchor::End);
    set_vertical_anchor(Anchor::Centre);
    set_client_rect(0, 0, get_width(), get_height());
    set_visible(false);

    background = new CImageSprite(this);
    background->set_size(get_width(), get_height());
    background->set_texture(
        get_texture_manager()->get_texture(true, false, std::string(editor_settings::kSkinFolder) + "background.png"));
    background->set_border_x(5);
    background->set_border_y(5);
    add_child(background);

    instance = this;
    build_ui();
}

KXP_EventEditor::~KXP_EventEditor() {
    if (instance == this) instance = nullptr;
}

void KXP_EventEditor::build_ui() {
    CFont* font = KXP_Main::instance->font;
    const float w = get_width();
    auto label = [&](const char* text, float width, float y) {
        auto* l = new CLabel(this, font);
        editor_setup_label(l, width, 24, text);
        l->set_x(10);
        l->set_y(y);
        add_child(l);
    };
    auto button = [&](const char* text, float x, int anchor, float width, float y, int v_anchor) {
        auto* b = new CButton(this, font);
        editor_skin_button(b, width, 24, text);
        b->set_x(x);
        b->set_y(y);
        b->set_horizontal_anchor(anchor);
        b->set_vertical_anchor(v_anchor);
        b->on_click = &KXP_EventEditor::on_button_clicked;
        add_child(b);
        return b;
    };
    auto edit = [&](const char* text, float x, float width, float y) {
        return editor_add_value_edit(this, font, text, x, width, y, &KXP_EventEditor::apply_fields);
    };

    label("Particle Prototypes:", w - 20, 10);
    prototype_list = new CListBox(this);
    editor_skin_list_box(prototype_list, w - 20, 200);
    prototype_list->set_x(10);
    prototype_list->set_y(34);
    add_child(prototype_list);
    add_button = button("Add", 10, Anchor::Start, 80, 244, Anchor::Start);
    edit_button = button("Edit", 0, Anchor::Centre, 80, 244, Anchor::Start);
    remove_button = button("Remove", 10, Anchor::End, 80, 244, Anchor::Start);
    label("Value Range:     Min                          Max", w - 20, 278);

    float y = 302;
    for (const ValueRow& row : kRows) {
        // The captions need 100 pixels in our DejaVu face; the fields give up 5 each.
        label(row.label, 100, y);
        if (row.right) {
            CEdit* right = edit(row.right_text, 10, 85, y);
            CEdit* left = edit(row.left_text, 100, 85, y);
            value_edits.push_back(left);
            value_edits.push_back(right);
        } else {
            value_edits.push_back(edit(row.left_text, 10, 180, y));
        }
        y += 34;
    }
    done_button = button("Done", 10, Anchor::Start, w - 20, 10, Anchor::End);
}

ParticleEffectSettings* KXP_EventEditor::get_event() {
    KXP_BasicEditor* list = KXP_BasicEditor::instance;
    if (!list || event_index < 0 || std::size_t(event_index) >= list->document->events.size()) {
        return nullptr;
    }
    return &list->document->events[std::size_t(event_index)];
}

void KXP_EventEditor::refresh_prototype_list() {
    ParticleEffectSettings* event = get_event();
    if (!event) return;
    const int selected = prototype_list->get_selected_item();
    prototype_list->clear_items();
    for (std::size_t i = 0; i < event->prototypes.size(); ++i) {
        prototype_list->add_item("Particle " + std::to_string(i), -1);
    }
    prototype_list->select_item(selected);

    static const std::vector<ValueOf> values = edit_values();
    for (std::size_t i = 0; i < value_edits.size(); ++i) value_edits[i]->set_text(show(values[i](*event)));
}

void KXP_EventEditor::apply_fields(CInterfaceElement* sender) {
    KXP_EventEditor* panel = instance;
    ParticleEffectSettings* event = panel ? panel->get_event() : nullptr;
    if (!event) return;
    static const std::vector<ValueOf> values = edit_values();
    for (std::size_t i = 0; i < panel->value_edits.size(); ++i) {
        CEdit* edit = panel->value_edits[i];
        if (sender != edit) continue;
        ValueRef value = values[i](*event);
        if (value.f) *value.f = parse_float(edit->get_text(), *value.f);
        if (value.i) *value.i = parse_int(edit->get_text(), *value.i);
    }
    panel->refresh_prototype_list();
}

void KXP_EventEditor::remove_selected_prototype() {
    ParticleEffectSettings* event = get_event();
    const int selected = prototype_list->get_selected_item();
    if (!event || selected < 0 || std::size_t(selected) >= event->prototypes.size()) return;
    if (platform::message_box({"Warning", "Deleting a particle cannot be reversed. Continue?", true}) !=
        platform::MessageBoxResult::Yes) {
        return;
    }
    CParticleSprite* doomed = event->prototypes[std::size_t(selected)];
    KXP_PrototypeEditor* prototypes = KXP_Main::instance->prototype_editor;
    if (doomed && doomed == prototypes->get_prototype()) prototypes->close();
    event->prototypes.erase(event->prototypes.begin() + selected);
    delete doomed;
    refresh_prototype_list();
}

void KXP_EventEditor::on_button_clicked(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    KXP_EventEditor* panel = instance;
    if (!panel || !sender) return;
    if (sender == panel->done_button) {
        panel->set_visible(false);
        return;
    }
    ParticleEffectSettings* event = panel->get_event();
    if (!event) return;
    if (sender == panel->add_button) {
        event->prototypes.push_back(new CParticleSprite(KXP_Main::instance->scene));
        panel->refresh_prototype_list();
    } else if (sender == panel->edit_button) {
        const int selected = panel->prototype_list->get_selected_item();
        if (selected < 0 || std::size_t(selected) >= event->prototypes.size()) return;
        KXP_Main::instance->prototype_editor->open_prototype(event->prototypes[std::size_t(selected)]);
        panel->refresh_prototype_list();
    } else if (sender == panel->remove_button) {
        panel->remove_selected_prototype();
    }
}

void KXP_EventEditor::on_window_resized(const SDL_ResizeEvent& event) {
    set_height(float(event.h - 20));
    set_client_rect(0, 0, get_width(), get_height());
    background->set_height(get_height());
}
