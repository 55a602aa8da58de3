// The scene's start-up, its step and the frame's stages in order.
#include "scene/frame.h"

#include <math.h>

#include "platform.h"
#include "assets/outline_font.h"
#include "assets/textures.h"
#include "scene/comet.h"
#include "scene/mote_rings.h"
#include "scene/planets.h"
#include "scene/scene_state.h"
#include "scene/sun.h"

namespace {

const float title_fade_step = 0.002f;
const float sway_step = 0.01f;
const float sway_wrap = 360.0f;
const double sway_radius = 5.0;
const float tumble_step = 0.02f;
const float background_distance = -2.0f;
const float background_half_size = 1.1f;
const float background_repeats = 3.0f;
const float background_scroll_step = 0.0002f;
const float camera_step = 0.0012f;
const float camera_near = -10.0f;
const float camera_far = -90.0f;

// The sway runs on for ever: held in single precision an angle stops
// growing at 262144 (2^18, where 0.01 is under half a unit in the last
// place), and its step already drifts well before that. Taking a whole
// turn off above 360 keeps it where the first turns run, with the same
// steps. 360 is a float; the true period of cos(a / 57.29578) is
// 360.0000031 degrees, so the wrap moves the point by 5 * 3.1e-6 / 57.3 =
// 2.7e-7 units, under the rounding of the angle itself (3e-5 degrees at
// 360) and far under a pixel. The subtraction is exact (Sterbenz).
void sway(float* angle) {
    *angle += sway_step;
    if (*angle > sway_wrap) *angle -= sway_wrap;
}

void draw_title() {
    if (!scene.for_frame.title) return;
    glPushMatrix();
    glColor4f(0.0f, 0.0f, 1.0f, scene.title_alpha);
    glTranslatef(7.0f, -6.0f, -30.0f);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    // The depth test stays on: the letters write depth too.
    print_centred("Orrelune");
    glPopMatrix();
}

// The first thing in the frame: the star background replaces every pixel
// it covers, and a black border round it every pixel it does not (it is
// narrower than a 4:3 view, let alone a wide one), so the frame needs no
// colour clear. The border reaches a little under the stars' quad, so no
// pixel falls between the two. What the title and the comet add afterwards
// comes out as if added before, onto black: additions that saturate do not
// depend on their order.
void draw_background() {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, background_distance);

    const float inner = background_half_size * 0.99f;
    const float outer = 1.0e6f;  // beyond any view, however wide; clipped away
    static const float border[16][2] = {
        {-outer, -outer}, {-inner, -outer}, {-inner, outer}, {-outer, outer},   // left
        {inner, -outer},  {outer, -outer},  {outer, outer},  {inner, outer},    // right
        {-outer, -outer}, {outer, -outer},  {outer, -inner}, {-outer, -inner},  // below
        {-outer, inner},  {outer, inner},   {outer, outer},  {-outer, outer},   // above
    };
    glDisable(GL_TEXTURE_2D);
    glColor4ub(0, 0, 0, 255);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, border);
    glDrawArrays(GL_QUADS, 0, 16);
    glDisableClientState(GL_VERTEX_ARRAY);

    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    glBindTexture(GL_TEXTURE_2D, texture_set().background);
    static const float corners[4][4] = {
        // x, y, u, v
        {-background_half_size, -background_half_size, 0, 0},
        {background_half_size, -background_half_size, background_repeats, 0},
        {background_half_size, background_half_size, background_repeats, background_repeats},
        {-background_half_size, background_half_size, 0, background_repeats},
    };
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glTexCoord2f(scene.for_frame.background_scroll + c[2], c[3] - scene.for_frame.background_scroll);
        glVertex3f(c[0], c[1], 0.0f);
    }
    glEnd();
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
}

void system_transform() {
    glTranslatef(static_cast<float>(cos(scene.sway_angle_x / degrees_per_radian) * sway_radius),
                 static_cast<float>(sin(scene.sway_angle_y / degrees_per_radian) * sway_radius),
                 scene.for_frame.camera_depth);
    glEnable(GL_DEPTH_TEST);
    // The bodies, orbit lines and motes have alpha 1: they replace what
    // lies behind them, as blending with (source alpha, zero) would, and
    // the sun's stage turns blending on again.
    glDisable(GL_BLEND);
}

}  // namespace

void start_scene() {
    restart_comet(&scene.comet);
    start_motes(&scene.motes);
    start_sun(&scene.sun);
    start_planets(&scene);
}

void init_scene() {
    start_scene();
    shape_comet();
    shape_motes(scene.motes);
    build_planets();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    choose_sun_passes();
}

void step_scene() {
    scene.for_frame.background_scroll = scene.background_scroll;
    scene.for_frame.camera_depth = scene.camera_depth;
    scene.for_frame.tumble_angle = scene.tumble_angle;
    scene.for_frame.title = scene.title_alpha > 0.0f;
    if (scene.for_frame.title) scene.title_alpha -= title_fade_step;
    step_comet(&scene.comet, scene.camera_receding);
    sway(&scene.sway_angle_x);
    sway(&scene.sway_angle_y);
    step_planets(&scene);
    step_motes(&scene.motes);
    step_angle(&scene.tumble_angle, tumble_step, wrap_above_360);
    step_sun(&scene.sun);

    scene.background_scroll += background_scroll_step;
    if (scene.background_scroll > 1.0f) scene.background_scroll -= 1.0f;
    tick_comet(&scene.comet);
    if (scene.camera_receding)
        scene.camera_depth -= camera_step;
    else
        scene.camera_depth += camera_step;
    if (scene.camera_depth > camera_near) scene.camera_receding = TRUE;
    if (scene.camera_depth < camera_far) scene.camera_receding = FALSE;
}

void draw_frame() {
    glLoadIdentity();
    glClear(GL_DEPTH_BUFFER_BIT);
    draw_background();
    draw_title();
    glEnable(GL_TEXTURE_2D);
    draw_comet(scene.comet, scene.for_frame.tumble_angle);
    // The comet's colours came from an array: back to white for the bodies.
    glColor4ub(255, 255, 255, 255);
    // No push: the rest of the frame stands behind the background's plane.
    glTranslatef(0.0f, 0.0f, background_distance);
    system_transform();
    draw_planets(scene);
    draw_orbits(scene);
    draw_asteroid_belt(scene.motes, scene.for_frame.tumble_angle);
    draw_sun(scene.sun);
}

void reset_scene() {
    scene = Scene{};
    sun_passes = 3;
}
