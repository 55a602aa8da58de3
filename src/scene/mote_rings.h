// Saturn's rings and the asteroid belt: clouds of tiny untextured spheres,
// 360 records each (one per degree of arc), turning slowly.
// The rest of the program may use: start_motes (the scene's start-up),
// shape_motes (the drawing's set-up), step_motes (the scene's step),
// draw_saturn_rings (inside Saturn's stage) and draw_asteroid_belt (after
// Pluto's stage).
#pragma once

#include "scene/scene_state.h"

// Fills the belt's records 0 to 359, then the rings', drawing their random
// numbers in that order.
void start_motes(MoteClouds* motes);
// The motes' shapes and colours, from the records, before the first draw.
void shape_motes(const MoteClouds& motes);

// Turns the rings and the belt by one step each.
void step_motes(MoteClouds* motes);

// Expects Saturn's body frame; the three rings share its tilt and spin.
// Leaves texturing on and the colour white; its matrix is discarded by the
// caller's pop.
void draw_saturn_rings(const MoteClouds& motes);
// Expects the system transform; leaves it as received (its tumble rotation
// undone), texturing on and the colour white.
void draw_asteroid_belt(const MoteClouds& motes, float tumble_angle);
