// Widget arithmetic without a window: appearance records, the scrollbar's range, rounding and
// geometry, the list box's items, layout and scrolling, and the edit's selection and text.
#include <gtest/gtest.h>
#include <SDL/SDL_ttf.h>

#include <initializer_list>
#include <tuple>
#include <limits>
#include <memory>

#include "engine/gfx/font.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"
#include "support/sprite_test_support.h"
#include "support/widget_test_support.h"

using test_support::FakeTexture;
using namespace test_support;

namespace {

// An image that counts its deletion.
struct CountedImage : CImageSprite {
    CountedImage(CSprite* parent, int* deleted) : CImageSprite(parent), deleted(deleted) {}
    ~CountedImage() override { ++*deleted; }
    int* deleted;
};

struct ValueChange {
    float old_value, new_value;
    bool operator==(const ValueChange&) const = default;
};
std::vector<ValueChange> changes;
void record_change(CInterfaceElement*, float old_value, float new_value) { changes.push_back({old_value, new_value}); }

void expect_floats(std::initializer_list<float> seen, std::initializer_list<float> want) {
    ASSERT_EQ(seen.size(), want.size());
    auto w = want.begin();
    for (float s : seen) EXPECT_FLOAT_EQ(s, *w++);
}
// The trace gives the caller's line.
#define EXPECT_FLOATS(...)          \
    {                               \
        SCOPED_TRACE("floats");     \
        expect_floats(__VA_ARGS__); \
    }

CCheckbox* row_at(CListBox* list, int child) { return dynamic_cast<CCheckbox*>(list->get_child(child)); }

// The children a widget keeps to itself refuse strangers.
void expect_refuses_children(CInterfaceContainer& owner) {
    auto* stray = new CImageSprite();
    EXPECT_EQ(owner.add_child(stray), -1);
    delete stray;
}

}  // namespace

TEST(ButtonRecords, AStillFrameRangeStopsTheAnimationInEveryState) {
    FakeTexture skin(96, 24);
    CButton button(nullptr, nullptr);
    button.set_texture(&skin);
    button.set_tile_width(24);
    button.set_tile_height(24);
    button.set_appearance(ColorRGB{1, 2, 3}, nullptr, 0, 3, 4.0f, "go");
    EXPECT_TRUE(button.is_playing());
    EXPECT_EQ(button.get_text(), "go");
    button.set_appearance(ColorRGB{9, 9, 9}, nullptr, 2, 2, 4.0f, "still");
    for (int state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Pressed, ButtonState::Disabled}) {
        button.set_state(state);
        EXPECT_FALSE(button.is_playing()) << state;
        EXPECT_FLOAT_EQ(button.get_frame(), 2) << state;
        EXPECT_EQ(button.get_text_color().r, 9);
    }
    // A record changed in place shows after refresh_appearance.
    button.get_appearance(ButtonState::Disabled)->text = "off";
    EXPECT_EQ(button.get_text(), "still");
    button.refresh_appearance();
    EXPECT_EQ(button.get_text(), "off");
}

TEST(ButtonRecords, StatesOutsideTheFourAreRefused) {
    CButton button(nullptr, nullptr);
    button.get_appearance(ButtonState::Hover)->text = "hover";
    button.set_state(ButtonState::Hover);
    for (int refused : {4, -1}) {
        button.set_state(refused);
        EXPECT_EQ(button.get_appearance(refused), nullptr) << refused;
    }
    EXPECT_EQ(std::tuple(button.get_state(), button.get_text()), std::tuple(int(ButtonState::Hover), "hover"));
    EXPECT_NE(button.get_appearance(3), nullptr);
    CCheckbox box(nullptr, nullptr);
    for (int state : {2, 4}) box.apply_state(state);
    box.set_state(100);
    EXPECT_EQ(box.get_state(), 2);
    EXPECT_EQ(box.get_appearance(ButtonState::Count), nullptr);
    box.set_checked(true);
    EXPECT_TRUE(box.is_checked());
    box.set_checked(false);
    EXPECT_EQ(box.get_state(), 0);
}

TEST(ButtonRecords, EnablingShowsNormalAndDisablingShowsDisabled) {
    CButton button(nullptr, nullptr);
    button.set_state(ButtonState::Hover);
    button.set_enabled(false);
    EXPECT_EQ(button.get_state(), ButtonState::Disabled);
    button.on_focus_lost();
    EXPECT_EQ(button.get_state(), ButtonState::Disabled);
    button.set_enabled(true);
    EXPECT_EQ(button.get_state(), ButtonState::Normal);
}

TEST(ButtonRecords, ACheckboxCopyHasItsOwnRecordsStateAndHandler) {
    CInterfaceContainer parent(nullptr, nullptr);
    CCheckbox original(&parent, nullptr);
    original.set_horizontal_anchor(Anchor::End);
    original.set_enabled(false);
    original.get_appearance(2)->text = "third";
    original.get_appearance(2)->text_color = ColorRGB{5, 6, 7};
    original.set_on_change([](CInterfaceElement*, const SDL_MouseButtonEvent*, int) {});
    original.apply_state(2);
    original.on_focus_gained();
    CCheckbox copy(original);
    EXPECT_EQ(std::tuple(copy.get_state(), copy.get_text(), int(copy.get_text_color().b)), std::tuple(2, "third", 7));
    EXPECT_EQ(copy.get_on_change(), original.get_on_change());
    EXPECT_EQ(copy.get_horizontal_anchor(), Anchor::End);
    EXPECT_EQ(std::tuple(copy.is_enabled(), copy.has_focus()), std::tuple(false, false));
    EXPECT_EQ(copy.CInterfaceElement::get_parent(), &parent);
    copy.get_appearance(2)->text = "changed";
    EXPECT_EQ(original.get_appearance(2)->text, "third");
}

TEST(ScrollbarValue, RoundsToTheStepAndStaysInItsRange) {
    CScrollbar bar(nullptr);
    bar.set_maximum(10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float minimum, step, asked, kept;
    } cases[] = {
        {0, 3, 10, 9},      {0, 3, 5, 6},
        {0, 3, -3, 0},      {0, 4, 10, 8},           // nearer to 12 than to 8 on a grid of 4, but 12 is past the end
        {0, 4, 100, 8},     {1, 0.25f, 2.4f, 2.5f},  // counted from the minimum
        {1, 0, 7.3f, 7.3f},                          // step 0: clamped only
        {1, 0, 50, 10},     {1, 0, nan, 10},
    };
    for (const auto& c : cases) {
        bar.set_minimum(c.minimum);
        bar.set_step(c.step);
        bar.set_value(c.asked);
        EXPECT_FLOAT_EQ(bar.get_value(), c.kept) << "step " << c.step << ", asked " << c.asked;
    }
    bar.set_step(-2);
    EXPECT_FLOAT_EQ(bar.get_step(), 2);
}

TEST(ScrollbarValue, TheRangeKeepsAtLeastOneStep) {
    CScrollbar bar(nullptr);
    bar.set_minimum(100);
    EXPECT_FLOAT_EQ(bar.get_maximum(), 101);
    bar.set_maximum(50);
    EXPECT_FLOATS({bar.get_minimum(), bar.get_value()}, {49, 50});  // value re-clamped
    bar.set_step(0);
    bar.set_maximum(49);
    EXPECT_FLOATS({bar.get_minimum(), bar.get_value()}, {48, 49});
    // Far out where a step no longer shows in a float the setters still come to rest.
    bar.set_step(1);
    bar.set_minimum(3e9f);
    EXPECT_GE(bar.get_maximum(), bar.get_minimum());
    bar.set_maximum(-3e9f);
    EXPECT_GE(bar.get_maximum(), bar.get_minimum());
}

TEST(ScrollbarValue, AChangeIsReportedOnceWithOldAndNewValue) {
    CScrollbar bar(nullptr);
    changes.clear();
    bar.set_on_value_change(&record_change);
    EXPECT_EQ(bar.get_on_value_change(), &record_change);
    for (float v : {20.0f, 20.0f, 20.2f}) bar.set_value(v);  // 20.2 rounds to 20 again
    EXPECT_EQ(changes, (std::vector<ValueChange>{{0, 20}}));
    bar.set_maximum(10);  // a range change that moves the value reports it too
    EXPECT_EQ(changes, (std::vector<ValueChange>{{0, 20}, {20, 10}}));
    bar.set_on_value_change(nullptr);
}

TEST(ScrollbarValue, RefusesChildrenAndKeepsItsClientRect) {
    CScrollbar bar(nullptr);
    bar.set_width(100);
    bar.set_height(20);
    bar.set_client_rect(5, 5, 10, 10);
    const FloatRect r = bar.get_client_rect();
    EXPECT_FLOATS({r.x, r.width, r.height}, {0, 100, 20});
    expect_refuses_children(bar);
    bar.remove_child(1);
    const CSprite* parts[] = {bar.get_track(), bar.get_decrease_button(), bar.get_increase_button(),
                              bar.get_slider_button()};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bar.get_child(i), parts[i]) << i;
}

namespace {

// A bar in a 320 x 240 root, its arrows `arrow` long and its slider as given.
class ScrollbarLayout : public ::testing::Test {
protected:
    void SetUp() override { shape(root, 320, 240); }
    void make(bool vertical, float w, float h, float arrow, float slider_w, float slider_h) {
        bar = new CScrollbar(&root);
        root.add_child(bar);
        bar->set_vertical(vertical);
        bar->set_width(w);
        bar->set_height(h);
        bar->get_decrease_button()->set_size(vertical ? w : arrow, vertical ? arrow : h);
        bar->get_increase_button()->set_size(vertical ? w : arrow, vertical ? arrow : h);
        bar->get_slider_button()->set_size(slider_w, slider_h);
    }
    void lay_out(float value) {
        bar->set_value(value);
        bar->update_layout();
    }
    IntRect slider() { return bar->get_slider_button()->get_anchored_bounds(); }
    CInterfaceContainer root{nullptr, nullptr};
    CScrollbar* bar = nullptr;
};

}  // namespace

TEST_F(ScrollbarLayout, PartsFollowTheValueOnEitherAxis) {
    make(true, 16, 100, 16, 12, 20);
    auto* track = bar->get_track();
    track->set_width(8);
    lay_out(50);
    EXPECT_EQ(bar->get_decrease_button()->get_anchored_bounds().y, 0);
    EXPECT_EQ(bar->get_increase_button()->get_anchored_bounds().y, 84);
    // Centred across, and half of the 48 free pixels along.
    EXPECT_EQ(std::pair(slider().x, slider().y), std::pair(2, 16 + 24));
    EXPECT_FLOATS({track->get_height(), track->get_y(), track->get_x()}, {68, 16, 4});
    lay_out(100);
    EXPECT_EQ(slider().y, 16 + 48);
    make(false, 200, 20, 16, 30, 20);
    track = bar->get_track();
    track->set_height(10);
    lay_out(25);
    EXPECT_EQ(bar->get_increase_button()->get_anchored_bounds().x, 184);
    EXPECT_EQ(slider().x, 16 + 34);  // 138 free * 0.25
    EXPECT_FLOATS({track->get_width(), track->get_x(), track->get_y()}, {168, 16, 5});
}

TEST_F(ScrollbarLayout, DraggingOnATrackWithNoFreeLengthChangesNothing) {
    make(true, 16, 48, 16, 16, 16);
    bar->CSprite::set_x(10);
    bar->CSprite::set_y(10);
    lay_out(30);
    // The slider fills the whole free track: press it and drag far down.
    root.on_mouse_button_down(mouse_down(18, 30).button);
    ASSERT_EQ(bar->get_slider_button()->get_state(), ButtonState::Pressed);
    root.on_mouse_motion(mouse_motion(18, 200, SDL_BUTTON(1)).motion);
    EXPECT_FLOAT_EQ(bar->get_value(), 30);
    root.on_mouse_button_up(mouse_up(18, 200).button);
    EXPECT_EQ(bar->get_slider_button()->get_state(), ButtonState::Normal);
}

namespace {

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        shape(root, 320, 240);
        list = new CListBox(&root);
        root.add_child(list);
        shape(*list, 200, 100);
    }
    void fill(int n) {
        for (int i = 0; i < n; ++i) list->add_item("item " + std::to_string(i), -1);
    }
    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (int i = 0; i < list->get_item_count(); ++i) out.push_back(list->get_item_text(i));
        return out;
    }
    void press_key(SDLKey sym) { root.on_key_pressed(key_down(sym).key); }
    // Items add their row first, then their image: item i's row is child 1 + 2i.
    CCheckbox* row(int item) { return row_at(list, 1 + 2 * item); }
    float scroll() { return list->get_scrollbar()->get_value(); }
    CInterfaceContainer root{nullptr, nullptr};
    CListBox* list = nullptr;
};

}  // namespace

TEST_F(ListTest, TheScrollbarCoversWhatDoesNotFit) {
    list->set_client_rect(0, 0, 200, 64);
    fill(3);
    list->update_layout();
    CScrollbar* bar = list->get_scrollbar();
    EXPECT_EQ(std::pair(list->get_content_length(), bar->is_enabled()), std::pair(96, true));
    EXPECT_FLOATS({bar->get_minimum(), bar->get_maximum(), bar->get_width(), bar->get_height()}, {0, 32, 24, 64});
    EXPECT_EQ(bar->get_anchored_bounds().x, 200 - 24);
    bar->set_value(20);
    list->remove_item(2);
    list->remove_item(1);
    list->update_layout();
    EXPECT_FALSE(bar->is_enabled());
    EXPECT_FLOAT_EQ(bar->get_value(), 0);
}

TEST_F(ListTest, RowsFillTheClientRectBesideTheScrollbar) {
    fill(5);  // 160 pixels in 100: 60 to scroll
    list->select_item(2);
    list->get_scrollbar()->set_value(10);
    list->update_layout();
    CCheckbox* second = row(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(box(second->get_anchored_bounds()), (std::array<int, 4>{0, 32 - 10, 176, 32}));
    EXPECT_EQ(std::tuple(second->get_text(), second->get_state(), row(2)->get_state()), std::tuple("item 1", 0, 1));
    EXPECT_EQ(second->get_on_change(), &CListBox::on_row_click);
    EXPECT_FLOAT_EQ(second->get_text_box().width, 176);
    // Item images take a box at the start of the row.
    list->set_show_item_sprites(true);
    list->set_item_sprite_height(40);
    list->update_layout();
    EXPECT_EQ(box(second->get_anchored_bounds()), (std::array<int, 4>{40, 32 - 10, 136, 32}));
    CImageSprite* image = list->get_item_sprite(1);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->is_visible());
    EXPECT_FLOATS({image->get_width(), image->get_y()}, {40, 32 - 10});
    list->set_show_item_sprites(false);
    list->update_layout();
    EXPECT_FALSE(image->is_visible());
}

TEST_F(ListTest, AHorizontalListRunsLeftToRightAboveItsScrollbar) {
    list->set_vertical(false);
    list->set_scrollbar_thickness(20);
    list->set_row_size(50);
    fill(6);  // 300 pixels in 200
    list->update_layout();
    CScrollbar* bar = list->get_scrollbar();
    EXPECT_FALSE(bar->is_vertical());
    EXPECT_FLOAT_EQ(bar->get_maximum(), 100);
    EXPECT_EQ(std::pair(bar->get_anchored_bounds().y, bar->get_anchored_bounds().width), std::pair(80, 200));
    EXPECT_EQ(box(row(1)->get_anchored_bounds()), (std::array<int, 4>{50, 0, 50, 80}));
    // The last item scrolls in from the right.
    list->select_item(5);
    EXPECT_FLOAT_EQ(bar->get_value(), 100);
    press_key(SDLK_UP);  // not this list's axis
    root.set_focused_child(0);
    press_key(SDLK_LEFT);
    EXPECT_EQ(list->get_selected_item(), 4);
}

TEST_F(ListTest, SelectingScrollsTheRowIntoView) {
    fill(10);
    const std::pair<int, float> steps[] = {{9, 220}, {3, 96}, {4, 96}};  // 4 is already in view
    for (auto [item, value] : steps) {
        list->select_item(item);
        EXPECT_FLOAT_EQ(scroll(), value) << item;
        EXPECT_EQ(list->get_selected_item(), item);
    }
    list->select_item(12);
    EXPECT_EQ(list->get_selected_item(), -1);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(row(i)->get_state(), 0) << i;
}

TEST_F(ListTest, ArrowKeysWrapAroundAndKeysNeverReport) {
    static int reports = 0;
    reports = 0;
    list->set_on_select([](CListBox*, const SDL_MouseButtonEvent*, int) { ++reports; });
    root.set_focused_child(0);
    press_key(SDLK_DOWN);
    EXPECT_EQ(list->get_selected_item(), -1);  // nothing to select
    press_key(SDLK_UP);
    EXPECT_EQ(list->get_selected_item(), -1);
    fill(4);
    // Right is not this list's axis; a repeat (SDLK_UNKNOWN here) moves like a press.
    const std::pair<SDLKey, int> steps[] = {{SDLK_DOWN, 0},    {SDLK_UP, 3},    {SDLK_DOWN, 0},
                                            {SDLK_UNKNOWN, 1}, {SDLK_RIGHT, 1}, {SDLK_RETURN, 1}};
    for (auto [key, selected] : steps) {
        if (key == SDLK_UNKNOWN) root.on_key_repeat(key_down(SDLK_DOWN).key);
        else press_key(key);
        EXPECT_EQ(list->get_selected_item(), selected) << key;
    }
    EXPECT_EQ(reports, 0);
}

TEST_F(ListTest, ItemsAreInsertedMovedAndAddressedByIndex) {
    const std::pair<const char*, int> inserts[] = {{"a", -1}, {"b", 0}, {"c", 5}, {"d", 3}};
    for (auto [text, at] : inserts) list->add_item(text, at);
    EXPECT_EQ(texts(), (std::vector<std::string>{"b", "a", "c", "d"}));
    list->move_item(0, 3);
    EXPECT_EQ(texts(), (std::vector<std::string>{"a", "c", "d", "b"}));
    list->move_item(0, 4);
    list->move_item(-1, 0);
    list->set_item_text(9, "x");
    list->set_item_text(1, "C");
    EXPECT_EQ(texts(), (std::vector<std::string>{"a", "C", "d", "b"}));
    for (int outside : {4, -1}) EXPECT_EQ(list->get_item_text(outside), "") << outside;
    EXPECT_EQ(list->get_item_sprite(7), nullptr);
    // The selection is kept by number.
    list->select_item(3);
    list->remove_item(0);
    EXPECT_EQ(list->get_selected_item(), 3);
    list->remove_item(9);
    EXPECT_EQ(list->get_item_count(), 3);
    // The list's own children come and go only through the items.
    expect_refuses_children(*list);
    list->remove_child(0);
    EXPECT_EQ(list->get_child(0), list->get_scrollbar());
}

TEST_F(ListTest, KeepingTheAspectFitsAnImageIntoItsBox) {
    static FakeTexture wide(64, 32);  // outlives the list that shows it
    fill(2);
    list->set_show_item_sprites(true);
    list->set_keep_sprite_aspect(true);
    list->set_client_rect(4, 6, 190, 90);
    auto* image = new CImageSprite(list);
    image->set_texture(&wide);
    ASSERT_TRUE(list->set_item_sprite(1, image));
    list->update_layout();
    EXPECT_FLOATS({image->get_width(), image->get_height(), image->get_x(), image->get_y()}, {32, 16, 4, 6 + 32 + 8});
    list->set_keep_sprite_aspect(false);
    list->update_layout();
    EXPECT_FLOATS({image->get_width(), image->get_height()}, {32, 32});
}

TEST_F(ListTest, ImagesAreOwnedSharedAndFreedWithTheirLastItem) {
    int deleted = 0;
    fill(3);
    auto* shared = new CountedImage(list, &deleted);
    ASSERT_TRUE(list->set_item_sprite(0, shared));
    ASSERT_TRUE(list->set_item_sprite(1, shared));
    EXPECT_EQ(std::pair(list->get_item_sprite(0), list->get_item_sprite(1)),
              (std::pair<CImageSprite*, CImageSprite*>(shared, shared)));
    list->remove_item(0);
    EXPECT_EQ(std::pair(deleted, list->get_item_sprite(0)), (std::pair<int, CImageSprite*>(0, shared)));
    list->remove_item(0);
    EXPECT_EQ(deleted, 1);
    // Replacing an image frees the old one.
    ASSERT_TRUE(list->set_item_sprite(0, new CountedImage(list, &deleted)));
    ASSERT_TRUE(list->set_item_sprite(0, new CountedImage(list, &deleted)));
    EXPECT_EQ(deleted, 2);
    // Refused sprites are not taken: the caller still owns them.
    auto* unused = new CountedImage(nullptr, &deleted);
    CImageSprite* a_row = nullptr;
    for (int i = 0; i < list->get_child_count() && !a_row; ++i) a_row = row_at(list, i);
    ASSERT_NE(a_row, nullptr);
    const std::pair<int, CImageSprite*> refused[] = {
        {5, unused}, {0, nullptr}, {0, list->get_background()}, {0, list->get_row_template()}, {0, a_row}};
    for (auto [item, sprite] : refused) EXPECT_FALSE(list->set_item_sprite(item, sprite)) << item;
    delete unused;
    EXPECT_EQ(deleted, 3);
    list->clear_items();
    EXPECT_EQ(std::pair(deleted, list->get_item_count()), std::pair(4, 0));
    EXPECT_EQ(list->get_child(0), list->get_scrollbar());
    for (int i = 1; i < list->get_child_count(); ++i) EXPECT_EQ(list->get_child(i), nullptr) << i;
}

TEST_F(ListTest, ScrollbarThicknessOfZeroOrLessIsRefused) {
    for (int refused : {0, -3}) {
        list->set_scrollbar_thickness(refused);
        EXPECT_EQ(list->get_scrollbar_thickness(), 24) << refused;
    }
    list->set_scrollbar_thickness(16);
    EXPECT_EQ(list->get_scrollbar_thickness(), 16);
    list->update_layout();
    EXPECT_FLOAT_EQ(list->get_scrollbar()->get_width(), 16);
}

TEST_F(ListTest, RebuiltRowsTakeTheChangedTemplate) {
    fill(2);
    list->get_row_template()->set_appearance(ColorRGB{200, 0, 0}, nullptr, 0, 0, 0, "");
    list->get_row_template()->get_appearance(1)->text_color = ColorRGB{0, 0, 200};
    list->select_item(1);
    list->rebuild_rows();
    list->update_layout();
    ASSERT_NE(row(0), nullptr);
    ASSERT_NE(row(1), nullptr);
    EXPECT_EQ(std::pair(int(row(0)->get_text_color().r), int(row(1)->get_text_color().b)), std::pair(200, 200));
    EXPECT_EQ(row(1)->get_text(), "item 1");
    EXPECT_EQ(row(1)->CInterfaceElement::get_parent(), list);
}

TEST_F(ListTest, ClearingTheListLeavesNoFocusedOrHoveredRow) {
    fill(3);
    list->update_layout();
    root.on_mouse_motion(mouse_motion(50, 40).motion);
    root.on_mouse_button_down(mouse_down(50, 40).button);
    EXPECT_EQ(std::pair(list->get_focused_child(), list->get_hovered_child()), std::pair(3, 3));
    list->clear_items();
    EXPECT_EQ(std::pair(list->get_focused_child(), list->get_hovered_child()), std::pair(-1, -1));
    // New rows fill the freed slots; none of them is treated as focused or hovered.
    fill(3);
    list->update_layout();
    root.on_mouse_button_up(mouse_up(50, 40).button);
    EXPECT_EQ(list->get_selected_item(), -1);
    root.on_mouse_motion(mouse_motion(300, 230).motion);
    EXPECT_EQ(list->get_hovered_child(), -1);
}

namespace {

class EditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(TTF_Init(), 0); }
    static void TearDownTestSuite() { TTF_Quit(); }
    void SetUp() override {
        font = fonts.get_font(14, "fnt\\DejaVuSans.ttf");
        ASSERT_TRUE(font->is_loaded());
        edit = std::make_unique<CEdit>(nullptr, font);
        edit->set_width(200);
        edit->set_height(30);
        edit->set_text_box(0, 0, 200, 30);
        edit->set_horizontal_alignment(AlignStart);
        edit->set_text("hello");
    }
    float text_width(const char* text) { return float(font->get_text_size(text).x); }
    CFontFactory fonts;
    CFont* font = nullptr;
    std::unique_ptr<CEdit> edit;
};

int text_changes = 0;
void count_text_change(CInterfaceElement*) { ++text_changes; }

}  // namespace

TEST_F(EditTest, SelectionsAreClampedToTheText) {
    const struct {
        int start, length;
        const char* text;
        int kept_start, kept_length;
    } cases[] = {{1, 3, "ell", 1, 3}, {-2, 4, "he", 0, 2}, {9, 3, "", 5, 0},
                 {3, 10, "lo", 3, 2}, {-4, 1, "", 0, 0},   {2, -2, "", -1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + "+" + std::to_string(c.length));
        EXPECT_EQ(edit->set_selection(c.start, c.length), c.text);
        EXPECT_EQ(edit->get_selected_text(), c.text);
        if (c.kept_start >= 0) {
            EXPECT_EQ(edit->get_selection_start(), c.kept_start);
        }
        EXPECT_EQ(edit->get_selection_length(), c.kept_length);
    }
}

TEST_F(EditTest, ReplacingTheSelectionReportsOnceAndPlacesTheCaret) {
    text_changes = 0;
    edit->set_on_text_change(&count_text_change);
    edit->set_selection(1, 3);
    edit->replace_selection("ipp", false);
    EXPECT_EQ(std::pair(edit->get_text(), edit->get_selected_text()),
              std::pair(std::string("hippo"), std::string("ipp")));
    edit->set_selection(5, 0);
    edit->replace_selection("s", true);
    EXPECT_EQ(std::pair(edit->get_text(), edit->get_selection_start()), std::pair(std::string("hippos"), 6));
    edit->insert_char('!', true);
    EXPECT_EQ(edit->get_text(), "hippos!");
    EXPECT_EQ(text_changes, 3);
    // set_text keeps the caret inside the text and reports nothing.
    edit->set_text("hi");
    EXPECT_EQ(std::tuple(edit->get_selection_start(), edit->get_selection_length(), text_changes), std::tuple(2, 0, 3));
}

TEST_F(EditTest, CharacterPositionsFollowTheAlignment) {
    const float whole = text_width("hello");
    FloatRect r = edit->get_char_position(0, 1);
    EXPECT_FLOATS({r.x, r.width, r.height}, {0, text_width("h"), float(font->get_text_size("hello").y)});
    r = edit->get_char_position(2, 10);  // the length is cut at the end
    EXPECT_FLOATS({r.x, r.width}, {text_width("he"), text_width("llo")});
    r = edit->get_char_position(5, 0);
    EXPECT_FLOATS({r.x, r.width}, {whole, 0});
    edit->set_horizontal_alignment(AlignEnd);
    EXPECT_FLOAT_EQ(edit->get_char_position(0, 0).x, 200.0f - whole);
    edit->set_horizontal_alignment(AlignCentre);
    EXPECT_FLOAT_EQ(edit->get_char_position(0, 0).x, (200.0f - whole) * 0.5f);
    // Outside the text: the whole text box.
    r = edit->get_char_position(6, 1);
    EXPECT_FLOATS({r.width, r.height}, {200, 30});
    r = edit->get_char_position(-1, 1);
    EXPECT_FLOATS({r.x, r.width}, {0, 200});
}

TEST_F(EditTest, APointNearestTheCaretPlaceIsFound) {
    const FloatRect e = edit->get_char_position(1, 1);  // the letter e
    const std::pair<int, int> cases[] = {
        {int(e.x + e.width * 0.8f), 2}, {int(e.x + e.width * 0.2f) + 1, 1}, {-10, 0}, {190, 5}};
    for (auto [x, index] : cases) EXPECT_EQ(edit->get_char_index_at(x), index) << x;
}

TEST_F(EditTest, SettingsAndFilters) {
    for (auto [asked, kept] : {std::pair{0.0f, 0.5f}, {-1.0f, 0.5f}, {0.25f, 0.25f}}) {
        edit->set_caret_blink_interval(asked);
        EXPECT_FLOAT_EQ(edit->get_caret_blink_interval(), kept) << asked;
    }
    edit->set_multiline(true);
    EXPECT_FALSE(edit->is_multiline());
    EXPECT_EQ(CEdit::printable_only(std::string("a\r\nb\tc\x01\x7f\xc3\xa9 d~", 13)), "abc d~");
    // A disabled edit keeps its own focus flag when told that it lost focus.
    edit->on_focus_gained();
    EXPECT_TRUE(edit->has_focus());
    edit->set_enabled(false);
    edit->on_focus_lost();
    EXPECT_TRUE(edit->has_focus());
}
