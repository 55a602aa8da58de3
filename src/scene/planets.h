// The nine planets: their table, the moon, Saturn's rings inside Saturn's
// stage, and the orbit lines.
// The rest of the program may use: start_planets (the scene's start-up,
// after the comet's and the motes'), build_planets (the drawing's set-up),
// step_planets (the scene's step), draw_planets and draw_orbits (the
// frame's stages, in that order).
#pragma once

#include "scene/scene_state.h"

// The earth's and the moon's start values, and the other planets' start
// angles drawn in order.
void start_planets(Scene* scene);
// Makes the planets' and the moon's spheres and the orbit lines, once.
void build_planets();

// Moves every orbit, spin and the moon by one step.
void step_planets(Scene* scene);

// Each planet where its angles put it, tumbled by the angle the frame
// shows, after the system transform.
void draw_planets(const Scene& scene);
// After all the bodies: a line and a body meet only where the depth test
// decides between them, whichever comes first.
void draw_orbits(const Scene& scene);
