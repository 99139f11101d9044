#include "client/client_skins.h"

#include "engine/ui/panel.h"
#include "engine/ui/widget_skin.h"

namespace {

// Selected list rows carry light text on the dark selection frame.
WidgetSkin skin(CTextureManager* textures, CFont* font = nullptr) {
    return {textures, "gfx\\", font, ColorRGB{230, 230, 230}};
}

}  // namespace

void skin_panel(CPanel* panel, CTextureManager* textures, float width, float height) {
    panel->set_width(width);
    panel->set_height(height);
    skin(textures).background(panel->get_background());
    panel->set_client_rect(10, 10, panel->get_width() - 20, panel->get_height() - 20);
}

void skin_button(CButton* button, CTextureManager* textures, float width, float height, std::string text) {
    skin(textures).button(button, width, height, std::move(text));
}

void setup_label(CLabel* label, float width, float height, std::string text) {
    WidgetSkin::label(label, width, height, std::move(text));
}

void skin_edit(CEdit* edit, CTextureManager* textures, float width, float height, std::string text) {
    skin(textures).edit(edit, width, height, std::move(text));
}

void skin_checkbox(CCheckbox* checkbox, CTextureManager* textures, float width, std::string text) {
    skin(textures).checkbox(checkbox, width, std::move(text));
}

void skin_scrollbar(CScrollbar* scrollbar, CFont* font, float width, float height, int slider_length,
                    CTextureManager* textures, bool vertical) {
    skin(textures, font).scrollbar(scrollbar, width, height, slider_length, vertical);
}

void skin_list_box(CListBox* list, CFont* font, float width, float height, int slider_length,
                   CTextureManager* textures) {
    skin(textures, font).list_box(list, width, height, slider_length);
}
