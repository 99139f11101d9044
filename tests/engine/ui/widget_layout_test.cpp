// Widget arithmetic without a window: appearance records, the scrollbar's range, rounding and
// geometry, the list box's items, layout and scrolling, and the edit's selection and text.
#include <gtest/gtest.h>
#include <SDL/SDL_ttf.h>

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
class CountedImage : public CImageSprite {
public:
    CountedImage(CSprite* parent, int* deleted) : CImageSprite(parent), deleted_(deleted) {}
    ~CountedImage() override { ++*deleted_; }

private:
    int* deleted_;
};

struct ValueChange {
    float old_value, new_value;
    bool operator==(const ValueChange&) const = default;
};
std::vector<ValueChange> changes;
void record_change(CInterfaceElement*, float old_value, float new_value) {
    changes.push_back({old_value, new_value});
}

}  // namespace

// --- buttons and check boxes ---

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
    for (int state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Pressed,
                      ButtonState::Disabled}) {
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
    EXPECT_EQ(button.get_state(), ButtonState::Hover);
    EXPECT_EQ(button.get_text(), "hover");
    EXPECT_NE(button.get_appearance(3), nullptr);

    CCheckbox box(nullptr, nullptr);
    box.apply_state(2);
    box.apply_state(4);
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
    EXPECT_EQ(copy.get_state(), 2);
    EXPECT_EQ(copy.get_text(), "third");
    EXPECT_EQ(copy.get_text_color().b, 7);
    EXPECT_EQ(copy.get_on_change(), original.get_on_change());
    EXPECT_EQ(copy.get_horizontal_anchor(), Anchor::End);
    EXPECT_FALSE(copy.is_enabled());
    EXPECT_FALSE(copy.has_focus());
    EXPECT_EQ(copy.CInterfaceElement::get_parent(), &parent);
    // The records are the copy's own.
    copy.get_appearance(2)->text = "changed";
    EXPECT_EQ(original.get_appearance(2)->text, "third");
}

// --- scrollbar value and range ---

TEST(ScrollbarValue, RoundsToTheStepAndStaysInItsRange) {
    CScrollbar bar(nullptr);
    bar.set_maximum(10);
    struct Case {
        float minimum, step, asked, kept;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0, 3, 10, 9}, {0, 3, 5, 6}, {0, 3, -3, 0},
        {0, 4, 10, 8},                // nearer to 12 than to 8 on a grid of 4, but 12 is past the end
        {0, 4, 100, 8},
        {1, 0.25f, 2.4f, 2.5f},       // counted from the minimum
        {1, 0, 7.3f, 7.3f},           // step 0: clamped only
        {1, 0, 50, 10}, {1, 0, nan, 10},
    };
    for (const Case& c : cases) {
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
    EXPECT_FLOAT_EQ(bar.get_minimum(), 49);
    EXPECT_FLOAT_EQ(bar.get_value(), 50);  // re-clamped into the new range

    bar.set_step(0);
    bar.set_maximum(49);
    EXPECT_FLOAT_EQ(bar.get_minimum(), 48);
    EXPECT_FLOAT_EQ(bar.get_value(), 49);

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
    bar.set_value(20);
    bar.set_value(20);
    bar.set_value(20.2f);  // rounds to 20 again
    EXPECT_EQ(changes, (std::vector<ValueChange>{{0, 20}}));
    // A range change that moves the value reports it too.
    bar.set_maximum(10);
    EXPECT_EQ(changes, (std::vector<ValueChange>{{0, 20}, {20, 10}}));
    bar.set_on_value_change(nullptr);
}

TEST(ScrollbarValue, RefusesChildrenAndKeepsItsClientRect) {
    CScrollbar bar(nullptr);
    bar.set_width(100);
    bar.set_height(20);
    bar.set_client_rect(5, 5, 10, 10);
    const FloatRect r = bar.get_client_rect();
    EXPECT_FLOAT_EQ(r.x, 0);
    EXPECT_FLOAT_EQ(r.width, 100);
    EXPECT_FLOAT_EQ(r.height, 20);
    auto* stray = new CImageSprite();
    EXPECT_EQ(bar.add_child(stray), -1);
    delete stray;
    bar.remove_child(1);
    EXPECT_EQ(bar.get_child(0), bar.get_track());
    EXPECT_EQ(bar.get_child(1), bar.get_decrease_button());
    EXPECT_EQ(bar.get_child(2), bar.get_increase_button());
    EXPECT_EQ(bar.get_child(3), bar.get_slider_button());
}

// --- scrollbar geometry ---

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

    CInterfaceContainer root{nullptr, nullptr};
    CScrollbar* bar = nullptr;
};

}  // namespace

TEST_F(ScrollbarLayout, VerticalPartsFollowTheValue) {
    make(true, 16, 100, 16, 12, 20);
    bar->get_track()->set_width(8);
    lay_out(50);

    const IntRect dec = bar->get_decrease_button()->get_anchored_bounds();
    const IntRect inc = bar->get_increase_button()->get_anchored_bounds();
    const IntRect slider = bar->get_slider_button()->get_anchored_bounds();
    EXPECT_EQ(dec.y, 0);
    EXPECT_EQ(inc.y, 84);
    EXPECT_EQ(slider.x, 2);             // centred across
    EXPECT_EQ(slider.y, 16 + 24);       // half of the 48 free pixels
    EXPECT_FLOAT_EQ(bar->get_track()->get_height(), 68);
    EXPECT_FLOAT_EQ(bar->get_track()->get_y(), 16);
    EXPECT_FLOAT_EQ(bar->get_track()->get_x(), 4);

    lay_out(100);
    EXPECT_EQ(bar->get_slider_button()->get_anchored_bounds().y, 16 + 48);
}

TEST_F(ScrollbarLayout, HorizontalPartsFollowTheValue) {
    make(false, 200, 20, 16, 30, 20);
    bar->get_track()->set_height(10);
    lay_out(25);
    EXPECT_EQ(bar->get_increase_button()->get_anchored_bounds().x, 184);
    EXPECT_EQ(bar->get_slider_button()->get_anchored_bounds().x, 16 + 34);  // 138 free * 0.25
    EXPECT_FLOAT_EQ(bar->get_track()->get_width(), 168);
    EXPECT_FLOAT_EQ(bar->get_track()->get_x(), 16);
    EXPECT_FLOAT_EQ(bar->get_track()->get_y(), 5);
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

// --- list box ---

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

    CInterfaceContainer root{nullptr, nullptr};
    CListBox* list = nullptr;
};

}  // namespace

TEST_F(ListTest, TheScrollbarCoversWhatDoesNotFit) {
    list->set_client_rect(0, 0, 200, 64);
    fill(3);
    list->update_layout();
    CScrollbar* bar = list->get_scrollbar();
    EXPECT_EQ(list->get_content_length(), 96);
    EXPECT_TRUE(bar->is_enabled());
    EXPECT_FLOAT_EQ(bar->get_minimum(), 0);
    EXPECT_FLOAT_EQ(bar->get_maximum(), 32);
    EXPECT_FLOAT_EQ(bar->get_width(), 24);
    EXPECT_FLOAT_EQ(bar->get_height(), 64);
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
    // Items add their row first, then their image: item i's row is child 1 + 2i.
    auto* row = dynamic_cast<CCheckbox*>(list->get_child(3));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(box(row->get_anchored_bounds()), (std::array<int, 4>{0, 32 - 10, 176, 32}));
    EXPECT_EQ(row->get_text(), "item 1");
    EXPECT_EQ(row->get_state(), 0);
    EXPECT_EQ(dynamic_cast<CCheckbox*>(list->get_child(5))->get_state(), 1);
    EXPECT_EQ(row->get_on_change(), &CListBox::on_row_click);
    EXPECT_FLOAT_EQ(row->get_text_box().width, 176);

    // Item images take a box at the start of the row.
    list->set_show_item_sprites(true);
    list->set_item_sprite_height(40);
    list->update_layout();
    EXPECT_EQ(box(row->get_anchored_bounds()), (std::array<int, 4>{40, 32 - 10, 136, 32}));
    CImageSprite* image = list->get_item_sprite(1);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->is_visible());
    EXPECT_FLOAT_EQ(image->get_width(), 40);
    EXPECT_FLOAT_EQ(image->get_y(), 32 - 10);
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
    const IntRect sb = bar->get_anchored_bounds();
    EXPECT_EQ(sb.y, 80);
    EXPECT_EQ(sb.width, 200);
    EXPECT_EQ(box(dynamic_cast<CCheckbox*>(list->get_child(3))->get_anchored_bounds()),
              (std::array<int, 4>{50, 0, 50, 80}));

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
    list->select_item(9);
    EXPECT_FLOAT_EQ(list->get_scrollbar()->get_value(), 220);
    EXPECT_EQ(list->get_selected_item(), 9);
    list->select_item(3);
    EXPECT_FLOAT_EQ(list->get_scrollbar()->get_value(), 96);
    list->select_item(4);  // already in view
    EXPECT_FLOAT_EQ(list->get_scrollbar()->get_value(), 96);
    list->select_item(12);
    EXPECT_EQ(list->get_selected_item(), -1);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(dynamic_cast<CCheckbox*>(list->get_child(1 + 2 * i))->get_state(), 0) << i;
    }
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
    // Right is not this list's axis; a repeat moves like a press.
    const std::pair<SDLKey, int> steps[] = {{SDLK_DOWN, 0}, {SDLK_UP, 3},    {SDLK_DOWN, 0},
                                            {SDLK_UNKNOWN, 1}, {SDLK_RIGHT, 1}, {SDLK_RETURN, 1}};
    for (auto [key, selected] : steps) {
        if (key == SDLK_UNKNOWN) root.on_key_repeat(key_down(SDLK_DOWN).key);
        else press_key(key);
        EXPECT_EQ(list->get_selected_item(), selected) << key;
    }
    EXPECT_EQ(reports, 0);
}

TEST_F(ListTest, ItemsAreInsertedMovedAndAddressedByIndex) {
    list->add_item("a", -1);
    list->add_item("b", 0);
    list->add_item("c", 5);
    list->add_item("d", 3);
    EXPECT_EQ(texts(), (std::vector<std::string>{"b", "a", "c", "d"}));
    list->move_item(0, 3);
    EXPECT_EQ(texts(), (std::vector<std::string>{"a", "c", "d", "b"}));
    list->move_item(0, 4);
    list->move_item(-1, 0);
    list->set_item_text(9, "x");
    list->set_item_text(1, "C");
    EXPECT_EQ(texts(), (std::vector<std::string>{"a", "C", "d", "b"}));
    EXPECT_EQ(list->get_item_text(4), "");
    EXPECT_EQ(list->get_item_text(-1), "");
    EXPECT_EQ(list->get_item_sprite(7), nullptr);

    // The selection is kept by number.
    list->select_item(3);
    list->remove_item(0);
    EXPECT_EQ(list->get_selected_item(), 3);
    list->remove_item(9);
    EXPECT_EQ(list->get_item_count(), 3);

    // The list's own children come and go only through the items.
    auto* stray = new CImageSprite();
    EXPECT_EQ(list->add_child(stray), -1);
    delete stray;
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
    EXPECT_FLOAT_EQ(image->get_width(), 32);
    EXPECT_FLOAT_EQ(image->get_height(), 16);
    EXPECT_FLOAT_EQ(image->get_x(), 4);
    EXPECT_FLOAT_EQ(image->get_y(), 6 + 32 + 8);

    list->set_keep_sprite_aspect(false);
    list->update_layout();
    EXPECT_FLOAT_EQ(image->get_width(), 32);
    EXPECT_FLOAT_EQ(image->get_height(), 32);
}

TEST_F(ListTest, ImagesAreOwnedSharedAndFreedWithTheirLastItem) {
    int deleted = 0;
    fill(3);
    auto* shared = new CountedImage(list, &deleted);
    ASSERT_TRUE(list->set_item_sprite(0, shared));
    ASSERT_TRUE(list->set_item_sprite(1, shared));
    EXPECT_EQ(list->get_item_sprite(0), shared);
    EXPECT_EQ(list->get_item_sprite(1), shared);
    list->remove_item(0);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(list->get_item_sprite(0), shared);
    list->remove_item(0);
    EXPECT_EQ(deleted, 1);

    // Replacing an image frees the old one.
    auto* first = new CountedImage(list, &deleted);
    auto* second = new CountedImage(list, &deleted);
    ASSERT_TRUE(list->set_item_sprite(0, first));
    ASSERT_TRUE(list->set_item_sprite(0, second));
    EXPECT_EQ(deleted, 2);

    // Refused sprites are not taken: the caller still owns them.
    auto* unused = new CountedImage(nullptr, &deleted);
    EXPECT_FALSE(list->set_item_sprite(5, unused));
    EXPECT_FALSE(list->set_item_sprite(0, nullptr));
    EXPECT_FALSE(list->set_item_sprite(0, list->get_background()));
    EXPECT_FALSE(list->set_item_sprite(0, list->get_row_template()));
    CImageSprite* row = nullptr;
    for (int i = 0; i < list->get_child_count() && !row; ++i) {
        row = dynamic_cast<CCheckbox*>(list->get_child(i));
    }
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(list->set_item_sprite(0, row));
    delete unused;
    EXPECT_EQ(deleted, 3);

    list->clear_items();
    EXPECT_EQ(deleted, 4);
    EXPECT_EQ(list->get_item_count(), 0);
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
    auto* first = dynamic_cast<CCheckbox*>(list->get_child(1));
    auto* second = dynamic_cast<CCheckbox*>(list->get_child(3));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->get_text_color().r, 200);
    EXPECT_EQ(second->get_text_color().b, 200);
    EXPECT_EQ(second->get_text(), "item 1");
    EXPECT_EQ(second->CInterfaceElement::get_parent(), list);
}

TEST_F(ListTest, ClearingTheListLeavesNoFocusedOrHoveredRow) {
    fill(3);
    list->update_layout();
    root.on_mouse_motion(mouse_motion(50, 40).motion);
    root.on_mouse_button_down(mouse_down(50, 40).button);
    EXPECT_EQ(list->get_focused_child(), 3);
    EXPECT_EQ(list->get_hovered_child(), 3);
    list->clear_items();
    EXPECT_EQ(list->get_focused_child(), -1);
    EXPECT_EQ(list->get_hovered_child(), -1);

    // New rows fill the freed slots; none of them is treated as focused or hovered.
    fill(3);
    list->update_layout();
    root.on_mouse_button_up(mouse_up(50, 40).button);
    EXPECT_EQ(list->get_selected_item(), -1);
    root.on_mouse_motion(mouse_motion(300, 230).motion);
    EXPECT_EQ(list->get_hovered_child(), -1);
}

// --- edit ---

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
    } cases[] = {{1, 3, "ell", 1, 3}, {-2, 4, "he", 0, 2},  {9, 3, "", 5, 0},
                 {3, 10, "lo", 3, 2}, {-4, 1, "", 0, 0},    {2, -2, "", -1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(edit->set_selection(c.start, c.length), c.text) << c.start << "+" << c.length;
        EXPECT_EQ(edit->get_selected_text(), c.text) << c.start << "+" << c.length;
        if (c.kept_start >= 0) {
            EXPECT_EQ(edit->get_selection_start(), c.kept_start) << c.start;
        }
        EXPECT_EQ(edit->get_selection_length(), c.kept_length) << c.start << "+" << c.length;
    }
}

TEST_F(EditTest, ReplacingTheSelectionReportsOnceAndPlacesTheCaret) {
    text_changes = 0;
    edit->set_on_text_change(&count_text_change);
    edit->set_selection(1, 3);
    edit->replace_selection("ipp", false);
    EXPECT_EQ(edit->get_text(), "hippo");
    EXPECT_EQ(edit->get_selected_text(), "ipp");
    edit->set_selection(5, 0);
    edit->replace_selection("s", true);
    EXPECT_EQ(edit->get_text(), "hippos");
    EXPECT_EQ(edit->get_selection_start(), 6);
    edit->insert_char('!', true);
    EXPECT_EQ(edit->get_text(), "hippos!");
    EXPECT_EQ(text_changes, 3);

    // set_text keeps the caret inside the text and reports nothing.
    edit->set_text("hi");
    EXPECT_EQ(edit->get_selection_start(), 2);
    EXPECT_EQ(edit->get_selection_length(), 0);
    EXPECT_EQ(text_changes, 3);
}

TEST_F(EditTest, CharacterPositionsFollowTheAlignment) {
    const int whole = font->get_text_size("hello").x;
    const int h_width = font->get_text_size("h").x;
    FloatRect r = edit->get_char_position(0, 1);
    EXPECT_FLOAT_EQ(r.x, 0);
    EXPECT_FLOAT_EQ(r.width, float(h_width));
    EXPECT_FLOAT_EQ(r.height, float(font->get_text_size("hello").y));
    r = edit->get_char_position(2, 10);  // the length is cut at the end
    EXPECT_FLOAT_EQ(r.x, float(font->get_text_size("he").x));
    EXPECT_FLOAT_EQ(r.width, float(font->get_text_size("llo").x));
    r = edit->get_char_position(5, 0);
    EXPECT_FLOAT_EQ(r.x, float(whole));
    EXPECT_FLOAT_EQ(r.width, 0);

    edit->set_horizontal_alignment(AlignEnd);
    EXPECT_FLOAT_EQ(edit->get_char_position(0, 0).x, 200.0f - float(whole));
    edit->set_horizontal_alignment(AlignCentre);
    EXPECT_FLOAT_EQ(edit->get_char_position(0, 0).x, (200.0f - float(whole)) * 0.5f);

    // Outside the text: the whole text box.
    r = edit->get_char_position(6, 1);
    EXPECT_FLOAT_EQ(r.width, 200);
    EXPECT_FLOAT_EQ(r.height, 30);
    r = edit->get_char_position(-1, 1);
    EXPECT_FLOAT_EQ(r.x, 0);
    EXPECT_FLOAT_EQ(r.width, 200);
}

TEST_F(EditTest, APointNearestTheCaretPlaceIsFound) {
    const FloatRect e = edit->get_char_position(1, 1);  // the letter e
    EXPECT_EQ(edit->get_char_index_at(int(e.x + e.width * 0.8f)), 2);
    EXPECT_EQ(edit->get_char_index_at(int(e.x + e.width * 0.2f) + 1), 1);
    EXPECT_EQ(edit->get_char_index_at(-10), 0);
    EXPECT_EQ(edit->get_char_index_at(190), 5);
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
    EXPECT_TRUE(edit->has_focus());  // the gate keeps the edit's own flag
}
