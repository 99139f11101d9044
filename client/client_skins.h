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

// The client's look for the engine's widgets: the stock skin (engine/ui/widget_skin.h) with the
// images of gfx\ and light text on selected list rows. A screen builds the widget, dresses it
// with one of these, then places it and adds it to its container.

// Also makes the client rect 10 pixels smaller on every side.
void skin_panel(CPanel* panel, CTextureManager* textures, float width, float height);
void skin_button(CButton* button, CTextureManager* textures, float width, float height, std::string text);
void setup_label(CLabel* label, float width, float height, std::string text);
void skin_edit(CEdit* edit, CTextureManager* textures, float width, float height, std::string text);
void skin_checkbox(CCheckbox* checkbox, CTextureManager* textures, float width, std::string text);
// The arrows carry their text in `font`.
void skin_scrollbar(CScrollbar* scrollbar, CFont* font, float width, float height, int slider_length,
                    CTextureManager* textures, bool vertical);
void skin_list_box(CListBox* list, CFont* font, float width, float height, int slider_length,
                   CTextureManager* textures);
