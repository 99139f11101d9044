#pragma once
#include "game/config/object_definitions.h"
#include "game/physics/qg_phys_object.h"

// One shot of a weapon: flies under gravity, drag and buoyancy, may stick to what it hits, and
// explodes on contact or when its life time runs out. The blast carves the terrain, pushes and
// damages the physics objects in reach, shows an effect and plays a sound; then the projectile
// removes itself. It explodes at most once. The server simulates it; clients draw it.
class QGProjectile : public QGPhysObject {
public:
    // Builds the projectile of the weapon definition; null (logged) when the index names none.
    static QGProjectile* create(GameSession* game, unsigned int entity_id, unsigned int shooter,
                                unsigned int weapon_definition, const dvec2d& position, const dvec2d& velocity);
    static bool check_definition_index(unsigned int index);

    void sync_fields() override;
    // CreateProjectile.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;
    // Stuck projectiles stay where they are.
    bool is_static() const override;
    // Never with its shooter nor with what it sticks to.
    bool collides_with(const QGPhysObject& other) const override;
    void on_object_collision(QGPhysObject* other, const dvec2d& impact) override;
    void on_terrain_collision(const dvec2d& impact) override;

    // A contact with an object, or with the terrain (null).
    virtual void on_contact(const dvec2d& impact, QGPhysObject* other);
    // Server: the blast, once.
    virtual void explode();
    // The blast's effect on one object in reach: a push, and damage to a player.
    virtual void apply_blast(QGPhysObject* target, const dvec2d& direction, float strength);

    const WeaponDefinition& definition() const { return weapon_definitions[definition_index]; }
    bool has_exploded() const { return exploded_; }
    dvec2d collider_centre() const;

    bool stuck = false;
    unsigned int stuck_to = 0;
    dvec2d stuck_offset;
    const unsigned int shooter;
    const unsigned int definition_index;
    float life_timer;
    // Degrees from the upward direction.
    float angle = 0.0f;
    dvec2d last_velocity;

protected:
    // Built by the session, through create().
    friend class GameSession;
    QGProjectile(GameSession* game, unsigned int entity_id, unsigned int shooter, unsigned int weapon_definition,
                 const dvec2d& position, const dvec2d& velocity);

private:
    bool exploded_ = false;
};
