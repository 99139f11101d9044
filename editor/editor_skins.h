#pragma once
#include <string>

class CButton;
class CCheckbox;
class CEdit;
class CFont;
class CInterfaceContainer;
class CInterfaceElement;
class CLabel;
class CListBox;
class CScrollbar;

// The editor's widget looks: the stock skin (engine/ui/widget_skin.h) with the images under
// gfx\partEd\ from the editor's one texture manager. Each runs right after a widget is
// constructed and before it is added to its container.
void editor_skin_button(CButton* button, float width, float height, std::string text);
void editor_setup_label(CLabel* label, float width, float height, std::string text);
void editor_skin_edit(CEdit* edit, float width, float height, std::string text);
void editor_skin_checkbox(CCheckbox* checkbox, float width, std::string text);
void editor_skin_scrollbar(CScrollbar* scrollbar, int slider_length, float width, float height, bool vertical);
void editor_skin_list_box(CListBox* list, float width, float height);

// A right-anchored, right-aligned value field of the event and prototype editors, 24 high, at
// (x, y) in the container; the handler runs when it loses focus.
CEdit* editor_add_value_edit(CInterfaceContainer* into, CFont* font, const std::string& text, float x, float width,
                             float y, void (*on_focus_lost)(CInterfaceElement* sender));
