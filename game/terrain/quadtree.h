#pragma once
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

// A region quadtree over a square of 2^depth x 2^depth cells. A node is either a leaf holding a
// value or split into exactly four children: child k covers the cells whose bit (height - 1) of
// x equals k & 1 and of y equals k >> 1 (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right,
// y growing downwards). Setting cells keeps the tree in its smallest form: no split node has
// four leaves of one value. Quadtree<bool> is the water occupancy; Quadtree<ColorRGBA> a map
// tile (its palette coder is in game/terrain/map_coder.h).
//
// The nodes live in one array, the four children of a split node side by side, so that building
// and decoding a tile allocate in bulk rather than per node.
template <typename T>
class Quadtree {
public:
    static constexpr int kMaxDepth = 31;
    using Index = int32_t;
    static constexpr Index kNone = -1;

    // A read-only view of one node.
    class NodeRef {
    public:
        NodeRef(const Quadtree* tree, Index i) : tree_(tree), i_(i) {}
        bool is_leaf() const { return tree_->nodes_[std::size_t(i_)].children == kNone; }
        // The leaf's value (callers ask leaves only).
        const T& value() const { return tree_->nodes_[std::size_t(i_)].value; }
        NodeRef child(int k) const { return {tree_, tree_->nodes_[std::size_t(i_)].children + k}; }
        Index index() const { return i_; }

    private:
        const Quadtree* tree_;
        Index i_;
    };

    Quadtree() : nodes_(1) {}

    int depth() const { return depth_; }
    NodeRef root() const { return {this, 0}; }

    // Sets the depth and drops every child; the root keeps its value when it was a leaf.
    void set_depth(int depth) {
        if (depth < 0 || depth > kMaxDepth) throw std::runtime_error("quadtree-level too high");
        depth_ = static_cast<uint8_t>(depth);
        T root_value = nodes_[0].children == kNone ? nodes_[0].value : T{};
        clear_to(root_value);
    }

    // The depth for a tile: the halvings of the smallest power of two >= max(width, height).
    void set_size(int width, int height) {
        int side = std::max(width, height);
        int d = 0;
        while (d <= kMaxDepth && (int64_t(1) << d) < side) ++d;
        set_depth(d);
    }

    // Back to one leaf of the default value (false for the water tree).
    void reset() { clear_to(T{}); }

    void assign(const Quadtree& other) { *this = other; }

    void set(uint32_t x, uint32_t y, const T& v) { set_at(0, x, y, depth_, v); }

    const T& get(uint32_t x, uint32_t y) const {
        Index n = 0;
        int d = depth_;
        while (nodes_[std::size_t(n)].children != kNone) {
            --d;
            n = nodes_[std::size_t(n)].children + Index(child_index(x, y, d));
        }
        return nodes_[std::size_t(n)].value;
    }

    // Builds the smallest tree of a 2^depth square. uniform(x, y, height, value) answers whether
    // the square of side 2^height at cell (x, y) holds one value, and sets it; it must answer for
    // a single cell, and each larger square it answers for is not visited cell by cell.
    template <typename F>
    void build(int depth, F&& uniform) {
        set_depth(depth);
        build_node(0, 0, 0, depth_, uniform);
    }

    // Morton order of the cells: bit 2i of a cell's code is bit i of x, bit 2i + 1 bit i of y, so
    // the cells of each node's square are one run of codes.
    static uint64_t morton(uint32_t x, uint32_t y) { return spread_bits(x) | spread_bits(y) << 1; }

    // Visits every leaf with its top-left cell and side length, in pre-order.
    template <typename F>
    void for_each_leaf(F&& visit) const {
        struct Item {
            Index node;
            uint32_t x, y;
            int height;
        };
        std::vector<Item> stack{{0, 0, 0, depth_}};
        while (!stack.empty()) {
            Item it = stack.back();
            stack.pop_back();
            const Slot& s = nodes_[std::size_t(it.node)];
            if (s.children == kNone) {
                visit(it.x, it.y, uint32_t(1) << it.height, s.value);
                continue;
            }
            uint32_t half = uint32_t(1) << (it.height - 1);
            for (int k = 3; k >= 0; --k)
                stack.push_back(
                    {s.children + k, it.x + uint32_t(k & 1) * half, it.y + uint32_t(k >> 1) * half, it.height - 1});
        }
    }

    // Nodes reachable from the root.
    std::size_t node_count() const {
        std::size_t n = 0;
        std::vector<Index> stack{0};
        while (!stack.empty()) {
            Index i = stack.back();
            stack.pop_back();
            ++n;
            Index c = nodes_[std::size_t(i)].children;
            if (c != kNone)
                for (int k = 0; k < 4; ++k) stack.push_back(c + k);
        }
        return n;
    }

    // Same depth and the same shape with equal leaf values.
    bool operator==(const Quadtree& o) const {
        if (depth_ != o.depth_) return false;
        std::vector<std::pair<Index, Index>> stack{{0, 0}};
        while (!stack.empty()) {
            auto [a, b] = stack.back();
            stack.pop_back();
            const Slot& sa = nodes_[std::size_t(a)];
            const Slot& sb = o.nodes_[std::size_t(b)];
            if ((sa.children == kNone) != (sb.children == kNone)) return false;
            if (sa.children == kNone) {
                if (!(sa.value == sb.value)) return false;
                continue;
            }
            for (int k = 0; k < 4; ++k) stack.push_back({sa.children + k, sb.children + k});
        }
        return true;
    }

    // --- building a tree node by node (the stream decoders) ---

    // Splits a leaf into four leaves of its value; answers the index of the first child.
    Index split(Index node) {
        Index block = allocate_block(nodes_[std::size_t(node)].value);
        nodes_[std::size_t(node)].children = block;
        return block;
    }
    void make_leaf(Index node, const T& v) {
        Slot& s = nodes_[std::size_t(node)];
        if (s.children != kNone) release_subtree(node);
        nodes_[std::size_t(node)].value = v;
    }

    // The water stream: the depth in 5 bits, then the nodes in pre-order (1 for a split node,
    // 0 and the value bit for a leaf), most significant bit first; the last byte is padded with
    // zero bits, and a stream ending on a byte boundary gets one more zero byte.
    std::vector<unsigned char> serialize() const requires std::is_same_v<T, bool>;
    // Rebuilds the tree from such a stream. Answers false when the stream ended before the last
    // node (the nodes read so far stay) or asked to split a single cell; an empty stream leaves
    // a reset tree of depth 0. With expected_depth >= 0, a stream of another depth is refused
    // from its first byte, before anything is built: a deeper one could claim any size.
    bool deserialize(const std::vector<unsigned char>& bytes, int expected_depth = -1) requires std::is_same_v<T, bool>;

private:
    struct Slot {
        T value{};
        Index children = kNone;  // first of the four children, or none for a leaf
    };

    static std::size_t child_index(uint32_t x, uint32_t y, int d) { return ((x >> d) & 1u) + 2u * ((y >> d) & 1u); }

    void clear_to(const T& v) {
        nodes_.assign(1, Slot{v, kNone});
        free_blocks_.clear();
    }

    Index allocate_block(const T& v) {
        if (!free_blocks_.empty()) {
            Index b = free_blocks_.back();
            free_blocks_.pop_back();
            for (int k = 0; k < 4; ++k) nodes_[std::size_t(b + k)] = Slot{v, kNone};
            return b;
        }
        if (nodes_.size() > std::size_t(INT32_MAX - 4)) throw std::length_error("quadtree too large");
        Index b = Index(nodes_.size());
        nodes_.insert(nodes_.end(), 4, Slot{v, kNone});
        return b;
    }

    // Frees the node's children, and theirs; the node becomes a leaf.
    void release_subtree(Index node) {
        std::vector<Index> stack{node};
        while (!stack.empty()) {
            Index n = stack.back();
            stack.pop_back();
            Index c = nodes_[std::size_t(n)].children;
            if (c == kNone) continue;
            for (int k = 0; k < 4; ++k) stack.push_back(c + k);
            free_blocks_.push_back(c);
            nodes_[std::size_t(n)].children = kNone;
        }
    }

    // Merges a split node whose four children are leaves of one value.
    bool try_merge(Index node) {
        Index c = nodes_[std::size_t(node)].children;
        const Slot* k = &nodes_[std::size_t(c)];
        if (k[0].children != kNone || k[1].children != kNone || k[2].children != kNone || k[3].children != kNone)
            return false;
        if (!(k[0].value == k[1].value && k[0].value == k[2].value && k[0].value == k[3].value)) return false;
        T v = k[0].value;
        if (std::size_t(c) + 4 == nodes_.size()) nodes_.resize(std::size_t(c));
        else free_blocks_.push_back(c);
        nodes_[std::size_t(node)].children = kNone;
        nodes_[std::size_t(node)].value = v;
        return true;
    }

    void set_at(Index node, uint32_t x, uint32_t y, int d, const T& v) {
        if (d == 0) {
            make_leaf(node, v);
            return;
        }
        if (nodes_[std::size_t(node)].children == kNone) {
            if (nodes_[std::size_t(node)].value == v) return;
            split(node);
        }
        Index c = nodes_[std::size_t(node)].children;
        set_at(c + Index(child_index(x, y, d - 1)), x, y, d - 1, v);
        try_merge(node);
    }

    template <typename F>
    void build_node(Index node, uint32_t x, uint32_t y, int d, F& uniform) {
        if (T v{}; uniform(x, y, d, v) || d == 0) {
            nodes_[std::size_t(node)].value = v;
            return;
        }
        uint32_t half = uint32_t(1) << (d - 1);
        Index c = allocate_block(T{});
        nodes_[std::size_t(node)].children = c;
        for (int k = 0; k < 4; ++k)
            build_node(c + k, x + uint32_t(k & 1) * half, y + uint32_t(k >> 1) * half, d - 1, uniform);
        try_merge(node);
    }

    static uint64_t spread_bits(uint32_t v) {
        uint64_t x = v;
        x = (x | x << 16) & 0x0000FFFF0000FFFFull;
        x = (x | x << 8) & 0x00FF00FF00FF00FFull;
        x = (x | x << 4) & 0x0F0F0F0F0F0F0F0Full;
        x = (x | x << 2) & 0x3333333333333333ull;
        return (x | x << 1) & 0x5555555555555555ull;
    }

    std::vector<Slot> nodes_;         // nodes_[0] is the root
    std::vector<Index> free_blocks_;  // released groups of four
    uint8_t depth_ = 0;
};

// Appends bits most significant first, as the tile and water streams do: the first byte starts
// with a value of `first_bits` bits already in it. Bits gather in a 64-bit word and leave it four
// bytes at a time into a buffer grown ahead, with no size check per byte.
class BitWriter {
public:
    BitWriter(unsigned first_value, int first_bits)
        : acc_(first_value & ((1u << first_bits) - 1u)), used_(first_bits) {}
    void bit(unsigned b) { bits(b & 1u, 1); }
    // At most 32 bits; those of `value` above `count` are ignored.
    void bits(unsigned value, int count) {
        acc_ = (acc_ << count) | (uint64_t(value) & ((uint64_t(1) << count) - 1u));
        used_ += count;
        if (used_ >= 32) {
            used_ -= 32;
            if (size_ + 4 > bytes_.size()) bytes_.resize(std::max<std::size_t>(256, 2 * bytes_.size()));
            const uint32_t word = uint32_t(acc_ >> used_);
            unsigned char* at = bytes_.data() + size_;
            at[0] = static_cast<unsigned char>(word >> 24);
            at[1] = static_cast<unsigned char>(word >> 16);
            at[2] = static_cast<unsigned char>(word >> 8);
            at[3] = static_cast<unsigned char>(word);
            size_ += 4;
        }
    }
    // Moves the last byte's bits to its top; a stream that filled its last byte exactly ends
    // with the zero byte that was started after it.
    std::vector<unsigned char> finish() {
        bytes_.resize(size_);
        while (used_ >= 8) {
            used_ -= 8;
            bytes_.push_back(static_cast<unsigned char>(acc_ >> used_));
        }
        bytes_.push_back(static_cast<unsigned char>(acc_ << (8 - used_)));
        size_ = 0;
        return std::move(bytes_);
    }

private:
    std::vector<unsigned char> bytes_;  // the first size_ are written
    std::size_t size_ = 0;
    uint64_t acc_;  // the low used_ bits are pending
    int used_;
};

// Reads bits most significant first, never past the end.
class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size, std::size_t first_bit)
        : data_(data), size_(size), pos_(std::min(first_bit, size * 8)) {}
    bool bit(unsigned& out) { return bits(1, out); }
    // At most 32 bits.
    bool bits(int count, unsigned& out) {
        if (std::size_t(count) > left()) return false;
        out = count > 0 ? peek(count) : 0u;
        pos_ += std::size_t(count);
        return true;
    }
    std::size_t left() const { return size_ * 8 - pos_; }
    // The next 1 to 32 bits without moving on; those past the end read as zeros.
    unsigned peek(int count) const {
        const std::size_t at = pos_ / 8;
        uint64_t word = 0;
        if (at + 8 <= size_) {  // most reads: one 64-bit load holds the whole code
            std::memcpy(&word, data_ + at, 8);
            if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
        } else {
            for (std::size_t k = 0; k < 8; ++k) word = word << 8 | (at + k < size_ ? data_[at + k] : 0u);
        }
        return unsigned((word << (pos_ % 8)) >> (64 - count));
    }
    // Moves on by at most left() bits.
    void skip(int count) { pos_ += std::size_t(count); }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_;  // never beyond size_ * 8
};

template <typename T>
std::vector<unsigned char> Quadtree<T>::serialize() const requires std::is_same_v<T, bool> {
    BitWriter out(depth_, 5);
    std::vector<Index> stack{0};
    while (!stack.empty()) {
        const Slot& s = nodes_[std::size_t(stack.back())];
        stack.pop_back();
        if (s.children == kNone) {
            out.bits(s.value ? 1u : 0u, 2);  // 0, then the value
        } else {
            out.bit(1);
            for (int k = 3; k >= 0; --k) stack.push_back(s.children + k);
        }
    }
    return out.finish();
}

template <typename T>
bool Quadtree<T>::deserialize(const std::vector<unsigned char>& bytes,
                              int expected_depth) requires std::is_same_v<T, bool> {
    reset();
    depth_ = 0;
    if (bytes.empty()) return false;
    if (expected_depth >= 0 && (bytes[0] >> 3) != expected_depth) return false;
    depth_ = static_cast<uint8_t>(bytes[0] >> 3);
    BitReader in(bytes.data(), bytes.size(), 5);
    struct Pending {
        Index node;
        int height;
    };
    std::vector<Pending> stack{{0, depth_}};
    while (!stack.empty()) {
        Pending p = stack.back();
        unsigned b;
        if (!in.bit(b)) return false;
        if (b) {
            if (p.height == 0) return false;  // a single cell cannot split
            stack.pop_back();
            Index c = split(p.node);
            for (int k = 3; k >= 0; --k) stack.push_back({c + k, p.height - 1});
        } else {
            unsigned v;
            if (!in.bit(v)) return false;
            stack.pop_back();
            make_leaf(p.node, v != 0);
        }
    }
    return true;
}
