#include "game/entities/qg_item.h"

#include <algorithm>

#include "game/config/settings.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

namespace {

constexpr uint16_t kItemGroup = 8;
constexpr uint16_t kItemMask = 3;  // the terrain and players

}  // namespace

QGItem::QGItem(GameSession* game_, unsigned int entity_id_, const ivec2d& collider_size, float mass_, float friction_,
               float air_friction_, float bounce_, float pickup_cooldown_, float buoyancy_,
               const dvec2d& rotation_center_, bool decay_allowed_)
    : QGPhysObject(game_, entity_id_, collider_size, false, mass_, friction_, air_friction_, bounce_, kItemGroup,
                   kItemMask, buoyancy_),
      decay_allowed(decay_allowed_),
      pickup_cooldown(pickup_cooldown_),
      rotation_center(rotation_center_),
      decay_timer(item_decay_time) {
    // Every new item starts loose.
    lie_loose(position.x, position.y, 0.0f);
}

QGItem::QGItem(GameSession* game_, unsigned int entity_id_, const ItemRecord& r)
    : QGItem(game_, entity_id_, r.collider_size, r.mass, r.friction, r.air_friction, r.bounce, r.pickup_cooldown,
             r.buoyancy, r.rotation_center, true) {
    position = r.position;
}

QGItem::~QGItem() { leave_holder(); }

void QGItem::sync_fields() {
    // Where a held item is, and mostly how it is turned, follows its holder's record, from which
    // receivers place it: a change in those alone need not go out to them.
    const QGPlayer* rides_on = mode == Write ? holder() : nullptr;
    const size_t position_at = write_position();
    sync_field(position, kPositionRange, default_dvec2d_interpolation);
    if (rides_on) mark_derived(position_at);
    sync_field(owner);
    sync_field(in_use);
    sync_field(shown);
    const size_t angle_at = write_position();
    sync_field(angle, default_angle_interpolation);
    if (rides_on && holder_angle(*rides_on)) mark_derived(angle_at);
    sync_field(rotation_center, kRotationCenterRange, default_dvec2d_interpolation);
}

void QGItem::write_creation_event(QGEvent& event) const {
    ItemRecord r;
    r.entity_id = entity_id;
    r.position = position;
    r.collider_size = size;
    r.rotation_center = rotation_center;
    r.mass = mass;
    r.friction = friction;
    r.air_friction = air_friction;
    r.bounce = bounce;
    r.pickup_cooldown = pickup_cooldown;
    r.buoyancy = buoyancy;
    r.owner = owner;
    event.set_record<EQGEventType::CreateItem>(r);
}

DefinedItemRecord QGItem::defined_item_record(unsigned int definition) const {
    DefinedItemRecord r;
    r.entity_id = entity_id;
    r.position = position;
    r.definition = definition;
    r.owner = owner;
    return r;
}

QGPlayer* QGItem::holder() const { return game ? game->registry().get_player(owner) : nullptr; }

dvec2d QGItem::collider_centre() const { return position + dvec2d(float(size.x), float(size.y)) * 0.5f; }

dvec2d QGItem::place_on(const QGPlayer& player) const {
    return player.position + dvec2d(float(player.size.x - size.x), float(player.size.y - size.y)) * 0.5f;
}

std::optional<float> QGItem::holder_angle(const QGPlayer&) const { return std::nullopt; }

bool QGItem::is_static() const { return is_held() || QGPhysObject::is_static(); }

bool QGItem::collides_with(const QGPhysObject& other) const {
    if (is_held() || !game || !game->registry().is_player_entity(other.entity_id)) return false;
    return (collision_mask & other.collision_group) != 0;
}

void QGItem::on_object_collision(QGPhysObject* other, const dvec2d&) {
    if (is_held() || pickup_timer > 0.0f || !other || !game) return;
    if (QGPlayer* player = game->registry().player_with_entity(other->entity_id)) give_to(player);
}

void QGItem::give_to(QGPlayer* player) {
    if (!player || player->player_index == owner) return;
    if (player->inventory.size() >= size_t(inventory_capacity) || is_held()) return;
    // Taking the item may use it up; one that was still waiting for its commit is gone then.
    GameSession* session = game;
    const unsigned int id = entity_id;
    const bool joins = on_pickup(player);
    if (session && !session->registry().holds(id)) return;
    if (!joins) {
        pickup_timer = pickup_cooldown;
        return;
    }
    owner = player->player_index;
    shown = false;
    if (std::find(player->inventory.begin(), player->inventory.end(), entity_id) != player->inventory.end()) return;
    player->inventory.push_back(entity_id);
    player->select_inventory_slot(player->selected_slot);
    if (player->selected_slot + 1 == player->inventory.size()) shown = !(player->respawn_delay > 0.0f);
}

void QGItem::drop(float x, float y) { drop_with_cooldown(x, y, pickup_cooldown); }

void QGItem::drop_with_cooldown(float x, float y, float cooldown) {
    stop_use();
    leave_holder();
    lie_loose(x, y, cooldown);
}

void QGItem::leave_holder() {
    QGPlayer* player = holder();
    if (!player) return;
    auto& carried = player->inventory;
    const auto before = carried.size();
    carried.erase(std::remove(carried.begin(), carried.end(), entity_id), carried.end());
    if (carried.size() != before) player->select_inventory_slot(player->selected_slot);
}

void QGItem::lie_loose(float x, float y, float cooldown) {
    in_use = false;
    position = {x, y};
    pickup_timer = cooldown;
    owner = kNoPlayerIndex;
    shown = true;
    angle = 0.0f;
    decay_timer = item_decay_time;
}

void QGItem::start_use() { in_use = true; }

void QGItem::stop_use() { in_use = false; }

bool QGItem::on_pickup(QGPlayer*) { return true; }

void QGItem::update(float dt) {
    QGPhysObject::update(dt);
    if (QGPlayer* player = holder()) {
        velocity = {0.0f, 0.0f};
        position = place_on(*player);
    } else if (decay_allowed) {
        decay_timer -= dt;
        if (decay_timer < 0.0f && game) game->remove_object(entity_id);
    }
    if (pickup_timer > 0.0f) pickup_timer -= dt;
}

void QGItem::update_sprite() {
    // Records of a held item come seldom (see sync_fields), and what they carry is old by the
    // time it would be drawn: a weapon drawn from the inventory would sweep in from there.
    const QGPlayer* player = holder();
    if (!player) return;
    position = place_on(*player);
    if (const auto held_at = holder_angle(*player)) angle = *held_at;
}
