#include "engine/scene/sprite_manager.h"

#include <algorithm>

#include "engine/core/logger.h"
#include "engine/gfx/texture_manager.h"
#include "engine/scene/image_sprite.h"

CSpriteManager::CSpriteManager(CSprite* parent_, CTextureManager* manager)
    : CSprite(parent_), texture_manager(manager) {
    if (!texture_manager) {
        texture_manager = new CTextureManager();
        owns_texture_manager = true;
        release_textures = true;
    }
    log_message(LogLevel::Status, "Instance initialized.", log_class_name_of(*this));
}

CSpriteManager::~CSpriteManager() {
    remove_all_children();
    if (owns_texture_manager) delete texture_manager;
    texture_manager = nullptr;
    log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this));
}

bool CSpriteManager::get_release_textures() { return release_textures; }
void CSpriteManager::set_release_textures(bool v) { release_textures = v; }
bool CSpriteManager::get_z_sorting() { return z_sorting; }
void CSpriteManager::set_z_sorting(bool v) { z_sorting = v; }
int CSpriteManager::get_child_count() { return int(children.size()); }
CTextureManager* CSpriteManager::get_texture_manager() { return texture_manager; }

int CSpriteManager::add_child(CSprite* sprite) {
    // A manager that owned itself would delete itself with its children.
    if (!sprite || sprite == this) return -1;
    int existing = find_child(sprite);
    if (existing >= 0) return existing;
    // Removed earlier in this pass and added again: it stays, so it must not be deleted.
    deferred_deletes.erase(std::remove(deferred_deletes.begin(), deferred_deletes.end(), sprite),
                           deferred_deletes.end());
    // A sprite nested under a sibling keeps that parent.
    CSprite* current = sprite->get_parent();
    if (!current || find_child(current) < 0) sprite->set_parent(this);
    int index;
    if (!empty_slots_.empty()) {
        index = *empty_slots_.begin();
        empty_slots_.erase(empty_slots_.begin());
        children[std::size_t(index)] = sprite;
        rebuild_draw_list();
    } else {
        // Behind every other child: last in the draw list too. A frame may bring a hundred
        // thousand new objects, each with its sprites.
        children.push_back(sprite);
        index = int(children.size()) - 1;
        draw_list.push_back(sprite);
    }
    slot_of_[sprite] = index;
    return index;
}

CSprite* CSpriteManager::get_child(int index) {
    if (index < 0 || index >= int(children.size())) return nullptr;
    return children[std::size_t(index)];
}

void CSpriteManager::remove_child(int index) {
    if (index < 0 || index >= int(children.size())) return;
    CSprite* child = children[std::size_t(index)];
    if (child && release_textures && texture_manager) {
        auto* image = dynamic_cast<CImageSprite*>(child);
        ITexture* shared = image ? image->get_texture() : nullptr;
        if (shared) {
            bool still_used = false;
            for (CSprite* other : children) {
                auto* other_image = dynamic_cast<CImageSprite*>(other);
                if (other != child && other_image && other_image->get_texture() == shared) {
                    still_used = true;
                    break;
                }
            }
            // Render textures are not the cache's to unload.
            auto* cached = dynamic_cast<CTexture*>(shared);
            if (!still_used && cached) texture_manager->unload_texture(cached->get_name());
        }
    }
    children[std::size_t(index)] = nullptr;
    if (child) {
        slot_of_.erase(child);
        empty_slots_.insert(index);
        if (removing_finished_) finished_.insert(child);
        else detach(child);
        dispose(child);
    }
    if (!removing_finished_) rebuild_draw_list();
}

void CSpriteManager::remove_all_children() {
    // Every child goes, so first none stays nested under a sibling. Then slot by slot, each
    // emptied before its child goes: a destructor that looks a sibling up or removes it finds it
    // where it was, and a child added meanwhile goes behind the others.
    for (CSprite* child : children)
        if (child && slot_of_.count(child->get_parent())) child->set_parent(this);
    empty_slots_.clear();
    for (std::size_t i = 0; i < children.size(); ++i) {
        CSprite* child = children[i];
        if (!child) continue;
        children[i] = nullptr;
        slot_of_.erase(child);
        dispose(child);
    }
    children.clear();
    if (release_textures && texture_manager) texture_manager->unload_all();
    draw_list.clear();
    slot_of_.clear();
    empty_slots_.clear();
    log_message(LogLevel::Status, "All Sprites removed.", log_class_name_of(*this));
}

int CSpriteManager::find_child(CSprite* sprite) {
    auto found = slot_of_.find(sprite);
    return found == slot_of_.end() ? -1 : found->second;
}

void CSpriteManager::detach(CSprite* sprite) {
    for (CSprite* other : children) {
        if (other && other->get_parent() == sprite) other->set_parent(this);
    }
}

void CSpriteManager::dispose(CSprite* sprite) {
    if (updating > 0) {
        deferred_deletes.push_back(sprite);
    } else {
        delete sprite;
    }
}

bool CSpriteManager::is_pending_delete(CSprite* sprite) const {
    return std::find(deferred_deletes.begin(), deferred_deletes.end(), sprite) != deferred_deletes.end();
}

void CSpriteManager::end_pass() {
    if (--updating > 0) return;
    // A destructor that runs another pass of this manager may defer more: repeat until none.
    while (!deferred_deletes.empty()) {
        std::vector<CSprite*> doomed;
        doomed.swap(deferred_deletes);
        for (CSprite* sprite : doomed) delete sprite;
    }
}

void CSpriteManager::rebuild_draw_list() {
    draw_list.clear();
    for (CSprite* child : children) {
        if (child) draw_list.push_back(child);
    }
}

void CSpriteManager::sort_draw_list() {
    std::size_t unsorted = draw_list.size();
    bool swapped = true;
    while (swapped && unsorted > 1) {
        swapped = false;
        for (std::size_t i = 0; i + 1 < unsorted; ++i) {
            if (draw_list[i]->get_z() > draw_list[i + 1]->get_z()) {
                std::swap(draw_list[i], draw_list[i + 1]);
                swapped = true;
            }
        }
        --unsorted;
    }
}

void CSpriteManager::draw(SDL_Surface* screen) {
    if (!is_visible() || draw_list.empty()) return;
    if (z_sorting) sort_draw_list();
    for (std::size_t i = 0; i < draw_list.size(); ++i) draw_list[i]->draw(screen);
}

void CSpriteManager::update(float dt) {
    ++updating;
    // The list as it stands now; what children add meanwhile waits for the next pass, and
    // what they remove is still allocated (deferred) and is skipped.
    const std::vector<CSprite*> pass = draw_list;
    for (CSprite* sprite : pass) {
        if (!is_pending_delete(sprite)) sprite->update(dt);
    }
    // Finished children leave together: one walk for the siblings nested under them and one new
    // draw list, however many finish in a frame. Their deletion waits for the pass's end.
    removing_finished_ = true;
    for (int i = 0; i < int(children.size()); ++i) {
        CSprite* child = children[std::size_t(i)];
        if (child && child->is_finished()) remove_child(i);
    }
    removing_finished_ = false;
    if (!finished_.empty()) {
        for (CSprite* other : children)
            if (other && finished_.count(other->get_parent())) other->set_parent(this);
        finished_.clear();
        rebuild_draw_list();
    }
    end_pass();
}

void CSpriteManager::check_collisions() {
    if (draw_list.size() < 2) return;
    ++updating;
    const std::vector<CSprite*> pass = draw_list;
    for (std::size_t i = 0; i < pass.size(); ++i) {
        for (std::size_t j = i + 1; j < pass.size(); ++j) {
            if (is_pending_delete(pass[i])) break;
            if (is_pending_delete(pass[j])) continue;
            fvec2d first(0, 0), second(0, 0);
            if (pass[i]->collides_with(pass[j], first, second) && pass[i]->on_collision(pass[j], first, second)) {
                pass[j]->on_collision(pass[i], first, second);
            }
        }
    }
    end_pass();
}

std::vector<CSprite*> CSpriteManager::get_children_at(float px, float py) {
    std::vector<CSprite*> hits;
    for (CSprite* sprite : draw_list) {
        if (point_in_quad({px, py}, sprite->get_global_quad())) hits.push_back(sprite);
    }
    return hits;
}

CSprite* CSpriteManager::get_topmost_child_at(float px, float py) {
    CSprite* best = nullptr;
    float best_z = 0;
    for (CSprite* sprite : get_children_at(px, py)) {
        float z_value = sprite->get_absolute_z();
        if (!best || z_value >= best_z) {
            best = sprite;
            best_z = z_value;
        }
    }
    return best;
}
