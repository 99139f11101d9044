#pragma once
#include <string>

#include "engine/core/geometry.h"
#include "game/base/game_session.h"
#include "game/base/qg_object.h"

// Small services the object classes of this folder share.

// The object with the id, committed or still waiting for the next commit (an item given in
// the step it was built is found too), as the wanted class; null when there is none.
template <typename T>
T* find_entity(const GameSession* game, unsigned int id) {
    if (!game || id == 0) return nullptr;
    if (QGObject* object = game->registry().find_object(id)) return dynamic_cast<T*>(object);
    for (QGObject* object : game->registry().pending_objects())
        if (object->entity_id == id) return dynamic_cast<T*>(object);
    return nullptr;
}

// Hands a line to the session's message hook. Nothing while the session is being torn down
// (its event handler is gone then): the screen behind the hook may be going away too.
void session_message(GameSession* game, const std::string& text);

// Announces a particle effect at the point to the clients (delayed by their latency).
void post_spawn_effect(GameSession* game, int effect_id, int particles, float particle_time, const dvec2d& at);
