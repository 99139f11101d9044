#pragma once
#include <string>

#include "engine/app/game_base.h"

class CButton;
class CEdit;
class CFont;
class CInterfaceContainer;
class CInterfaceElement;
class CLabel;
class CParticleEngine;
class CParticleSprite;
class CScrollbar;
class CSpriteManager;
class CTextureManager;
class KXP_BasicEditor;
class KXP_EventEditor;
class KXP_PrototypeEditor;

// The particle editor's application: its resizable window, the scene drawn every frame (the
// live preview and the GUI), the three editing panels, the file buttons along the top, the
// preview controls along the bottom and the name of the current file. The document itself is
// the event list panel's.
class KXP_Main : public CGameBase {
public:
    KXP_Main();
    ~KXP_Main() override;
    KXP_Main(const KXP_Main&) = delete;
    KXP_Main& operator=(const KXP_Main&) = delete;

    void on_start() override;
    void on_shutdown() override;
    void render(SDL_Surface* screen) override;
    void update(float dt) override;
    void on_key_pressed(const SDL_Event& event) override;
    void on_key_repeat(const SDL_Event& event) override;
    void on_key_released(const SDL_Event& event) override;
    void on_mouse_motion(const SDL_Event& event) override;
    void on_mouse_button_down(const SDL_Event& event) override;
    void on_mouse_button_up(const SDL_Event& event) override;
    void on_resize(const SDL_Event& event) override;

    std::string get_file_name() const { return file_name; }
    void update_file_label(std::string name);

    // Click handlers of the buttons; the file ones ignore their arguments.
    static void new_file(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void open_file(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void save_file(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void save_file_as(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void spawn_particles(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void update_status_labels(CInterfaceElement* sender, float old_value, float new_value);
    static void on_particle_count_edited(CInterfaceElement* sender);

    // Saves under the current name, or asks for one; false when cancelled or not written.
    bool save_document();
    bool save_document_as();
    // Closes the prototype and event editors, so that nothing shows a record about to change.
    void close_editing_panels();
    // Asked when the window is being closed while the document has events: Yes saves first,
    // and a save that is cancelled or fails keeps the editor open. True: go ahead and quit.
    bool confirm_quit();

    // Largest count "Spawn X Particles" takes.
    static constexpr int kMaxSpawnCount = 10000;

    std::string file_name;
    float emit_accumulator = 0;
    int spawn_count = 0;
    CLabel* file_label = nullptr;
    CLabel* angle_label = nullptr;
    CLabel* scale_label = nullptr;
    CLabel* rate_label = nullptr;
    CButton* new_button = nullptr;
    CButton* load_button = nullptr;
    CButton* save_button = nullptr;
    CButton* save_as_button = nullptr;
    CScrollbar* angle_bar = nullptr;
    CScrollbar* scale_bar = nullptr;
    CScrollbar* rate_bar = nullptr;
    CEdit* count_edit = nullptr;
    CButton* spawn_button = nullptr;
    CFont* font = nullptr;
    CSpriteManager* scene = nullptr;
    CParticleEngine* preview_engine = nullptr;
    CInterfaceContainer* gui_root = nullptr;
    KXP_PrototypeEditor* prototype_editor = nullptr;
    KXP_EventEditor* event_editor = nullptr;
    KXP_BasicEditor* event_list_panel = nullptr;
    // The prototype the prototype editor has open, shown in place of the preview engine.
    CParticleSprite* previewed_sprite = nullptr;

    static KXP_Main* instance;
    static CTextureManager* texture_manager;

private:
    void build_ui();
    // Writes the document to the path; on failure says so in a message box.
    bool write_document(const std::string& path);

    // The close question was answered for the quit under way.
    bool quit_confirmed = false;
};

// The program: logging to "kxp_log.txt" only, the window, the frame loop; returns 0.
int editor_main();
