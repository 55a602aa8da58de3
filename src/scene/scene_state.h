// What the whole scene shares: the angle convention and the turning
// angles' wrap, the size of its draws, the scene's one random source, and
// the animated state with its start values.
// The rest of the program may use: random_seed (the saver hook seeds it once
// per run), the state below (moved by the scene's step, read by its stages
// and the developer tools), step_angle and batch_indices (the scene's
// stages), random_next and random_range (the scene's draws), and
// reset_scene_state (a new run in one process).
#pragma once

#include <stdint.h>

#include "platform.h"

// Degrees become radians by dividing by this (not by 180/pi): the
// animation's look is tuned to it.
const double degrees_per_radian = 57.29578;

// Mesa's software renderer takes a batch of up to this many indices,
// counted from 0, in one piece, and cuts a longer one into many small ones
// (an allocation each): the scene's batches stay within it.
const int batch_indices = 4096;

// Where a turning angle starts again from 0: a falling one once it is below
// -360, a rising one once it is above 360. It is set to 0, not moved by a
// whole turn, so in that frame the body jumps back by less than one step.
enum AngleWrap { wrap_below_minus_360, wrap_above_360 };
// Adds step (negative for a falling angle), then applies the wrap.
void step_angle(float* angle, float step, AngleWrap wrap);

// The scene's 15-bit generator: its state is 1 at program start.
void random_seed(uint32_t seed);
// The next number from 0 to 32767.
int random_next();
// A number from a to b + 1, both ends included (q = r / 32767 in double
// precision, rounded to a float, then a + q * (b - a + 1) in double).
double random_range(float a, float b);
// The generator's state, for the developer tools that print the scene.
uint32_t random_state();

// One planet's two animated angles, in degrees.
struct PlanetState {
    float orbit_angle;
    float spin_angle;
};

// Planets by their texture slot (planet_textures): slot 0 is the earth.
enum PlanetSlot {
    earth_slot,
    mercury_slot,
    venus_slot,
    mars_slot,
    jupiter_slot,
    saturn_slot,
    uranus_slot,
    neptune_slot,
    pluto_slot,
};
const int planet_count = pluto_slot + 1;
extern PlanetState planets[planet_count];
// The image names of the slots: "earth", "mercury", ... "pluto".
extern const char* const planet_names[planet_count];

// Held from program start; init_scene does not reset them.
extern float title_alpha;
extern float sway_angle_x;
extern float sway_angle_y;
extern float camera_depth;
extern BOOL camera_receding;
extern float tumble_angle;
extern float background_scroll;
// Given by init_scene.
extern float moon_angle;

// Puts the values above and the generator back as they are at program
// start (the tests run several runs in one process).
void reset_scene_state();
