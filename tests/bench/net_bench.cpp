// Building and applying the sync packet of 500 objects with 64 bytes of fields each.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "net/sync/protocol.h"

namespace {

constexpr int object_count = 500;

// 64 bytes of fields, a mix of raw, interpolated and counted ones.
class Body : public Networkable {
public:
    dvec2d position;
    dvec2d velocity;
    float angle = 0;
    float health = 0;
    int32_t state = 0;
    unsigned int owner = 0;
    ivec2d cell;
    bool grounded = false, visible = true, firing = false, hurt = false;
    std::string tag = "object00";
    std::vector<unsigned int> items{7};

    void sync_fields() override {
        sync_field(position, default_dvec2d_interpolation);
        sync_field(velocity);
        sync_field(angle, default_angle_interpolation);
        sync_field(health, default_float_interpolation);
        sync_field(state);
        sync_field(owner);
        sync_field(cell);
        sync_field(grounded);
        sync_field(visible);
        sync_field(firing);
        sync_field(hurt);
        sync_field(tag);
        sync_field(items);
    }
};

struct World {
    std::vector<std::unique_ptr<Body>> bodies;
    NetworkableMap map;
    World() {
        for (int i = 0; i < object_count; ++i) {
            auto b = std::make_unique<Body>();
            b->position = {float(i), float(2 * i)};
            b->health = 100.0f - float(i % 50);
            b->state = i;
            map[unsigned(i + 2)] = b.get();
            bodies.push_back(std::move(b));
        }
    }
};

// Sends into nothing; keeps the size so the work cannot be optimised away.
class NullTransport : public Protocol {
public:
    bool send(const ByteBuffer& packet) override {
        last_size = packet.size();
        return true;
    }
    void receive() override { file_packet(sender, incoming); }
    size_t last_size = 0;
    ByteBuffer incoming;
    Connection sender{sf::IpAddress(10, 0, 0, 1), 4200};
};

void BM_BuildSyncPacket(benchmark::State& state) {
    World world;
    NullTransport transport;
    transport.set_send_interval(0.0f);
    for (auto _ : state) {
        transport.send_objects(world.map);
        benchmark::DoNotOptimize(transport.last_size);
    }
    state.counters["packet_bytes"] = double(transport.last_size);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(transport.last_size));
}
BENCHMARK(BM_BuildSyncPacket)->Unit(benchmark::kMicrosecond);

// Receive, stale check, snapshot, read and the interpolate pass of every object.
void BM_ParseSyncPacket(benchmark::State& state) {
    World sender_world, receiver_world;
    NullTransport transport;
    Protocol::build_sync_packet(sender_world.map, 1000, transport.incoming);
    for (auto _ : state) {
        transport.receive_objects(receiver_world.map);
        benchmark::DoNotOptimize(receiver_world.bodies.back()->state);
    }
    state.counters["packet_bytes"] = double(transport.incoming.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(transport.incoming.size()));
}
BENCHMARK(BM_ParseSyncPacket)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
