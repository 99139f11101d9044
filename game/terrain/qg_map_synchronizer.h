#pragma once
#include <vector>

#include "engine/core/geometry.h"
#include "game/base/qg_object.h"

// Brings a late joiner's terrain up to date: the server builds one for the newcomer and streams
// its current level surface in tiles of at most 256 x 256 pixels, one per packet of the reliable
// channel, each coded by the map coder against the material colours. Every client builds the
// object from its creation record, but the tiles go to the target's connection alone, and only
// the target applies them. After the last tile the server removes it, which removes it from the
// clients too; so it does when its target disconnects before that.
//
// Its first tile travels in the same packet as its creation record, and a client that falls
// behind reads several packets in one step; tiles are sent only once, so a client's copy reads
// them from the receive that builds it on, as every reliable object of a client does.
// CreateMapSynchronizer: the object's id and the connection id of the client it serves.
struct MapSynchronizerRecord {
    uint32_t entity_id = 0;
    uint32_t target = 0;
};
template <class S>
bool serialize(S& s, MapSynchronizerRecord& r) {
    return s.value(r.entity_id) && s.value(r.target);
}

class QGMapSynchronizer : public QGObject {
public:
    // Every client shows "Syncing current map state with server..." in the status line.
    QGMapSynchronizer(GameSession* game, unsigned int entity_id, unsigned int target);
    // Clears the status line it set.
    ~QGMapSynchronizer() override;

    // Server, Write: the tile at chunk_offset, then the offset moves on (the last tile removes
    // the object). Client, Read: the target decodes the tile into its level surface and
    // refreshes the texture; a rejected tile changes nothing. Other modes do nothing.
    void sync_fields() override;
    // Server: sends nothing more and removes itself (its target has gone).
    void stop();
    void write_creation_event(QGEvent& event) const override;
    // The tiles are of use to the target alone.
    std::optional<unsigned int> recipient() const override { return target; }

    unsigned int target;
    ivec2d chunk_offset;

private:
    void write_tile();
    void read_tile();

    bool status_shown_ = false;
    bool finished_ = false;
    std::vector<unsigned char> tile_bytes_;
};
