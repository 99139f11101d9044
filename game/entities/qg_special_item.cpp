#include "game/entities/qg_special_item.h"

#include <algorithm>
#include <typeinfo>

#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "game/config/settings.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_weapon.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"

namespace {

const dvec2d kLeft{-1.0f, 0.0f};

// One entry of a crate list, drawn at random; null for an empty list.
const int* draw_entry(const std::vector<int>& list) {
    if (list.empty()) return nullptr;
    return &list[size_t(random_below(int(list.size())))];
}

}  // namespace

bool QGSpecialItem::check_definition_index(unsigned int index) {
    if (index < item_definitions.size()) return true;
    log_message(LogLevel::FatalError, "Trying to initialize item with invalid data index. The program will now crash.",
                log_class_name(typeid(QGSpecialItem)));
    return false;
}

QGSpecialItem* QGSpecialItem::create(GameSession* game, unsigned int entity_id, unsigned int definition_index) {
    if (!check_definition_index(definition_index)) return nullptr;
    return game ? game->spawn<QGSpecialItem>(entity_id, definition_index) : nullptr;
}

QGSpecialItem::QGSpecialItem(GameSession* game_, unsigned int entity_id_, unsigned int index)
    : QGItem(game_, entity_id_, item_definitions[index].collider_size, item_definitions[index].mass,
             item_definitions[index].friction, item_definitions[index].air_friction, item_definitions[index].bounce,
             item_definitions[index].pickup_cooldown, item_definitions[index].buoyancy,
             item_definitions[index].display_rotation_center, item_definitions[index].allow_item_decay),
      definition_index(index) {
    const ItemDefinition& def = definition();
    gravity_factor = def.gravity_factor;
    amount = unsigned(std::max(def.default_amount, 0));
}

unsigned int QGSpecialItem::max_amount() const { return unsigned(std::max(definition().max_amount, 0)); }

void QGSpecialItem::sync_fields() {
    QGItem::sync_fields();
    sync_field(effect_timer);
    sync_field(amount);
}

void QGSpecialItem::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateSpecialItem>(SpecialItemRecord{defined_item_record(definition_index)});
}

bool QGSpecialItem::collides_with(const QGPhysObject& other) const {
    if (type() == SpecialItemType::Crate && !shown) return false;
    return QGItem::collides_with(other);
}

void QGSpecialItem::update(float dt) {
    QGItem::update(dt);
    if (use_timer > 0.0f) use_timer -= dt;
    // An opened crate closes again when its use timeout has run out.
    if (type() == SpecialItemType::Crate && use_timer <= 0.0f && static_flag) {
        static_flag = false;
        shown = true;
    }
    QGPlayer* player = holder();
    if (!player) return;
    const bool may_use = use_timer <= 0.0f && in_use && !(player->respawn_delay > 0.0f);
    switch (type()) {
    case SpecialItemType::Heal:
        if (may_use) use();
        break;
    case SpecialItemType::Invisibility:
        if (effect_timer > 0.0f) {
            effect_timer -= dt;
            if (effect_timer <= 0.0f) {
                player->set_invisible(false);
                if (game) game->remove_object(entity_id);
            }
        } else if (may_use) {
            use();
        }
        break;
    case SpecialItemType::SpeedLimit:
        if (player->selected_item() == this) {
            const float limit = definition().parameter * collision_damage_min_speed;
            player->velocity.x = std::clamp(player->velocity.x, -limit, limit);
            player->velocity.y = std::clamp(player->velocity.y, -limit, limit);
        }
        break;
    default: break;
    }
    angle = holder_angle(*player).value_or(angle_between(kLeft, player->velocity));
}

std::optional<float> QGSpecialItem::holder_angle(const QGPlayer& player) const {
    switch (type()) {
    case SpecialItemType::Heal:
    case SpecialItemType::Invisibility: return 0.0f;
    case SpecialItemType::SpeedLimit: return std::nullopt;
    default: return angle_between(kLeft, player.aim.get() - collider_centre());
    }
}

void QGSpecialItem::use() {
    if (!game || !game->is_server) return;
    QGPlayer* player = holder();
    if (!player || (amount == 0 && max_amount() != 0)) return;
    const ItemDefinition& def = definition();
    // The item goes last: one still waiting for its commit is deleted at once.
    bool used_up = false;
    switch (type()) {
    case SpecialItemType::Heal:
        if (player->health < player_max_health) {
            player->change_health({DamageType::Weapon, 0, player->player_index}, def.parameter);
            used_up = true;
        }
        break;
    case SpecialItemType::Invisibility:
        effect_timer = def.parameter;
        player->set_invisible(true);
        break;
    case SpecialItemType::Crate: open_crate(); break;
    default: break;
    }
    game->play_sound(def.snd_use);
    post_spawn_effect(game, def.use_effect_id, def.use_effect_particles, def.use_effect_particle_time,
                      collider_centre());
    use_timer = def.use_timeout;
    if (max_amount() != 0) {
        amount = amount - 1;
        // A running invisibility keeps its item: the effect's end shows the holder again and
        // removes it, which a removal now would skip.
        const bool effect_running = type() == SpecialItemType::Invisibility && effect_timer > 0.0f;
        used_up = used_up || (amount == 0 && !effect_running);
    }
    if (used_up) game->remove_object(entity_id);
}

void QGSpecialItem::open_crate() {
    const int roll = random_below(50);
    if (roll == 0) {
        if (QGSweetroll* sweetroll = game->spawn<QGSweetroll>(0)) sweetroll->position = position;
    } else if (roll <= 25) {
        if (const int* entry = draw_entry(crate_weapons))
            if (QGWeapon* weapon = QGWeapon::create(game, 0, unsigned(*entry)))
                weapon->drop_with_cooldown(position.x, position.y, definition().parameter);
    } else {
        if (const int* entry = draw_entry(crate_items))
            if (QGSpecialItem* item = QGSpecialItem::create(game, 0, unsigned(*entry)))
                item->drop_with_cooldown(position.x, position.y, definition().parameter);
    }
    // It looks opened until its use timeout runs out.
    velocity = {0.0f, 0.0f};
    shown = false;
    static_flag = true;
}

void QGSpecialItem::drop_with_cooldown(float x, float y, float cooldown) {
    if (type() == SpecialItemType::Invisibility && effect_timer > 0.0f)
        if (QGPlayer* player = holder()) player->set_invisible(false);
    QGItem::drop_with_cooldown(x, y, cooldown);
}

bool QGSpecialItem::on_pickup(QGPlayer* player) {
    const ItemDefinition& def = definition();
    if (def.activate_on_pickup) {
        // Used once on touch by the toucher, never kept.
        const unsigned int before = owner;
        GameSession* session = game;
        const unsigned int id = entity_id;
        set_owner(player->player_index);
        use();
        if (session && session->registry().holds(id)) set_owner(before);
        return false;
    }
    for (unsigned int id : player->inventory) {
        QGSpecialItem* carried = find_entity<QGSpecialItem>(game, id);
        if (!carried || carried == this || carried->definition_index != definition_index) continue;
        const unsigned int limit = max_amount();
        if (limit == 0) return false;
        const uint64_t total = uint64_t(carried->amount) + uint64_t(amount);
        carried->amount = unsigned(std::min<uint64_t>(total, limit));
        amount = unsigned(total - carried->amount);
        if (amount == 0 && game) game->remove_object(entity_id);
        return false;
    }
    return true;
}
