// Saturn's rings and the asteroid belt: clouds of tiny untextured spheres,
// 360 records each (one per degree of arc), turning slowly.
// The rest of the program may use: init_belt_motes and init_ring_motes
// (the scene's start-up, in that order), shape_motes (the drawing's
// set-up), step_motes (the scene's step), draw_saturn_rings (inside
// Saturn's stage), draw_asteroid_belt (after Pluto's stage), and the
// arrays and angles below (read by tools and tests).
#pragma once

struct RingMote {
    float red, green, blue;
    float size;                // radius of the mote's sphere
    float offset_x, offset_y;  // fixed displacement from the circle
};

const int mote_count = 360;
extern RingMote belt_motes[mote_count];
extern RingMote ring_motes[mote_count];
// Turning angles in degrees; they fall from 0 and wrap to 0 below -360.
extern float belt_angle;
extern float ring_angle;

// Fill records 0 to 359 in order, drawing their random numbers in order.
void init_belt_motes();
void init_ring_motes();
// The motes' shapes and colours, from the records, before the first draw.
void shape_motes();

// Turns the rings and the belt by one step each.
void step_motes();

// Expects Saturn's body frame; the three rings share its tilt and spin.
// Leaves texturing on and the colour white; its matrix is discarded by the
// caller's pop.
void draw_saturn_rings();
// Expects the system transform; leaves it as received (its tumble rotation
// undone), texturing on and the colour white.
void draw_asteroid_belt(float tumble_angle);

// Back to program start (angles 0, records zero), for a new run in one
// process.
void reset_motes();
