#pragma once
#include <string>

#include "engine/scene/label_sprite.h"
#include "engine/ui/interface_element.h"

class CFont;

using EditHandler = void (*)(CInterfaceElement* sender);
using EditKeyHandler = void (*)(CInterfaceElement* sender, const SDL_KeyboardEvent* event);

// Single-line text input: the label's text with a blinking caret, a selection shown inverted,
// mouse selection, a small key table with clipboard copy, cut and paste, and four callbacks.
// Characters are the bytes of the label's text; only printable ASCII is ever inserted by
// typing or pasting.
class CEdit : public CInterfaceElement, public CLabelSprite {
public:
    CEdit(CInterfaceElement* parent, CFont* font);
    CEdit(const CEdit&) = delete;
    CEdit& operator=(const CEdit&) = delete;

    // Element side.
    bool has_focus() override;
    IntRect get_anchored_bounds() override;
    IntRect get_anchored_absolute_bounds() override;
    void on_focus_gained() override;
    void on_focus_lost() override;
    void on_mouse_motion(const SDL_MouseMotionEvent& event) override;
    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_key_pressed(const SDL_KeyboardEvent& event) override;
    void on_key_repeat(const SDL_KeyboardEvent& event) override;

    virtual void draw_caret();
    virtual void draw_selection();
    // Where the characters from start lie, in the text box's coordinates; the whole text box
    // for a start outside the text or without a font.
    virtual FloatRect get_char_position(int start, int length);
    // The caret index nearest to x (text box coordinates).
    virtual int get_char_index_at(int x);
    virtual int get_selection_start();
    virtual int get_selection_length();
    // Clamped to the text; answers the selected text.
    virtual std::string set_selection(int start, int length);
    virtual std::string get_selected_text();
    virtual void insert_char(char c, bool caret_to_end);
    // Replaces the selection by the text and reports the change; the caret goes after the
    // text, or the text stays selected.
    virtual void replace_selection(std::string text, bool caret_to_end);
    virtual std::string get_clipboard_text();
    virtual void set_clipboard_text(std::string text);
    // Only intervals above 0 are taken.
    virtual void set_caret_blink_interval(float seconds);
    virtual float get_caret_blink_interval();
    virtual void set_on_text_change(EditHandler handler);
    virtual EditHandler get_on_text_change();
    virtual void set_on_key(EditKeyHandler handler);
    virtual EditKeyHandler get_on_key();
    virtual void set_on_focus_gained(EditHandler handler);
    virtual EditHandler get_on_focus_gained();
    virtual void set_on_focus_lost(EditHandler handler);
    virtual EditHandler get_on_focus_lost();

    // Sprite side: conversions and hit tests use the anchored position.
    fvec2d point_to_global(fvec2d point) override;
    fvec2d point_to_local(fvec2d point) override;
    IntRect get_bounds() override;
    IntRect get_absolute_bounds() override;
    void on_update(float dt) override;
    void draw_text(SDL_Surface* screen) override;
    // Keeps the selection inside the new text; does not report a change.
    void set_text(std::string text) override;
    bool is_multiline() override;
    void set_multiline(bool multiline) override;

    // Printable ASCII (32 to 126) only: what typing and pasting may put into a field.
    static std::string printable_only(const std::string& text);

protected:
    // Draws the global quad inverting what lies under it.
    void draw_inverted(const fquad3d& quad);

    int selection_start = 0;
    int selection_length = 0;
    bool edit_focused = false;
    bool caret_visible = true;
    float caret_blink_interval = 0.5f;
    float caret_timer = 0;
    int selection_anchor = 0;
    EditHandler on_text_change = nullptr;
    EditKeyHandler on_key = nullptr;
    EditHandler focus_gained_handler = nullptr;
    EditHandler focus_lost_handler = nullptr;
};
