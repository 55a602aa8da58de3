// The mote clouds of Saturn's rings and the asteroid belt.
#include "scene/mote_rings.h"

#include <math.h>

#include "platform.h"
#include "display/gl_window.h"
#include "scene/scene_state.h"

RingMote belt_motes[mote_count];
RingMote ring_motes[mote_count];
float belt_angle;
float ring_angle;

namespace {

const float mote_turn_step = -0.055f;
const double belt_radius = 17.5;
const float ring_tilt = 15.0f;

struct Ring {
    double radius;
    float red, green, blue;  // the outer ring uses the record's own colour
};
const Ring inner_ring = {0.6, 0.7f, 0.6f, 0.0f};
const Ring middle_ring = {0.7, 0.6f, 0.5f, 0.2f};
const double outer_ring_radius = 0.8;

// Record i sits at i degrees plus the turning angle (summed as a float).
void place(RingMote* mote, int i, float angle, double radius) {
    const double radians = static_cast<double>(static_cast<float>(i) + angle) / degrees_per_radian;
    mote->x = static_cast<float>(cos(radians) * radius + mote->offset_x);
    mote->y = static_cast<float>(sin(radians) * radius + mote->offset_y);
}

void draw_mote(const RingMote& mote) {
    gluSphere(scene_quadric, mote.size, 3, 3);
}

void init_motes(RingMote* motes, float blue, bool offset) {
    for (int i = 0; i < mote_count; ++i) {
        RingMote& mote = motes[i];
        mote.red = 0.7f;
        mote.green = 0.5f;
        mote.blue = blue;
        mote.size = static_cast<float>(random_range(0.0f, 5.0f) / 100.0);
        mote.start_angle = belt_angle;
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

void init_belt_motes() {
    init_motes(belt_motes, 0.3f, true);
}

void init_ring_motes() {
    init_motes(ring_motes, 0.0f, false);
}

void draw_saturn_rings() {
    glDisable(GL_TEXTURE_2D);
    step_angle(&ring_angle, mote_turn_step, wrap_below_minus_360);
    for (int i = 0; i < mote_count; ++i) {
        RingMote& mote = ring_motes[i];
        const Ring rings[] = {
            inner_ring,
            middle_ring,
            {outer_ring_radius, mote.red, mote.green, mote.blue},
        };
        // The record keeps the place of the last (outer) ring drawn.
        for (const Ring& ring : rings) {
            glPushMatrix();
            glColor3f(ring.red, ring.green, ring.blue);
            place(&mote, i, ring_angle, ring.radius);
            glTranslatef(mote.x, mote.y, 0.0f);
            glRotatef(ring_tilt, 1.0f, 0.0f, 0.0f);
            draw_mote(mote);
            glPopMatrix();
        }
    }
    glEnable(GL_TEXTURE_2D);
    // Clamped to white by GL.
    glColor3f(255.0f, 255.0f, 255.0f);
}

void draw_asteroid_belt() {
    glDisable(GL_TEXTURE_2D);
    glRotatef(tumble_angle, 1.0f, 1.0f, 0.0f);
    step_angle(&belt_angle, mote_turn_step, wrap_below_minus_360);
    for (int i = 0; i < mote_count; ++i) {
        RingMote& mote = belt_motes[i];
        glPushMatrix();
        glColor3f(mote.red, mote.green, mote.blue);
        place(&mote, i, belt_angle, belt_radius);
        glTranslatef(mote.x, mote.y, 0.0f);
        draw_mote(mote);
        glPopMatrix();
    }
    // Undoes the tumble above; the frame advances the tumble only later.
    glRotatef(-tumble_angle, 1.0f, 1.0f, 0.0f);
    glEnable(GL_TEXTURE_2D);
    glColor3f(255.0f, 255.0f, 255.0f);
}

void reset_motes() {
    belt_angle = ring_angle = 0.0f;
    for (int i = 0; i < mote_count; ++i) belt_motes[i] = ring_motes[i] = RingMote{};
}
