#include "editor/editor_skins.h"

#include "editor/editor_settings.h"
#include "editor/kxp_main.h"
#include "engine/ui/edit.h"
#include "engine/ui/interface_container.h"
#include "engine/ui/widget_skin.h"

namespace {

// Scrollbars and list rows use the editor's font whatever font they were made with.
WidgetSkin skin(CFont* font = nullptr) { return {KXP_Main::texture_manager, editor_settings::kSkinFolder, font}; }

}  // namespace

void editor_skin_button(CButton* button, float width, float height, std::string text) {
    skin().button(button, width, height, std::move(text));
}

void editor_setup_label(CLabel* label, float width, float height, std::string text) {
    WidgetSkin::label(label, width, height, std::move(text));
}

void editor_skin_edit(CEdit* edit, float width, float height, std::string text) {
    skin().edit(edit, width, height, std::move(text));
}

void editor_skin_checkbox(CCheckbox* checkbox, float width, std::string text) {
    skin().checkbox(checkbox, width, std::move(text));
}

void editor_skin_scrollbar(CScrollbar* scrollbar, int slider_length, float width, float height, bool vertical) {
    skin(KXP_Main::instance->font).scrollbar(scrollbar, width, height, slider_length, vertical);
}

void editor_skin_list_box(CListBox* list, float width, float height) {
    skin(KXP_Main::instance->font).list_box(list, width, height, 40);
}

CEdit* editor_add_value_edit(CInterfaceContainer* into, CFont* font, const std::string& text, float x, float width,
                             float y, void (*on_focus_lost)(CInterfaceElement* sender)) {
    auto* e = new CEdit(into, font);
    editor_skin_edit(e, width, 24, text);
    e->set_horizontal_alignment(2);
    e->set_x(x);
    e->set_y(y);
    e->set_horizontal_anchor(Anchor::End);
    e->set_on_focus_lost(on_focus_lost);
    into->add_child(e);
    return e;
}
