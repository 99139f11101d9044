// The particle editor in its window: the shipped effect file opened, edited through the value
// edits and saved, events and prototypes added and removed, the questions before New and at
// Quit, the preview drawing, and the faults of opening, saving, resizing and spawning. Input is
// synthesised through the framework's event dispatch; the dialogs are answered here.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <deque>
#include <fstream>
#include <iterator>

#include "editor/kxp_basic_editor.h"
#include "editor/kxp_event_editor.h"
#include "editor/kxp_main.h"
#include "editor/kxp_prototype_editor.h"
#include "engine/core/byte_buffer.h"
#include "engine/gfx/font.h"
#include "engine/particles/particle_writer.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"
#include "platform/dialogs.h"
#include "support/caption_fit.h"
#include "support/display_support.h"
#include "support/test_support.h"
#include "support/widget_test_support.h"

using namespace test_support;
using ParticleLoader::ParticleFileTemplate;

namespace {

const std::string kShipped = std::string(BRAWL_RUN_DIR) + "/gfx/particles.vp";

// The answers the dialogs give, in order (a box without one says No, a file dialog without
// one is cancelled), and every box shown as "caption: text".
struct Dialogs {
    std::deque<bool> answers;
    std::deque<std::string> files;
    std::vector<std::string> boxes;
} dialogs;

KXP_Main* the_app = nullptr;

class EditorEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        DisplayWatchdog watchdog("the suite's set-up");
        ASSERT_TRUE(start_sdl_video()) << SDL_GetError();
        platform::set_message_box_handler([](const platform::MessageBoxRequest& r) {
            dialogs.boxes.push_back(r.caption + ": " + r.text);
            const bool yes = !dialogs.answers.empty() && dialogs.answers.front();
            if (!dialogs.answers.empty()) dialogs.answers.pop_front();
            if (!r.yes_no) return platform::MessageBoxResult::Ok;
            return yes ? platform::MessageBoxResult::Yes : platform::MessageBoxResult::No;
        });
        platform::set_file_dialog_handler([](const platform::FileDialogRequest&) {
            std::string path = dialogs.files.empty() ? std::string() : dialogs.files.front();
            if (!dialogs.files.empty()) dialogs.files.pop_front();
            return path;
        });
        the_app = new KXP_Main();
        the_app->on_start();
    }
    void TearDown() override {
        // A set-up that failed left no editor to shut down.
        if (the_app) the_app->on_shutdown();
        delete the_app;
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new EditorEnvironment);

// A prototype that counts its deletion.
struct ProbeSprite : CParticleSprite {
    explicit ProbeSprite(int* deleted) : deleted_(deleted) {}
    ~ProbeSprite() override { ++*deleted_; }
    int* deleted_;
};

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialogs = {{true}, {}, {}};
        KXP_Main::new_file(nullptr, nullptr);
        dialogs = {};
        frame();
    }

    ParticleFileTemplate& doc() { return *app.event_list_panel->document; }
    KXP_EventEditor& events_panel() { return *app.event_editor; }

    void click_at(int x, int y) {
        app.dispatch_event(mouse_motion(x, y));
        app.dispatch_event(mouse_down(x, y));
        app.dispatch_event(mouse_up(x, y));
    }
    void click(CInterfaceElement* widget) {
        IntRect r = widget->get_anchored_absolute_bounds();
        click_at(r.x + r.width / 2, r.y + r.height / 2);
    }
    // Clears the edit and types the text; it applies when the focus moves on.
    void type(CEdit* edit, const std::string& text) {
        click(edit);
        for (std::size_t i = 0, n = edit->get_text().size(); i < n; ++i) {
            for (SDLKey k : {SDLK_DELETE, SDLK_BACKSPACE}) {
                app.dispatch_event(key_down(k));
                app.dispatch_event(key_up(k));
            }
        }
        for (char c : text) {
            app.dispatch_event(key_down(SDLKey(c), Uint16(c)));
            app.dispatch_event(key_up(SDLKey(c)));
        }
    }
    void select_row(CListBox* list, int index) {
        for (int i = 0; i < list->get_child_count(); ++i) {
            auto* row = dynamic_cast<CCheckbox*>(list->get_child(i));
            if (row && row->get_text() == list->get_item_text(index)) return click(row);
        }
        FAIL() << "no row " << index;
    }
    void frame(float dt = 0.016f) {
        app.update(dt);
        app.draw_frame(app.screen);
    }
    void open(const std::string& path) {
        dialogs.files = {path};
        click(app.load_button);
    }
    const ParticleEffectSettings* previewed() {
        ParticleEffect* effect = app.preview_engine->get_effect(0);
        return effect ? effect->settings : nullptr;
    }

    KXP_Main& app = *the_app;
    ScratchDir scratch;
};

TEST_F(EditorTest, OneValueEditedThroughItsFieldIsTheOnlyChangeInTheSavedFile) {
    open(kShipped);
    EXPECT_EQ(app.get_file_name(), "gfx\\particles.vp");
    ASSERT_GE(doc().events.size(), 2u);
    EXPECT_EQ(app.event_list_panel->event_list->get_item_count(), int(doc().events.size()));

    select_row(app.event_list_panel->event_list, 1);
    click(app.event_list_panel->edit_button);
    ASSERT_TRUE(events_panel().is_visible());
    type(events_panel().value_edits[6], "2");  // "Alpha:" min
    click(events_panel().done_button);         // leaving the field applies it
    EXPECT_FALSE(events_panel().is_visible());
    EXPECT_EQ(doc().events[1].alpha.min, 2.0f);

    const std::string saved = scratch.file("edited.vp");
    dialogs.files = {saved};
    click(app.save_as_button);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_NE(app.get_file_name().find("edited.vp"), std::string::npos);

    ParticleFileTemplate expected(KXP_Main::texture_manager), reread(KXP_Main::texture_manager);
    ASSERT_TRUE(ParticleLoader::load_from_file(expected, kShipped));
    ASSERT_TRUE(ParticleLoader::load_from_file(reread, saved));
    EXPECT_EQ(reread.events[1].alpha.min, 2.0f);
    EXPECT_NE(expected.events[1].alpha.min, 2.0f);
    EXPECT_EQ(reread.event_names, expected.event_names);
    expected.events[1].alpha.min = 2.0f;
    ByteBuffer bytes;
    ASSERT_TRUE(ParticleLoader::write_template(expected, bytes));
    EXPECT_TRUE(file_bytes(saved) == std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    release_prototypes(expected.events);
    release_prototypes(reread.events);
}

TEST_F(EditorTest, PreviewDrawsTheSelectedEventsParticles) {
    open(kShipped);
    auto lit_pixels = [&] {
        std::vector<uint8_t> p(std::size_t(CGameBase::window_width) * CGameBase::window_height * 4);
        glBindFramebuffer(GL_FRAMEBUFFER, app.framebuffer);
        glReadPixels(0, 0, CGameBase::window_width, CGameBase::window_height, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        int lit = 0;
        for (int y = 80; y < CGameBase::window_height - 80; ++y) {     // rows between the control rows
            for (int x = 0; x < CGameBase::window_width - 340; ++x) {  // left of the panels
                const uint8_t* px = &p[(std::size_t(y) * CGameBase::window_width + x) * 4];
                lit += px[0] + px[1] + px[2] > 60;
            }
        }
        return lit;
    };
    frame();
    EXPECT_EQ(lit_pixels(), 0) << "nothing selected, nothing drawn";
    select_row(app.event_list_panel->event_list, 0);
    ASSERT_EQ(previewed(), &doc().events[0]);
    type(app.count_edit, "300");
    click(app.spawn_button);
    frame(0.05f);
    EXPECT_GT(lit_pixels(), 200);
}

TEST_F(EditorTest, EventsAndPrototypesAreAddedAndRemoved) {
    KXP_BasicEditor& list = *app.event_list_panel;
    for (int i = 0; i < 3; ++i) click(list.add_button);
    EXPECT_EQ(doc().event_names, (std::vector<std::string>{"Event #0", "Event #1", "Event #2"}));
    select_row(list.event_list, 1);
    dialogs.answers = {true};
    click(list.remove_button);
    EXPECT_EQ(doc().event_names, (std::vector<std::string>{"Event #0", "Event #2"}));
    EXPECT_EQ(list.name_edit->get_text(), "Event #2");
    EXPECT_EQ(previewed(), &doc().events[1]);

    click(list.edit_button);
    for (int i = 0; i < 2; ++i) click(events_panel().add_button);
    EXPECT_EQ(events_panel().prototype_list->get_item_count(), 2);
    select_row(events_panel().prototype_list, 1);
    click(events_panel().edit_button);
    CParticleSprite* opened = doc().events[1].prototypes[1];
    EXPECT_EQ(app.previewed_sprite, opened);
    EXPECT_TRUE(app.prototype_editor->is_visible());
    EXPECT_FALSE(app.preview_engine->is_visible());

    // Removing the open prototype closes its editor first (the panel covers the list here).
    dialogs.answers = {true};
    KXP_EventEditor::on_button_clicked(events_panel().remove_button, nullptr);
    EXPECT_EQ(doc().events[1].prototypes.size(), 1u);
    EXPECT_EQ(app.previewed_sprite, nullptr);
    EXPECT_FALSE(app.prototype_editor->is_visible());
    EXPECT_TRUE(app.preview_engine->is_visible());

    // Adding events moves the records; the event editor still writes into its own event.
    for (int i = 0; i < 40; ++i) KXP_BasicEditor::on_button_clicked(list.add_button, nullptr);
    type(events_panel().value_edits[0], "7");  // "Spawn dX:" min
    click(events_panel().done_button);
    EXPECT_EQ(doc().events[1].spawn_dx.min, 7.0f);
    EXPECT_EQ(doc().events[0].spawn_dx.min, 0.0f);
}

TEST_F(EditorTest, NewAndQuitAskBeforeUnsavedChangesAreLost) {
    click(app.event_list_panel->add_button);
    dialogs.answers = {false};
    click(app.new_button);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].rfind("Warning: ", 0), 0u);
    EXPECT_EQ(doc().events.size(), 1u);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    // Yes to saving, then a cancelled "Save as...": the editor stays open with the document.
    dialogs = {{true}, {""}, {}};
    app.dispatch_event(quit);
    frame();
    EXPECT_EQ(dialogs.boxes, (std::vector<std::string>{"Error: Would you like to save the file before exiting?"}));
    EXPECT_FALSE(app.quit_requested);
    EXPECT_EQ(doc().events.size(), 1u);

    dialogs = {{false}, {}, {}};
    app.dispatch_event(quit);
    frame();
    EXPECT_TRUE(app.quit_requested);
    app.quit_requested = false;
    app.on_shutdown();
    app.on_start();
}

TEST_F(EditorTest, FailedOpenLeavesTheDocumentAndOpenAndNewReleaseTheOldPrototypes) {
    int deleted = 0;
    click(app.event_list_panel->add_button);
    doc().events[0].prototypes.push_back(new ProbeSprite(&deleted));
    select_row(app.event_list_panel->event_list, 0);
    const std::string shipped = file_bytes(kShipped);

    open(scratch.write("short.vp", shipped.substr(0, shipped.size() / 2)));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].rfind("Error: Failed to read from file ", 0), 0u);
    EXPECT_EQ(app.get_file_name(), "");
    ASSERT_EQ(doc().events.size(), 1u);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(previewed(), &doc().events[0]);
    frame();

    open(kShipped);
    EXPECT_EQ(deleted, 1);
    doc().events[0].prototypes.push_back(new ProbeSprite(&deleted));
    dialogs.answers = {true};
    click(app.new_button);
    EXPECT_EQ(deleted, 2);
    EXPECT_TRUE(doc().events.empty());
    EXPECT_EQ(app.get_file_name(), "");
}

TEST_F(EditorTest, FailedSaveKeepsTheOldFileAndTheName) {
    click(app.event_list_panel->add_button);
    const std::string path = scratch.file("keep.vp");
    dialogs.files = {path};
    click(app.save_as_button);
    const std::string old_bytes = file_bytes(path);
    const std::string name = app.get_file_name();
    ASSERT_FALSE(old_bytes.empty());

    click(app.event_list_panel->add_button);
    // Files may not grow past the old size: the new document cannot be written.
    with_file_size_limit(old_bytes.size(), [&] { click(app.save_button); });

    EXPECT_EQ(dialogs.boxes, (std::vector<std::string>{"Error: Failed to write to file " + name}));
    EXPECT_EQ(file_bytes(path), old_bytes);
    EXPECT_EQ(app.get_file_name(), name);
}

TEST_F(EditorTest, PreviewControlsResizeAndLabels) {
    type(app.count_edit, "99999999");
    click_at(400, 400);
    EXPECT_EQ(app.count_edit->get_text(), std::to_string(KXP_Main::kMaxSpawnCount));
    type(app.count_edit, "12abc");
    click_at(400, 400);
    EXPECT_EQ(app.spawn_count, 12);

    // The bottom row ends the row's gap left of the event list panel.
    const IntRect spawn = app.spawn_button->get_anchored_absolute_bounds();
    EXPECT_LE(spawn.x + spawn.width + 10, app.event_list_panel->get_anchored_absolute_bounds().x);
    app.angle_bar->set_value(45);
    EXPECT_EQ(app.angle_label->get_text(), "Angle: 45.000000\xC2\xB0");
    // The UTF-8 degree sign is one glyph, the same as the single Latin-1 byte.
    EXPECT_GT(app.font->get_text_size("\xC2\xB0").x, 0);
    EXPECT_EQ(app.font->get_text_size("\xC2\xB0").x, app.font->get_text_size("\xB0").x);

    SDL_Event resize{};
    resize.type = SDL_VIDEORESIZE;
    resize.resize.w = 1100;
    resize.resize.h = 700;
    app.dispatch_event(resize);
    EXPECT_EQ(CGameBase::window_width, 1100);
    EXPECT_EQ(app.gui_root->get_width(), 1100.0f);
    EXPECT_EQ(app.gui_root->get_height(), 700.0f);
    for (CInterfaceContainer* panel :
         std::initializer_list<CInterfaceContainer*>{app.prototype_editor, app.event_editor, app.event_list_panel}) {
        EXPECT_EQ(panel->get_height(), 680.0f);
    }
    EXPECT_EQ(app.event_list_panel->event_list->get_height(), 568.0f);
    resize.resize.w = 1280;
    resize.resize.h = 900;
    app.dispatch_event(resize);
}

TEST_F(EditorTest, EveryPanelsCaptionsFitTheirBoxes) {
    // Each panel with its longest texts: a rate of two digits, a prototype open with a texture.
    app.rate_bar->set_value(app.rate_bar->get_maximum());
    KXP_BasicEditor& list = *app.event_list_panel;
    click(list.add_button);
    select_row(list.event_list, 0);
    click(list.edit_button);
    click(events_panel().add_button);
    select_row(events_panel().prototype_list, 0);
    click(events_panel().edit_button);
    frame();
    const std::pair<const char*, CSprite*> panels[] = {
        {"main window", app.gui_root},
        {"event list", app.event_list_panel},
        {"event editor", app.event_editor},
        {"prototype editor", app.prototype_editor},
    };
    for (const auto& [name, panel] : panels)
        EXPECT_EQ(test_support::cut_captions(panel), std::vector<std::string>()) << name;
}

}  // namespace
