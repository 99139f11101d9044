#pragma once

// Gradient noise for the level generator. Pure single-precision functions without state: every
// peer computes the same bits for the same input (the game library is built without FP
// contraction, so no fused multiply-add changes a rounding).

// Two-dimensional simplex noise, roughly in [-1, 1]; 0 at (0, 0).
float simplex_noise_2d(float x, float y);

// Octave sums along a row: out[k] = the sum, from 0 and in the order given, of
// simplex_noise_2d(xs[k] * f, y * f) over the `octaves` factors f. Same bits as those calls,
// four or eight columns at a time.
void octave_noise_2d_row(const float* xs, int count, float y, const float* factors, int octaves, float* out);

// One-dimensional simplex noise.
float simplex_noise_1d(float x);

// Sum of octaves i = 0 .. octaves-1 of the 1D noise at 2^i * x, each with weight 1; 0 for
// octaves <= 0.
float octave_noise_1d(int octaves, float x);

// The factor 2^i of octave i, as every octave sum of the game computes it.
float octave_factor(int octave);
