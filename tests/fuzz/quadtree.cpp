// The quadtree's bit stream: a tree it decodes must encode and decode again to the same leaves.
#include <cstdlib>
#include <vector>

#include "game/terrain/quadtree.h"

namespace {
std::vector<uint32_t> leaves(const Quadtree<bool>& tree) {
    std::vector<uint32_t> out;
    tree.for_each_leaf([&](uint32_t x, uint32_t y, uint32_t side, bool v) { out.insert(out.end(), {x, y, side, v}); });
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Quadtree<bool> tree, again;
    if (!tree.deserialize(std::vector<unsigned char>(data, data + size))) return 0;
    if (!again.deserialize(tree.serialize()) || leaves(again) != leaves(tree)) std::abort();
    return 0;
}
