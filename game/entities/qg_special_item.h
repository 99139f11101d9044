#pragma once
#include "game/config/object_definitions.h"
#include "game/entities/qg_item.h"

// A carried item made from an item definition: heals, makes its holder invisible for a while,
// limits its holder's speed while selected, or opens as a crate that releases a sweetroll, a
// weapon or an item. An item of the same definition merges its amount into the one carried.
class QGSpecialItem : public QGItem {
public:
    // Builds the item of the definition; null (logged) when the index names no definition.
    static QGSpecialItem* create(GameSession* game, unsigned int entity_id, unsigned int definition_index);
    static bool check_definition_index(unsigned int index);

    void sync_fields() override;
    // CreateSpecialItem.
    void write_creation_event(QGEvent& event) const override;
    void update(float dt) override;
    // A crate is touched only while it is closed.
    bool collides_with(const QGPhysObject& other) const override;
    // Dropping a running invisibility shows the holder again.
    void drop_with_cooldown(float x, float y, float cooldown) override;
    bool on_pickup(QGPlayer* player) override;
    // Level for heal and invisibility, towards the aim point for the rest; the speed limit turns
    // with its holder's velocity, which only the server knows.
    std::optional<float> holder_angle(const QGPlayer& holder) const override;

    // Server: the item's effect, when it is held and has an amount left.
    void use();

    const ItemDefinition& definition() const { return item_definitions[definition_index]; }
    SpecialItemType type() const { return SpecialItemType(definition().type); }
    // The amount limit; 0 is unlimited (a negative value in the file counts as 0).
    unsigned int max_amount() const;

    const unsigned int definition_index;
    PrivateWrite<unsigned int, QGSpecialItem> amount;
    float use_timer = 0.0f;
    // Seconds left of a running invisibility.
    float effect_timer = 0.0f;

protected:
    // Built by the session, through create().
    friend class GameSession;
    QGSpecialItem(GameSession* game, unsigned int entity_id, unsigned int definition_index);

private:
    // The crate's release: a sweetroll, a weapon or an item at the crate, by chance.
    void open_crate();
};
