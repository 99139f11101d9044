#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <typeinfo>

#include "engine/core/byte_buffer.h"
#include "engine/core/logger.h"
#include "net/sync/networkable.h"

// A record lists its fields once, in `template <class S> bool serialize(S& s, Record& r)`, and
// that one list writes, reads and measures it: the three modes of RecordStream share every call.
// Fields travel as synchronised fields do (net_detail::FieldCodec: little-endian scalars, one
// byte per bool, x then y). Reading is where untrusted values are checked (check, finite), and
// its failure is sticky: after the first short or refused field every later call answers false.
enum class RecordMode { Write, Read, Measure };

template <RecordMode M>
class RecordStream {
public:
    static constexpr bool reading = M == RecordMode::Read;

    RecordStream() requires(M == RecordMode::Measure) = default;
    explicit RecordStream(ByteBuffer& buffer, const std::type_info* record = nullptr)
        : buffer_(&buffer), record_(record) {}

    // Bytes the fields so far took (read, wrote or would write).
    size_t size() const { return size_; }

    template <class T>
    bool value(T& v) {
        using Codec = net_detail::FieldCodec<T>;
        if constexpr (M == RecordMode::Write) Codec::write(*buffer_, v);
        if constexpr (M == RecordMode::Read) ok_ = ok_ && Codec::read(*buffer_, v);
        return counted(sizeof(T));
    }
    // A value that must be a number (a float, or both coordinates of a point).
    template <class T>
    bool finite(T& v) {
        return value(v) && check(is_finite(v), "a value is not a number.");
    }
    // Network byte order (addresses).
    bool u32_be(uint32_t& v) {
        if constexpr (M == RecordMode::Write) buffer_->write_u32_be(v);
        if constexpr (M == RecordMode::Read) ok_ = ok_ && buffer_->read_u32_be(v);
        return counted(4);
    }
    // n bytes as they stand.
    bool bytes(void* p, size_t n) {
        if constexpr (M == RecordMode::Write) buffer_->append(p, n);
        if constexpr (M == RecordMode::Read) ok_ = ok_ && buffer_->read(p, n);
        return counted(n);
    }
    // n zero bytes; skipped on reading.
    bool pad(size_t n) {
        if constexpr (M == RecordMode::Write)
            for (size_t i = 0; i < n; ++i) buffer_->write_u8(0);
        if constexpr (M == RecordMode::Read) ok_ = ok_ && buffer_->skip(n);
        return counted(n);
    }
    // Text in n bytes (at most 64): written as at most n - 1 characters and zeros, read up to the
    // first NUL or all n bytes when the sender put none.
    bool text(std::string& s, size_t n) {
        char b[64] = {};
        if constexpr (M == RecordMode::Write) std::memcpy(b, s.data(), std::min(s.size(), n - 1));
        if (!bytes(b, n)) return false;
        if constexpr (M == RecordMode::Read) s.assign(b, strnlen(b, n));
        return true;
    }
    // A reader refuses the record when the condition does not hold.
    bool check(bool holds, const char* why) {
        if constexpr (M == RecordMode::Read) {
            if (ok_ && !holds)
                log_message(LogLevel::Warning, std::string("Dropped a record: ") + why,
                            record_ ? log_class_name(*record_) : std::string());
            ok_ = ok_ && holds;
        }
        return ok_;
    }

private:
    static bool is_finite(float v) { return std::isfinite(v); }
    static bool is_finite(const dvec2d& v) { return std::isfinite(v.x) && std::isfinite(v.y); }
    bool counted(size_t n) {
        if (ok_) size_ += n;
        return ok_;
    }

    ByteBuffer* buffer_ = nullptr;
    const std::type_info* record_ = nullptr;
    size_t size_ = 0;
    bool ok_ = true;
};

// The record's size on the wire, counted by its field list.
template <class R>
size_t record_size() {
    static const size_t size = [] {
        R r{};
        RecordStream<RecordMode::Measure> s;
        serialize(s, r);
        return s.size();
    }();
    return size;
}

template <class R>
void write_record(ByteBuffer& out, const R& r) {
    RecordStream<RecordMode::Write> s(out);
    serialize(s, const_cast<R&>(r));  // the writer only reads the fields
}

template <class R>
ByteBuffer record_bytes(const R& r) {
    ByteBuffer out;
    write_record(out, r);
    return out;
}

// False, leaving out unchanged, when the record's bytes are not all there (the buffer then
// fails) or a field is refused (the record's bytes are consumed then, the buffer stays good).
template <class R>
bool read_record(ByteBuffer& in, R& out) {
    const size_t n = record_size<R>();
    if (!in.ok() || in.remaining() < n) {
        in.fail();
        return false;
    }
    R r{};
    RecordStream<RecordMode::Read> s(in, &typeid(R));
    if (!serialize(s, r)) {
        in.skip(n - s.size());
        return false;
    }
    out = std::move(r);
    return true;
}

// A record of no bytes: the payload of events that carry none.
struct NoPayload {};
template <class S>
bool serialize(S&, NoPayload&) {
    return true;
}
