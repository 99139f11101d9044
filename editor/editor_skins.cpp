#include "editor/editor_skins.h"

#include "editor/editor_settings.h"
#include "editor/kxp_main.h"
#include "engine/gfx/texture_manager.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/interface_container.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"

namespace {

constexpr ColorRGB kDarkText{12, 12, 12};
constexpr ColorRGB kDisabledText{64, 64, 64};
constexpr ColorRGB kBlack{0, 0, 0};

CTexture* skin_image(const char* file) {
    return KXP_Main::texture_manager->get_texture(true, false,
                                                 std::string(editor_settings::kSkinFolder) + file);
}

// The scrollbar's buttons carry the editor's font whatever font they were made with.
void use_editor_font(CButton* button) {
    for (int state = 0; state < ButtonState::Count; ++state) {
        if (ButtonAppearance* look = button->get_appearance(state)) look->font = KXP_Main::instance->font;
    }
    button->refresh_appearance();
}

}  // namespace

void editor_skin_button(CButton* button, float width, float height, std::string text) {
    button->set_width(width);
    button->set_height(height);
    button->set_texture(skin_image("button.png"));
    button->set_tile_width(24);
    button->set_tile_height(24);
    button->set_border_x(5);
    button->set_border_y(5);
    button->set_text_box(0, 0, button->get_width(), button->get_height());
    button->set_appearance(kBlack, button->get_font(), 0, 0, 0, text);
    button->set_state_look(ButtonState::Normal, kDarkText, 0);
    button->set_state_look(ButtonState::Hover, kDarkText, 1);
    button->set_state_look(ButtonState::Pressed, kDarkText, 2);
    button->set_state_look(ButtonState::Disabled, kDisabledText, 3);
    button->refresh_appearance();
}

void editor_setup_label(CLabel* label, float width, float height, std::string text) {
    label->set_width(width);
    label->set_height(height);
    label->set_text(text);
    label->set_text_color(kDarkText);
    label->set_horizontal_alignment(1);
    label->set_text_box(0, 0, label->get_width(), label->get_height());
}

void editor_skin_edit(CEdit* edit, float width, float height, std::string text) {
    edit->set_width(width);
    edit->set_height(height);
    edit->set_texture(skin_image("background.png"));
    edit->set_text_color(kDarkText);
    edit->set_border_x(5);
    edit->set_border_y(5);
    edit->set_text(text);
    edit->set_text_box(5, 5, edit->get_width() - 10, edit->get_height() - 10);
}

void editor_skin_checkbox(CCheckbox* checkbox, float width, std::string text) {
    checkbox->set_width(width);
    checkbox->set_height(24);
    checkbox->set_texture(skin_image("checkbox.png"));
    checkbox->set_tile_width(28);
    checkbox->set_tile_height(24);
    checkbox->set_border_x(14);
    checkbox->set_border_y(5);
    checkbox->apply_state(0);
    checkbox->set_text_box(24, 0, checkbox->get_width() - 24, checkbox->get_height());
    checkbox->set_horizontal_alignment(1);
    checkbox->set_appearance(kBlack, checkbox->get_font(), 0, 0, 0, text);
    checkbox->set_state_look(0, kDarkText, 1);
    checkbox->set_state_look(1, kDarkText, 0);
    checkbox->set_state_look(2, kDarkText, 2);
    checkbox->refresh_appearance();
}

void editor_skin_scrollbar(CScrollbar* scrollbar, int slider_length, float width, float height,
                           bool vertical) {
    shape_scrollbar(scrollbar, width, height, vertical);

    const float arrow_w = vertical ? width : 16;
    const float arrow_h = vertical ? 16 : height;
    editor_skin_button(scrollbar->get_decrease_button(), arrow_w, arrow_h, "-");
    use_editor_font(scrollbar->get_decrease_button());
    editor_skin_button(scrollbar->get_increase_button(), arrow_w, arrow_h, "+");
    use_editor_font(scrollbar->get_increase_button());
    const float slider = float(slider_length);
    editor_skin_button(scrollbar->get_slider_button(), vertical ? width : slider,
                       vertical ? slider : height, "");
    use_editor_font(scrollbar->get_slider_button());

    CImageSprite* track = scrollbar->get_track();
    track->set_texture(skin_image("background.png"));
    track->set_border_x(5);
    track->set_border_y(5);
    track->set_width(width);
    track->set_height(height);
}

void editor_skin_list_box(CListBox* list, float width, float height) {
    list->set_vertical(true);
    list->set_width(width);
    list->set_height(height);
    list->set_client_rect(5, 5, width - 10, height - 10);
    list->set_scrollbar_thickness(16);
    list->set_row_size(24);
    list->set_show_item_sprites(false);
    editor_skin_scrollbar(list->get_scrollbar(), 40, 16, list->get_client_rect().height, true);

    CImageSprite* background = list->get_background();
    background->set_texture(skin_image("background.png"));
    background->set_border_x(5);
    background->set_border_y(5);

    // Rows are drawn with nearest-neighbour sampling; every user of the image shares it.
    CCheckbox* row = list->get_row_template();
    CTexture* row_image = skin_image("lb_entry.png");
    row->set_texture(row_image);
    row_image->set_linear_filtering(false);
    row->set_tile_width(30);
    row->set_tile_height(30);
    row->set_text_box(0, 0, row->get_width(), row->get_height());
    row->set_horizontal_alignment(1);
    row->set_appearance(kBlack, KXP_Main::instance->font, 0, 0, 0, "");
    row->set_state_look(0, kDarkText, 0);
    row->set_state_look(1, kDarkText, 2);
    row->set_state_look(2, kDarkText, 1);
    row->refresh_appearance();
}

CEdit* editor_add_value_edit(CInterfaceContainer* into, CFont* font, const std::string& text, float x,
                             float width, float y, void (*on_focus_lost)(CInterfaceElement* sender)) {
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
