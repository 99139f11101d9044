#pragma once

class QGGame;
struct HostParameters;

// Hosting's last set-up step: the match controller (with the match settings taken from the
// parameters) and the chat, both registered with the game. Neither class is part of this build
// yet, so the match cannot start; this says so in the log and creates nothing.
void create_match_objects(QGGame& game, const HostParameters& params);
