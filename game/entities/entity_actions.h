#pragma once

class QGEventHandler;
class QGEvent;
struct JoinRequest;
struct PlayerInput;
struct PlayerAim;

// The dispatcher's actions for the events of players and the objects they meet, wired into the
// event table by game/game_events.cpp; the records are checked by their field lists
// (entity_records.h) before anything is built.

// CreatePlayer: the player of the record, at its position and speed.
void create_player_action(QGEventHandler& handler, const QGEvent& event);
// JoinGame (server): the player of a free slot before the start; its team is the half of the
// slots it is in with teams on, else its own index.
void join_game_action(QGEventHandler& handler, const JoinRequest& request);
// Input and Aim: handed to the player of the record's index.
void input_action(QGEventHandler& handler, const PlayerInput& input);
void aim_action(QGEventHandler& handler, const PlayerAim& aim);
void create_item_action(QGEventHandler& handler, const QGEvent& event);
void create_weapon_action(QGEventHandler& handler, const QGEvent& event);
void create_projectile_action(QGEventHandler& handler, const QGEvent& event);
void create_special_item_action(QGEventHandler& handler, const QGEvent& event);
void create_tombstone_action(QGEventHandler& handler, const QGEvent& event);
void create_sweetroll_action(QGEventHandler& handler, const QGEvent& event);
void create_portal_action(QGEventHandler& handler, const QGEvent& event);

// The team of a joining player.
unsigned int join_team(unsigned int player_id, unsigned int player_count, bool teams);
