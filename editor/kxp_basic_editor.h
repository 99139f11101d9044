#pragma once
#include <string>
#include <vector>

#include "engine/particles/particle_loader.h"
#include "engine/ui/interface_container.h"

class CButton;
class CEdit;
class CImageSprite;
class CLabel;
class CListBox;

// The event list panel: owns the document (the particle events of one file, with their
// prototypes, and their names), lists the events and offers Add, Edit, Remove and renaming.
// The selected event is the one effect of the preview engine.
class KXP_BasicEditor : public CInterfaceContainer {
public:
    explicit KXP_BasicEditor(CInterfaceElement* parent);
    // Deletes the document and every prototype it holds.
    ~KXP_BasicEditor() override;
    KXP_BasicEditor(const KXP_BasicEditor&) = delete;
    KXP_BasicEditor& operator=(const KXP_BasicEditor&) = delete;

    void build_ui();
    // Brings the names, the list and the preview in step with the events. The list is rebuilt
    // (and the preview registered again) when its length differs, or when forced because the
    // records were replaced.
    void refresh_event_list(bool force_rebuild = false);
    // Takes the events and names as the new document: the editing panels are closed and the
    // prototypes of the records it replaces deleted.
    void replace_document(std::vector<ParticleEffectSettings> events, std::vector<std::string> names);
    // The selected event, or -1.
    int get_selected_event();
    void on_window_resized(const SDL_ResizeEvent& event);

    static void on_event_selected(CListBox* list, const SDL_MouseButtonEvent* event, int item_index);
    static void on_button_clicked(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void on_name_edit_focus_lost(CInterfaceElement* sender);

    CImageSprite* background = nullptr;
    CLabel* title_label = nullptr;
    CListBox* event_list = nullptr;
    CButton* add_button = nullptr;
    CButton* remove_button = nullptr;
    CButton* edit_button = nullptr;
    CEdit* name_edit = nullptr;
    ParticleLoader::ParticleFileTemplate* document = nullptr;

    static KXP_BasicEditor* instance;

private:
    // The preview engine gets the selected event as its only effect, or none.
    void register_preview();
    void add_event();
    void remove_selected_event();
};

// Deletes the prototypes of the records.
void release_prototypes(std::vector<ParticleEffectSettings>& events);
