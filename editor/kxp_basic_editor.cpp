#include "editor/kxp_basic_editor.h"

#include "editor/editor_settings.h"
#include "editor/editor_skins.h"
#include "editor/kxp_event_editor.h"
#include "editor/kxp_main.h"
#include "editor/kxp_prototype_editor.h"
#include "engine/gfx/texture_manager.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "platform/dialogs.h"

KXP_BasicEditor* KXP_BasicEditor::instance = nullptr;

void release_prototypes(std::vector<ParticleEffectSettings>& events) {
    for (ParticleEffectSettings& event : events) {
        for (CParticleSprite* prototype : event.prototypes) delete prototype;
        event.prototypes.clear();
        event.prototypes.shrink_to_fit();
    }
}

KXP_BasicEditor::KXP_BasicEditor(CInterfaceElement* parent) : CInterfaceContainer(parent, KXP_Main::texture_manager) {
    set_x(10);
    set_horizontal_anchor(Anchor::End);
    set_vertical_anchor(Anchor::Centre);
    set_z(0);
    set_width(300);
    if (CGameBase::window_height - 20 >= 0) set_height(float(CGameBase::window_height - 20));
    set_client_rect(0, 0, get_width(), get_height());

    background = new CImageSprite(this);
    background->set_size(get_width(), get_height());
    background->set_texture(KXP_Main::texture_manager->get_texture(
        true, false, std::string(editor_settings::kSkinFolder) + "background.png"));
    background->set_border_x(5);
    background->set_border_y(5);
    add_child(background);

    document = new ParticleLoader::ParticleFileTemplate(KXP_Main::texture_manager);
    instance = this;
    build_ui();
}

KXP_BasicEditor::~KXP_BasicEditor() {
    if (document) release_prototypes(document->events);
    delete document;
    if (instance == this) instance = nullptr;
}

void KXP_BasicEditor::build_ui() {
    CFont* font = KXP_Main::instance->font;
    const float w = get_width();
    const float h = get_height();

    title_label = new CLabel(this, font);
    editor_setup_label(title_label, w - 20, 24, "Particle Events:");
    title_label->set_x(10);
    title_label->set_y(10);
    add_child(title_label);

    event_list = new CListBox(this);
    editor_skin_list_box(event_list, w - 20, h - 112);
    event_list->set_x(10);
    event_list->set_y(title_label->get_y() + title_label->get_height());
    event_list->set_on_select(&KXP_BasicEditor::on_event_selected);
    add_child(event_list);

    auto button = [&](const char* text, float x, int anchor) {
        auto* b = new CButton(this, font);
        editor_skin_button(b, 80, 24, text);
        b->set_x(x);
        b->set_y(10);
        b->set_horizontal_anchor(anchor);
        b->set_vertical_anchor(Anchor::End);
        b->on_click = &KXP_BasicEditor::on_button_clicked;
        add_child(b);
        return b;
    };
    add_button = button("Add", 10, Anchor::Start);
    edit_button = button("Edit", 0, Anchor::Centre);
    remove_button = button("Remove", 10, Anchor::End);

    name_edit = new CEdit(this, font);
    editor_skin_edit(name_edit, w - 20, 24, "-");
    name_edit->set_x(10);
    name_edit->set_y(remove_button->get_y() + remove_button->get_height() + 10);
    name_edit->set_vertical_anchor(Anchor::End);
    name_edit->set_on_focus_lost(&KXP_BasicEditor::on_name_edit_focus_lost);
    add_child(name_edit);
}

int KXP_BasicEditor::get_selected_event() {
    const int selected = event_list->get_selected_item();
    return selected >= 0 && std::size_t(selected) < document->events.size() ? selected : -1;
}

void KXP_BasicEditor::refresh_event_list(bool force_rebuild) {
    std::vector<ParticleEffectSettings>& events = document->events;
    std::vector<std::string>& names = document->event_names;
    if (names.size() != events.size()) names.resize(events.size(), "<Missing Name>");

    if (force_rebuild || std::size_t(event_list->get_item_count()) != events.size()) {
        const int selected = event_list->get_selected_item();
        event_list->clear_items();
        for (const std::string& name : names) event_list->add_item(name, -1);
        event_list->select_item(selected);
        register_preview();
    } else {
        for (std::size_t i = 0; i < names.size(); ++i) event_list->set_item_text(int(i), names[i]);
    }
    const int selected = get_selected_event();
    name_edit->set_text(selected >= 0 ? names[std::size_t(selected)] : std::string("-"));
}

void KXP_BasicEditor::register_preview() {
    CParticleEngine* preview = KXP_Main::instance->preview_engine;
    preview->clear_effects();
    const int selected = get_selected_event();
    if (selected < 0) return;
    if (ParticleEffect* effect = preview->get_effect(preview->add_effect())) {
        effect->settings = &document->events[std::size_t(selected)];
        effect->keep_when_empty = true;
        effect->owns_settings = false;
    }
}

void KXP_BasicEditor::replace_document(std::vector<ParticleEffectSettings> events, std::vector<std::string> names) {
    KXP_Main::instance->close_editing_panels();
    // Nothing may draw from the old records once they are gone.
    KXP_Main::instance->preview_engine->clear_effects();
    release_prototypes(document->events);
    document->events = std::move(events);
    document->event_names = std::move(names);
    refresh_event_list(true);
}

void KXP_BasicEditor::on_window_resized(const SDL_ResizeEvent& event) {
    set_height(float(event.h - 20));
    set_client_rect(0, 0, get_width(), get_height());
    background->set_height(get_height());
    event_list->set_height(get_height() - 112);
    FloatRect list_rect = event_list->get_client_rect();
    event_list->set_client_rect(list_rect.x, list_rect.y, list_rect.width, event_list->get_height() - 2 * list_rect.y);
}

void KXP_BasicEditor::on_event_selected(CListBox*, const SDL_MouseButtonEvent*, int) {
    if (!instance) return;
    instance->refresh_event_list();
    instance->register_preview();
}

void KXP_BasicEditor::add_event() {
    // The record's defaults: no prototypes, full alpha, one second of life, nothing moving it.
    document->events.push_back(ParticleEffectSettings());
    document->event_names.push_back("Event #" + std::to_string(document->events.size() - 1));
    refresh_event_list();
}

void KXP_BasicEditor::remove_selected_event() {
    const int selected = get_selected_event();
    if (selected < 0) return;
    if (platform::message_box({"Warning",
                               "Deleting a particle event cannot be reversed (except by loading a "
                               "previously saved file). Continue?",
                               true}) != platform::MessageBoxResult::Yes) {
        return;
    }
    KXP_Main* app = KXP_Main::instance;
    ParticleEffectSettings& doomed = document->events[std::size_t(selected)];
    // Views of the event or of one of its prototypes close before the records go.
    KXP_PrototypeEditor* prototypes = app->prototype_editor;
    for (CParticleSprite* p : doomed.prototypes) {
        if (p && p == prototypes->get_prototype()) prototypes->close();
    }
    KXP_EventEditor* editor = app->event_editor;
    if (editor->get_event_index() == selected) {
        editor->set_visible(false);
        editor->set_event_index(-1);
    } else if (editor->get_event_index() > selected) {
        editor->set_event_index(editor->get_event_index() - 1);
    }
    app->preview_engine->clear_effects();
    for (CParticleSprite* p : doomed.prototypes) delete p;
    document->events.erase(document->events.begin() + selected);
    if (std::size_t(selected) < document->event_names.size()) {
        document->event_names.erase(document->event_names.begin() + selected);
    }
    refresh_event_list();
}

void KXP_BasicEditor::on_button_clicked(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    KXP_BasicEditor* panel = instance;
    if (!panel || !sender) return;
    if (sender == panel->add_button) {
        panel->add_event();
    } else if (sender == panel->edit_button) {
        const int selected = panel->get_selected_event();
        if (selected < 0) return;
        KXP_EventEditor* editor = KXP_Main::instance->event_editor;
        editor->set_event_index(selected);
        editor->refresh_prototype_list();
        editor->set_visible(true);
    } else if (sender == panel->remove_button) {
        panel->remove_selected_event();
    }
}

void KXP_BasicEditor::on_name_edit_focus_lost(CInterfaceElement*) {
    KXP_BasicEditor* panel = instance;
    if (!panel) return;
    const int selected = panel->get_selected_event();
    if (selected < 0) return;
    panel->document->event_names[std::size_t(selected)] = panel->name_edit->get_text();
    panel->refresh_event_list();
}
