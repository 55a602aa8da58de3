// The comet's start, clock and particles.
#include "scene/comet.h"

#include <math.h>

#include "assets/textures.h"
#include "scene/scene_state.h"

const float comet_colours[comet_colour_count][3] = {
    {1.0f, 0.5f, 0.5f}, {1.0f, 0.75f, 0.5f}, {1.0f, 1.0f, 0.5f}, {0.75f, 1.0f, 0.5f},
    {0.5f, 1.0f, 0.5f}, {0.5f, 1.0f, 0.75f}, {0.5f, 1.0f, 1.0f}, {0.5f, 0.75f, 1.0f},
    {0.5f, 0.5f, 1.0f}, {0.75f, 0.5f, 1.0f}, {1.0f, 0.5f, 1.0f}, {1.0f, 0.5f, 0.75f},
};

namespace {

const float pull = 8.0f;
const float particle_half_size = 0.1f;
const float particle_depth = -55.0f;
const float comet_depth_drift = 0.002f;

// From 0.003 to 0.102 in steps of 0.001.
float draw_fade() {
    return static_cast<float>(random_next() % 100) / 1000.0f + 0.003f;
}

float draw_float(float a, float b) {
    return static_cast<float>(random_range(a, b));
}

float draw_scaled(float a, float b, double divisor) {
    return static_cast<float>(random_range(a, b) / divisor);
}

// The frame's particles: each a square of four corners about the place it
// had before its move, in its colour with its life as alpha, as the strip
// of two triangles (0, 1, 2) and (2, 1, 3).
const int corners = 4;
const int corner_uses = 6;
float corner_points[comet_particle_count * corners][3];
float corner_colours[comet_particle_count * corners][4];
// The same for every particle.
float corner_texture[comet_particle_count * corners][2];
// The particles go in batches of batch_indices at most, each with these
// triangles.
const int particles_per_draw = batch_indices / corner_uses;
GLushort particle_triangles[particles_per_draw * corner_uses];

// Particle n of this frame's batch.
void add_particle(int n, const FrameParticle& p) {
    const float x[corners] = {p.x + particle_half_size, p.x - particle_half_size, p.x + particle_half_size,
                              p.x - particle_half_size};
    const float y[corners] = {p.y + particle_half_size, p.y + particle_half_size, p.y - particle_half_size,
                              p.y - particle_half_size};
    for (int k = 0; k < corners; ++k) {
        float* point = corner_points[n * corners + k];
        point[0] = x[k];
        point[1] = y[k];
        point[2] = particle_depth;
        float* colour = corner_colours[n * corners + k];
        colour[0] = p.red;
        colour[1] = p.green;
        colour[2] = p.blue;
        colour[3] = p.life;
    }
}

// The first `count` particles of the frame, in their order. Flat shading takes
// a particle's colour as it is (smooth shading would interpolate it between
// equal corners and might round it differently).
void draw_particles(int count) {
    glShadeModel(GL_FLAT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int done = 0; done < count; done += particles_per_draw) {
        const int particles = count - done < particles_per_draw ? count - done : particles_per_draw;
        glVertexPointer(3, GL_FLOAT, 0, corner_points[done * corners]);
        glColorPointer(4, GL_FLOAT, 0, corner_colours[done * corners]);
        glTexCoordPointer(2, GL_FLOAT, 0, corner_texture[done * corners]);
        glDrawElements(GL_TRIANGLES, particles * corner_uses, GL_UNSIGNED_SHORT, particle_triangles);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glShadeModel(GL_SMOOTH);
}

void emit_again(CometParticle* p, const Comet& comet) {
    p->life = 1.0f;
    p->fade = draw_fade();
    p->x = p->y = p->z = 0.0f;
    p->vx = static_cast<float>(random_next() % 60 - 32);
    p->vy = static_cast<float>(random_next() % 60 - 30);
    p->vz = static_cast<float>(random_next() % 60 - 30);
    p->red = comet.red;
    p->green = comet.green;
    p->blue = comet.blue;
}

// The row of comet_colours for particle i at a start. (i + 1) / 83 would
// be row 12 for particles 995 to 999, one past the table: they take the
// last row, like 912 to 994.
int comet_colour_row(int i) {
    const int row = (i + 1) / 83;
    return row < comet_colour_count ? row : comet_colour_count - 1;
}

void start_comet(Comet* comet) {
    comet->active = TRUE;
    restart_comet(comet);
    // The draws are made in the order written; random_range reaches b + 1.
    switch (comet->direction) {
    case 0:
    case 1:
        comet->x = draw_float(-40.0f, 40.0f);
        comet->speed_x = draw_scaled(-1.0f, 2.0f, 100.0);
        comet->speed_y = draw_scaled(0.0f, 5.0f, 10.0);
        if (comet->direction == 1) comet->speed_y = -comet->speed_y;
        comet->z = draw_float(-80.0f, 40.0f);
        comet->y = comet->direction == 0 ? -comet_box : comet_box;
        break;
    default:
        comet->y = draw_float(-30.0f, 30.0f);
        comet->speed_x = draw_scaled(0.0f, 5.0f, 10.0);
        if (comet->direction == 3) comet->speed_x = -comet->speed_x;
        comet->speed_y = draw_scaled(-1.0f, 2.0f, 100.0);
        comet->z = draw_float(-80.0f, 40.0f);
        comet->x = comet->direction == 2 ? -comet_box : comet_box;
        break;
    }
    comet->blue = draw_scaled(0.0f, 10.0f, 10.0);
    comet->red = draw_scaled(0.0f, 10.0f, 10.0);
    comet->green = draw_scaled(0.0f, 10.0f, 10.0);
}

}  // namespace

void restart_comet(Comet* comet) {
    // Both draws are made whichever way the first one falls.
    const float d1 = draw_float(1.0f, 10.0f);
    const float d2 = draw_float(1.0f, 10.0f);
    if (d1 > 5.0f)
        comet->direction = d2 > 5.0f ? 0 : 1;
    else
        comet->direction = d2 > 5.0f ? 2 : 3;
    // The tail is pulled back towards the side the comet enters from.
    static const float pulls[4][2] = {{0.0f, -pull}, {0.0f, pull}, {-pull, 0.0f}, {pull, 0.0f}};

    for (int i = 0; i < comet_particle_count; ++i) {
        CometParticle& p = comet->particles[i];
        p.life = 1.0f;
        p.fade = draw_fade();
        const float* colour = comet_colours[comet_colour_row(i)];
        p.red = colour[0];
        p.green = colour[1];
        p.blue = colour[2];
        p.vx = p.vy = p.vz = 0.0f;
        p.ax = pulls[comet->direction][0];
        p.ay = pulls[comet->direction][1];
        p.az = 0.0f;
        // x, y and z stay where the last comet left them.
    }
}

void tick_comet(Comet* comet) {
    ++comet->ticks;
    // Equality: while a comet is out the counter runs past the start tick.
    if (comet->ticks == comet_start_tick) start_comet(comet);
}

void shape_comet() {
    static const float texture[corners][2] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    static const GLushort strip[corner_uses] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < comet_particle_count; ++i) {
        for (int k = 0; k < corners; ++k) {
            corner_texture[i * corners + k][0] = texture[k][0];
            corner_texture[i * corners + k][1] = texture[k][1];
        }
    }
    for (int i = 0; i < particles_per_draw; ++i)
        for (int k = 0; k < corner_uses; ++k)
            particle_triangles[i * corner_uses + k] = static_cast<GLushort>(i * corners + strip[k]);
}

void step_comet(Comet* comet, BOOL camera_receding) {
    comet->in_frame = comet->active != FALSE;
    if (!comet->active) return;
    // x is tested after its step and y before its step, so a comet leaving
    // through the top or bottom ends one frame later than through a side.
    comet->x += comet->speed_x;
    if (comet->x < -comet_box || comet->x > comet_box || comet->y > comet_box || comet->y < -comet_box) {
        comet->active = FALSE;
        comet->ticks = 0;
    }
    comet->y += comet->speed_y;
    if (camera_receding)
        comet->z += comet_depth_drift;
    else
        comet->z -= comet_depth_drift;
    comet->frame_x = comet->x;
    comet->frame_y = comet->y;
    comet->frame_z = comet->z;

    const float step_divisor = comet_slowdown * 1000.0f;
    for (int i = 0; i < comet_particle_count; ++i) {
        CometParticle& p = comet->particles[i];
        comet->frame_particles[i] = {p.x, p.y, p.red, p.green, p.blue, p.life};
        p.x += p.vx / step_divisor;
        p.y += p.vy / step_divisor;
        p.z += p.vz / step_divisor;
        p.vx += p.ax;
        p.vy += p.ay;
        p.vz += p.az;
        p.life -= p.fade;
        // Strictly below: a life of exactly 0 is drawn once more, at alpha 0.
        if (p.life < 0.0f) emit_again(&p, *comet);
    }
}

void draw_comet(const Comet& comet, float tumble_angle) {
    if (!comet.in_frame) return;
    glPushMatrix();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    const double wobble = static_cast<double>(tumble_angle) / degrees_per_radian;
    glTranslated(cos(wobble) + comet.frame_x, sin(wobble) + comet.frame_y, comet.frame_z);
    glBindTexture(GL_TEXTURE_2D, texture_set().particle);
    for (int i = 0; i < comet_particle_count; ++i) add_particle(i, comet.frame_particles[i]);
    draw_particles(comet_particle_count);
    glPopMatrix();
}
