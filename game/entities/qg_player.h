#pragma once
#include <string>
#include <vector>

#include "game/config/object_definitions.h"
#include "game/entities/entity_records.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/qg_event.h"
#include "game/base/session_records.h"

struct PlayerRecord;

class QGItem;

// The character one participant steers: a physics object with health, lives, kills, an
// inventory of carried items, input flags and an aim point. The server simulates it, applies
// damage, kills and respawns it; clients receive its fields and draw it. On a client, input and
// aim go to the server as events.
class QGPlayer : public QGPhysObject {
public:
    enum FaceDirection : uint32_t { Left = 0, Right = 1 };

    // A player index of 16 or more becomes 0. Placed at (100, 100); it takes its slot of the
    // session's player table once the session has it.
    QGPlayer(GameSession* game, unsigned int entity_id, unsigned int player_index, unsigned int team,
             const std::string& name);
    // The player its creation record describes.
    QGPlayer(GameSession* game, unsigned int entity_id, const PlayerRecord& record);
    ~QGPlayer() override;

    // Joins the physics list and takes its slot of the player table.
    void admitted() override;
    void sync_fields() override;
    // CreatePlayer.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;
    // Dead or waiting to respawn: the body does not move.
    bool is_static() const override;
    bool collides_with(const QGPhysObject& other) const override;
    // Hitting an object or the terrain too fast hurts.
    void on_object_collision(QGPhysObject* other, const dvec2d& impact) override;
    void on_terrain_collision(const dvec2d& impact) override;

    // The only way health changes (server): damage is ignored while protected, waiting or dead,
    // and between team mates without friendly fire.
    void change_health(const DamageCause& cause, float delta);
    // Server: tombstone, sound, items dropped, then respawn unless the lives ran out.
    void die(const DamageCause& cause);
    void respawn();
    void give_default_loadout();
    // The start of the match: the player appears with its loadout.
    void enter_match();

    // Server: acts on the record (a client sends its input and aim to the server as events).
    // Records of other players are ignored.
    void apply_input(const PlayerInput& input);
    void set_aim(const PlayerAim& aim);

    void select_inventory_slot(unsigned int index);
    void set_invisible(bool flag);
    void set_animation(EQGPlayerAnimation animation);
    // The name label's text: "[team] name: health HP", or "Departed".
    std::string label_text() const;

    dvec2d collider_centre() const;
    // The carried item in the slot, or null.
    QGItem* item_in_slot(unsigned int slot) const;
    QGItem* selected_item() const { return item_in_slot(selected_slot); }
    const PlayerDefinition& definition() const { return player_definitions[player_index]; }

    const unsigned int player_index;
    unsigned int team;
    bool spawned = false;
    PrivateWrite<dvec2d, QGPlayer> aim;
    PrivateWrite<int32_t, QGPlayer> lives;
    PrivateWrite<int32_t, QGPlayer> kills;
    std::string name;
    // Entity ids of the carried items, in pick-up order.
    std::vector<unsigned int> inventory;
    PrivateWrite<unsigned int, QGPlayer> selected_slot;
    EQGPlayerAnimation animation = EQGPlayerAnimation::IdleRight;
    // Counts the animation's starts, so that one started again from its first frame is seen.
    unsigned int animation_starts = 0;
    // Whether the animation stands on its last frame (turned in the air).
    bool animation_held = false;
    float health;
    float jump_cooldown = 0.0f;
    bool input_left = false;
    bool input_right = false;
    bool input_up = false;
    bool input_use = false;
    bool input_down = false;
    // Received and kept; nothing reads it.
    bool input_secondary = false;
    bool invisible = false;
    float respawn_delay = 0.0f;
    float spawn_protection;
    float air_time = 0.0f;
    FaceDirection face_direction = Right;

private:
    // The animation a client reads, reconciled with a jump in progress.
    void apply_received_animation(EQGPlayerAnimation received);
};
