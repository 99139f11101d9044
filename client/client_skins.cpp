#include "client/client_skins.h"

#include "engine/gfx/texture_manager.h"
#include "engine/scene/image_sprite.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "engine/ui/panel.h"
#include "engine/ui/scrollbar.h"

namespace {

constexpr ColorRGB kDarkText{12, 12, 12};
constexpr ColorRGB kDisabledText{64, 64, 64};
constexpr ColorRGB kSelectedRowText{230, 230, 230};
constexpr ColorRGB kNeutral{0, 0, 0};
constexpr int kAlignLeft = 1;

CTexture* image(CTextureManager* textures, const char* path) {
    return textures->get_texture(true, false, path);
}

// One state's look: text colour and a single, still frame.
// The arrows and the slider of a scrollbar: a button whose four records use the given font.
void skin_scrollbar_part(CButton* part, CTextureManager* textures, float width, float height,
                         const char* text, CFont* font) {
    skin_button(part, textures, width, height, text);
    for (int state = 0; state < ButtonState::Count; ++state) part->get_appearance(state)->font = font;
    part->refresh_appearance();
}

}  // namespace

void skin_panel(CPanel* panel, CTextureManager* textures, float width, float height) {
    panel->set_width(width);
    panel->set_height(height);
    CImageSprite* background = panel->get_background();
    background->set_texture(image(textures, "gfx\\background.png"));
    background->set_border_x(5);
    background->set_border_y(5);
    panel->set_client_rect(10, 10, panel->get_width() - 20, panel->get_height() - 20);
}

void skin_button(CButton* button, CTextureManager* textures, float width, float height, std::string text) {
    button->set_width(width);
    button->set_height(height);
    button->set_texture(image(textures, "gfx\\button.png"));
    button->set_tile_width(24);
    button->set_tile_height(24);
    button->set_border_x(5);
    button->set_border_y(5);
    button->set_text_box(0, 0, button->get_width(), button->get_height());
    button->set_appearance(kNeutral, button->get_font(), 0, 0, 0, std::move(text));
    button->set_state_look(ButtonState::Normal, kDarkText, 0);
    button->set_state_look(ButtonState::Hover, kDarkText, 1);
    button->set_state_look(ButtonState::Pressed, kDarkText, 2);
    button->set_state_look(ButtonState::Disabled, kDisabledText, 3);
    button->refresh_appearance();
}

void setup_label(CLabel* label, float width, float height, std::string text) {
    label->set_width(width);
    label->set_height(height);
    label->set_text_box(0, 0, label->get_width(), label->get_height());
    label->set_text(std::move(text));
    label->set_text_color(kDarkText);
    label->set_horizontal_alignment(kAlignLeft);
}

void skin_edit(CEdit* edit, CTextureManager* textures, float width, float height, std::string text) {
    edit->set_width(width);
    edit->set_height(height);
    edit->set_texture(image(textures, "gfx\\background.png"));
    edit->set_text_color(kDarkText);
    edit->set_border_x(5);
    edit->set_border_y(5);
    edit->set_text(std::move(text));
    edit->set_text_box(5, 5, edit->get_width() - 10, edit->get_height() - 10);
}

void skin_checkbox(CCheckbox* checkbox, CTextureManager* textures, float width, std::string text) {
    checkbox->set_width(width);
    checkbox->set_height(24);
    checkbox->set_texture(image(textures, "gfx\\checkbox.png"));
    checkbox->set_tile_width(28);
    checkbox->set_tile_height(24);
    checkbox->set_border_x(14);
    checkbox->set_border_y(5);
    checkbox->apply_state(0);
    checkbox->set_text_box(24, 0, checkbox->get_width() - 24, checkbox->get_height());
    checkbox->set_horizontal_alignment(kAlignLeft);
    checkbox->set_appearance(kNeutral, checkbox->get_font(), 0, 0, 0, std::move(text));
    // Frame 0 shows the tick, frame 1 the empty box; state 3 keeps the neutral record.
    checkbox->set_state_look(0, kDarkText, 1);
    checkbox->set_state_look(1, kDarkText, 0);
    checkbox->set_state_look(2, kDarkText, 2);
    checkbox->refresh_appearance();
}

void skin_scrollbar(CScrollbar* scrollbar, CFont* font, float width, float height, int slider_length,
                    CTextureManager* textures, bool vertical) {
    shape_scrollbar(scrollbar, width, height, vertical);

    const float arrow_width = vertical ? width : 16;
    const float arrow_height = vertical ? 16 : height;
    skin_scrollbar_part(scrollbar->get_decrease_button(), textures, arrow_width, arrow_height, "-", font);
    skin_scrollbar_part(scrollbar->get_increase_button(), textures, arrow_width, arrow_height, "+", font);
    const float slider = float(slider_length);
    skin_scrollbar_part(scrollbar->get_slider_button(), textures, vertical ? width : slider,
                        vertical ? slider : height, "", font);

    CImageSprite* track = scrollbar->get_track();
    track->set_texture(image(textures, "gfx\\background.png"));
    track->set_border_x(5);
    track->set_border_y(5);
    track->set_size(width, height);
}

void skin_list_box(CListBox* list, CFont* font, float width, float height, int slider_length,
                   CTextureManager* textures) {
    list->set_vertical(true);
    list->set_width(width);
    list->set_height(height);
    list->set_client_rect(5, 5, width - 10, height - 10);
    list->set_scrollbar_thickness(16);
    list->set_row_size(24);
    list->set_show_item_sprites(false);
    skin_scrollbar(list->get_scrollbar(), font, 16, list->get_client_rect().height, slider_length,
                   textures, true);

    CImageSprite* background = list->get_background();
    background->set_texture(image(textures, "gfx\\background.png"));
    background->set_border_x(5);
    background->set_border_y(5);

    // The texture is shared by every list's rows: nearest filtering holds for all of them.
    CCheckbox* row = list->get_row_template();
    row->set_texture(image(textures, "gfx\\lb_entry.png"));
    if (ITexture* texture = row->get_texture()) texture->set_linear_filtering(false);
    row->set_tile_width(30);
    row->set_tile_height(30);
    row->set_text_box(0, 0, row->get_width(), row->get_height());
    row->set_horizontal_alignment(kAlignLeft);
    row->set_appearance(kNeutral, font, 0, 0, 0, "");
    row->set_state_look(0, kDarkText, 0);
    row->set_state_look(1, kSelectedRowText, 2);
    row->set_state_look(2, kDarkText, 1);
    row->refresh_appearance();
    list->rebuild_rows();
}
