// A sync packet applied to objects with every kind of field, interpolated ones included, and the
// interpolate pass run over it on the transport's clock.
#include "support/net_test_support.h"

namespace {

class EveryField : public Networkable {
public:
    void sync_fields() override {
        sync_field(i, default_int_interpolation);
        sync_field(f, default_float_interpolation);
        sync_field(angle, default_angle_interpolation);
        sync_field(d, default_double_interpolation);
        sync_field(s16, default_short_interpolation);
        sync_field(dv, default_dvec2d_interpolation);
        sync_field(iv, default_ivec2d_interpolation);
        sync_field(flag);
        sync_field(byte);
        sync_field(text);
        sync_field(ids);
        sync_field(bytes);
        sync_field(peer);
    }
    int i = 0;
    float f = 0, angle = 0;
    double d = 0;
    short s16 = 0;
    dvec2d dv;
    ivec2d iv;
    bool flag = false;
    uint8_t byte = 0;
    std::string text;
    std::vector<unsigned int> ids;
    std::vector<unsigned char> bytes;
    Connection peer;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EveryField one, two;
    NetworkableMap objects{{1, &one}, {2, &two}};
    ManualNetClock clock(1000);
    net_test::MemoryTransport transport;
    transport.set_clock(clock);
    transport.arriving.emplace_back(Connection(sf::IpAddress::LocalHost, 4200), ByteBuffer(data, size));
    transport.receive_objects(objects);
    clock.advance(40);
    transport.receive_objects(objects);
    return 0;
}
