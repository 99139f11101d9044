#include "game/session/object_registry.h"

#include <algorithm>
#include <string>

#include "engine/core/logger.h"
#include "game/entities/qg_player.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/base/qg_object.h"

QGObject* ObjectRegistry::hold(std::unique_ptr<QGObject> object) {
    QGObject* held = object.get();
    if (held) owned_.emplace(held, std::move(object));
    return held;
}

void ObjectRegistry::free(const QGObject* object) {
    auto found = owned_.find(object);
    if (found == owned_.end()) return;
    // Out of the owner's map before its destructor runs, which may reach the registry.
    std::unique_ptr<QGObject> doomed = std::move(owned_.extract(found).mapped());
}

QGObject* ObjectRegistry::add(std::unique_ptr<QGObject> taken) {
    QGObject* object = taken.get();
    if (!object) return nullptr;
    const unsigned int id = object->entity_id;
    if (id == 0) {
        log_message(LogLevel::Warning, "Tried to register Object with invalid EntityID NULL. Object not registered.",
                    log_class_name_of(game_));
        return nullptr;
    }
    if (objects_.count(id)) {
        // The old object goes when the new one is committed, outside every walk over the
        // registry.
        log_message(LogLevel::Warning,
                    "Re-registering EntityID " + std::to_string(id) +
                        ". Replacing existing object, this may cause access violations.",
                    log_class_name_of(game_));
    }
    pending_objects_.push_back(object);
    ++pending_ids_.try_emplace(id, PendingId{std::prev(pending_objects_.end())}).first->second.count;
    hold(std::move(taken));
    // A client's reliable object takes its records from the receive that builds it on: they
    // travel with its creation record, and an unchanged one comes again only on its refresh turn.
    if (!game_.is_server && object->reliable) reliable_objects_[id] = object;
    return object;
}

void ObjectRegistry::leave_reliable_early(const QGObject* object) {
    auto found = reliable_objects_.find(object->entity_id);
    if (found == reliable_objects_.end() || found->second != object) return;
    // The committed object it stood in for takes its place again.
    auto committed = objects_.find(object->entity_id);
    if (committed != objects_.end() && committed->second->reliable) found->second = committed->second;
    else reliable_objects_.erase(found);
}

void ObjectRegistry::add_physics(QGPhysObject* object) {
    if (!object || listed_physics_.count(object)) return;
    pending_physics_.insert(object);
}

void ObjectRegistry::enter_reliable(unsigned int id, QGObject* object) {
    objects_[id] = object;
    add_reliable(id, object);
}

void ObjectRegistry::add_reliable(unsigned int id, QGObject* object) {
    reliable_objects_[id] = object;
    if (object->accepts_client_fields()) client_writable_[id] = object;
    else client_writable_.erase(id);
}

QGObject* ObjectRegistry::client_writable(unsigned int id) const {
    return client_writable_.count(id) ? find_object(id) : nullptr;
}

const std::vector<QGObject*>& ObjectRegistry::commit(bool server) {
    committed_now_.clear();
    if (pending_objects_.empty() && pending_physics_.empty()) return committed_now_;
    committed_ids_.clear();
    for (auto it = pending_objects_.begin(); it != pending_objects_.end();) {
        QGObject* object = *it;
        const unsigned int id = object->entity_id;
        if (committed_ids_.count(id)) {
            // Two new objects under one id: the first one keeps it.
            log_message(LogLevel::Warning, "Dropped a second new object with EntityID " + std::to_string(id) + ".",
                        log_class_name_of(game_));
            it = std::next(it);
            destroy_pending(std::prev(it));
            continue;
        }
        auto found = objects_.find(id);
        if (found != objects_.end() && found->second != object) destroy(found->second);
        objects_[id] = object;
        if (server && object->reliable && object->recipient()) one_client_objects_[id] = object;
        else if (object->reliable) add_reliable(id, object);
        else unreliable_objects_[id] = object;
        committed_ids_.insert(id);
        committed_now_.push_back(object);
        ++it;
    }
    for (QGPhysObject* object : pending_physics_) {
        physics_objects_.push_back(object);
        listed_physics_.insert(object);
    }
    pending_objects_.clear();
    pending_ids_.clear();
    pending_physics_.clear();
    return committed_now_;
}

void ObjectRegistry::destroy_pending(std::list<QGObject*>::iterator it) {
    QGObject* object = *it;
    if (auto held = pending_ids_.find(object->entity_id); held != pending_ids_.end()) {
        if (--held->second.count == 0) pending_ids_.erase(held);
        else if (held->second.first == it)
            // Only a second object under one id is walked for.
            held->second.first = std::find_if(std::next(it), pending_objects_.end(), [object](const QGObject* o) {
                return o->entity_id == object->entity_id;
            });
    }
    pending_objects_.erase(it);
    if (auto* physics = dynamic_cast<QGPhysObject*>(object)) pending_physics_.erase(physics);
    leave_reliable_early(object);
    free(object);
}

void ObjectRegistry::destroy(QGObject* object, bool out_of_physics) {
    const unsigned int id = object->entity_id;
    for (auto p = physics_objects_.begin(); !out_of_physics && p != physics_objects_.end(); ++p) {
        if (static_cast<QGObject*>(*p) == object) {
            listed_physics_.erase(*p);
            physics_objects_.erase(p);
            break;
        }
    }
    // A player slot holds the player object itself.
    for (QGPlayer*& slot : players_) {
        if (slot == object) {
            slot = nullptr;
            break;
        }
    }
    for (NetworkableMap* map : {&reliable_objects_, &unreliable_objects_, &client_writable_}) {
        auto found = map->find(id);
        if (found != map->end() && found->second == object) map->erase(found);
    }
    if (auto found = one_client_objects_.find(id); found != one_client_objects_.end() && found->second == object)
        one_client_objects_.erase(found);
    auto found = objects_.find(id);
    if (found != objects_.end() && found->second == object) objects_.erase(found);
    if (game_.event_handler == object) game_.event_handler = nullptr;
    free(object);
}

void ObjectRegistry::flush_removals() {
    if (removal_queue_.empty()) return;
    // Removals requested by destructors wait for the next step.
    std::set<unsigned int> ids;
    ids.swap(removal_queue_);
    // Out of the physics list in one pass, before any is deleted: a frame may remove a hundred
    // thousand objects.
    std::unordered_set<const QGObject*> doomed;
    for (unsigned int id : ids)
        if (auto found = objects_.find(id); found != objects_.end()) doomed.insert(found->second);
    std::erase_if(physics_objects_, [&](QGPhysObject* p) {
        if (!doomed.count(static_cast<QGObject*>(p))) return false;
        listed_physics_.erase(p);
        return true;
    });
    for (unsigned int id : ids) {
        auto found = objects_.find(id);
        if (found != objects_.end()) destroy(found->second, true);
    }
}

bool ObjectRegistry::remove(unsigned int id) {
    if (auto held = pending_ids_.find(id); held != pending_ids_.end()) {
        destroy_pending(held->second.first);
        return true;
    }
    // A second removal of the same id within a step is the same removal.
    return objects_.count(id) && removal_queue_.insert(id).second;
}

void ObjectRegistry::clear() {
    objects_.clear();
    pending_objects_.clear();
    pending_ids_.clear();
    pending_physics_.clear();
    physics_objects_.clear();
    listed_physics_.clear();
    reliable_objects_.clear();
    unreliable_objects_.clear();
    client_writable_.clear();
    one_client_objects_.clear();
    players_.clear();
    removal_queue_.clear();
    game_.event_handler = nullptr;
    // In address order; each is out of the owner's map before its destructor runs.
    while (!owned_.empty()) free(owned_.begin()->first);
}

QGObject* ObjectRegistry::find_object(unsigned int id) const {
    auto found = objects_.find(id);
    return found == objects_.end() ? nullptr : found->second;
}

bool ObjectRegistry::holds(unsigned int id) const { return objects_.count(id) || pending_ids_.count(id); }

QGPlayer* ObjectRegistry::get_player(unsigned int index) const {
    return index < players_.size() ? players_[index] : nullptr;
}

void ObjectRegistry::register_player(QGPlayer* player) {
    if (!player) return;
    const unsigned int index = player->player_index;
    if (index >= players_.size()) {
        log_message(LogLevel::Warning, "Tried to register player with out-of-range ID, resizing player array.",
                    log_class_name_of(game_));
        players_.resize(size_t(index) + 1, nullptr);
    } else if (players_[index] && players_[index] != player) {
        log_message(LogLevel::Warning, "Reregistering already assigned player ID!", log_class_name_of(game_));
    }
    players_[index] = player;
}

void ObjectRegistry::drop_player(const QGPlayer* player) {
    if (player && player->player_index < players_.size() && players_[player->player_index] == player)
        players_[player->player_index] = nullptr;
}

QGPlayer* ObjectRegistry::player_with_entity(unsigned int entity_id) const {
    const QGObject* object = find_object(entity_id);
    if (!object) return nullptr;
    // A player slot holds the player object itself.
    for (QGPlayer* slot : players_)
        if (slot == object) return slot;
    return nullptr;
}
