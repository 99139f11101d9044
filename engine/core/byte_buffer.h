#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// A growable byte sequence with a read position: the one type that encodes and decodes every
// record that goes to disk or to the wire. Every value is written with an explicit byte order
// (_be: network order, as sf::Packet writes integers; _le: the layout of a raw copy on x86).
//
// A read that needs more bytes than remain fails: it leaves the target unchanged, does not
// move the read position and sets the fail flag. The flag is sticky, so a decoder may read a
// whole record and test ok() once at the end.
class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const void* data, size_t size) { append(data, size); }
    explicit ByteBuffer(std::vector<uint8_t> bytes) : store_(std::move(bytes)), size_(store_.size()) {}
    // Copies take the contents, the read position and the flag, not the spare capacity.
    ByteBuffer(const ByteBuffer& o)
        : store_(o.store_.begin(), o.store_.begin() + std::ptrdiff_t(o.size_)),
          size_(o.size_),
          read_pos_(o.read_pos_),
          ok_(o.ok_) {}
    ByteBuffer(ByteBuffer&& o) noexcept
        : store_(std::move(o.store_)), size_(o.size_), read_pos_(o.read_pos_), ok_(o.ok_) {
        o.store_.clear();
        o.size_ = 0;
        o.read_pos_ = 0;
        o.ok_ = true;
    }
    ByteBuffer& operator=(const ByteBuffer& o) {
        if (this != &o) {
            size_ = 0;
            append(o.data(), o.size_);
            read_pos_ = o.read_pos_;
            ok_ = o.ok_;
        }
        return *this;
    }
    ByteBuffer& operator=(ByteBuffer&& o) noexcept {
        if (this != &o) {
            store_ = std::move(o.store_);
            size_ = o.size_;
            read_pos_ = o.read_pos_;
            ok_ = o.ok_;
            o.store_.clear();
            o.size_ = 0;
            o.read_pos_ = 0;
            o.ok_ = true;
        }
        return *this;
    }

    // --- contents ---
    const uint8_t* data() const { return store_.data(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(data(), data() + size_); }

    // Empties the buffer and resets the read position and the fail flag; keeps the capacity.
    void clear() {
        size_ = 0;
        read_pos_ = 0;
        ok_ = true;
    }
    void reserve(size_t n) {
        if (store_.size() < n) store_.resize(n);
    }
    // Drops everything from byte n on (no effect when n >= size); the read position is clamped.
    void truncate(size_t n) {
        if (n >= size_) return;
        size_ = n;
        if (read_pos_ > n) read_pos_ = n;
    }

    // --- writing: appends at the end ---
    void append(const void* data, size_t size) {
        if (size == 0) return;
        std::memcpy(grow(size), data, size);
    }
    void write_u8(uint8_t v) { *grow(1) = v; }
    void write_i8(int8_t v) { write_u8(uint8_t(v)); }
    // One byte, 1 or 0.
    void write_bool(bool v) { write_u8(v ? 1 : 0); }

    void write_u16_le(uint16_t v) { put_le(grow(2), v, 2); }
    void write_u32_le(uint32_t v) { put_le(grow(4), v, 4); }
    void write_u64_le(uint64_t v) { put_le(grow(8), v, 8); }
    void write_i16_le(int16_t v) { write_u16_le(uint16_t(v)); }
    void write_i32_le(int32_t v) { write_u32_le(uint32_t(v)); }
    void write_i64_le(int64_t v) { write_u64_le(uint64_t(v)); }
    void write_f32_le(float v) { write_u32_le(float_bits(v)); }
    void write_f64_le(double v) { write_u64_le(double_bits(v)); }

    void write_u16_be(uint16_t v) { put_be(grow(2), v, 2); }
    void write_u32_be(uint32_t v) { put_be(grow(4), v, 4); }
    void write_u64_be(uint64_t v) { put_be(grow(8), v, 8); }
    void write_i16_be(int16_t v) { write_u16_be(uint16_t(v)); }
    void write_i32_be(int32_t v) { write_u32_be(uint32_t(v)); }
    void write_i64_be(int64_t v) { write_u64_be(uint64_t(v)); }
    void write_f32_be(float v) { write_u32_be(float_bits(v)); }

    // sf::Packet's string form: the length as u32 big-endian, then the bytes, no terminator.
    void write_string(const std::string& s) {
        // A string longer than a 32-bit length can say is cut rather than written with a wrong
        // length that would corrupt everything behind it.
        size_t n = s.size() > 0xFFFFFFFFu ? size_t(0xFFFFFFFFu) : s.size();
        write_u32_be(uint32_t(n));
        append(s.data(), n);
    }

    // Overwrites 4 bytes at an offset already written (a length filled in after its record).
    // Returns false, changing nothing, when the bytes are not all inside the buffer.
    bool overwrite_u32_be(size_t offset, uint32_t v) {
        if (offset > size_ || size_ - offset < 4) return false;
        put_be(store_.data() + offset, v, 4);
        return true;
    }

    // --- reading: from the read position ---
    [[nodiscard]] bool read(void* out, size_t size) {
        if (!take(size)) return false;
        if (size) std::memcpy(out, data() + read_pos_ - size, size);
        return true;
    }
    [[nodiscard]] bool read_u8(uint8_t& v) {
        if (!take(1)) return false;
        v = store_[read_pos_ - 1];
        return true;
    }
    [[nodiscard]] bool read_i8(int8_t& v) { return read_as<uint8_t>(v, &ByteBuffer::read_u8); }
    // A byte tested against 0.
    [[nodiscard]] bool read_bool(bool& v) {
        uint8_t b;
        if (!read_u8(b)) return false;
        v = b != 0;
        return true;
    }

    [[nodiscard]] bool read_u16_le(uint16_t& v) { return get_le(v); }
    [[nodiscard]] bool read_u32_le(uint32_t& v) { return get_le(v); }
    [[nodiscard]] bool read_u64_le(uint64_t& v) { return get_le(v); }
    [[nodiscard]] bool read_i16_le(int16_t& v) { return read_as<uint16_t>(v, &ByteBuffer::read_u16_le); }
    [[nodiscard]] bool read_i32_le(int32_t& v) { return read_as<uint32_t>(v, &ByteBuffer::read_u32_le); }
    [[nodiscard]] bool read_i64_le(int64_t& v) { return read_as<uint64_t>(v, &ByteBuffer::read_u64_le); }
    [[nodiscard]] bool read_f32_le(float& v) { return read_float(v, &ByteBuffer::read_u32_le); }
    [[nodiscard]] bool read_f64_le(double& v) { return read_float(v, &ByteBuffer::read_u64_le); }

    [[nodiscard]] bool read_u16_be(uint16_t& v) { return get_be(v); }
    [[nodiscard]] bool read_u32_be(uint32_t& v) { return get_be(v); }
    [[nodiscard]] bool read_u64_be(uint64_t& v) { return get_be(v); }
    [[nodiscard]] bool read_i16_be(int16_t& v) { return read_as<uint16_t>(v, &ByteBuffer::read_u16_be); }
    [[nodiscard]] bool read_i32_be(int32_t& v) { return read_as<uint32_t>(v, &ByteBuffer::read_u32_be); }
    [[nodiscard]] bool read_i64_be(int64_t& v) { return read_as<uint64_t>(v, &ByteBuffer::read_u64_be); }
    [[nodiscard]] bool read_f32_be(float& v) { return read_float(v, &ByteBuffer::read_u32_be); }

    // The string form of write_string. The length is checked against the bytes that remain
    // before anything is allocated; on failure the string and the read position stay as they were.
    [[nodiscard]] bool read_string(std::string& s) {
        const size_t start = read_pos_;
        uint32_t n;
        if (!read_u32_be(n)) return false;
        if (n > remaining()) {
            read_pos_ = start;
            ok_ = false;
            return false;
        }
        s.assign(reinterpret_cast<const char*>(data() + read_pos_), n);
        read_pos_ += n;
        return true;
    }
    // Exactly n bytes into out (replacing its contents), checked before allocating.
    [[nodiscard]] bool read_bytes(std::vector<uint8_t>& out, size_t n) {
        if (!ok_ || n > remaining()) {
            ok_ = false;
            return false;
        }
        out.assign(data() + read_pos_, data() + read_pos_ + n);
        read_pos_ += n;
        return true;
    }

    bool skip(size_t n) { return take(n); }

    // --- read position and state ---
    size_t read_position() const { return read_pos_; }
    size_t remaining() const { return size_ - read_pos_; }
    bool at_end() const { return read_pos_ >= size_; }
    const uint8_t* read_pointer() const { return data() + read_pos_; }
    // Moves the read position; a position past the end fails (and sets the flag).
    bool seek(size_t pos) {
        if (!ok_ || pos > size_) {
            ok_ = false;
            return false;
        }
        read_pos_ = pos;
        return true;
    }
    // Back to the first byte with the fail flag cleared, ready to decode again.
    void rewind() {
        read_pos_ = 0;
        ok_ = true;
    }
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // Marks the buffer failed, as a read past the end does (a decoder found it malformed).
    void fail() { ok_ = false; }

    bool operator==(const ByteBuffer& o) const {
        return size_ == o.size_ && (size_ == 0 || std::memcmp(data(), o.data(), size_) == 0);
    }

private:
    uint8_t* grow(size_t n) {
        // The store only ever grows (doubling); size_ marks the end of the contents, so an
        // append that fits is a comparison and a copy.
        const size_t old = size_;
        if (store_.size() - old < n) store_.resize(std::max(old + n, std::max<size_t>(2 * store_.size(), 64)));
        size_ = old + n;
        return store_.data() + old;
    }
    // Claims n bytes for a read; on success the position is already past them.
    bool take(size_t n) {
        if (!ok_ || n > size_ - read_pos_) {
            ok_ = false;
            return false;
        }
        read_pos_ += n;
        return true;
    }
    static void put_le(uint8_t* p, uint64_t v, int n) {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(p, &v, size_t(n));  // the low n bytes come first in memory
        } else {
            for (int i = 0; i < n; ++i) p[i] = uint8_t(v >> (8 * i));
        }
    }
    static void put_be(uint8_t* p, uint64_t v, int n) {
        for (int i = 0; i < n; ++i) p[i] = uint8_t(v >> (8 * (n - 1 - i)));
    }
    template <typename U>
    bool get_le(U& v) {
        if (!take(sizeof(U))) return false;
        const uint8_t* p = data() + read_pos_ - sizeof(U);
        U r = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&r, p, sizeof(U));
        } else {
            for (size_t i = 0; i < sizeof(U); ++i) r |= U(p[i]) << (8 * i);
        }
        v = r;
        return true;
    }
    template <typename U>
    bool get_be(U& v) {
        if (!take(sizeof(U))) return false;
        const uint8_t* p = data() + read_pos_ - sizeof(U);
        U r = 0;
        for (size_t i = 0; i < sizeof(U); ++i) r = U(r << 8) | U(p[i]);
        v = r;
        return true;
    }
    template <typename U, typename S>
    [[nodiscard]] bool read_as(S& v, bool (ByteBuffer::*reader)(U&)) {
        U u;
        if (!(this->*reader)(u)) return false;
        v = S(u);
        return true;
    }
    template <typename U, typename F>
    [[nodiscard]] bool read_float(F& v, bool (ByteBuffer::*reader)(U&)) {
        static_assert(sizeof(U) == sizeof(F));
        U u;
        if (!(this->*reader)(u)) return false;
        std::memcpy(&v, &u, sizeof(F));
        return true;
    }
    static uint32_t float_bits(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u;
    }
    static uint64_t double_bits(double d) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        return u;
    }

    // Storage; its bytes from size_ on are spare capacity.
    std::vector<uint8_t> store_;
    size_t size_ = 0;
    size_t read_pos_ = 0;
    bool ok_ = true;
};
