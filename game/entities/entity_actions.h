#pragma once

class QGEventHandler;
struct JoinRequest;
struct PlayerInput;
struct PlayerAim;
struct PlayerRecord;
struct ItemRecord;
struct WeaponRecord;
struct ProjectileRecord;
struct SpecialItemRecord;
struct TombstoneRecord;
struct PlacedObjectRecord;

// The dispatcher's actions for the events of players and the objects they meet, wired into the
// event table by game/game_events.cpp; the records are checked by their field lists
// (entity_records.h) before anything is built.

// CreatePlayer: the player of the record, at its position and speed.
void create_player_action(QGEventHandler& handler, const PlayerRecord& record);
// JoinGame (server): the player of a free slot before the start; its team is the half of the
// slots it is in with teams on, else its own index.
void join_game_action(QGEventHandler& handler, const JoinRequest& request);
// Input and Aim: handed to the player of the record's index.
void input_action(QGEventHandler& handler, const PlayerInput& input);
void aim_action(QGEventHandler& handler, const PlayerAim& aim);
void create_item_action(QGEventHandler& handler, const ItemRecord& record);
void create_weapon_action(QGEventHandler& handler, const WeaponRecord& record);
void create_projectile_action(QGEventHandler& handler, const ProjectileRecord& record);
void create_special_item_action(QGEventHandler& handler, const SpecialItemRecord& record);
void create_tombstone_action(QGEventHandler& handler, const TombstoneRecord& record);
void create_sweetroll_action(QGEventHandler& handler, const PlacedObjectRecord& record);
void create_portal_action(QGEventHandler& handler, const PlacedObjectRecord& record);

// The team of a joining player.
unsigned int join_team(unsigned int player_id, unsigned int player_count, bool teams);
