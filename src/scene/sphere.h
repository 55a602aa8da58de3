// GLU's sphere as arrays: the points and triangles that gluSphere draws
// with a filled quadric facing outward, in GLU's own float arithmetic, so
// that drawn from a display list or from arrays it covers the same pixels
// as gluSphere, as one primitive (many motes can then go in one draw).
// The rest of the program may use: Sphere, make_sphere and draw_sphere
// (the planets' spheres and the mote clouds, made once at start).
#pragma once

#include "platform.h"

const int sphere_max_slices = 20;
const int sphere_max_stacks = 20;

struct SpherePoint {
    float x, y, z;
    float s, t;  // GLU's texture coordinates
};

struct Sphere {
    // In the order in which the triangles first use them.
    int point_count;
    SpherePoint points[(sphere_max_slices + 1) * (sphere_max_stacks + 1)];
    // Three corners a triangle, in the order in which Mesa's renderer splits
    // GLU's quad strips; the strips' empty triangles at the poles are left out.
    int corner_count;
    GLushort corners[2 * sphere_max_slices * (sphere_max_stacks - 1) * 3];
};

// As gluSphere(quadric, radius, slices, stacks), slices and stacks from 3
// up to the maxima above. Without texture coordinates the points that GLU
// repeats only for those (along each pole and the seam) are shared.
void make_sphere(double radius, int slices, int stacks, bool textured, Sphere* sphere);

// Draws it as one primitive from its arrays, with texture coordinates.
void draw_sphere(const Sphere& sphere);
