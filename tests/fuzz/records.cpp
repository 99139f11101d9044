// Every fixed record's reader, chained: each record is a selector byte and the reader's bytes.
#include "game/entities/entity_records.h"
#include "game/levelgen/level_parameters.h"
#include "game/match/qg_match_controller.h"
#include "game/base/session_records.h"
#include "net/transport/connection.h"

namespace {

template <class Record>
void read_one(ByteBuffer& in) {
    Record r{};
    static_cast<void>(read_record(in, r));  // refusals are what the fuzzer looks for
}

using Reader = void (*)(ByteBuffer&);
constexpr Reader kReaders[] = {
    read_one<GameParameters>,     read_one<JoinRequest>,
    read_one<SpawnPositions>,     read_one<EffectSpawn>,
    read_one<SoundRequest>,       read_one<PlayerRecord>,
    read_one<PlayerInput>,        read_one<PlayerAim>,
    read_one<ItemRecord>,         read_one<WeaponRecord>,
    read_one<ProjectileRecord>,   read_one<TombstoneRecord>,
    read_one<PlacedObjectRecord>, read_one<MatchSettings>,
    read_one<LevelCreation>,      [](ByteBuffer& in) { Connection().read(in); },
    read_one<SpecialItemRecord>,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteBuffer in(data, size);
    uint8_t selector = 0;
    while (in.read_u8(selector)) kReaders[selector % std::size(kReaders)](in);
    return 0;
}
