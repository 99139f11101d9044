#include "game/terrain/qg_map_synchronizer.h"

#include <string>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/base/drawing_services.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"
#include "game/terrain/map_coder.h"
#include "game/terrain/qg_level.h"

QGMapSynchronizer::QGMapSynchronizer(GameSession* game_, unsigned int entity_id_, unsigned int target_)
    : QGObject(game_, entity_id_, true), target(target_) {
    if (!game || game->is_server) return;
    if (game->status_hook.is_valid()) {
        game->status_hook("Syncing current map state with server...");
        status_shown_ = true;
    }
}

QGMapSynchronizer::~QGMapSynchronizer() {
    if (game && status_shown_ && game->status_hook.is_valid()) game->status_hook("");
}

void QGMapSynchronizer::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateMapSynchronizer>(MapSynchronizerRecord{entity_id, target});
}

void QGMapSynchronizer::sync_fields() {
    if (!game || !current_packet) return;
    if (mode == Write && game->is_server) write_tile();
    else if (mode == Read && !game->is_server) read_tile();
}

void QGMapSynchronizer::stop() {
    if (finished_ || !game) return;
    finished_ = true;
    game->remove_object(entity_id);
}

void QGMapSynchronizer::write_tile() {
    if (finished_) return;
    SDL_Surface* surface = game->level ? game->level->surface() : nullptr;
    MapTile tile;
    if (!surface || !map_tile_at(chunk_offset, surface->w, surface->h, tile)) {
        // The level went away (or was never there): nothing more to send.
        stop();
        return;
    }
    tile_bytes_ = encode_map_tile(surface, chunk_offset, material_colors);
    sync_field(chunk_offset);
    sync_field(tile_bytes_);
    if (!next_map_tile(chunk_offset, surface->w, surface->h)) stop();
}

void QGMapSynchronizer::read_tile() {
    ivec2d offset;
    if (!read_field(offset) || !read_field(tile_bytes_)) {
        log_message(LogLevel::Warning, "Dropped a map tile record that is cut short.", log_class_name_of(*this));
        return;
    }
    chunk_offset = offset;
    if (game->local_player_id != target) return;
    QGLevel* level = game->level;
    if (!level || !level->surface()) {
        log_message(LogLevel::Warning, "Dropped a map tile: there is no level to apply it to.",
                    log_class_name_of(*this));
        return;
    }
    SDL_Surface* surface = level->surface();
    // A hostile stream is rejected inside, with its reason logged, and changes nothing.
    if (!apply_map_tile(surface, offset, tile_bytes_, material_colors)) return;
    MapTile tile;
    if (!map_tile_at(offset, surface->w, surface->h, tile)) return;
    level->solid_mask.update(surface, {tile.x, tile.y, tile.width, tile.height});
    if (game->drawing()) game->drawing()->terrain_changed(*level, {tile.x, tile.y, tile.width, tile.height});
}
