// The container's anchoring, focus and hover bookkeeping and mouse and key routing, without a
// window: events go in through the root container's input slots, as a screen delivers them.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/ui/button.h"
#include "engine/ui/interface_container.h"
#include "support/sprite_test_support.h"
#include "support/widget_test_support.h"

using test_support::ProbeSprite;
using test_support::ProbeWidget;
using namespace test_support;

namespace {

// A 320 x 240 root whose client rect is its whole area.
class Root : public CInterfaceContainer {
public:
    Root() : CInterfaceContainer(nullptr, nullptr) { shape(*this, 320, 240); }
    void send(const SDL_Event& e) {
        switch (e.type) {
        case SDL_MOUSEMOTION: on_mouse_motion(e.motion); break;
        case SDL_MOUSEBUTTONDOWN: on_mouse_button_down(e.button); break;
        case SDL_MOUSEBUTTONUP: on_mouse_button_up(e.button); break;
        case SDL_KEYDOWN: on_key_pressed(e.key); break;
        case SDL_KEYUP: on_key_released(e.key); break;
        default: break;
        }
    }
};

class ContainerTest : public ::testing::Test {
protected:
    ProbeWidget* probe(CInterfaceContainer* parent, const std::string& name, float x, float y, float w, float h) {
        auto* p = new ProbeWidget(parent, name, &journal, &deleted);
        p->at(x, y, w, h);
        parent->add_child(p);
        return p;
    }
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(journal);
        return out;
    }

    std::vector<std::string> journal;
    int deleted = 0;
    Root root;
};

using Lines = std::vector<std::string>;

}  // namespace

// --- anchors and geometry ---

TEST_F(ContainerTest, AnchorsPlaceAChildInTheClientRect) {
    root.set_client_rect(10, 20, 200, 100);
    ProbeWidget* w = probe(&root, "w", 5, 6, 40, 30);
    w->set_scale(0.5f);  // drawn 20 x 15

    const struct {
        int anchor;
        float x, y;
    } cases[] = {{Anchor::Start, 15, 26},
                 {Anchor::Centre, 10 + (200 - 20) * 0.5f + 5, 20 + (100 - 15) * 0.5f + 6},
                 {Anchor::End, 10 + 200 - 20 - 5, 20 + 100 - 15 - 6}};
    for (const auto& c : cases) {  // the first is the default
        if (c.anchor != Anchor::Start) w->set_horizontal_anchor(c.anchor), w->set_vertical_anchor(c.anchor);
        EXPECT_FLOAT_EQ(w->get_anchored_x(w), c.x) << c.anchor;
        EXPECT_FLOAT_EQ(w->get_anchored_y(w), c.y) << c.anchor;
    }
    // An anchor that names none of the three gives the plain position.
    w->set_horizontal_anchor(7);
    EXPECT_FLOAT_EQ(w->get_anchored_x(w), 5);

    // Hit tests and bounds follow the anchored place.
    EXPECT_EQ(box(w->get_anchored_absolute_bounds()), (std::array<int, 4>{5, 20 + 100 - 15 - 6, 20, 15}));

    // Without a parent container the plain values stand.
    ProbeWidget loose(nullptr, "loose", nullptr);
    loose.at(3, 4, 10, 10);
    loose.set_horizontal_anchor(Anchor::End);
    EXPECT_FLOAT_EQ(loose.get_anchored_x(&loose), 3);
}

TEST_F(ContainerTest, ChildrenAreRelativeToTheAnchoredContainer) {
    auto* panel = new CInterfaceContainer(&root, nullptr);
    shape(*panel, 100, 50);
    panel->CSprite::set_x(10);
    panel->CSprite::set_y(0);
    panel->set_horizontal_anchor(Anchor::End);
    panel->set_vertical_anchor(Anchor::Centre);
    root.add_child(panel);
    EXPECT_EQ(panel->CInterfaceElement::get_parent(), &root);

    // Anchored at x = 320 - 100 - 10 = 210, y = (240 - 50) / 2 = 95.
    EXPECT_EQ(box(panel->get_anchored_absolute_bounds()), (std::array<int, 4>{210, 95, 100, 50}));
    EXPECT_EQ(box(panel->get_anchored_bounds()), (std::array<int, 4>{210, 95, 100, 50}));
    ProbeWidget* child = probe(panel, "child", 4, 5, 10, 10);
    EXPECT_EQ(box(child->get_anchored_absolute_bounds()), (std::array<int, 4>{214, 100, 10, 10}));
    const fvec2d local = panel->point_to_local({215, 101});
    EXPECT_FLOAT_EQ(local.x, 5);
    EXPECT_FLOAT_EQ(local.y, 6);
    // The container's own x stays the offset it was given.
    EXPECT_FLOAT_EQ(panel->CSprite::get_x(), 10);
}

TEST_F(ContainerTest, ResizingMovesTheClientRectWithIt) {
    auto* c = new CInterfaceContainer(&root, nullptr);
    c->set_width(100);
    c->set_height(80);
    c->set_client_rect(5, 5, 90, 70);
    c->set_width(150);
    c->set_height(60);
    FloatRect r = c->get_client_rect();
    EXPECT_FLOAT_EQ(r.width, 140);
    EXPECT_FLOAT_EQ(r.height, 50);
    EXPECT_FLOAT_EQ(r.x, 5);
    // A refused size leaves the client rect alone too.
    c->set_width(-10);
    EXPECT_FLOAT_EQ(c->get_width(), 150);
    EXPECT_FLOAT_EQ(c->get_client_rect().width, 140);
    delete c;
}

TEST_F(ContainerTest, ElementChildrenAreToldFromPlainSprites) {
    probe(&root, "a", 0, 0, 10, 10);
    EXPECT_EQ(root.add_child(new ProbeSprite("plain")), 1);
    EXPECT_TRUE(root.is_element_child(0));
    for (int other : {1, 2, -1}) EXPECT_FALSE(root.is_element_child(other)) << other;
    EXPECT_EQ(root.add_child(&root), -1);
    EXPECT_EQ(root.add_child(nullptr), -1);
}

TEST_F(ContainerTest, AWidgetNestedUnderASiblingKeepsItsParent) {
    ProbeWidget* outer = probe(&root, "outer", 0, 0, 50, 50);
    auto* inner = new ProbeWidget(outer, "inner", &journal);
    root.add_child(inner);
    EXPECT_EQ(inner->CInterfaceElement::get_parent(), outer);
    auto* stray = new ProbeWidget(nullptr, "stray", &journal);
    root.add_child(stray);
    EXPECT_EQ(stray->CInterfaceElement::get_parent(), &root);
}

// --- focus and hover bookkeeping ---

TEST_F(ContainerTest, FocusAndHoverSettersTellOldAndNewChild) {
    probe(&root, "a", 0, 0, 10, 10);
    probe(&root, "b", 20, 0, 10, 10);
    root.add_child(new ProbeSprite("plain"));

    root.set_focused_child(0);
    root.set_focused_child(0);  // the same index again does nothing
    root.set_focused_child(1);
    root.set_focused_child(2);  // a plain sprite: b loses focus, nobody gains it
    EXPECT_EQ(root.get_focused_child(), 2);
    root.set_focused_child(9);
    EXPECT_EQ(root.get_focused_child(), -1);
    EXPECT_EQ(take(), (Lines{"a focus+", "a focus-", "b focus+", "b focus-"}));

    root.set_hovered_child(1);
    root.set_hovered_child(-5);
    EXPECT_EQ(root.get_hovered_child(), -1);
    EXPECT_EQ(take(), (Lines{"b enter", "b leave"}));
}

TEST_F(ContainerTest, FocusRunsDownTheChainOfFocusedChildren) {
    auto* panel = new CInterfaceContainer(&root, nullptr);
    root.add_child(panel);
    probe(panel, "deep", 0, 0, 5, 5);
    panel->set_focused_child(0);
    take();
    panel->on_focus_lost();
    EXPECT_FALSE(panel->has_focus());
    panel->on_focus_gained();
    EXPECT_TRUE(panel->has_focus());
    EXPECT_EQ(take(), (Lines{"deep focus-", "deep focus+"}));
}

// --- mouse routing ---

TEST_F(ContainerTest, MotionOutsideTheBoundsLeavesTheHoveredChildHovered) {
    auto* panel = new CInterfaceContainer(&root, nullptr);
    shape(*panel, 100, 100);
    root.add_child(panel);
    probe(panel, "a", 10, 10, 20, 20);
    panel->on_mouse_motion(mouse_motion(15, 15).motion);
    EXPECT_EQ(panel->get_hovered_child(), 0);
    take();
    panel->on_mouse_motion(mouse_motion(200, 200).motion);
    EXPECT_EQ(panel->get_hovered_child(), 0);
    EXPECT_TRUE(take().empty());
    // Only the parent's own leave clears it.
    panel->on_mouse_leave();
    EXPECT_EQ(panel->get_hovered_child(), -1);
    EXPECT_EQ(take(), (Lines{"a leave"}));
}

TEST_F(ContainerTest, MotionOverNothingGoesToTheFocusedChildThenUnhovers) {
    probe(&root, "a", 10, 10, 20, 20);
    probe(&root, "b", 100, 10, 20, 20);
    root.send(mouse_down(15, 15));
    root.send(mouse_motion(105, 15));
    take();
    root.send(mouse_motion(200, 200, SDL_BUTTON(1)));
    EXPECT_EQ(take(), (Lines{"a motion 200,200", "b leave"}));
    EXPECT_EQ(root.get_hovered_child(), -1);
    EXPECT_EQ(root.get_focused_child(), 0);
}

TEST_F(ContainerTest, OfOverlappingEqualDepthChildrenTheLaterWins) {
    probe(&root, "first", 10, 10, 50, 50);
    probe(&root, "second", 30, 30, 50, 50);
    root.send(mouse_motion(40, 40));
    root.send(mouse_down(40, 40));
    EXPECT_EQ(take(), (Lines{"second enter", "second motion 40,40", "second focus+", "second down 1"}));

    // A higher depth wins over the child order.
    root.get_child(0)->set_z(0.5f);
    root.send(mouse_down(40, 40));
    EXPECT_EQ(take(), (Lines{"second focus-", "first focus+", "first down 1"}));
}

TEST_F(ContainerTest, AChildThatTakesNoInputIsTransparentToTheMouse) {
    probe(&root, "below", 10, 10, 50, 50);
    ProbeWidget* cover = probe(&root, "cover", 10, 10, 50, 50);
    cover->set_accepts_input(false);
    root.send(mouse_down(20, 20));
    EXPECT_EQ(take(), (Lines{"below focus+", "below down 1"}));
    cover->set_accepts_input(true);
    cover->set_visible(false);
    root.send(mouse_motion(20, 20));
    EXPECT_EQ(take(), (Lines{"below enter", "below motion 20,20"}));

    // A press on no candidate takes the focus away; one outside the container changes nothing.
    root.send(mouse_down(200, 200));
    EXPECT_EQ(root.get_focused_child(), -1);
    root.set_focused_child(0);
    root.send(mouse_down(400, 400));
    EXPECT_EQ(root.get_focused_child(), 0);
}

TEST_F(ContainerTest, ADisabledButtonTakesFocusButIgnoresTheClick) {
    auto* button = new CButton(&root, nullptr);
    button->set_width(40);
    button->set_height(20);
    root.add_child(button);
    static int clicks = 0;
    clicks = 0;
    button->on_click = [](CInterfaceElement*, const SDL_MouseButtonEvent*) { ++clicks; };
    button->set_enabled(false);
    root.send(mouse_motion(10, 10));
    root.send(mouse_down(10, 10));
    EXPECT_EQ(root.get_focused_child(), 0);
    EXPECT_EQ(root.get_hovered_child(), 0);
    root.send(mouse_up(10, 10));
    EXPECT_EQ(button->get_state(), ButtonState::Disabled);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ContainerTest, ReleasesAndKeysGoToTheFocusedChildWhereverTheCursorIs) {
    probe(&root, "a", 10, 10, 20, 20);
    root.send(mouse_down(15, 15));
    take();
    root.send(mouse_up(300, 200));
    root.send(key_down(SDLK_x));
    root.on_key_repeat(key_down(SDLK_x).key);
    root.send(key_up(SDLK_x));
    EXPECT_EQ(take(), (Lines{"a up 1", "a key 120", "a repeat 120", "a release 120"}));

    // A hidden or disabled container routes nothing.
    root.set_enabled(false);
    root.send(key_down(SDLK_y));
    root.set_enabled(true);
    root.set_visible(false);
    root.send(key_down(SDLK_y));
    EXPECT_TRUE(take().empty());
}

TEST_F(ContainerTest, SwitchBringsThePressedChildToTheFront) {
    probe(&root, "back", 10, 10, 50, 50);
    probe(&root, "front", 30, 30, 50, 50);
    CInterfaceContainer::set_pressed_child_to_front(true);
    root.send(mouse_down(15, 15));  // only "back" is here
    root.send(mouse_down(40, 40));  // both: "back" is now the later one in the child order
    CInterfaceContainer::set_pressed_child_to_front(false);
    EXPECT_EQ(take(), (Lines{"back focus+", "back down 1", "back down 1"}));
    EXPECT_EQ(root.get_draw_list().back(), root.get_child(0));
    // The child indexes stay as they were.
    EXPECT_EQ(root.get_focused_child(), 0);

    // Without the switch the draw order is left alone.
    root.rebuild_draw_list();
    root.send(mouse_down(15, 15));
    EXPECT_EQ(root.get_draw_list().back(), root.get_child(1));
}

// --- removal ---

TEST_F(ContainerTest, ARemovedChildLeavesNoFocusOrHoverBehind) {
    probe(&root, "keep", 100, 100, 20, 20);
    probe(&root, "gone", 10, 10, 20, 20);
    root.send(mouse_motion(15, 15));
    root.send(mouse_down(15, 15));
    EXPECT_EQ(root.get_focused_child(), 1);
    root.remove_child(1);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(root.get_focused_child(), -1);
    EXPECT_EQ(root.get_hovered_child(), -1);

    // A newcomer in the freed slot was never focused or hovered: it gets no key and no leave.
    probe(&root, "new", 200, 200, 20, 20);
    ASSERT_EQ(root.find_child(root.get_child(1)), 1);
    take();
    root.send(key_down(SDLK_a));
    root.send(mouse_motion(300, 10));
    root.send(mouse_up(15, 15));
    EXPECT_TRUE(take().empty());

    // Removing them all resets both as well.
    root.send(mouse_motion(105, 105));
    root.send(mouse_down(105, 105));
    root.remove_all_children();
    EXPECT_EQ(root.get_focused_child(), -1);
    EXPECT_EQ(root.get_hovered_child(), -1);
}
