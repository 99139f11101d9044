#pragma once
#include <string>
#include <vector>

#include "engine/ui/interface_container.h"

class CCheckbox;
class CImageSprite;
class CScrollbar;

// One entry of a list box: the child indexes of its image and its row, and its text.
struct ListBoxItem {
    int sprite_child = -1;  // -1: no image
    int row_child = -1;
    std::string text;
};

class CListBox;
using ListBoxSelectHandler = void (*)(CListBox* list, const SDL_MouseButtonEvent* event, int item_index);

// A scrollable list of items, each shown as a row (a copy of the row template check box) with
// an optional image. One item is selected and its row checked; a click on a row selects it and
// reports it. Rows run top to bottom (or left to right) with a scrollbar along the far edge
// whose value is the scroll offset in pixels. Children come and go only through the item
// operations.
class CListBox : public CInterfaceContainer {
public:
    explicit CListBox(CInterfaceElement* parent);
    ~CListBox() override;

    // Item count * row size.
    virtual int get_content_length();
    // Selects the item whose row this is (none: -1).
    virtual void select_row(CInterfaceElement* row);
    // Places the scrollbar, rows and images; runs before every draw.
    virtual void update_layout();
    virtual CScrollbar* get_scrollbar();
    virtual CImageSprite* get_background();
    // The check box every row is copied from; skin it, then rebuild_rows.
    virtual CCheckbox* get_row_template();
    virtual int get_item_count();
    virtual void set_vertical(bool vertical);
    virtual bool is_vertical();
    virtual void set_show_item_sprites(bool show);
    virtual bool shows_item_sprites();
    virtual void set_keep_sprite_aspect(bool keep);
    virtual bool keeps_sprite_aspect();
    // Values of 0 or less are refused.
    virtual void set_scrollbar_thickness(int thickness);
    virtual int get_scrollbar_thickness();
    virtual void set_row_size(int size);
    virtual int get_row_size();
    virtual void set_item_sprite_height(int height);
    virtual int get_item_sprite_height();
    virtual void set_item_text(int index, std::string text);
    virtual std::string get_item_text(int index);
    // Makes the sprite the item's image, owned by the list (an image shared by several items
    // stays while any of them uses it). False, with the sprite not taken, for an index out of
    // range, a null sprite, or a sprite that is the scrollbar or a row.
    virtual bool set_item_sprite(int index, CImageSprite* sprite);
    virtual CImageSprite* get_item_sprite(int index);
    // Checks that item's row, unchecks the others and scrolls it into view; an index out of
    // range selects none (-1). Never calls on_select.
    virtual void select_item(int index);
    virtual int get_selected_item();
    virtual void set_on_select(ListBoxSelectHandler handler);
    virtual ListBoxSelectHandler get_on_select();
    // Replaces every row by a fresh copy of the row template.
    virtual void rebuild_rows();
    // Inserted before position when 0 <= position <= count, else appended.
    virtual void add_item(std::string text, int position);
    virtual void move_item(int from, int to);
    virtual void remove_item(int index);
    virtual void clear_items();

    // Every row's on_change: a left click selects the row; any click is reported.
    static void on_row_click(CInterfaceElement* row, const SDL_MouseButtonEvent* event, int state_before);

    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;
    void on_key_pressed(const SDL_KeyboardEvent& event) override;
    void on_key_repeat(const SDL_KeyboardEvent& event) override;
    void on_key_released(const SDL_KeyboardEvent& event) override;

    void draw(SDL_Surface* screen) override;
    void update(float dt) override;
    // Refused: answers -1 and adds nothing.
    int add_child(CSprite* sprite) override;
    // Refused: items own their children.
    void remove_child(int index) override;

protected:
    bool valid_item(int index) const;
    // Some other item than `except` shows the image child.
    bool image_shared(int sprite_child, int except) const;
    // A new row copied from the template, added as a child; its child index.
    int add_row();
    void step_selection(bool forward);
    CCheckbox* row_of(const ListBoxItem& item);

    CScrollbar* scrollbar = nullptr;
    CImageSprite* background = nullptr;
    CCheckbox* row_template = nullptr;
    std::vector<ListBoxItem> items;
    bool vertical = true;
    bool keep_sprite_aspect = false;
    bool show_item_sprites = false;
    int scrollbar_thickness = 24;
    int row_size = 32;
    int item_sprite_height = 32;
    int selected_item = -1;
    ListBoxSelectHandler on_select = nullptr;
};
