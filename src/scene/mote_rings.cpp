// The mote clouds of Saturn's rings and the asteroid belt.
#include "scene/mote_rings.h"

#include <math.h>

#include "platform.h"
#include "scene/scene_state.h"
#include "scene/sphere.h"

namespace {

const double pi = 3.14159265358979323846;
const float mote_turn_step = -0.055f;
const double belt_radius = 17.5;
const double ring_tilt = 15.0;  // degrees about x, each mote on its own place

struct Ring {
    double radius;
    float red, green, blue;  // the outer ring uses the record's own colour
};
const Ring inner_ring = {0.6, 0.7f, 0.6f, 0.0f};
const Ring middle_ring = {0.7, 0.6f, 0.5f, 0.2f};
const double outer_ring_radius = 0.8;
const int ring_count = 3;

// A mote is GLU's sphere of 3 slices and 3 stacks: a pole, two rings of
// three points and the other pole, as 12 triangles.
const int mote_slices = 3;
const int mote_stacks = 3;
const int mote_points = 8;
const int mote_corners = 12 * 3;

struct Point {
    float x, y, z;
};
struct Colour {
    float red, green, blue;
};

// Both clouds in one set of arrays, the belt's motes first, then the
// rings' (record i's inner, middle and outer mote in turn). Only the points
// change from frame to frame; each mote's shape about its centre and the
// colours are made at start.
const int ring_first = mote_count;
const int cloud_motes = mote_count + mote_count * ring_count;
Point shapes[cloud_motes][mote_points];
Point points[cloud_motes][mote_points];
Colour colours[cloud_motes][mote_points];

// A cloud goes in batches of batch_indices at most, each with the same
// triangles over its own stretch of the arrays.
const int motes_per_draw = batch_indices / mote_corners;
GLushort triangles[motes_per_draw * mote_corners];

// Mote m's points about where record i sits: at i degrees plus the turning
// angle (summed as a float) on the circle of the radius.
void move_mote(int m, const RingMote& mote, int i, float angle, double radius) {
    const double radians = static_cast<double>(static_cast<float>(i) + angle) / degrees_per_radian;
    const float x = static_cast<float>(cos(radians) * radius + mote.offset_x);
    const float y = static_cast<float>(sin(radians) * radius + mote.offset_y);
    for (int k = 0; k < mote_points; ++k) points[m][k] = {shapes[m][k].x + x, shapes[m][k].y + y, shapes[m][k].z};
}

// The triangles of the first motes_per_draw motes (every mote's are alike).
void number_triangles() {
    Sphere sphere;
    make_sphere(1.0, mote_slices, mote_stacks, false, &sphere);
    for (int m = 0; m < motes_per_draw; ++m)
        for (int k = 0; k < mote_corners; ++k)
            triangles[m * mote_corners + k] = static_cast<GLushort>(m * mote_points + sphere.corners[k]);
}

// Mote m of the clouds: its shape turned by `tilt` degrees about x (as
// glRotatef turns it) and its colour.
void shape_mote(int m, const RingMote& mote, double tilt, float red, float green, float blue) {
    Sphere sphere;
    make_sphere(mote.size, mote_slices, mote_stacks, false, &sphere);
    const double c = cos(tilt * pi / 180), s = sin(tilt * pi / 180);
    for (int k = 0; k < mote_points; ++k) {
        const SpherePoint& p = sphere.points[k];
        shapes[m][k] = {p.x, static_cast<float>(p.y * c - p.z * s), static_cast<float>(p.y * s + p.z * c)};
        colours[m][k] = {red, green, blue};
    }
}

// Motes first to first + count - 1, in their order. A mote
// has one colour: flat shading takes it as it is, where smooth shading
// would interpolate it between equal corners and may round it the other
// way (the belt's 0.7, 0.5 and 0.3 fall half-way between two steps).
void draw_motes(int first, int count) {
    glShadeModel(GL_FLAT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (int done = 0; done < count; done += motes_per_draw) {
        const int motes = count - done < motes_per_draw ? count - done : motes_per_draw;
        glVertexPointer(3, GL_FLOAT, 0, points[first + done]);
        glColorPointer(3, GL_FLOAT, 0, colours[first + done]);
        glDrawElements(GL_TRIANGLES, motes * mote_corners, GL_UNSIGNED_SHORT, triangles);
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glShadeModel(GL_SMOOTH);
}

void init_motes(RingMote* motes, float blue, bool offset) {
    for (int i = 0; i < mote_count; ++i) {
        RingMote& mote = motes[i];
        mote.red = 0.7f;
        mote.green = 0.5f;
        mote.blue = blue;
        mote.size = static_cast<float>(random_range(0.0f, 5.0f) / 100.0);
        if (offset) {
            // random_range reaches b + 1: the offsets span -0.5 to 1.5.
            mote.offset_x = static_cast<float>(random_range(-0.5f, 0.5f));
            mote.offset_y = static_cast<float>(random_range(-0.5f, 0.5f));
        } else {
            mote.offset_x = mote.offset_y = 0.0f;
        }
    }
}

}  // namespace

void start_motes(MoteClouds* motes) {
    init_motes(motes->belt, 0.3f, true);
    init_motes(motes->rings, 0.0f, false);
}

void shape_motes(const MoteClouds& motes) {
    number_triangles();
    for (int i = 0; i < mote_count; ++i) {
        const RingMote& mote = motes.belt[i];
        shape_mote(i, mote, 0.0, mote.red, mote.green, mote.blue);
    }
    for (int i = 0; i < mote_count; ++i) {
        const RingMote& mote = motes.rings[i];
        const int m = ring_first + i * ring_count;
        shape_mote(m, mote, ring_tilt, inner_ring.red, inner_ring.green, inner_ring.blue);
        shape_mote(m + 1, mote, ring_tilt, middle_ring.red, middle_ring.green, middle_ring.blue);
        shape_mote(m + 2, mote, ring_tilt, mote.red, mote.green, mote.blue);
    }
}

void step_motes(MoteClouds* motes) {
    step_angle(&motes->ring_angle, mote_turn_step, wrap_below_minus_360);
    step_angle(&motes->belt_angle, mote_turn_step, wrap_below_minus_360);
}

void draw_saturn_rings(const MoteClouds& motes) {
    glDisable(GL_TEXTURE_2D);
    const double radii[ring_count] = {inner_ring.radius, middle_ring.radius, outer_ring_radius};
    for (int i = 0; i < mote_count; ++i)
        for (int ring = 0; ring < ring_count; ++ring)
            move_mote(ring_first + i * ring_count + ring, motes.rings[i], i, motes.ring_angle, radii[ring]);
    draw_motes(ring_first, mote_count * ring_count);
    glEnable(GL_TEXTURE_2D);
    // Clamped to white by GL.
    glColor3f(255.0f, 255.0f, 255.0f);
}

void draw_asteroid_belt(const MoteClouds& motes, float tumble_angle) {
    glDisable(GL_TEXTURE_2D);
    glRotatef(tumble_angle, 1.0f, 1.0f, 0.0f);
    for (int i = 0; i < mote_count; ++i) move_mote(i, motes.belt[i], i, motes.belt_angle, belt_radius);
    draw_motes(0, mote_count);
    // Undoes the tumble above.
    glRotatef(-tumble_angle, 1.0f, 1.0f, 0.0f);
    glEnable(GL_TEXTURE_2D);
    glColor3f(255.0f, 255.0f, 255.0f);
}
