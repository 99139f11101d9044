#include "engine/ui/widget_skin.h"

#include "engine/gfx/texture_manager.h"
#include "engine/scene/image_sprite.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"

namespace {

constexpr ColorRGB kDarkText{12, 12, 12};
constexpr ColorRGB kDisabledText{64, 64, 64};
constexpr ColorRGB kNeutral{0, 0, 0};
constexpr int kAlignLeft = 1;

}  // namespace

CTexture* WidgetSkin::image(const char* name) const { return textures->get_texture(true, false, folder + name); }

void WidgetSkin::background(CImageSprite* sprite) const {
    sprite->set_texture(image("background.png"));
    sprite->set_border_x(5);
    sprite->set_border_y(5);
}

void WidgetSkin::button(CButton* button, float width, float height, std::string text) const {
    button->set_width(width);
    button->set_height(height);
    button->set_texture(image("button.png"));
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

void WidgetSkin::label(CLabel* label, float width, float height, std::string text) {
    label->set_width(width);
    label->set_height(height);
    label->set_text_box(0, 0, label->get_width(), label->get_height());
    label->set_text(std::move(text));
    label->set_text_color(kDarkText);
    label->set_horizontal_alignment(kAlignLeft);
}

void WidgetSkin::edit(CEdit* edit, float width, float height, std::string text) const {
    edit->set_width(width);
    edit->set_height(height);
    background(edit);
    edit->set_text_color(kDarkText);
    edit->set_text(std::move(text));
    edit->set_text_box(5, 5, edit->get_width() - 10, edit->get_height() - 10);
}

void WidgetSkin::checkbox(CCheckbox* checkbox, float width, std::string text) const {
    checkbox->set_width(width);
    checkbox->set_height(24);
    checkbox->set_texture(image("checkbox.png"));
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

void WidgetSkin::scrollbar(CScrollbar* scrollbar, float width, float height, int slider_length, bool vertical) const {
    scrollbar->set_vertical(vertical);
    scrollbar->set_width(width);
    scrollbar->set_height(height);
    scrollbar->set_client_rect(0, 0, scrollbar->get_width(), scrollbar->get_height());
    scrollbar->set_minimum(0);
    scrollbar->set_maximum(100);
    scrollbar->set_step(1);
    scrollbar->set_value(0);

    // The arrows and the slider: buttons whose four records use the skin's font.
    auto part = [&](CButton* part, float part_width, float part_height, const char* text) {
        button(part, part_width, part_height, text);
        for (int state = 0; state < ButtonState::Count; ++state) part->get_appearance(state)->font = font;
        part->refresh_appearance();
    };
    const float arrow_width = vertical ? width : 16;
    const float arrow_height = vertical ? 16 : height;
    part(scrollbar->get_decrease_button(), arrow_width, arrow_height, "-");
    part(scrollbar->get_increase_button(), arrow_width, arrow_height, "+");
    const float slider = float(slider_length);
    part(scrollbar->get_slider_button(), vertical ? width : slider, vertical ? slider : height, "");

    background(scrollbar->get_track());
    scrollbar->get_track()->set_size(width, height);
}

void WidgetSkin::list_box(CListBox* list, float width, float height, int slider_length) const {
    list->set_vertical(true);
    list->set_width(width);
    list->set_height(height);
    list->set_client_rect(5, 5, width - 10, height - 10);
    list->set_scrollbar_thickness(16);
    list->set_row_size(24);
    list->set_show_item_sprites(false);
    scrollbar(list->get_scrollbar(), 16, list->get_client_rect().height, slider_length, true);
    background(list->get_background());

    // The texture is shared by every list's rows: nearest filtering holds for all of them.
    CCheckbox* row = list->get_row_template();
    row->set_texture(image("lb_entry.png"));
    if (ITexture* texture = row->get_texture()) texture->set_linear_filtering(false);
    row->set_tile_width(30);
    row->set_tile_height(30);
    row->set_text_box(0, 0, row->get_width(), row->get_height());
    row->set_horizontal_alignment(kAlignLeft);
    row->set_appearance(kNeutral, font, 0, 0, 0, "");
    row->set_state_look(0, kDarkText, 0);
    row->set_state_look(1, selected_row_text, 2);
    row->set_state_look(2, kDarkText, 1);
    row->refresh_appearance();
    list->rebuild_rows();
}
