#pragma once
#include <list>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "game/base/session_parts.h"
#include "net/sync/protocol.h"

class QGGame;
class QGObject;
class QGPhysObject;
class QGPlayer;

// The session's objects: every committed object by entity id, the objects registered since the
// last commit, the physics list, the player table and the maps each channel sends. Objects join
// at a commit and leave at a removal, both between the walks of the world step, so no walk over
// these containers ever sees them change. The registry owns every object it takes and deletes
// each one exactly once, when it leaves or when the session ends.
class ObjectRegistry final : public RegistryAccess {
public:
    explicit ObjectRegistry(QGGame& game) : game_(game) {}
    ~ObjectRegistry() { clear(); }
    ObjectRegistry(const ObjectRegistry&) = delete;
    ObjectRegistry& operator=(const ObjectRegistry&) = delete;

    // Takes the object and queues it for the next commit; null when it was refused (null, id 0),
    // which frees it. On a client a reliable object is in the reliable map from now on, so that the
    // records received with its creation reach it.
    QGObject* add(std::unique_ptr<QGObject> object);
    // Takes the object without registering it (a client's event handler, until its id is known).
    QGObject* hold(std::unique_ptr<QGObject> object);
    // Puts a new physics object into the list of the next commit.
    void add_physics(QGPhysObject* object) override;
    // Commits the objects queued since the last commit and answers them, in registration order.
    // On the server a reliable object meant for one connection goes to its own map.
    const std::vector<QGObject*>& commit(bool server);
    // Deletes the objects queued for removal.
    void flush_removals();
    // A pending object is deleted at once, a committed one is queued for removal. False when the
    // id is unknown or already queued.
    bool remove(unsigned int id);
    // Deletes every object, the containers emptied first so that no destructor finds the others.
    void clear();

    // The committed object with the id, or null (pending objects are not found).
    QGObject* find_object(unsigned int id) const override;
    // Whether the id is committed or pending.
    bool holds(unsigned int id) const override;
    // Every object with the type, committed or pending.
    template <class T>
    std::vector<T*> all_of() const;

    // The slot's player, or null outside the table.
    QGPlayer* get_player(unsigned int index) const override;
    // Puts the player into the table at its player index, growing the table when the index lies
    // beyond it (the records keep indexes below kMaxPlayers), or replacing the slot's player.
    void register_player(QGPlayer* player) override;
    // Empties the player's slot while it holds the player.
    void drop_player(const QGPlayer* player) override;
    // The table with one slot per player of the match, new slots empty.
    void size_player_table(size_t count) { players_.resize(count, nullptr); }
    // The player of the table whose object has this entity id, or null.
    QGPlayer* player_with_entity(unsigned int entity_id) const override;

    // The next entity id of this server session (the first is 1; ids are never reused).
    unsigned int issue_id() override { return ++next_entity_id_; }
    unsigned int next_entity_id() const { return next_entity_id_; }

    const std::map<unsigned int, QGObject*>& objects() const { return objects_; }
    const std::vector<QGPhysObject*>& physics_objects() const { return physics_objects_; }
    // By player index; a slot may be null. Each entry is the player object itself.
    const std::vector<QGPlayer*>& players() const { return players_; }
    const std::list<QGObject*>& pending_objects() const override { return pending_objects_; }
    const std::set<QGPhysObject*>& pending_physics() const { return pending_physics_; }
    const std::set<unsigned int>& removal_queue() const { return removal_queue_; }
    NetworkableMap& reliable_objects() override { return reliable_objects_; }
    NetworkableMap& unreliable_objects() { return unreliable_objects_; }
    // Server: the reliable objects whose records are for one connection only.
    const std::map<unsigned int, QGObject*>& one_client_objects() const { return one_client_objects_; }
    // A client enters its event handler under the id it has on every side, outside a commit.
    void enter_reliable(unsigned int id, QGObject* object);
    // The reliable objects whose fields a client may write (the event handler, the chat), kept as
    // they enter and leave: all a client sends, and all the server reads of it.
    NetworkableMap& client_writable_objects() { return client_writable_; }
    // The committed object of the id when a client may write its fields; null otherwise.
    QGObject* client_writable(unsigned int id) const;

private:
    // Enters the object into the reliable map, and into the client-writable one when it accepts
    // a client's fields.
    void add_reliable(unsigned int id, QGObject* object);
    // Takes a committed object out of every container (the physics list unless it is out of it
    // already) and deletes it.
    void destroy(QGObject* object, bool out_of_physics = false);
    // Deletes an object the registry holds, once it is out of every container.
    void free(const QGObject* object);
    // Takes a pending object out of the pending containers and deletes it.
    void destroy_pending(std::list<QGObject*>::iterator it);
    // A client's pending reliable object leaves the reliable map it entered before its commit.
    void leave_reliable_early(const QGObject* object);

    QGGame& game_;
    std::map<unsigned int, QGObject*> objects_;
    std::vector<QGPhysObject*> physics_objects_;
    std::vector<QGPlayer*> players_;
    std::list<QGObject*> pending_objects_;
    // The first pending object of each id and how many hold it: a creation record asks for every
    // object it builds, and a hostile server sends a hundred thousand in a frame.
    struct PendingId {
        std::list<QGObject*>::iterator first;
        unsigned int count = 0;
    };
    std::unordered_map<unsigned int, PendingId> pending_ids_;
    std::set<QGPhysObject*> pending_physics_;
    // The objects of physics_objects_: a new one is admitted without a walk over the list.
    std::unordered_set<const QGPhysObject*> listed_physics_;
    std::set<unsigned int> removal_queue_;
    NetworkableMap reliable_objects_;
    NetworkableMap unreliable_objects_;
    NetworkableMap client_writable_;
    std::map<unsigned int, QGObject*> one_client_objects_;
    unsigned int next_entity_id_ = 0;
    // Every object the registry holds, by address: its owner.
    std::map<const QGObject*, std::unique_ptr<QGObject>> owned_;
    std::unordered_set<unsigned int> committed_ids_;
    std::vector<QGObject*> committed_now_;
};

template <class T>
std::vector<T*> ObjectRegistry::all_of() const {
    std::vector<T*> found;
    for (auto& [id, object] : objects_)
        if (auto* t = dynamic_cast<T*>(object)) found.push_back(t);
    for (QGObject* object : pending_objects_)
        if (auto* t = dynamic_cast<T*>(object)) found.push_back(t);
    return found;
}
