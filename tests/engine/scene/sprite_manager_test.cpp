// The sprite manager's slots, draw order, updates, hit tests and collisions, headless.
#include <gtest/gtest.h>

#include "engine/gfx/texture_manager.h"
#include "engine/scene/image_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "support/media_test_support.h"
#include "support/sprite_test_support.h"
#include "support/test_support.h"

using test_support::ProbeSprite;

namespace {

std::vector<std::string> names(const std::vector<CSprite*>& list) {
    std::vector<std::string> out;
    for (CSprite* s : list) out.push_back(static_cast<ProbeSprite*>(s)->name());
    return out;
}

// Collides with everything; answers its hook with a fixed value and records the calls.
class Collider : public ProbeSprite {
public:
    Collider(std::string name, bool answer, std::vector<std::string>* journal)
        : ProbeSprite(name, journal), answer_(answer), journal_(journal) {}
    bool collides_with(CSprite*, fvec2d& a, fvec2d& b) override {
        a = {1, 2};
        b = {3, 4};
        return true;
    }
    bool on_collision(CSprite* other, fvec2d a, fvec2d b) override {
        journal_->push_back(name() + " hit " + static_cast<ProbeSprite*>(other)->name() + " " +
                            std::to_string(int(a.x + a.y + b.x + b.y)));
        return answer_;
    }

private:
    bool answer_;
    std::vector<std::string>* journal_;
};

}  // namespace

TEST(SpriteManager, RemovedSlotsAreReusedAndIndexesStay) {
    test_support::LogCapture log;
    CSpriteManager m;
    int deleted = 0;
    auto* a = new ProbeSprite("A", nullptr, &deleted);
    auto* b = new ProbeSprite("B", nullptr, &deleted);
    auto* c = new ProbeSprite("C", nullptr, &deleted);
    EXPECT_EQ(m.add_child(a), 0);
    EXPECT_EQ(m.add_child(b), 1);
    EXPECT_EQ(m.add_child(c), 2);
    EXPECT_EQ(a->get_parent(), &m);
    m.remove_child(1);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(m.get_child(1), nullptr);
    EXPECT_EQ(m.get_child_count(), 3);
    auto* d = new ProbeSprite("D", nullptr, &deleted);
    EXPECT_EQ(m.add_child(d), 1);
    EXPECT_EQ(names(m.get_draw_list()), (std::vector<std::string>{"A", "D", "C"}));
    EXPECT_EQ(m.find_child(c), 2);
    EXPECT_EQ(m.find_child(d), 1);
}

TEST(SpriteManager, BadArgumentsAreIgnored) {
    CSpriteManager m;
    auto* a = new ProbeSprite("A");
    EXPECT_EQ(m.add_child(nullptr), -1);
    EXPECT_EQ(m.add_child(&m), -1);  // a manager must not own itself
    EXPECT_EQ(m.add_child(a), 0);
    EXPECT_EQ(m.add_child(a), 0);  // already a child: nothing changes
    EXPECT_EQ(m.get_child_count(), 1);
    EXPECT_EQ(m.get_draw_list().size(), 1u);
    EXPECT_EQ(m.get_child(-1), nullptr);
    EXPECT_EQ(m.get_child(1), nullptr);
    m.remove_child(5);
    m.remove_child(-1);
    EXPECT_EQ(m.get_child(0), a);
    EXPECT_EQ(m.find_child(nullptr), -1);
}

TEST(SpriteManager, ZSortingDrawsLowerDepthsFirstAndKeepsTies) {
    std::vector<std::string> journal;
    CSpriteManager m;
    auto add = [&](const char* name, float z) {
        auto* s = new ProbeSprite(name, &journal);
        s->set_z(z);
        m.add_child(s);
    };
    add("high", 0.5f);
    add("low", -0.5f);
    add("mid", 0);
    add("mid2", 0);
    m.draw(nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"draw high", "draw low", "draw mid", "draw mid2"}));
    journal.clear();
    m.set_z_sorting(true);
    m.draw(nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"draw low", "draw mid", "draw mid2", "draw high"}));
    journal.clear();
    m.set_visible(false);
    m.draw(nullptr);
    EXPECT_TRUE(journal.empty());
}

TEST(SpriteManager, FinishedChildIsDeletedAtTheEndOfTheSameUpdate) {
    std::vector<std::string> journal;
    CSpriteManager m;
    auto* a = new ProbeSprite("A", &journal);
    auto* b = new ProbeSprite("B", &journal);
    a->on_update = [a] { a->set_finished(true); };
    m.add_child(a);
    m.add_child(b);
    m.update(0.1f);
    EXPECT_EQ(journal, (std::vector<std::string>{"update A", "update B", "delete A"}));
    EXPECT_EQ(m.get_child(0), nullptr);
    EXPECT_EQ(m.get_draw_list().size(), 1u);
}

TEST(SpriteManager, ChildrenMayAddAndRemoveSiblingsDuringTheUpdate) {
    std::vector<std::string> journal;
    int deleted = 0;
    CSpriteManager m;
    auto* a = new ProbeSprite("A", &journal, &deleted);
    auto* b = new ProbeSprite("B", &journal, &deleted);
    auto* c = new ProbeSprite("C", &journal, &deleted);
    m.add_child(a);
    m.add_child(b);
    m.add_child(c);
    // A removes B before B's turn and adds a new sibling; C removes itself.
    a->on_update = [&] {
        m.remove_child(m.find_child(b));
        m.add_child(new ProbeSprite("N", &journal, &deleted));
        a->on_update = nullptr;
    };
    c->on_update = [&] { m.remove_child(m.find_child(c)); };
    m.update(0.1f);
    EXPECT_EQ(journal, (std::vector<std::string>{"update A", "update C", "delete B", "delete C"}));
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(names(m.get_draw_list()), (std::vector<std::string>{"A", "N"}));
    journal.clear();
    m.update(0.1f);  // the new sibling takes part from the next pass on
    EXPECT_EQ(journal, (std::vector<std::string>{"update A", "update N"}));
}

TEST(SpriteManager, ASiblingRemovedAndAddedAgainInOnePassStays) {
    std::vector<std::string> journal;
    int deleted = 0;
    CSpriteManager m;
    auto* a = new ProbeSprite("A", &journal, &deleted);
    auto* b = new ProbeSprite("B", &journal, &deleted);
    m.add_child(a);
    m.add_child(b);
    a->on_update = [&] {
        m.remove_child(m.find_child(b));
        m.add_child(b);
        a->on_update = nullptr;
    };
    m.update(0.1f);
    EXPECT_EQ(deleted, 0);
    ASSERT_GE(m.find_child(b), 0);
    journal.clear();
    m.update(0.1f);  // b is alive and still a child (ASan reports a use after free otherwise)
    EXPECT_EQ(journal, (std::vector<std::string>{"update A", "update B"}));
}

TEST(SpriteManager, ChildMayClearTheWholeManagerFromItsUpdate) {
    std::vector<std::string> journal;
    int deleted = 0;
    CSpriteManager m;
    auto* a = new ProbeSprite("A", &journal, &deleted);
    m.add_child(a);
    m.add_child(new ProbeSprite("B", &journal, &deleted));
    a->on_update = [&] { m.remove_all_children(); };
    m.update(0.1f);
    EXPECT_EQ(journal, (std::vector<std::string>{"update A", "delete A", "delete B"}));
    EXPECT_EQ(m.get_child_count(), 0);
    EXPECT_TRUE(m.get_draw_list().empty());
}

TEST(SpriteManager, NoChildKeepsARemovedSiblingAsParent) {
    CSpriteManager m;
    auto* holder = new CImageSprite();
    m.add_child(holder);
    auto* nested = new CImageSprite(holder);  // placed relative to its sibling
    m.add_child(nested);
    EXPECT_EQ(nested->get_parent(), holder);
    auto* loose = new CImageSprite(&m);
    m.add_child(loose);
    EXPECT_EQ(loose->get_parent(), &m);

    m.remove_child(m.find_child(holder));
    EXPECT_EQ(nested->get_parent(), &m);
    nested->get_absolute_x();  // walks the chain: must not touch the deleted sprite
}

// 300,000 sprites in a frame, half finished: none walks the others (minutes so), none keeps a gone parent.
TEST(SpriteManager, ManySpritesComeAndGoAtOnce) {
    auto m = std::make_shared<CSpriteManager>();
    ASSERT_TRUE(test_support::ends_within(
        [m] {
            for (int i = 0; i < 300000; ++i) m->add_child(new CImageSprite(i % 2 ? m->get_child(i - 1) : nullptr));
            for (int i = 0; i < 300000; i += 2) m->get_child(i)->set_finished(true);
            m->update(0.0f);
        },
        60));
    EXPECT_EQ(m->get_draw_list().size(), 150000u);
    EXPECT_EQ(m->get_draw_list().back()->get_parent(), m.get());
}

TEST(SpriteManager, SharedTexturesAreUnloadedWithTheirLastUser) {
    test_support::LogCapture log;
    CSpriteManager m;
    ASSERT_TRUE(m.get_release_textures());
    CTextureManager* textures = m.get_texture_manager();
    CTexture* shared = textures->get_texture(true, false, "gfx\\test\\quadrants.png");
    auto make = [&] {
        auto* s = new CImageSprite();
        s->set_texture(shared);
        return m.add_child(s);
    };
    int first = make();
    int second = make();
    m.remove_child(first);
    EXPECT_EQ(textures->size(), 1u);
    m.remove_child(second);
    EXPECT_EQ(textures->size(), 0u);
    EXPECT_TRUE(log.contains("Texture gfx\\test\\quadrants.png unloaded successfully."));
}

TEST(SpriteManager, ManagerGivenATextureManagerUnloadsOnlyWhenAsked) {
    test_support::LogCapture log;
    CTextureManager textures;
    CTexture* texture = textures.get_texture(true, false, "gfx\\test\\quadrants.png");
    {
        CSpriteManager m(nullptr, &textures);
        EXPECT_FALSE(m.get_release_textures());
        EXPECT_EQ(m.get_texture_manager(), &textures);
        auto* s = new CImageSprite();
        s->set_texture(texture);
        m.remove_child(m.add_child(s));
        EXPECT_EQ(textures.size(), 1u);
        auto* t = new CImageSprite();
        t->set_texture(texture);
        m.add_child(t);
    }  // destroying the manager leaves the borrowed cache alone
    EXPECT_EQ(textures.size(), 1u);
    CSpriteManager m(nullptr, &textures);
    m.set_release_textures(true);
    auto* s = new CImageSprite();
    s->set_texture(texture);
    m.remove_child(m.add_child(s));
    EXPECT_EQ(textures.size(), 0u);
}

TEST(SpriteManager, TopmostChildIsTheDeepestAndTheLaterOnTies) {
    CSpriteManager m;
    m.set_x(100);
    auto make = [&](const char* name, float x, float z) {
        auto* s = new ProbeSprite(name);
        s->set_x(x);
        s->set_width(20);
        s->set_height(20);
        s->set_z(z);
        m.add_child(s);
        return s;
    };
    ProbeSprite* first = make("first", 0, 0.2f);
    ProbeSprite* second = make("second", 10, 0.2f);
    ProbeSprite* back = make("back", 5, -0.5f);
    EXPECT_EQ(m.get_topmost_child_at(115, 10), second);  // equal depth: the later one
    EXPECT_EQ(m.get_children_at(115, 10).size(), 3u);
    EXPECT_EQ(m.get_topmost_child_at(103, 10), first);
    EXPECT_EQ(m.get_topmost_child_at(128, 10), second);
    back->set_z(0.9f);
    EXPECT_EQ(m.get_topmost_child_at(115, 10), back);
    EXPECT_EQ(m.get_topmost_child_at(50, 10), nullptr);
}

TEST(SpriteManager, CollisionPassAsksTheSecondOnlyWhenTheFirstAgrees) {
    std::vector<std::string> journal;
    CSpriteManager m;
    m.add_child(new Collider("A", false, &journal));
    m.add_child(new Collider("B", true, &journal));
    m.add_child(new Collider("C", true, &journal));
    m.check_collisions();
    EXPECT_EQ(journal, (std::vector<std::string>{"A hit B 10", "A hit C 10", "B hit C 10", "C hit B 10"}));
}

TEST(SpriteManager, LogsItsLifeAndClearsEverything) {
    test_support::LogCapture log;
    int deleted = 0;
    {
        CSpriteManager m;
        m.add_child(new ProbeSprite("A", nullptr, &deleted));
        m.add_child(new ProbeSprite("B", nullptr, &deleted));
    }
    EXPECT_EQ(deleted, 2);
    EXPECT_TRUE(log.contains("STATUS in class CSpriteManager: Instance initialized."));
    EXPECT_TRUE(log.contains("STATUS in class CSpriteManager: All Sprites removed."));
    EXPECT_TRUE(log.contains("STATUS in class CSpriteManager: Instance removed."));
}
