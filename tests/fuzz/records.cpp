// Every fixed record's reader, chained: each record is a selector byte and the reader's bytes.
#include "game/entities/entity_records.h"
#include "game/match/qg_match_controller.h"
#include "game/session/session_records.h"
#include "net/transport/connection.h"

namespace {

template <class Record, bool (*read)(ByteBuffer&, Record&)>
void read_one(ByteBuffer& in) {
    Record r{};
    read(in, r);
}

using Reader = void (*)(ByteBuffer&);
constexpr Reader kReaders[] = {
    read_one<GameParameters, read_game_parameters>,
    read_one<JoinRequest, read_join_request>,
    read_one<SpawnPositions, read_spawn_positions>,
    read_one<EffectSpawn, read_effect_spawn>,
    read_one<SoundRequest, read_sound_request>,
    read_one<PlayerRecord, read_player_record>,
    read_one<PlayerInput, read_player_input>,
    read_one<PlayerAim, read_player_aim>,
    read_one<ItemRecord, read_item_record>,
    read_one<DefinedItemRecord, read_defined_item_record>,
    read_one<ProjectileRecord, read_projectile_record>,
    read_one<TombstoneRecord, read_tombstone_record>,
    read_one<PlacedObjectRecord, read_placed_object_record>,
    read_one<MatchSettings, read_match_settings>,
    [](ByteBuffer& in) { read_name16(in); },
    [](ByteBuffer& in) { Connection().read(in); },
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteBuffer in(data, size);
    uint8_t selector = 0;
    while (in.read_u8(selector)) kReaders[selector % std::size(kReaders)](in);
    return 0;
}
