#pragma once
// Shared pieces of the network suites: a synchronised test object, an in-memory transport,
// byte helpers and waiting for loopback traffic.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <SFML/Network/TcpListener.hpp>

#include "engine/core/byte_buffer.h"
#include "net/sync/networkable.h"
#include "net/sync/protocol.h"
#include "net/transport/tcp_client.h"
#include "net/transport/tcp_server.h"
#include "support/test_support.h"

namespace net_test {

enum class Facing : int32_t { Left = -1, Right = 1 };

// One field of every kind the field lists use. The float, the vector position and the
// angle carry the default delegates when `smooth` is set.
class Thing : public Networkable {
public:
    int32_t hp = 0;
    unsigned int flags = 0;
    float speed = 0.0f;
    float angle = 0.0f;
    dvec2d position;
    ivec2d cell;
    bool alive = false;
    Facing facing = Facing::Left;
    std::string name;
    std::vector<unsigned int> ids;
    std::vector<unsigned char> blob;
    Connection peer;
    PrivateWrite<unsigned int, Thing> owned;

    bool smooth = false;

    void set_owned(unsigned int v) { owned = v; }

    void sync_fields() override {
        sync_field(hp);
        sync_field(flags);
        sync_field(speed, smooth ? default_float_interpolation : InterpolationCallback<float>());
        sync_field(angle, smooth ? default_angle_interpolation : InterpolationCallback<float>());
        sync_field(position, smooth ? default_dvec2d_interpolation : InterpolationCallback<dvec2d>());
        sync_field(cell);
        sync_field(alive);
        sync_field(facing);
        sync_field(name);
        sync_field(ids);
        sync_field(blob);
        sync_field(peer);
        sync_field(owned);
    }
};

// A Thing with a distinct value in every field.
inline Thing sample_thing() {
    Thing t;
    t.hp = -2;
    t.flags = 0x01020304;
    t.speed = 1.5f;
    t.angle = -90.0f;
    t.position = {1.0f, 2.0f};
    t.cell = {3, -1};
    t.alive = true;
    t.facing = Facing::Right;
    t.name = "ab";
    t.ids = {1, 258};
    t.blob = {9};
    t.peer = Connection(sf::IpAddress(10, 0, 0, 7), 4300);
    t.set_owned(7);
    return t;
}

inline void expect_same_fields(const Thing& a, const Thing& b) {
    EXPECT_EQ(a.hp, b.hp);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.speed, b.speed);
    EXPECT_EQ(a.angle, b.angle);
    EXPECT_EQ(a.position, b.position);
    EXPECT_EQ(a.cell, b.cell);
    EXPECT_EQ(a.alive, b.alive);
    EXPECT_EQ(a.facing, b.facing);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.ids, b.ids);
    EXPECT_EQ(a.blob, b.blob);
    EXPECT_EQ(a.peer, b.peer);
    EXPECT_EQ(a.owned.get(), b.owned.get());
}

// Writes nothing at all.
class Silent : public Networkable {
public:
    void sync_fields() override {}
};

// A transport of the kind whose network is a queue in memory: send records, receive files what a
// test put in `arriving` under its sender.
template <class Kind>
class InMemory : public Kind {
public:
    bool send(const ByteBuffer& packet) override {
        sent.push_back(packet);
        return true;
    }
    void receive() override {
        for (auto& [from, packet] : arriving) this->file_packet(from, packet);
        arriving.clear();
    }

    std::vector<ByteBuffer> sent;
    std::vector<std::pair<Connection, ByteBuffer>> arriving;
};
using MemoryTransport = InMemory<Protocol>;
// A Tcp for the keep-alive packets and the connection hooks.
using MemoryTcp = InMemory<Tcp>;

// A port on which nobody listens.
inline unsigned short closed_port() {
    sf::TcpListener probe;
    probe.listen(0);
    unsigned short port = probe.getLocalPort();
    probe.close();
    return port;
}

// A clock that stands still until moved and counts its readings, so a test knows that a
// thread waiting on it has begun.
class CountingClock : public ManualNetClock {
public:
    using ManualNetClock::ManualNetClock;
    int64_t now_ms() const override {
        ++reads;
        return ManualNetClock::now_ms();
    }
    mutable std::atomic<int> reads{0};
};

// A sync packet with one empty record that names the tag; tells packets apart.
inline ByteBuffer data_packet(uint32_t tag) {
    ByteBuffer p;
    p.write_u32_le(0);
    p.write_i64_le(1);
    p.write_u32_be(tag);
    p.write_u32_be(0);
    return p;
}

using test_support::ScopedEnv;

inline ByteBuffer buffer_of(const std::vector<uint8_t>& bytes) { return ByteBuffer(bytes.data(), bytes.size()); }

inline std::string hex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

// Polls a condition, doing `step` between tests, for up to timeout_ms of real time: loopback
// traffic arrives within microseconds, the bound only keeps a failing test from hanging, so it
// leaves room for a machine loaded many times over.
inline bool eventually(const std::function<bool()>& done, const std::function<void()>& step = {},
                       int timeout_ms = 30000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (step) step();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// Opens the client on a thread of its own (as the game's connect thread does) while the
// server accepts on this one. True when the client is connected and registered.
inline bool connect_client(TcpServer& server, TcpClient& client, float timeout_s = 20.0f) {
    std::atomic<bool> opened{false};
    const size_t before = server.client_count();
    std::thread connector([&] { opened = client.open(sf::IpAddress::LocalHost, server.listening_port(), timeout_s); });
    eventually([&] { return server.client_count() > before; }, [&] { server.accept_client(); });
    connector.join();
    return opened && server.client_count() == before + 1;
}

}  // namespace net_test
