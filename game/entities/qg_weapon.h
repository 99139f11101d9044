#pragma once
#include "game/config/object_definitions.h"
#include "game/entities/qg_item.h"

// A carried item made from a weapon definition: while its holder holds the use input it fires
// projectiles towards the holder's aim point (or, as a thrust weapon, pushes the holder up),
// counting its ammunition down when the definition limits it. A second weapon of the same
// definition merges its ammunition into the one already carried.
class QGWeapon : public QGItem {
public:
    // Builds the weapon of the definition; null (logged) when the index names no definition.
    static QGWeapon* create(GameSession* game, unsigned int entity_id, unsigned int definition_index);
    // Whether the index names a weapon definition; logs the refusal when it does not.
    static bool check_definition_index(unsigned int index);

    void sync_fields() override;
    // CreateWeapon.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;
    bool on_pickup(QGPlayer* player) override;
    // Towards the holder's aim point; a thrust weapon keeps its angle.
    std::optional<float> holder_angle(const QGPlayer& holder) const override;

    // Server: one shot (or thrust), when there is ammunition and a holder.
    void fire();

    const WeaponDefinition& definition() const { return weapon_definitions[definition_index]; }
    // The ammunition limit; 0 is unlimited (a negative value in the file counts as 0).
    unsigned int max_ammo() const;
    // Projectiles per shot, never negative.
    unsigned int projectiles_per_shot() const;

    const unsigned int definition_index;
    PrivateWrite<unsigned int, QGWeapon> ammo;
    float fire_timer = 0.0f;

protected:
    // The index must name a definition (create checks it). Built by the session, through create().
    friend class GameSession;
    QGWeapon(GameSession* game, unsigned int entity_id, unsigned int definition_index);
};
