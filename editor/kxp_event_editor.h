#pragma once
#include <vector>

#include "engine/ui/interface_container.h"

class CButton;
class CEdit;
class CImageSprite;
class CListBox;
struct ParticleEffectSettings;

// The panel that edits one particle event: its prototypes (Add, Edit, Remove) and its 26
// values in 16 rows of edits, each written straight into the event when its edit loses the
// focus, so the preview shows the change at once. It keeps the event's index, not its
// address: adding or removing events moves the records.
class KXP_EventEditor : public CInterfaceContainer {
public:
    explicit KXP_EventEditor(CInterfaceElement* parent);
    ~KXP_EventEditor() override;
    KXP_EventEditor(const KXP_EventEditor&) = delete;
    KXP_EventEditor& operator=(const KXP_EventEditor&) = delete;

    void build_ui();
    // Rebuilds the prototype list and rewrites every value edit from the event.
    void refresh_prototype_list();
    void on_window_resized(const SDL_ResizeEvent& event);

    // The event being edited (an index into the document's events), or null.
    ParticleEffectSettings* get_event();
    int get_event_index() const { return event_index; }
    void set_event_index(int index) { event_index = index; }

    static void on_button_clicked(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void apply_fields(CInterfaceElement* sender);

    CImageSprite* background = nullptr;
    CListBox* prototype_list = nullptr;
    CButton* add_button = nullptr;
    CButton* remove_button = nullptr;
    CButton* edit_button = nullptr;
    CButton* done_button = nullptr;
    // One per value, in the order of the rows (left edit first).
    std::vector<CEdit*> value_edits;

    static KXP_EventEditor* instance;

private:
    void remove_selected_prototype();

    int event_index = -1;
};
