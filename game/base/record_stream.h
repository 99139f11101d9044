#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "engine/core/logger.h"
#include "net/sync/networkable.h"

// A record lists its fields once, in `template <class S> bool serialize(S& s, Record& r)`, and
// that one list writes, reads and measures it: the three modes of RecordStream share every call.
// Fields travel as synchronised fields do (net_detail::FieldCodec: little-endian scalars, one
// byte per bool, x then y). Reading is where untrusted values are checked: a field declares its
// range where it is listed (finite, a range, an index into a table, an enumeration's values),
// and the reader refuses what lies outside it. Its failure is sticky: after the first short or
// refused field every later call answers false. Counts of sequences, byte counts and text
// lengths travel in network byte order, as `sf::Packet`'s integers did.
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
        return value(v, Finite{});
    }
    // A value within [min, max]: integers, floats (NaN lies outside every range), both coordinates
    // of a point, enumerations by their numbers.
    template <class T>
    bool value(T& v, const T& min, const T& max) {
        return value(v, Within<T>{min, max});
    }
    // A value within a range declared once for every field list that carries the value
    // (a synchronised field's among them).
    template <class T, class Range>
    requires net_detail::is_range<Range>
    bool value(T& v, const Range& range) {
        return value(v) &&
               check(net_detail::admits(range, v),
                     std::is_same_v<Range, Finite> ? "a value is not a number." : "a value lies outside its range.");
    }
    // An index into a table of `entries` entries.
    bool index(uint32_t& v, size_t entries) {
        return value(v) && check(v < entries, "an index names no entry of its table.");
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
    // A counted sequence: the count, then each element by its own field list `fields(element)`.
    // A reader refuses a count that the bytes left cannot hold at min_bytes an element before it
    // allocates anything; it keeps the first `keep` elements and reads the others past, adding
    // their number to *dropped.
    template <class Container, class Fields>
    bool sequence(Container& c, size_t min_bytes, Fields&& fields, size_t keep = SIZE_MAX, size_t* dropped = nullptr) {
        uint32_t n = uint32_t(c.size());
        if (!claim_count(n, min_bytes)) return false;
        if constexpr (M == RecordMode::Read) {
            c.clear();
            c.resize(std::min<size_t>(n, keep));
            if (dropped) *dropped += n - c.size();
        }
        if (!each(c, fields)) return false;
        if constexpr (M == RecordMode::Read)
            for (size_t i = c.size(); i < n; ++i) {
                typename Container::value_type past{};
                if (!fields(past)) return false;
            }
        return ok_;
    }
    // A sequence's count alone, for records that list the elements in more than one pass (each).
    template <class Container>
    bool count(Container& c, size_t min_bytes) {
        uint32_t n = uint32_t(c.size());
        if (!claim_count(n, min_bytes)) return false;
        if constexpr (M == RecordMode::Read) {
            c.clear();
            c.resize(n);
        }
        return true;
    }
    template <class Container, class Fields>
    bool each(Container& c, Fields&& fields) {
        for (auto& element : c)
            if (!fields(element)) return false;
        return ok_;
    }
    // Bytes behind their count.
    bool counted_bytes(std::vector<uint8_t>& v) {
        uint32_t n = uint32_t(v.size());
        if (!claim_count(n, 1)) return false;
        if constexpr (M == RecordMode::Read) v.resize(n);
        return bytes(v.data(), n);
    }
    // Text behind its length; a reader keeps at most `keep` bytes of it.
    bool counted_text(std::string& s, size_t keep = SIZE_MAX) {
        uint32_t n = uint32_t(std::min<size_t>(s.size(), UINT32_MAX));
        if (!claim_count(n, 1)) return false;
        if constexpr (M == RecordMode::Write) buffer_->append(s.data(), n);
        if constexpr (M == RecordMode::Read) {
            s.assign(reinterpret_cast<const char*>(buffer_->read_pointer()), std::min<size_t>(n, keep));
            buffer_->skip(n);
        }
        return counted(n);
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
    // A count (u32, network byte order) of items of at least min_bytes each, which a reader
    // checks against the bytes left.
    bool claim_count(uint32_t& n, size_t min_bytes) {
        if (!u32_be(n)) return false;
        if constexpr (M == RecordMode::Read)
            return check(n <= buffer_->remaining() / min_bytes, "a count claims more than the bytes left hold.");
        return true;
    }
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
[[nodiscard]] bool read_record(ByteBuffer& in, R& out) {
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
