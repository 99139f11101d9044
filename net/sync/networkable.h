#pragma once
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "net/transport/connection.h"

// Called with (the field, the old value, the new value, the interpolation factor); writes the
// interpolated value into the field.
template <typename T>
using InterpolationCallback = Callback<void, T&, const T&, const T&, float>;

// The values a field may take, declared where a field list names the field (a synchronised
// field's list or a record's): a received value outside them refuses its whole record.
// A number: a float, or both coordinates of a point.
struct Finite {};
// [min, max]: integers, floats (NaN lies outside every range), both coordinates of a point,
// enumerations by their numbers.
template <typename T>
struct Within {
    T min;
    T max;
};
// Spelled out for compilers without deduction from an aggregate's members (clang before 17).
template <typename T>
Within(T, T) -> Within<T>;

namespace net_detail {
template <typename R>
inline constexpr bool is_range = false;
template <>
inline constexpr bool is_range<Finite> = true;
template <typename T>
inline constexpr bool is_range<Within<T>> = true;

inline bool admits(Finite, float v) { return std::isfinite(v); }
inline bool admits(Finite, const dvec2d& v) { return std::isfinite(v.x) && std::isfinite(v.y); }
template <typename T>
bool admits(const Within<T>& r, const T& v) {
    if constexpr (std::is_enum_v<T>) {
        using U = std::underlying_type_t<T>;
        return U(r.min) <= U(v) && U(v) <= U(r.max);
    } else if constexpr (std::is_arithmetic_v<T>) {
        return r.min <= v && v <= r.max;
    } else {
        return admits(Within<decltype(v.x)>{r.min.x, r.max.x}, v.x) &&
               admits(Within<decltype(v.y)>{r.min.y, r.max.y}, v.y);
    }
}

// The bytes one synchronised field contributes to a packet: write, read (target unchanged when
// the bytes are not there) and skip (step over without decoding).
template <typename T, typename Enable = void>
struct FieldCodec;
}  // namespace net_detail

class Networkable;

// A synchronised value that everyone may read but only Owner may set. It travels exactly
// like a plain T.
template <typename T, typename Owner>
class PrivateWrite {
public:
    PrivateWrite() = default;
    PrivateWrite(const PrivateWrite&) = default;

    const T& get() const { return value_; }
    operator const T&() const { return value_; }
    const T* operator->() const { return &value_; }
    bool operator==(const PrivateWrite& o) const { return value_ == o.value_; }

private:
    friend Owner;
    template <typename, typename>
    friend struct net_detail::FieldCodec;

    PrivateWrite& operator=(const PrivateWrite&) = default;
    PrivateWrite& operator=(const T& v) {
        value_ = v;
        return *this;
    }
    T& value() { return value_; }

    T value_{};
};

namespace net_detail {

template <size_t N>
struct UnsignedOfSize;
template <>
struct UnsignedOfSize<1> {
    using type = uint8_t;
};
template <>
struct UnsignedOfSize<2> {
    using type = uint16_t;
};
template <>
struct UnsignedOfSize<4> {
    using type = uint32_t;
};
template <>
struct UnsignedOfSize<8> {
    using type = uint64_t;
};

inline void write_le(ByteBuffer& b, uint8_t v) { b.write_u8(v); }
inline void write_le(ByteBuffer& b, uint16_t v) { b.write_u16_le(v); }
inline void write_le(ByteBuffer& b, uint32_t v) { b.write_u32_le(v); }
inline void write_le(ByteBuffer& b, uint64_t v) { b.write_u64_le(v); }
inline bool read_le(ByteBuffer& b, uint8_t& v) { return b.read_u8(v); }
inline bool read_le(ByteBuffer& b, uint16_t& v) { return b.read_u16_le(v); }
inline bool read_le(ByteBuffer& b, uint32_t& v) { return b.read_u32_le(v); }
inline bool read_le(ByteBuffer& b, uint64_t& v) { return b.read_u64_le(v); }

// The codecs below check the bytes a field needs once and decode them in place; the buffer's
// own readers check each value again and take big-endian values a byte at a time.

// The n bytes at the read position, the position moved past them; or null, the position kept and
// the buffer marked failed, when they are not all there (as a failed read of the buffer leaves it).
inline const uint8_t* claim(ByteBuffer& b, size_t n) {
    const uint8_t* p = b.read_pointer();
    return b.skip(n) ? p : nullptr;
}

inline uint32_t load_u32_le(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

inline uint32_t load_u32_be(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
    return v;
}

inline void store_u32_be(ByteBuffer& b, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
    b.append(&v, 4);
}

// A count as u32 big-endian and count items of item_size bytes behind it: the count and a
// pointer to the items, the position moved past them all; or null, the position kept and the
// buffer marked failed, when they are not all there.
inline const uint8_t* claim_counted(ByteBuffer& b, size_t item_size, uint32_t& n) {
    const uint8_t* p = claim(b, 4);
    if (!p) return nullptr;
    n = load_u32_be(p);
    if (size_t(n) * item_size > b.remaining()) {
        b.seek(b.read_position() - 4);
        b.fail();
        return nullptr;
    }
    b.skip(size_t(n) * item_size);
    return p + 4;
}

template <typename T>
inline constexpr bool is_raw_scalar = (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) || std::is_enum_v<T>;

// Whether the scalar has the size here that it has in the 32-bit layout the wire keeps. long and
// unsigned long (so also int64_t, uint64_t and size_t, which are long types here) are 4 bytes
// there, long double and wchar_t differ too; an 8-byte field is a long long.
template <typename T>
constexpr bool has_layout_size() {
    if constexpr (std::is_enum_v<T>) {
        return has_layout_size<std::underlying_type_t<T>>();
    } else {
        using U = std::remove_cv_t<T>;
        return !std::is_same_v<U, long> && !std::is_same_v<U, unsigned long> && !std::is_same_v<U, long double> &&
               !std::is_same_v<U, wchar_t>;
    }
}

// Integers, floats and enums: the value's bytes as the x86 processor holds them (little-endian).
template <typename T>
struct FieldCodec<T, std::enable_if_t<is_raw_scalar<T>>> {
    static_assert(has_layout_size<T>(),
                  "this field type has another size in the 32-bit layout: use a fixed-width type "
                  "(long long for 8 bytes)");
    using Bits = typename UnsignedOfSize<sizeof(T)>::type;
    static void write(ByteBuffer& b, const T& v) {
        Bits u;
        std::memcpy(&u, &v, sizeof(T));
        write_le(b, u);
    }
    static bool read(ByteBuffer& b, T& v) {
        Bits u;
        if (!read_le(b, u)) return false;
        std::memcpy(&v, &u, sizeof(T));
        return true;
    }
    static bool skip(ByteBuffer& b) { return b.skip(sizeof(T)); }
    // The value in the fixed_bytes at p.
    static T load(const uint8_t* p) {
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, p, sizeof(T));
        if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
        T v;
        std::memcpy(&v, bytes, sizeof(T));
        return v;
    }
    static constexpr size_t fixed_bytes = sizeof(T);
};

// One byte, 1 or 0; any byte but 0 reads as true.
template <>
struct FieldCodec<bool> {
    static void write(ByteBuffer& b, const bool& v) { b.write_bool(v); }
    static bool read(ByteBuffer& b, bool& v) { return b.read_bool(v); }
    static bool skip(ByteBuffer& b) { return b.skip(1); }
    static constexpr size_t fixed_bytes = 1;
};

// x then y, each a raw 4-byte value.
template <>
struct FieldCodec<dvec2d> {
    static void write(ByteBuffer& b, const dvec2d& v) {
        b.write_f32_le(v.x);
        b.write_f32_le(v.y);
    }
    static bool read(ByteBuffer& b, dvec2d& v) {
        const uint8_t* p = claim(b, 8);
        if (!p) return false;
        v = load(p);
        return true;
    }
    static dvec2d load(const uint8_t* p) {
        const uint32_t x = load_u32_le(p), y = load_u32_le(p + 4);
        dvec2d v;
        std::memcpy(&v.x, &x, 4);
        std::memcpy(&v.y, &y, 4);
        return v;
    }
    static bool skip(ByteBuffer& b) { return b.skip(8); }
    static constexpr size_t fixed_bytes = 8;
};

template <>
struct FieldCodec<ivec2d> {
    static void write(ByteBuffer& b, const ivec2d& v) {
        b.write_i32_le(v.x);
        b.write_i32_le(v.y);
    }
    static bool read(ByteBuffer& b, ivec2d& v) {
        const uint8_t* p = claim(b, 8);
        if (!p) return false;
        const uint32_t x = load_u32_le(p), y = load_u32_le(p + 4);
        std::memcpy(&v.x, &x, 4);
        std::memcpy(&v.y, &y, 4);
        return true;
    }
    static bool skip(ByteBuffer& b) { return b.skip(8); }
    static constexpr size_t fixed_bytes = 8;
};

// Steps over a 32-bit big-endian count and count items of item_size bytes; fails, moving
// nothing, when they are not all there.
inline bool skip_counted(ByteBuffer& b, size_t item_size) {
    uint32_t n;
    return claim_counted(b, item_size, n) != nullptr;
}

// Count as u32 big-endian, then each item as u32 big-endian.
template <>
struct FieldCodec<std::vector<unsigned int>> {
    static void write(ByteBuffer& b, const std::vector<unsigned int>& v) {
        store_u32_be(b, uint32_t(v.size()));
        for (unsigned int x : v) store_u32_be(b, x);
    }
    static bool read(ByteBuffer& b, std::vector<unsigned int>& v) {
        // The count is checked against what the packet holds before the vector grows.
        uint32_t n;
        const uint8_t* p = claim_counted(b, 4, n);
        if (!p) return false;
        if (v.size() != n) v.resize(n);
        for (auto& x : v) {
            x = load_u32_be(p);
            p += 4;
        }
        return true;
    }
    static bool skip(ByteBuffer& b) { return skip_counted(b, 4); }
    static constexpr size_t item_bytes = 4;
};

// Count as u32 big-endian, then the bytes.
template <>
struct FieldCodec<std::vector<unsigned char>> {
    static void write(ByteBuffer& b, const std::vector<unsigned char>& v) {
        store_u32_be(b, uint32_t(v.size()));
        b.append(v.data(), v.size());
    }
    static bool read(ByteBuffer& b, std::vector<unsigned char>& v) {
        uint32_t n;
        const uint8_t* p = claim_counted(b, 1, n);
        if (!p) return false;
        v.assign(p, p + n);
        return true;
    }
    static bool skip(ByteBuffer& b) { return skip_counted(b, 1); }
    static constexpr size_t item_bytes = 1;
};

// Length as u32 big-endian, then the bytes, no terminator.
template <>
struct FieldCodec<std::string> {
    static void write(ByteBuffer& b, const std::string& v) { b.write_string(v); }
    static bool read(ByteBuffer& b, std::string& v) {
        uint32_t n;
        const uint8_t* p = claim_counted(b, 1, n);
        if (!p) return false;
        // Names and tags mostly arrive as they were.
        if (v.size() != n || (n != 0 && std::memcmp(v.data(), p, n) != 0))
            v.assign(reinterpret_cast<const char*>(p), n);
        return true;
    }
    static bool skip(ByteBuffer& b) { return skip_counted(b, 1); }
    static constexpr size_t item_bytes = 1;
};

template <>
struct FieldCodec<Connection> {
    static void write(ByteBuffer& b, const Connection& v) { v.write(b); }
    static bool read(ByteBuffer& b, Connection& v) { return v.read(b); }
    static bool skip(ByteBuffer& b) { return b.skip(Connection::wire_size); }
    static constexpr size_t fixed_bytes = Connection::wire_size;
};

template <typename T, typename Owner>
struct FieldCodec<PrivateWrite<T, Owner>> {
    static void write(ByteBuffer& b, const PrivateWrite<T, Owner>& v) { FieldCodec<T>::write(b, v.value_); }
    static bool read(ByteBuffer& b, PrivateWrite<T, Owner>& v) { return FieldCodec<T>::read(b, v.value_); }
    static bool skip(ByteBuffer& b) { return FieldCodec<T>::skip(b); }
};

// What a Check pass steps over: a codec's fixed_bytes, or its count (u32 big-endian) and that
// many items of item_bytes. A position past the record stays past it.
template <typename T>
struct WireOf {
    using type = T;
};
template <typename T, typename Owner>
struct WireOf<PrivateWrite<T, Owner>> {
    using type = T;
};
template <typename T>
inline size_t step_over(const uint8_t* record, size_t size, size_t at) {
    using Codec = FieldCodec<typename WireOf<T>::type>;
    if constexpr (requires { Codec::item_bytes; }) {
        if (at > size || size - at < 4) return SIZE_MAX / 2;
        return at + 4 + size_t(load_u32_be(record + at)) * Codec::item_bytes;
    } else {
        return at + Codec::fixed_bytes;
    }
}

// Like step_over, for a field of fixed size whose value must lie within range: a value outside
// it moves the position past every record.
template <typename T, typename Range>
inline size_t step_within(const uint8_t* record, size_t size, size_t at, const Range& range) {
    using Codec = FieldCodec<typename WireOf<T>::type>;
    if (at > size || size - at < Codec::fixed_bytes) return SIZE_MAX / 2;
    return admits(range, Codec::load(record + at)) ? at + Codec::fixed_bytes : SIZE_MAX / 2;
}

}  // namespace net_detail

// An object whose state travels between server and clients. sync_fields lists the synchronised
// fields once, in a fixed order; the current mode decides whether a pass writes them, snapshots
// them, reads received values or interpolates between the snapshot and the received values.
class Networkable {
public:
    enum SyncMode : int {
        Idle = 0,
        Write = 1,
        Snapshot = 2,
        Read = 3,
        Interpolate = 4,
        // Not a transport's pass: steps over every field to see that a record holds them all.
        Check = 5,
    };

    Networkable() = default;
    virtual ~Networkable() = default;

    // Visits every synchronised field through sync_field, in the class's fixed order.
    virtual void sync_fields() = 0;

    // The pass under way and the packet it writes or reads: run_pass sets both for its pass and
    // mode back to Idle after it (the Check walk of holds_every_field sets only the mode); the
    // transports only call run_pass.
    int mode = Idle;
    ByteBuffer* current_packet = nullptr;
    // The field values just before the last accepted update was read.
    ByteBuffer previous_state;
    // This object's bytes of the last accepted update.
    ByteBuffer received_state;
    int64_t last_receive_ms = 0;
    // Set by a Write pass that handed over what happened since the last packet (taking it out of
    // the object) rather than a state: two records alike are then two pieces of news.
    bool wrote_news = false;
    // How far apart, by their send times, the sender's packets came with the last accepted
    // update; 0 while unknown.
    int64_t update_spacing_ms = 0;
    float interpolation_factor = 0.0f;
    // Set by a Read pass that met a field: the update after it only needs to know whether its
    // snapshot would hold anything, which is the same field list.
    bool fields_met = false;
    // Set around a Write pass by a builder that keeps them: where the object lists the byte ranges
    // of the packet that a receiver works out from other records (see mark_derived).
    std::vector<std::pair<size_t, size_t>>* derived_ranges = nullptr;

    // One pass over the field list in the mode given, writing or reading the packet given (an
    // Interpolate pass reads previous_state and received_state from their start); the mode is
    // Idle afterwards.
    void run_pass(int pass_mode, ByteBuffer* packet);
    // Whether the record's `size` bytes hold every field of the list (a longer record does too)
    // and every value within its field's range, by a Check pass. A record that does not is
    // refused whole: a Read pass would apply its front. Inlined: it runs for every record received.
    bool holds_every_field(const uint8_t* record, size_t size) {
        if (!shape_.known) return walk_fields(record, size);
        // Each step adds less than 2^41 to the position: no sum here wraps.
        size_t at = 0;
        for (unsigned i = 0; i < shape_.counted; ++i) {
            at += shape_.lead[i] + 4;
            if (at > size) return false;
            at += size_t(net_detail::load_u32_be(record + at - 4)) * shape_.item[i];
        }
        return at + shape_.lead[shape_.counted] <= size;
    }

protected:
    // The per-field step. A field with a valid delegate is not set by Read; the Interpolate
    // pass moves it from the snapshot towards the received value. Inlined into every field list:
    // a call per field cost more than the step; only the delegate's step stays out of line.
    template <typename T>
    [[gnu::always_inline]] inline void sync_field(T& value,
                                                  const InterpolationCallback<std::type_identity_t<T>>& callback = {}) {
        using Codec = net_detail::FieldCodec<T>;
        switch (mode) {
        case Write:
        case Snapshot:
            if (current_packet) Codec::write(*current_packet, value);
            break;
        case Read:
            if (!current_packet) break;
            fields_met = true;
            if (callback.is_valid()) {
                Codec::skip(*current_packet);
                ++delegate_fields_;
            } else {
                Codec::read(*current_packet, value);
            }
            break;
        case Check:
            check_at_ = net_detail::step_over<T>(check_record_, check_size_, check_at_);
            learn_shape<T>();
            break;
        case Interpolate:
            // Behind the last delegate field nothing is left to interpolate.
            if (interpolations_left_ == 0) break;
            if (callback.is_valid()) {
                interpolate_field(value, callback);
                --interpolations_left_;
            } else {
                current_packet = &previous_state;
                Codec::skip(previous_state);
                current_packet = &received_state;
                Codec::skip(received_state);
            }
            break;
        default: break;
        }
    }

    // A field whose received value must lie within range (Finite, Within): a Check pass refuses
    // the record when it does not; every other pass is the plain field's.
    template <typename T, typename Range>
    requires net_detail::is_range<Range>
    [[gnu::always_inline]] inline void sync_field(T& value, const Range& range,
                                                  const InterpolationCallback<std::type_identity_t<T>>& callback = {}) {
        if (mode == Check) {
            check_at_ = net_detail::step_within<T>(check_record_, check_size_, check_at_, range);
            shape_.walks = true;
        } else {
            sync_field(value, callback);
        }
    }

    // Reads the old value from previous_state and the new one from received_state (each
    // value-initialised and left so when its bytes are missing) and calls the delegate.
    template <typename T>
    [[gnu::noinline]] void interpolate_field(T& value, const InterpolationCallback<std::type_identity_t<T>>& callback) {
        using Codec = net_detail::FieldCodec<T>;
        T old_value{};
        T new_value{};
        current_packet = &previous_state;
        Codec::read(previous_state, old_value);
        current_packet = &received_state;
        Codec::read(received_state, new_value);
        callback(value, old_value, new_value, interpolation_factor);
    }

    // In a Write pass, where the next field's bytes go.
    size_t write_position() const { return mode == Write && current_packet ? current_packet->size() : 0; }
    // In a Write pass, marks the bytes written since `from` as ones the receiver works out from
    // other records: they go out as written, but a change in them alone need not go out.
    void mark_derived(size_t from) {
        if (mode == Write && current_packet && derived_ranges && from < current_packet->size())
            derived_ranges->emplace_back(from, current_packet->size());
    }

    // Decodes one field from current_packet; the field is unchanged when its bytes are not
    // all there (the packet is then marked failed).
    template <typename T>
    bool read_field(T& value) {
        return current_packet && net_detail::FieldCodec<T>::read(*current_packet, value);
    }

private:
    // What a Check pass learns of the field list (the same list in every pass): the fixed bytes
    // before each counted field and behind the last, and each counted field's item size. Once
    // known, a record is checked against it without a pass; a list with a range, or with more
    // counted fields than it holds, is walked every time.
    struct Shape {
        static constexpr unsigned max_counted = 3;
        uint32_t lead[max_counted + 1] = {};
        uint8_t item[max_counted] = {};
        uint8_t counted = 0;
        bool known = false;
        bool walks = false;
    };
    // holds_every_field by a Check pass, which learns the shape when it can.
    bool walk_fields(const uint8_t* record, size_t size);
    template <typename T>
    [[gnu::always_inline]] inline void learn_shape() {
        using Codec = net_detail::FieldCodec<typename net_detail::WireOf<T>::type>;
        if constexpr (requires { Codec::item_bytes; }) {
            if (shape_.counted < Shape::max_counted) shape_.item[shape_.counted++] = uint8_t(Codec::item_bytes);
            else shape_.walks = true;
        } else {
            shape_.lead[shape_.counted] += uint32_t(Codec::fixed_bytes);
        }
    }

    // The delegate fields the last Read pass met, and those the Interpolate pass has yet to meet
    // (the field list names the same fields in every pass).
    uint32_t delegate_fields_ = 0;
    uint32_t interpolations_left_ = 0;
    // The Check pass's record and where its next field starts.
    const uint8_t* check_record_ = nullptr;
    size_t check_size_ = 0;
    size_t check_at_ = 0;
    Shape shape_;
};

// Linear interpolation out = old + (new - old) * t, t not clamped. Integer results are
// truncated towards zero (and held to the type's range); a floating result that is not finite
// is replaced by the new value, or leaves out unchanged when that is not finite either.
void interpolate_linear(short& out, const short& old_value, const short& new_value, float t);
void interpolate_linear(int& out, const int& old_value, const int& new_value, float t);
void interpolate_linear(float& out, const float& old_value, const float& new_value, float t);
void interpolate_linear(double& out, const double& old_value, const double& new_value, float t);
void interpolate_linear(ivec2d& out, const ivec2d& old_value, const ivec2d& new_value, float t);
void interpolate_linear(dvec2d& out, const dvec2d& old_value, const dvec2d& new_value, float t);
// Degrees, the short way round; the result is not wrapped into any range.
void interpolate_angle(float& out, const float& old_value, const float& new_value, float t);

// The default delegates, bound once and never changed.
extern const InterpolationCallback<short> default_short_interpolation;
extern const InterpolationCallback<int> default_int_interpolation;
extern const InterpolationCallback<float> default_float_interpolation;
extern const InterpolationCallback<double> default_double_interpolation;
extern const InterpolationCallback<ivec2d> default_ivec2d_interpolation;
extern const InterpolationCallback<dvec2d> default_dvec2d_interpolation;
extern const InterpolationCallback<float> default_angle_interpolation;
