// The water's occupancy stream as a client receives and decodes it, on a 256 x 256 level.
#include "fuzz_support.h"
#include "game/water/water_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto game = fuzz::session(false);
    const auto terrain = session_test::make_surface(256, 256);
    game->terrain().set_surface(terrain.get());
    auto* water = game->spawn<sph::WaterObject>(5, nullptr, sph::WaterSettings{});
    fuzz::feed(*game, *water, data, size);
    water->update_sprite();
    return 0;
}
