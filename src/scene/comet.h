// The comet: 1000 additively blended particles that cross the scene in eye
// space, starting 500 ticks after the run starts and 500 ticks after each
// comet has left its box.
// The rest of the program may use: restart_comet (the scene's start-up),
// shape_comet (the drawing's set-up), step_comet and tick_comet (the
// scene's step, in that order), draw_comet (the frame's comet stage), and
// the state below (read by tools and tests).
#pragma once

#include "platform.h"

struct CometParticle {
    float life;  // 1 at emission; also the particle's alpha
    float fade;  // life lost per frame
    float red, green, blue;
    float x, y, z;     // place in the comet's frame
    float vx, vy, vz;  // velocity, scaled down by comet_slowdown * 1000
    float ax, ay, az;  // pull, added to the velocity each frame
};

const int comet_particle_count = 1000;
extern CometParticle comet_particles[comet_particle_count];

// The particles' start colours, by particle index.
const int comet_colour_count = 12;
extern const float comet_colours[comet_colour_count][3];

// The comet is drawn and moved only while comet_active is set.
extern BOOL comet_active;
// Ticks since program start or since the last comet ended.
extern LONG comet_ticks;
// 0: enters at the bottom, 1: top, 2: left, 3: right.
extern LONG comet_direction;
// The comet's centre in eye space; its particles are drawn 55 units behind.
extern float comet_x, comet_y, comet_z;
extern float comet_speed_x, comet_speed_y;
// The colour of particles emitted again.
extern float comet_red, comet_green, comet_blue;
const float comet_slowdown = 2.0f;

// The comet's centre leaves when it is strictly beyond this in x or y.
const float comet_box = 80.0f;
// A comet starts when comet_ticks reaches this exactly.
const LONG comet_start_tick = 500;

// Chooses the direction and resets every particle except its place.
void restart_comet();
// The particles' texture corners and triangles, once, before the first draw.
void shape_comet();
// Moves a flying comet and its particles, ending it once it leaves its
// box, and keeps what its frame shows: where it was and its particles as
// they were before the move.
void step_comet();
// Counts a tick; on the 500th since the last comet, starts the next one.
void tick_comet();
// Draws what the last step_comet kept, the comet's place turned by the
// tumble angle the frame shows. Expects the identity model-view matrix,
// texturing and the depth test on. Leaves the matrix as received, blending
// on with (GL_SRC_ALPHA, GL_ONE).
void draw_comet(float tumble_angle);

// Back to program start (idle, counter 0, particles zero), for a new run
// in one process.
void reset_comet();
