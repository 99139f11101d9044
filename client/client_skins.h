#pragma once
#include <string>

class CButton;
class CCheckbox;
class CEdit;
class CFont;
class CLabel;
class CListBox;
class CPanel;
class CScrollbar;
class CTextureManager;

// The client's look for the engine's widgets: size, image from gfx\ with the frame of each
// state, sliced borders, text area and text colours. A screen builds the widget, dresses it
// with one of these, then places it and adds it to its container. Calling one again sets
// everything again; nothing accumulates.

// Also makes the client rect 10 pixels smaller on every side.
void skin_panel(CPanel* panel, CTextureManager* textures, float width, float height);
void skin_button(CButton* button, CTextureManager* textures, float width, float height, std::string text);
// Left-aligned dark text over the whole label; the label keeps its font.
void setup_label(CLabel* label, float width, float height, std::string text);
void skin_edit(CEdit* edit, CTextureManager* textures, float width, float height, std::string text);
// Always 24 high; the text starts right of the 24-pixel box. Leaves it unchecked.
void skin_checkbox(CCheckbox* checkbox, CTextureManager* textures, float width, std::string text);
// Range 0..100, step 1, value 0; the arrows carry "-" and "+" in `font`.
void skin_scrollbar(CScrollbar* scrollbar, CFont* font, float width, float height, int slider_length,
                    CTextureManager* textures, bool vertical);
// Vertical, rows 24 high drawn from nearest-filtered frames, a 16-wide scrollbar.
void skin_list_box(CListBox* list, CFont* font, float width, float height, int slider_length,
                   CTextureManager* textures);
