// The comet: 1000 additively blended particles that cross the scene in eye
// space, starting 500 ticks after the run starts and 500 ticks after each
// comet has left its box.
// The rest of the program may use: restart_comet (the scene's start-up),
// shape_comet (the drawing's set-up), step_comet and tick_comet (the
// scene's step, in that order), draw_comet (the frame's comet stage), and
// the values below (read by tools and tests).
#pragma once

#include "platform.h"
#include "scene/scene_state.h"

// The particles' start colours, by particle index.
const int comet_colour_count = 12;
extern const float comet_colours[comet_colour_count][3];

const float comet_slowdown = 2.0f;
// The comet's centre leaves when it is strictly beyond this in x or y.
const float comet_box = 80.0f;
// A comet starts when its tick count reaches this exactly.
const LONG comet_start_tick = 500;

// Chooses the direction and resets every particle except its place.
void restart_comet(Comet* comet);
// The particles' texture corners and triangles, once, before the first draw.
void shape_comet();
// Moves a flying comet and its particles, drifting in depth with the
// camera, ending it once it leaves its box; keeps what its frame shows.
void step_comet(Comet* comet, BOOL camera_receding);
// Counts a tick; on the 500th since the last comet, starts the next one.
void tick_comet(Comet* comet);
// Draws what the last step_comet kept, the comet's place turned by the
// tumble angle the frame shows. Expects the identity model-view matrix,
// texturing and the depth test on. Leaves the matrix as received, blending
// on with (GL_SRC_ALPHA, GL_ONE).
void draw_comet(const Comet& comet, float tumble_angle);
