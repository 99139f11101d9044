#include "server/match_objects.h"

#include "engine/core/logger.h"
#include "game/session/qg_game.h"
#include "server/host_parameters.h"

void create_match_objects(QGGame& game, const HostParameters&) {
    log_message(LogLevel::Warning,
                "The match controller and the chat are not built yet: players can join and the level "
                "can be generated, but the match will not start.",
                log_class_name_of(game));
}
