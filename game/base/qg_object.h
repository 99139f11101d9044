#pragma once
#include <memory>
#include <optional>

#include "net/sync/networkable.h"

class GameSession;
class QGEvent;
class ObjectLook;

// The base of every game object: a synchronised object that belongs to one session, carries
// an entity id, travels on the reliable (TCP) or the unreliable (UDP) channel and can describe
// itself as a creation record from which the peers rebuild it.
//
// The session makes its objects (GameSession::spawn): it builds one whole, takes it into its registry,
// which owns it from then on, and gives it its look. An object built directly belongs to its
// builder, and the session does not know it.
class QGObject : public Networkable {
public:
    QGObject(GameSession* game, unsigned int entity_id, bool reliable);
    ~QGObject() override;

    QGObject(const QGObject&) = delete;
    QGObject& operator=(const QGObject&) = delete;

    void sync_fields() override {}
    // Fills the creation record; the plain object's is CreateObject {u32 entity_id}.
    virtual void write_creation_event(QGEvent& event) const;
    // Whether a client runs update() too (the server runs every object).
    virtual bool updates_on_client() const { return false; }
    // Whether the server runs update() while the game is paused.
    virtual bool updates_while_paused() const { return false; }
    virtual void update(float dt);
    // The client's per-step hook, called after the network exchange just before the look's update.
    virtual void update_sprite() {}
    // Whether the server reads this object's fields from what clients send. Only objects
    // whose fields carry a client's requests (the event queue, the chat) answer true; everything
    // else is the server's alone.
    virtual bool accepts_client_fields() const { return false; }
    // Server: the object's record as the client on connection `sender` sent it. Read only for
    // objects that accept client fields.
    virtual void read_client_fields(ByteBuffer& record, unsigned int sender) {
        (void)record;
        (void)sender;
    }
    // The connection whose client alone the object's records are for; none: every client's.
    // The creation record still goes to every client.
    virtual std::optional<unsigned int> recipient() const { return std::nullopt; }

    // The session has taken the object into its registry (its commit comes with the next one);
    // a class that keeps a place of its own in the session takes it here.
    virtual void admitted() {}
    // What draws the object: built only in a session with drawing services, else null.
    ObjectLook* look() const { return look_.get(); }
    // The look the session's drawing services built for the object once it was whole.
    void set_look(std::unique_ptr<ObjectLook> look);

    GameSession* game;
    unsigned int entity_id;
    bool reliable;

protected:
    // Lets go of what the look drew before the object's own state goes.
    void drop_look();

private:
    std::unique_ptr<ObjectLook> look_;
};
