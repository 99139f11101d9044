#pragma once
#include <cstdint>

// The one process-wide random generator of the game. Server and clients generate the same level
// only when they draw the same numbers in the same order, so all game code draws from here and
// only from the main thread. Draws are 0..32767.
constexpr int kRandomMax = 32767;

void random_seed(uint32_t seed);
int random_draw();
// random_draw() % n; n <= 0 gives 0 (after drawing, so the sequence stays the same).
int random_below(int n);
