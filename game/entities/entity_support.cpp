#include "game/entities/entity_support.h"

#include "game/base/qg_event_handler.h"
#include "game/base/session_records.h"

void session_message(GameSession* game, const std::string& text) {
    if (game && game->event_handler && game->message_hook.is_valid()) game->message_hook(text);
}

void post_spawn_effect(GameSession* game, int effect_id, int particles, float particle_time, const dvec2d& at) {
    if (!game || !game->event_handler) return;
    EffectSpawn effect;
    effect.effect_id = effect_id;
    effect.particles = particles;
    effect.particle_time = particle_time;
    effect.x = at.x;
    effect.y = at.y;
    game->event_handler->post<EQGEventType::SpawnEffect>(effect, true);
}
