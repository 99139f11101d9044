#pragma once

class QGGame;
struct HostParameters;

// Hosting's last set-up step: the match controller, with the match settings taken from the
// parameters, and the chat. The game makes and owns them.
void create_match_objects(QGGame& game, const HostParameters& params);
