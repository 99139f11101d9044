// Widgets in the window: synthesised SDL events go through the framework's dispatch (which
// tells key repeats from presses) into a root container, as a client screen receives them, and
// the widgets are drawn with the generated skin and checked pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>

#include "engine/gfx/font.h"
#include "engine/gfx/texture_manager.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/list_box.h"
#include "engine/ui/panel.h"
#include "engine/ui/scrollbar.h"
#include "engine/ui/widget_skin.h"
#include "platform/clipboard.h"
#include "support/display_game.h"
#include "support/widget_test_support.h"

using namespace display;
using namespace test_support;

namespace {

// Frame colours of the generated client skin.
const ColorRGBA kButtonFill[4] = {
    {190, 196, 206, 255}, {214, 224, 242, 255}, {150, 160, 182, 255}, {162, 162, 162, 255}};
const ColorRGBA kPanelFill{228, 225, 218, 255}, kBlack{0, 0, 0, 255};
const ColorRGBA kBoxFill{250, 250, 250, 255}, kBoxMark{36, 120, 60, 255}, kBoxThird{150, 150, 150, 255};
const ColorRGBA kRowNormal{240, 240, 234, 255}, kRowSelected{52, 84, 150, 255};

ColorRGBA inverted(ColorRGBA c) { return {uint8_t(255 - c.r), uint8_t(255 - c.g), uint8_t(255 - c.b), 255}; }

void expect_pixel(int x, int y, ColorRGBA colour) {
    const ColorRGBA seen = scene_pixel(x, y);
    EXPECT_TRUE(near_rgb(seen, colour, 8))
        << "at (" << x << ", " << y << "): " << describe(seen) << " expected " << describe(colour);
}
// The trace gives the caller's line.
#define EXPECT_PIXEL(x, y, colour)            \
    {                                         \
        SCOPED_TRACE("pixel");                \
        expect_pixel(int(x), int(y), colour); \
    }

int clicks = 0;
CInterfaceElement* last_sender = nullptr;
void count_click(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    ++clicks;
    last_sender = sender;
}

using CheckChange = std::tuple<int, int, int>;  // button, state before, state after
std::vector<CheckChange> check_changes;
void record_check(CInterfaceElement* sender, const SDL_MouseButtonEvent* e, int before) {
    check_changes.push_back({int(e->button), before, dynamic_cast<CCheckbox*>(sender)->get_state()});
}

using Selection = std::pair<int, int>;  // button, item
std::vector<Selection> selections;
void record_select(CListBox*, const SDL_MouseButtonEvent* e, int item) { selections.push_back({int(e->button), item}); }

std::vector<float> values;
void record_value(CInterfaceElement*, float, float new_value) { values.push_back(new_value); }

int text_changes = 0;
int keys_seen = 0;
void count_text(CInterfaceElement*) { ++text_changes; }
void count_key(CInterfaceElement*, const SDL_KeyboardEvent*) { ++keys_seen; }

// A screen: a root container over the whole window that receives what the framework's input
// hooks deliver, the way the client's application hands events to its top screen.
class WidgetDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_game();
        platform::clipboard_use_system(false);
        platform::clipboard_set_text("");
        root = std::make_unique<CInterfaceContainer>(nullptr, &textures);
        shape(*root, float(kWidth), float(kHeight));
        font = skin.font = fonts.get_font(14, "fnt\\DejaVuSans.ttf");
        clicks = text_changes = keys_seen = 0;
        last_sender = nullptr;
        check_changes.clear();
        selections.clear();
        values.clear();
    }
    void TearDown() override {
        root.reset();
        reset_game();
    }
    static void reset_game() {
        game().reset_probe();
        std::fill(game().key_down.begin(), game().key_down.end(), false);
    }
    // One event through the framework, then into the root by the hook it reached.
    void send(const SDL_Event& e) {
        game().calls.clear();
        game().dispatch_event(e);
        ASSERT_FALSE(game().calls.empty());
        const std::string& hook = game().calls.back();
        auto starts = [&](const char* prefix) { return hook.rfind(prefix, 0) == 0; };
        if (hook == "mouse motion") root->on_mouse_motion(e.motion);
        else if (hook == "mouse down") root->on_mouse_button_down(e.button);
        else if (hook == "mouse up") root->on_mouse_button_up(e.button);
        else if (starts("pressed ")) root->on_key_pressed(e.key);
        else if (starts("repeat ")) root->on_key_repeat(e.key);
        else if (starts("released ")) root->on_key_released(e.key);
    }
    // A press and a release, each where given, with no motion before.
    void press_release(int x0, int y0, int x1, int y1, Uint8 button = SDL_BUTTON_LEFT) {
        send(mouse_down(x0, y0, button));
        send(mouse_up(x1, y1, button));
    }
    // A key held through `repeats` repeats, then released.
    void hold(SDLKey sym, Uint16 unicode, int repeats) {
        for (int i = 0; i <= repeats; ++i) send(key_down(sym, unicode));
        send(key_up(sym));
    }
    // Moves SDL's idea of the pointer: a motion notice sent to our own window only, since the
    // X pointer itself is shared with every other suite's window on the display. Waits until
    // SDL's mouse state has taken it; the motion event it queues meets the framework in the
    // next frame's event poll.
    static void warp(int x, int y) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_EQ(SDL_GetWMInfo(&info), 1);
        info.info.x11.lock_func();
        Display* display = info.info.x11.display;
        XEvent event{};
        XMotionEvent& m = event.xmotion;
        m.type = MotionNotify;
        m.display = display;
        m.window = info.info.x11.window;
        m.root = DefaultRootWindow(display);
        m.x = x, m.y = y, m.same_screen = True;
        XSendEvent(display, info.info.x11.window, False, PointerMotionMask, &event);
        XFlush(display);
        info.info.x11.unlock_func();
        for (int attempt = 0; attempt < 200; ++attempt) {
            SDL_PumpEvents();
            int mx = -1, my = -1;
            SDL_GetMouseState(&mx, &my);
            if (mx == x && my == y) return;
            SDL_Delay(5);
        }
        ADD_FAILURE() << "SDL did not see the pointer at (" << x << ", " << y << ")";
    }
    void click(int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
        send(mouse_motion(x, y));
        press_release(x, y, x, y, button);
    }
    void type(SDLKey sym, Uint16 unicode = 0, int mods = KMOD_NONE) {
        send(key_down(sym, unicode, mods));
        send(key_up(sym, mods));
    }
    // One frame of the real loop: the screen updates by dt and draws.
    void frame(float dt = 0) {
        game().on_render = [this, dt] {
            root->update(dt);
            root->draw(game().screen);
        };
        game().run_some_frames(1);
    }
    template <typename W>
    W* add(W* widget, float x, float y) {
        widget->CSprite::set_x(x);
        widget->CSprite::set_y(y);
        root->add_child(widget);
        return widget;
    }
    // A skinned button, 24 high, whose clicks are counted.
    CButton* add_button(float x, float y, float w, const std::string& text) {
        auto* b = add(new CButton(root.get(), font), x, y);
        skin.button(b, w, 24, text);
        b->on_click = &count_click;
        return b;
    }
    // A press at one place, the pointer moved to another, and a frame to see the motion.
    void press_and_move(int x0, int y0, int x1, int y1, Uint8 button = SDL_BUTTON_LEFT) {
        warp(x0, y0);
        send(mouse_down(x0, y0, button));
        warp(x1, y1);
        frame();
    }
    CTextureManager textures;
    CFontFactory fonts;
    CFont* font = nullptr;
    // The client's look: its images, light text on selected rows.
    WidgetSkin skin{&textures, "gfx\\", nullptr, ColorRGB{230, 230, 230}};
    std::unique_ptr<CInterfaceContainer> root;
};

}  // namespace

TEST_F(WidgetDisplayTest, AButtonClicksOnlyWhenReleasedOverIt) {
    auto* button = add_button(20, 20, 80, "Go");
    frame();
    EXPECT_PIXEL(27, 32, kButtonFill[ButtonState::Normal]);
    send(mouse_motion(30, 30));
    frame();
    EXPECT_PIXEL(27, 32, kButtonFill[ButtonState::Hover]);
    send(mouse_down(30, 30));
    frame();
    EXPECT_EQ(button->get_state(), ButtonState::Pressed);
    EXPECT_PIXEL(27, 32, kButtonFill[ButtonState::Pressed]);
    // Dragged off and released elsewhere: no click, back to rest.
    send(mouse_motion(200, 200, SDL_BUTTON(1)));
    EXPECT_EQ(button->get_state(), ButtonState::Pressed);
    send(mouse_up(200, 200));
    EXPECT_EQ(std::pair(button->get_state(), clicks), std::pair(int(ButtonState::Normal), 0));
    // Pressed, dragged off and back, released over it: one click, in the hover look.
    send(mouse_motion(30, 30));
    send(mouse_down(30, 30));
    send(mouse_motion(200, 200, SDL_BUTTON(1)));
    send(mouse_motion(35, 35, SDL_BUTTON(1)));
    EXPECT_EQ(button->get_state(), ButtonState::Pressed);
    send(mouse_up(35, 35));
    EXPECT_EQ(std::pair(button->get_state(), clicks), std::pair(int(ButtonState::Hover), 1));
    EXPECT_EQ(last_sender, button);
    // Other buttons change nothing; leaving focus puts it back to rest.
    press_release(35, 35, 35, 35, SDL_BUTTON_RIGHT);
    EXPECT_EQ(clicks, 1);
    send(mouse_down(250, 200));
    EXPECT_EQ(button->get_state(), ButtonState::Normal);
}

TEST_F(WidgetDisplayTest, ADisabledButtonKeepsItsLookUntilEnabled) {
    auto* button = add_button(20, 20, 80, "Off");
    button->set_enabled(false);
    click(30, 30);
    send(mouse_motion(200, 200));
    send(mouse_motion(30, 30));
    frame();
    EXPECT_EQ(button->get_state(), ButtonState::Disabled);
    EXPECT_PIXEL(27, 32, kButtonFill[ButtonState::Disabled]);
    EXPECT_EQ(std::pair(clicks, root->get_focused_child()), std::pair(0, 0));
    // Enabled under the cursor it shows Normal until the mouse moves onto it again.
    button->set_enabled(true);
    frame();
    EXPECT_PIXEL(27, 32, kButtonFill[ButtonState::Normal]);
    click(30, 30);
    EXPECT_EQ(clicks, 1);
}

TEST_F(WidgetDisplayTest, ACheckboxTogglesWithTheLeftButtonAndReportsEveryRelease) {
    auto* box = add(new CCheckbox(root.get(), font), 20, 60);
    skin.checkbox(box, 150, "Sound");
    box->set_on_change(&record_check);
    frame();
    EXPECT_PIXEL(27, 72, kBoxFill);
    click(60, 70);
    frame();
    EXPECT_TRUE(box->is_checked());
    EXPECT_PIXEL(27, 72, kBoxMark);
    // The right button reports the state it found and leaves it.
    click(60, 70, SDL_BUTTON_RIGHT);
    click(60, 70);
    EXPECT_EQ(check_changes,
              (std::vector<CheckChange>{{SDL_BUTTON_LEFT, 0, 1}, {SDL_BUTTON_RIGHT, 1, 1}, {SDL_BUTTON_LEFT, 1, 0}}));
    // The third state, set from outside, becomes checked.
    box->apply_state(2);
    frame();
    EXPECT_PIXEL(27, 72, kBoxThird);
    click(60, 70);
    EXPECT_EQ(box->get_state(), 1);
    // A release outside does nothing.
    press_release(60, 70, 250, 200);
    EXPECT_EQ(std::pair(check_changes.size(), box->get_state()), std::pair(std::size_t(4), 1));
}

TEST_F(WidgetDisplayTest, TheLaterOfTwoOverlappingButtonsTakesHoverAndFocus) {
    auto* under = add_button(20, 20, 80, "");
    auto* over = add_button(60, 20, 80, "");
    click(70, 30);
    EXPECT_EQ(last_sender, over);
    EXPECT_EQ(under->get_state(), ButtonState::Normal);
    // One that takes no input lets the one below have the click.
    over->set_accepts_input(false);
    click(70, 30);
    EXPECT_EQ(std::pair(last_sender, clicks), (std::pair<CInterfaceElement*, int>(under, 2)));
}

TEST_F(WidgetDisplayTest, ChildrenAreClippedToTheClientRect) {
    auto* panel = add(new CPanel(root.get(), &textures), 40, 40);
    shape(*panel, 100, 60);
    panel->set_client_rect(10, 10, 80, 40);
    skin.background(panel->get_background());
    auto* wide = new CButton(panel, font);
    skin.button(wide, 200, 24, "");
    wide->CSprite::set_x(-30);
    panel->add_child(wide);
    frame();
    EXPECT_PIXEL(60, 62, kButtonFill[0]);  // inside the client rect
    EXPECT_PIXEL(45, 62, kPanelFill);      // left of it: the background, not the button
    EXPECT_PIXEL(135, 62, kPanelFill);     // right of it
    EXPECT_PIXEL(200, 62, kBlack);         // beyond the panel
    // A client rect outside the window draws no child at all.
    panel->set_client_rect(400, 10, 80, 40);
    frame();
    EXPECT_PIXEL(60, 62, kPanelFill);
}

TEST_F(WidgetDisplayTest, AnEndAnchoredWidgetIsDrawnAndHitAtTheFarEdge) {
    auto* button = add_button(10, 10, 60, "");
    button->set_horizontal_anchor(Anchor::End);
    button->set_vertical_anchor(Anchor::End);
    frame();
    // Right edge at 320 - 10, bottom edge at 240 - 10.
    EXPECT_PIXEL(kWidth - 10 - 53, kHeight - 10 - 12, kButtonFill[0]);
    EXPECT_PIXEL(15, 15, kBlack);
    click(15, 15);
    EXPECT_EQ(clicks, 0);
    click(kWidth - 40, kHeight - 20);
    EXPECT_EQ(clicks, 1);
}

TEST_F(WidgetDisplayTest, ADraggablePanelFollowsTheMouseFromItsFreeArea) {
    auto* panel = add(new CPanel(root.get(), &textures), 50, 50);
    shape(*panel, 120, 80);
    panel->set_client_rect(10, 10, 100, 60);
    panel->set_draggable(true);
    auto* button = new CButton(panel, font);
    skin.button(button, 40, 24, "");
    panel->add_child(button);  // at the client rect's corner: 60..100, 60..84
    // A press on the child button is the button's, and the right button on the background
    // starts no drag either.
    const std::tuple<int, int, int, Uint8> no_drags[] = {{70, 70, 80, SDL_BUTTON_LEFT},
                                                         {150, 110, 160, SDL_BUTTON_RIGHT}};
    for (auto [x0, y0, x1, button] : no_drags) {
        press_and_move(x0, y0, x1, y0, button);
        EXPECT_FLOAT_EQ(panel->get_absolute_x(), 50) << x0;
        send(mouse_up(x1, y0, button));
    }
    // The left button on the background drags it, once per frame, by the mouse's movement.
    press_and_move(150, 110, 160, 115);
    EXPECT_FLOAT_EQ(panel->get_absolute_x(), 60);
    EXPECT_FLOAT_EQ(panel->get_absolute_y(), 55);
    panel->set_scale(2.0f);
    warp(170, 115);
    frame();
    EXPECT_FLOAT_EQ(panel->get_absolute_x(), 70);
    panel->set_scale(1.0f);
    send(mouse_up(170, 115));
    warp(200, 150);
    frame();
    EXPECT_FLOAT_EQ(panel->get_absolute_x(), 70);
    // Not draggable: it stays, but presses still reach its children (now at 80..120, 65..89).
    panel->set_draggable(false);
    press_and_move(150, 110, 170, 110);
    EXPECT_FLOAT_EQ(panel->get_absolute_x(), 70);
    send(mouse_up(170, 110));
    send(mouse_down(90, 80));
    EXPECT_EQ(button->get_state(), ButtonState::Pressed);
    send(mouse_up(90, 80));
}

TEST_F(WidgetDisplayTest, ScrollbarArrowsWheelAndKeysStepTheValue) {
    auto* bar = add(new CScrollbar(root.get()), 100, 20);
    skin.scrollbar(bar, 20, 150, 30, true);
    bar->set_maximum(10);
    bar->set_on_value_change(&record_value);
    frame();
    // The increase arrow (bottom 16 pixels) steps on a release over it, not on the press.
    send(mouse_motion(110, 160));
    send(mouse_down(110, 160));
    EXPECT_FLOAT_EQ(bar->get_value(), 0);
    send(mouse_up(110, 160));
    EXPECT_FLOAT_EQ(bar->get_value(), 1);
    press_release(110, 160, 250, 160);
    EXPECT_FLOAT_EQ(bar->get_value(), 1);
    click(110, 25);  // decrease arrow
    EXPECT_FLOAT_EQ(bar->get_value(), 0);
    // The wheel: up lowers a vertical bar's value.
    press_release(110, 90, 110, 90, SDL_BUTTON_WHEELDOWN);
    EXPECT_FLOAT_EQ(bar->get_value(), 1);
    send(mouse_down(110, 90, SDL_BUTTON_WHEELUP));
    EXPECT_FLOAT_EQ(bar->get_value(), 0);
    // Held down arrow: one step for the press and one for each repeat the framework sees.
    hold(SDLK_DOWN, 0, 2);
    EXPECT_FLOAT_EQ(bar->get_value(), 3);
    type(SDLK_KP_MINUS);
    type(SDLK_RIGHT);  // not this bar's axis
    EXPECT_FLOAT_EQ(bar->get_value(), 2);
    EXPECT_EQ(values, (std::vector<float>{1, 0, 1, 0, 1, 2, 3, 2}));
}

TEST_F(WidgetDisplayTest, DraggingTheSliderMovesTheValueAlongTheTrack) {
    auto* bar = add(new CScrollbar(root.get()), 20, 100);
    skin.scrollbar(bar, 232, 20, 32, false);  // free track: 232 - 16 - 16 - 32 = 168
    bar->set_maximum(84);
    frame();
    // Slider from 36 to 68 at value 0.
    EXPECT_PIXEL(40, 110, kButtonFill[0]);
    send(mouse_motion(50, 110));
    send(mouse_down(50, 110));
    // 100 pixels of 168 for a range of 84; off the bar the drag goes on.
    const std::tuple<int, int, float> drags[] = {{150, 110, 50}, {300, 110, 84}, {100, 200, 25}};
    for (auto [x, y, value] : drags) {
        send(mouse_motion(x, y, SDL_BUTTON(1)));
        EXPECT_FLOAT_EQ(bar->get_value(), value) << x << ", " << y;
    }
    send(mouse_up(100, 200));
    send(mouse_motion(10, 110));
    EXPECT_FLOAT_EQ(bar->get_value(), 25);
    frame();
    // The slider now starts 50 pixels further along.
    EXPECT_PIXEL(40 + 50, 110, kButtonFill[0]);
    EXPECT_PIXEL(40, 115, kPanelFill);
}

TEST_F(WidgetDisplayTest, AListSelectsAndReportsRowsAndScrollsWithTheWheel) {
    auto* list = add(new CListBox(root.get()), 20, 20);
    skin.list_box(list, 200, 110, 40);  // client 190 x 100 from (25, 25): four rows and a bit
    list->set_on_select(&record_select);
    for (const char* name : {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta"}) list->add_item(name, -1);
    frame();
    EXPECT_PIXEL(180, 30, kRowNormal);
    // Left click on the second row: selected, drawn selected, reported.
    click(150, 60);
    frame();
    EXPECT_EQ(list->get_selected_item(), 1);
    EXPECT_PIXEL(180, 55, kRowSelected);
    EXPECT_PIXEL(180, 30, kRowNormal);
    // The right button reports the row it was released on and keeps the selection.
    click(150, 85, SDL_BUTTON_RIGHT);
    EXPECT_EQ(list->get_selected_item(), 1);
    EXPECT_EQ(selections, (std::vector<Selection>{{SDL_BUTTON_LEFT, 1}, {SDL_BUTTON_RIGHT, 2}}));
    // A second left click never unchecks the selected row.
    click(150, 60);
    EXPECT_EQ(list->get_selected_item(), 1);
    // The wheel scrolls by a row; the rows move up with it.
    press_release(150, 60, 150, 60, SDL_BUTTON_WHEELDOWN);
    EXPECT_FLOAT_EQ(list->get_scrollbar()->get_value(), 24);
    frame();
    EXPECT_PIXEL(180, 30, kRowSelected);
    click(150, 30);
    EXPECT_EQ(list->get_selected_item(), 1);
    click(150, 60);
    EXPECT_EQ(list->get_selected_item(), 2);
    // Keys move the selection and scroll it into view; they report nothing.
    const std::size_t reported = selections.size();
    for (int i = 0; i < 4; ++i) type(SDLK_DOWN);
    EXPECT_EQ(list->get_selected_item(), 6);
    EXPECT_FLOAT_EQ(list->get_scrollbar()->get_value(), 7 * 24 - 100);
    EXPECT_EQ(selections.size(), reported);
    // Cleared under the cursor: nothing that was freed is reached afterwards.
    list->clear_items();
    frame();
    click(150, 60);
    type(SDLK_DOWN);
    EXPECT_EQ(list->get_selected_item(), -1);
    EXPECT_EQ(selections.size(), reported);
    list->add_item("again", -1);
    frame();
    click(150, 30);
    EXPECT_EQ(list->get_selected_item(), 0);
}

namespace {

class EditDisplayTest : public WidgetDisplayTest {
protected:
    void SetUp() override {
        WidgetDisplayTest::SetUp();
        edit = add(new CEdit(root.get(), font), 20, 20);
        skin.edit(edit, 200, 30, "");
        edit->set_horizontal_alignment(AlignStart);
        edit->set_on_text_change(&count_text);
        edit->set_on_key(&count_key);
        click(100, 35);  // focus
        ASSERT_TRUE(edit->has_focus());
    }
    CEdit* edit = nullptr;
};

}  // namespace

TEST_F(EditDisplayTest, TypingEditsTheTextAtTheCaret) {
    type(SDLK_a, 'a');
    EXPECT_EQ(edit->get_text(), "a");
    EXPECT_EQ(std::tuple(edit->get_selection_start(), text_changes, keys_seen), std::tuple(1, 1, 1));
    // A held key types once per press and once per repeat.
    hold(SDLK_b, 'b', 1);
    EXPECT_EQ(edit->get_text(), "abb");
    edit->set_text("hello");
    edit->set_selection(5, 0);
    text_changes = keys_seen = 0;
    type(SDLK_BACKSPACE, 8);
    EXPECT_EQ(edit->get_text(), "hell");
    EXPECT_EQ(edit->get_selection_start(), 4);
    type(SDLK_DELETE, 127);  // at the end: nothing to delete, still reported as a key
    EXPECT_EQ(edit->get_text(), "hell");
    EXPECT_EQ(std::pair(text_changes, keys_seen), std::pair(1, 2));
    // Characters above 127 are never inserted; Return is left to the screen.
    type(SDLK_WORLD_73, 0xE9);
    type(SDLK_RETURN, 13);
    EXPECT_EQ(edit->get_text(), "hell");
    EXPECT_EQ(keys_seen, 4);
    // Arrows move the caret or stretch the selection.
    edit->set_text("hello");
    edit->set_selection(1, 3);
    type(SDLK_RIGHT);
    EXPECT_EQ(std::pair(edit->get_selection_start(), edit->get_selection_length()), std::pair(5, 0));
    edit->set_selection(0, 0);
    type(SDLK_LEFT, 0, KMOD_LSHIFT);
    EXPECT_EQ(std::pair(edit->get_selection_start(), edit->get_selection_length()), std::pair(0, 0));
    for (int i = 0; i < 2; ++i) type(SDLK_RIGHT, 0, KMOD_RSHIFT);
    EXPECT_EQ(edit->get_selected_text(), "he");
    type(SDLK_DELETE, 127);
    EXPECT_EQ(edit->get_text(), "llo");
    edit->set_selection(2, 0);  // from the middle, Shift+Left grows the selection leftwards
    for (int i = 0; i < 2; ++i) type(SDLK_LEFT, 0, KMOD_LSHIFT);
    EXPECT_EQ(edit->get_selected_text(), "ll");
}

TEST_F(EditDisplayTest, CutCopyAndPasteGoThroughTheClipboard) {
    edit->set_text("hello");
    edit->set_selection(1, 3);
    type(SDLK_x, 24, KMOD_LCTRL);
    EXPECT_EQ(platform::clipboard_get_text(), "ell");
    EXPECT_EQ(edit->get_text(), "ho");
    EXPECT_EQ(edit->get_selection_start(), 1);
    type(SDLK_v, 22, KMOD_RCTRL);
    EXPECT_EQ(edit->get_text(), "hello");
    edit->set_selection(0, 2);
    type(SDLK_c, 3, KMOD_LCTRL);
    EXPECT_EQ(platform::clipboard_get_text(), "he");
    // Copy and cut with nothing selected leave the clipboard alone.
    edit->set_selection(2, 0);
    type(SDLK_c, 3, KMOD_LCTRL);
    type(SDLK_x, 24, KMOD_LCTRL);
    EXPECT_EQ(platform::clipboard_get_text(), "he");
    // Pasted text passes the typing filter: no line breaks, tabs or other control bytes.
    platform::clipboard_set_text(std::string("1\r\n2\t3\x1b[0m\xc3\xa9!"));
    edit->set_text("");
    type(SDLK_v, 22, KMOD_LCTRL);
    EXPECT_EQ(edit->get_text(), "123[0m!");
    // An empty clipboard replaces the selection by nothing.
    platform::clipboard_set_text("");
    edit->set_selection(0, 3);
    type(SDLK_v, 22, KMOD_LCTRL);
    EXPECT_EQ(edit->get_text(), "[0m!");
}

TEST_F(EditDisplayTest, TheMousePlacesTheCaretAndDragsASelection) {
    edit->set_text("hello");
    const FloatRect e = edit->get_char_position(1, 1);  // text box coordinates
    const int left = 20 + int(e.x), top = 35;
    // Right half of the e: caret after it; left half: before it.
    click(left + int(e.width * 0.8f), top);
    EXPECT_EQ(edit->get_selection_start(), 2);
    click(left + int(e.width * 0.2f) + 1, top);
    EXPECT_EQ(edit->get_selection_start(), 1);
    // Press on the right half of the e, drag left to the start, release.
    send(mouse_down(left + int(e.width * 0.8f), top));
    send(mouse_motion(0, top, SDL_BUTTON(1)));  // over nothing: the focused edit still drags
    EXPECT_EQ(edit->get_selected_text(), "he");
    send(mouse_motion(300, top, SDL_BUTTON(1)));
    EXPECT_EQ(edit->get_selected_text(), "llo");
    send(mouse_up(300, top));
    // Motion without the button selects nothing more.
    send(mouse_motion(30, top));
    EXPECT_EQ(edit->get_selected_text(), "llo");
}

TEST_F(EditDisplayTest, TheCaretAndTheSelectionInvertWhatIsUnderThem) {
    edit->set_text("a   b");
    edit->set_selection(1, 0);
    frame();
    const FloatRect caret = edit->get_char_position(1, 0);
    const int cx = 20 + int(caret.x), cy = 20 + int(caret.y + caret.height * 0.5f);
    EXPECT_PIXEL(cx, cy, inverted(kPanelFill));
    EXPECT_PIXEL(cx + 3, cy, kPanelFill);
    // The caret blinks: half a second later it is hidden, then shown again.
    frame(0.5f);
    EXPECT_PIXEL(cx, cy, kPanelFill);
    frame(0.5f);
    EXPECT_PIXEL(cx, cy, inverted(kPanelFill));
    // The three blanks selected show inverted; no caret besides.
    edit->set_selection(1, 3);
    frame();
    const FloatRect sel = edit->get_char_position(1, 3);
    EXPECT_PIXEL(20 + sel.x + sel.width * 0.5f, cy, inverted(kPanelFill));
    // Without focus neither shows.
    click(250, 200);
    EXPECT_FALSE(edit->has_focus());
    frame();
    EXPECT_PIXEL(20 + sel.x + sel.width * 0.5f, cy, kPanelFill);
    EXPECT_PIXEL(cx, cy, kPanelFill);
}

TEST_F(EditDisplayTest, FocusCallbacksRunOnlyForALiveEdit) {
    static int gained = 0, lost = 0;
    gained = lost = 0;
    edit->set_on_focus_gained([](CInterfaceElement*) { ++gained; });
    edit->set_on_focus_lost([](CInterfaceElement*) { ++lost; });
    click(250, 200);
    click(100, 35);
    EXPECT_EQ(std::pair(gained, lost), std::pair(1, 1));
    // Focus leaves a hidden edit without telling its screen.
    edit->set_visible(false);
    click(250, 200);
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(edit->has_focus());
    // Keys never reach a hidden edit.
    edit->set_visible(true);
    click(100, 35);
    edit->set_visible(false);
    type(SDLK_q, 'q');
    EXPECT_EQ(edit->get_text(), "");
}
