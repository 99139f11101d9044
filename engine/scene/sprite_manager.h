#pragma once
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/scene/sprite.h"

class CTextureManager;

// A sprite that owns child sprites and draws, updates, hit-tests and collision-tests them
// together; the base of every widget container and screen. It has no image of its own. Its
// texture manager is the one its children's textures come from: one it created itself is
// deleted with it, and by default it then also unloads textures its removed children no
// longer share.
//
// Children may add or remove siblings (or themselves) from their own update: while the
// manager updates, removed children are taken out of their slots at once but deleted only
// after the pass, and children added during the pass are first updated in the next one.
class CSpriteManager : public CSprite {
public:
    explicit CSpriteManager(CSprite* parent = nullptr, CTextureManager* texture_manager = nullptr);
    CSpriteManager(const CSpriteManager&) = delete;
    CSpriteManager& operator=(const CSpriteManager&) = delete;
    ~CSpriteManager() override;

    // Draws the children in draw-list order (lower z first when z-sorting is on).
    void draw(SDL_Surface* screen) override;
    // Updates the children, then deletes every finished one.
    void update(float dt) override;

    virtual bool get_release_textures();
    virtual void set_release_textures(bool release);
    virtual bool get_z_sorting();
    virtual void set_z_sorting(bool sorting);
    // Child slots, empty ones included.
    virtual int get_child_count();
    virtual CTextureManager* get_texture_manager();
    // Takes ownership and returns the child's slot: the first empty one, else a new one. A
    // sprite that is a child already keeps its slot; null gives -1.
    virtual int add_child(CSprite* sprite);
    // Null when the index is out of range or the slot is empty.
    virtual CSprite* get_child(int index);
    // Deletes the child; its slot stays, empty, so other indexes stay valid.
    virtual void remove_child(int index);
    virtual void remove_all_children();
    // The first slot holding the sprite, or -1.
    virtual int find_child(CSprite* sprite);
    // Every pair of the draw list once, the first's hook deciding whether the second's runs.
    virtual void check_collisions();
    // The child whose outline holds the global point and has the highest absolute depth (the
    // later one on equal depth); null when none.
    virtual CSprite* get_topmost_child_at(float x, float y);
    virtual std::vector<CSprite*> get_children_at(float x, float y);

    void rebuild_draw_list();
    // Stable by relative z, ascending.
    void sort_draw_list();

    // The children in draw order (non-owning view).
    const std::vector<CSprite*>& get_draw_list() const { return draw_list; }

protected:
    bool release_textures = false;
    bool owns_texture_manager = false;
    bool z_sorting = false;
    CTextureManager* texture_manager = nullptr;
    std::vector<CSprite*> children;
    std::vector<CSprite*> draw_list;

private:
    // Takes the sprite out of the tree below this manager: siblings nested under it are given
    // the manager as parent, so none is left pointing at a deleted sprite.
    void detach(CSprite* sprite);
    void dispose(CSprite* sprite);
    bool is_pending_delete(CSprite* sprite) const;
    // Closes an update or collision pass; the outermost one deletes what was removed meanwhile.
    void end_pass();

    int updating = 0;
    std::vector<CSprite*> deferred_deletes;
    // Each child's slot, and the empty slots, lowest first: an added child costs no walk.
    std::unordered_map<const CSprite*, int> slot_of_;
    std::set<int> empty_slots_;
    // While update takes the finished children out: the ones taken so far.
    bool removing_finished_ = false;
    std::unordered_set<const CSprite*> finished_;
};
