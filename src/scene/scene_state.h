// What the whole scene shares: the angle convention and the turning
// angles' wrap, the size of its draws, the scene's one random source, and
// the scene's state, one record with its start values.
// The rest of the program may use: random_seed (the saver hook seeds it once
// per run), `scene` (moved by the scene's step, read by its stages and the
// developer tools), step_angle and batch_indices (the scene's stages),
// random_next and random_range (the scene's draws).
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

// The scene's 15-bit generator, on scene.generator (1 at program start).
void random_seed(uint32_t seed);
// The next number from 0 to 32767.
int random_next();
// A number from a to b + 1, both ends included (q = r / 32767 in double
// precision, rounded to a float, then a + q * (b - a + 1) in double).
double random_range(float a, float b);

// One planet's two animated angles, in degrees.
struct PlanetState {
    float orbit_angle;
    float spin_angle;
};

// Planets by their texture slot (texture_set().planets): slot 0 is the earth.
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
// The image names of the slots: "earth", "mercury", ... "pluto".
extern const char* const planet_names[planet_count];

struct CometParticle {
    float life;  // 1 at emission; also the particle's alpha
    float fade;  // life lost per frame
    float red, green, blue;
    float x, y, z;     // place in the comet's frame
    float vx, vy, vz;  // velocity, scaled down by comet_slowdown * 1000
    float ax, ay, az;  // pull, added to the velocity each frame
};
const int comet_particle_count = 1000;

// A particle as the comet's frame draws it.
struct FrameParticle {
    float x, y;
    float red, green, blue, life;
};

struct Comet {
    // The comet is moved and drawn only while active is set.
    BOOL active;
    // Ticks since program start or since the last comet ended.
    LONG ticks;
    // 0: enters at the bottom, 1: top, 2: left, 3: right.
    LONG direction;
    // The centre in eye space; the particles are drawn 55 units behind.
    float x, y, z;
    float speed_x, speed_y;
    // The colour of particles emitted again.
    float red, green, blue;
    CometParticle particles[comet_particle_count];

    // What this tick's frame draws, as the step left it: whether the comet
    // flies, its place, and its particles as they were before the step
    // moved them.
    bool in_frame;
    float frame_x, frame_y, frame_z;
    FrameParticle frame_particles[comet_particle_count];
};

struct RingMote {
    float red, green, blue;
    float size;                // radius of the mote's sphere
    float offset_x, offset_y;  // fixed displacement from the circle
};
const int mote_count = 360;

// Saturn's rings and the asteroid belt: a record per degree of arc each,
// and their turning angles in degrees, which fall from 0 and wrap to 0
// below -360.
struct MoteClouds {
    RingMote belt[mote_count];
    RingMote rings[mote_count];
    float belt_angle;
    float ring_angle;
};

struct Sun {
    // The mask's and the yellow layer's rotation step, and the red
    // layer's, in degrees.
    float angle;
    float counter_angle;
    // The yellow layer's colour on a 0 to 255 scale.
    float red, green, blue;
    // angle before the last step: the mask is turned by it.
    float mask_angle;
};

// The values this tick's frame draws of those the step moves on: the
// background's scroll, the camera's depth and the tumble as the step found
// them, and whether the title was still there.
struct FrameValues {
    float background_scroll;
    float camera_depth;
    float tumble_angle;
    bool title;
};

// Everything in the scene that changes, as it is at program start. The
// first seven values are held from program start (init_scene does not
// reset them); the rest are given by init_scene.
struct Scene {
    uint32_t generator = 1;
    float title_alpha = 1.0f;
    float sway_angle_x = -90.0f;
    float sway_angle_y = 50.0f;
    float camera_depth = -10.0f;
    BOOL camera_receding = TRUE;
    float tumble_angle = 105.0f;
    float background_scroll = 1.0f;

    PlanetState planets[planet_count] = {};
    float moon_angle = 0.0f;
    Comet comet = {};
    MoteClouds motes = {};
    Sun sun = {};
    FrameValues for_frame = {};
};

// The scene of the program's one display window: the scene's step moves it
// and its stages draw it; the generator's functions above use its
// generator. Put back to program start by reset_scene.
extern Scene scene;
