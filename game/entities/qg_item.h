#pragma once
#include <optional>

#include "game/physics/qg_phys_object.h"
#include "game/base/qg_event.h"
#include "game/base/session_records.h"

struct DefinedItemRecord;
struct ItemRecord;

class QGPlayer;

// Everything a player can carry: a physics object that lies in the world until a player
// touches it, then rides with its holder, is used through start and stop of use, and falls
// back into the world when dropped. Loose items that nobody picks up decay. The server decides
// everything; clients receive the fields and draw the item.
//
// The holder is named by its player index (kNoPlayerIndex: nobody) and looked up in the
// session's player table whenever it is needed, so an item never reaches a player that is
// gone.
class QGItem : public QGPhysObject {
public:
    QGItem(GameSession* game, unsigned int entity_id, const ivec2d& collider_size, float mass, float friction,
           float air_friction, float bounce, float pickup_cooldown, float buoyancy, const dvec2d& rotation_center,
           bool decay_allowed);
    // The item its creation record describes; the holder it names takes it once it is registered.
    QGItem(GameSession* game, unsigned int entity_id, const ItemRecord& record);
    // Leaves its holder's inventory (without any virtual call: the derived parts are gone).
    ~QGItem() override;

    void sync_fields() override;
    // CreateItem.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;
    // Client: a held item rides with its holder as the server places it, every frame.
    void update_sprite() override;
    // Held items do not move on their own.
    bool is_static() const override;
    // Loose items touch the terrain and players only.
    bool collides_with(const QGPhysObject& other) const override;
    // A player touching a loose item after its pick-up cooldown takes it.
    void on_object_collision(QGPhysObject* other, const dvec2d& impact) override;

    virtual void give_to(QGPlayer* player);
    // Drops with the item's own pick-up cooldown.
    virtual void drop(float x, float y);
    virtual void drop_with_cooldown(float x, float y, float cooldown);
    virtual void start_use();
    virtual void stop_use();
    // Whether the item joins the player's inventory as an entry of its own.
    virtual bool on_pickup(QGPlayer* player);

    // The player holding it, or null when loose.
    QGPlayer* holder() const;
    bool is_held() const { return holder() != nullptr; }
    dvec2d collider_centre() const;
    // Where the item rides on the holder: centred on it.
    dvec2d place_on(const QGPlayer& holder) const;
    // The angle at which the holder holds the item, when the holder's record alone decides it
    // (so a receiver can work it out); none when the item turns by what only the server knows.
    virtual std::optional<float> holder_angle(const QGPlayer& holder) const;

    PrivateWrite<unsigned int, QGItem> owner;
    PrivateWrite<bool, QGItem> in_use;
    bool shown = true;
    // Rotation of the picture in degrees.
    float angle = 0.0f;
    bool decay_allowed;
    float pickup_cooldown;
    // Fractions of the picture's width and height.
    dvec2d rotation_center;
    float decay_timer;
    float pickup_timer = 0.0f;

protected:
    // Sets the holder without the pick-up rules (a use on touch borrows the toucher briefly).
    void set_owner(unsigned int index) { owner = index; }
    // Takes every copy of the id out of the holder's inventory and lets the holder re-select.
    void leave_holder();
    // The loose state at the point: the common part of every drop.
    void lie_loose(float x, float y, float cooldown);
    // The fields of the creation record of an item built from a definition (weapons and special
    // items); the two records list the same fields, their readers check the index against
    // different tables.
    DefinedItemRecord defined_item_record(unsigned int definition) const;
};
