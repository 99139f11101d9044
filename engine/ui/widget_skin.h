#pragma once
#include <string>

#include "engine/core/geometry.h"

class CButton;
class CCheckbox;
class CEdit;
class CFont;
class CImageSprite;
class CLabel;
class CListBox;
class CScrollbar;
class CTexture;
class CTextureManager;

// The stock look of the widgets, drawn from one folder of skin images (button.png,
// checkbox.png, background.png, lb_entry.png): size, frame of each state, sliced borders, text
// area and text colours. A program builds the widget, dresses it with one of these, then places
// it. Calling one again sets everything again; nothing accumulates.
struct WidgetSkin {
    CTextureManager* textures = nullptr;
    std::string folder;     // put before each image name
    CFont* font = nullptr;  // of scrollbar arrows and list rows
    ColorRGB selected_row_text{12, 12, 12};

    // background.png with 5-pixel borders: panels, edits, scrollbar tracks, lists.
    void background(CImageSprite* sprite) const;
    void button(CButton* button, float width, float height, std::string text) const;
    // Left-aligned dark text over the whole label; the label keeps its font.
    static void label(CLabel* label, float width, float height, std::string text);
    void edit(CEdit* edit, float width, float height, std::string text) const;
    // Always 24 high; the text starts right of the 24-pixel box. Leaves it unchecked.
    void checkbox(CCheckbox* checkbox, float width, std::string text) const;
    // Range 0..100, step 1, value 0; the arrows carry "-" and "+".
    void scrollbar(CScrollbar* scrollbar, float width, float height, int slider_length, bool vertical) const;
    // Vertical, rows 24 high drawn from nearest-filtered frames, a 16-wide scrollbar.
    void list_box(CListBox* list, float width, float height, int slider_length) const;

private:
    CTexture* image(const char* name) const;
};
