#include "game/entities/entity_actions.h"

#include <iostream>

#include "engine/core/logger.h"
#include "game/entities/entity_records.h"
#include "game/entities/qg_item.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_tombstone.h"
#include "game/entities/qg_weapon.h"
#include "game/base/qg_event.h"
#include "game/base/qg_event_handler.h"
#include "game/base/game_session.h"
#include "game/terrain/qg_level.h"

unsigned int join_team(unsigned int player_id, unsigned int player_count, bool teams) {
    return teams ? (player_id >= player_count / 2 ? 1u : 0u) : player_id;
}

void create_player_action(QGEventHandler& handler, const PlayerRecord& r) {
    handler.game->spawn<QGPlayer>(r.entity_id, r);
}

void join_game_action(QGEventHandler& handler, const JoinRequest& request) {
    GameSession* game = handler.game;
    if (!game->is_server) return;
    const unsigned int id = request.player_id;
    if (id >= game->rules.player_count || game->match_running) return;
    // One player per connection: a repeated request changes nothing.
    if (game->registry().get_player(id)) {
        log_message(LogLevel::Warning, "Ignored a second join request for player " + std::to_string(id) + ".",
                    log_class_name_of(handler));
        return;
    }
    game->spawn<QGPlayer>(0, id, join_team(id, game->rules.player_count, game->rules.teams), request.name);
}

void input_action(QGEventHandler& handler, const PlayerInput& input) {
    if (QGPlayer* player = handler.game->registry().get_player(input.player_index)) player->apply_input(input);
}

void aim_action(QGEventHandler& handler, const PlayerAim& aim) {
    if (QGPlayer* player = handler.game->registry().get_player(aim.player_index)) player->set_aim(aim);
}

void create_item_action(QGEventHandler& handler, const ItemRecord& r) {
    QGItem* item = handler.game->spawn<QGItem>(r.entity_id, r);
    if (!item) return;
    if (QGPlayer* player = handler.game->registry().get_player(r.owner)) item->give_to(player);
}

void create_weapon_action(QGEventHandler& handler, const WeaponRecord& r) {
    QGWeapon* weapon = QGWeapon::create(handler.game, r.entity_id, r.definition);
    if (!weapon) return;
    weapon->position = r.position;
    if (handler.game->is_server)
        if (QGPlayer* player = handler.game->registry().get_player(r.owner)) weapon->give_to(player);
}

void create_special_item_action(QGEventHandler& handler, const SpecialItemRecord& r) {
    QGSpecialItem* item = QGSpecialItem::create(handler.game, r.entity_id, r.definition);
    if (!item) return;
    item->position = r.position;
    if (handler.game->is_server)
        if (QGPlayer* player = handler.game->registry().get_player(r.owner)) item->give_to(player);
}

void create_projectile_action(QGEventHandler& handler, const ProjectileRecord& r) {
    QGProjectile::create(handler.game, r.entity_id, r.shooter, r.weapon_definition, r.position, r.velocity);
}

void create_tombstone_action(QGEventHandler& handler, const TombstoneRecord& r) {
    handler.game->spawn<QGTombstone>(r.entity_id, r);
}

void create_sweetroll_action(QGEventHandler& handler, const PlacedObjectRecord& r) {
    handler.game->spawn<QGSweetroll>(r.entity_id, r);
}

void create_portal_action(QGEventHandler& handler, const PlacedObjectRecord& r) {
    handler.game->spawn<QGPortal>(r.entity_id, r);
}
