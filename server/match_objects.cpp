#include "server/match_objects.h"

#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "game/session/qg_game.h"
#include "server/host_parameters.h"

void create_match_objects(QGGame& game, const HostParameters& params) {
    MatchSettings settings;
    settings.local_address = params.local_address;
    settings.public_address = params.public_address;
    settings.port = params.port;
    settings.time_limit = params.match_time;
    settings.teams = params.teams;
    settings.friendly_fire = params.friendly_fire;
    // The game owns them.
    game.spawn<QGMatchController>(0, settings);
    game.spawn<QGChat>(0);
}
