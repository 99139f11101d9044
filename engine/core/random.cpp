#include "engine/core/random.h"

namespace {
uint32_t g_state = 1;
}

void random_seed(uint32_t seed) { g_state = seed; }

int random_draw() {
    g_state = g_state * 214013u + 2531011u;
    return int((g_state >> 16) & 0x7FFF);
}

// Draws even when n is unusable, so the sequence stays in step with the other peers.
int random_below(int n) {
    int v = random_draw();
    return n > 0 ? v % n : 0;
}
