// What the whole scene shares: the angle convention, the scene's one random
// source, and the animated state with its start values.
// The rest of the program may use: random_seed (the saver hook seeds it once
// per run), random_next and random_range (the scene's draws).
#pragma once

#include <stdint.h>

// Degrees become radians by dividing by this (not by 180/pi): the
// animation's look is tuned to it.
const double degrees_per_radian = 57.29578;

// The scene's 15-bit generator: its state is 1 at program start.
void random_seed(uint32_t seed);
// The next number from 0 to 32767.
int random_next();
// A number from a to b + 1, both ends included (q = r / 32767 in double
// precision, rounded to a float, then a + q * (b - a + 1) in double).
double random_range(float a, float b);
// The generator's state, for the developer tools that print the scene.
uint32_t random_state();
