#include "client/menu_builder.h"

#include "client/client_skins.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/interface_container.h"
#include "engine/ui/label.h"

namespace {
constexpr float kRowHeight = 24;
}

CLabel* MenuBuilder::label(float width, const std::string& text) const {
    CLabel* l = new CLabel(into, font);
    setup_label(l, width, kRowHeight, text);
    into->add_child(l);
    return l;
}

CEdit* MenuBuilder::edit(float width, const std::string& text) const {
    CEdit* e = new CEdit(into, font);
    skin_edit(e, textures, width, kRowHeight, text);
    into->add_child(e);
    return e;
}

CCheckbox* MenuBuilder::checkbox(const std::string& text, bool checked) const {
    CCheckbox* c = new CCheckbox(into, font);
    skin_checkbox(c, textures, 280, text);
    c->set_checked(checked);
    into->add_child(c);
    return c;
}

CButton* MenuBuilder::button(float width, const std::string& text, ButtonClickHandler on_click) const {
    CButton* b = new CButton(into, font);
    skin_button(b, textures, width, kRowHeight, text);
    b->on_click = on_click;
    into->add_child(b);
    return b;
}
