// The frame's stages in order, the planet table and the advance.
#include "scene/frame.h"

#include <math.h>

#include "platform.h"
#include "assets/outline_font.h"
#include "assets/textures.h"
#include "scene/comet.h"
#include "scene/mote_rings.h"
#include "scene/scene_state.h"
#include "scene/sphere.h"
#include "scene/sun.h"

namespace {

struct Tilt {
    float angle;  // 0: none
    float x, y, z;
};

void draw_moon();

struct PlanetRow {
    PlanetSlot slot;
    double centre_x, centre_y;
    double radius;
    float orbit_lean;  // about x, outside the tumble: the whole orbit leans (0: none)
    float orbit_step;
    Tilt tilt;
    float spin_step;
    AngleWrap spin_wrap;
    double sphere_radius;
    void (*inside)();  // drawn in the body's frame after its sphere, or NULL
};

// In drawing order, innermost first. Every orbit falls and wraps below -360.
const PlanetRow planet_rows[] = {
    {mercury_slot, 0, 0, 5, 0, -0.09f, {0, 0, 0, 0}, -0.2f, wrap_below_minus_360, 0.07, NULL},
    {venus_slot, 0, 0, 8, 0, -0.08f, {0, 0, 0, 0}, -0.5f, wrap_below_minus_360, 0.09, NULL},
    {earth_slot, 0, 0, 11, 0, -0.07f, {20, 1, 0, 0}, -0.5f, wrap_below_minus_360, 0.1, draw_moon},
    {mars_slot, 0, 0, 14, 0, -0.06f, {-20, 0, 1, 0}, -0.5f, wrap_below_minus_360, 0.08, NULL},
    {jupiter_slot, 0, 0, 21, 0, -0.05f, {0, 0, 0, 0}, -0.5f, wrap_below_minus_360, 0.6, NULL},
    {saturn_slot, 0, 0, 25, 0, -0.04f, {-20, 0, 1, 0}, -0.5f, wrap_below_minus_360, 0.45, draw_saturn_rings},
    {uranus_slot, 0, 0, 29, 0, -0.03f, {80, 0, 1, 0}, 0.5f, wrap_above_360, 0.3, NULL},
    {neptune_slot, 0, 0, 33, 0, -0.02f, {20, 1, 0, 0}, -0.5f, wrap_below_minus_360, 0.3, NULL},
    {pluto_slot, -7, 2, 36, 15, -0.01f, {80, 1, 0, 0}, -0.5f, wrap_below_minus_360, 0.025, NULL},
};

const int row_count = sizeof planet_rows / sizeof planet_rows[0];
const int sphere_slices = 20;
const int sphere_stacks = 20;

// Made once by build_planets and drawn from arrays, each in one batch of
// fewer than batch_indices: each row's sphere and the moon's after them,
// and each row's orbit line, closed at the whole degrees 0 to 360. The
// lines that do not lean share one place, so up to orbits_per_draw of them
// go in one draw of separate segments, each loop's closing one included.
Sphere spheres[row_count + 1];
const int moon_sphere = row_count;
const int orbit_points = 361;
float orbits[row_count][orbit_points][2];
const int orbits_per_draw = batch_indices / (2 * orbit_points);
GLushort orbit_segments[orbits_per_draw][orbit_points][2];

const float title_fade_step = 0.002f;
const float sway_step = 0.01f;
const float sway_wrap = 360.0f;
const double sway_radius = 5.0;
const float tumble_step = 0.02f;
const float moon_step = -0.2f;
const double moon_orbit_radius = 0.3;
const double moon_sphere_radius = 0.02;
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

double radians(float degrees) {
    return static_cast<double>(degrees) / degrees_per_radian;
}

void draw_title() {
    if (!(title_alpha > 0.0f)) return;
    glPushMatrix();
    title_alpha -= title_fade_step;
    glColor4f(0.0f, 0.0f, 1.0f, title_alpha);
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
    glBindTexture(GL_TEXTURE_2D, background_texture);
    static const float corners[4][4] = {
        // x, y, u, v
        {-background_half_size, -background_half_size, 0, 0},
        {background_half_size, -background_half_size, background_repeats, 0},
        {background_half_size, background_half_size, background_repeats, background_repeats},
        {-background_half_size, background_half_size, 0, background_repeats},
    };
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glTexCoord2f(background_scroll + c[2], c[3] - background_scroll);
        glVertex3f(c[0], c[1], 0.0f);
    }
    glEnd();
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
}

void system_transform() {
    sway(&sway_angle_x);
    sway(&sway_angle_y);
    glTranslatef(static_cast<float>(cos(radians(sway_angle_x)) * sway_radius),
                 static_cast<float>(sin(radians(sway_angle_y)) * sway_radius), camera_depth);
    glEnable(GL_DEPTH_TEST);
    // The bodies, orbit lines and motes have alpha 1: they replace what
    // lies behind them, as blending with (source alpha, zero) would, and
    // the sun's stage turns blending on again.
    glDisable(GL_BLEND);
}

void draw_moon() {
    step_angle(&moon_angle, moon_step, wrap_below_minus_360);
    glPushMatrix();
    glTranslated(cos(radians(moon_angle)) * moon_orbit_radius, sin(radians(moon_angle)) * moon_orbit_radius, 0.0);
    glBindTexture(GL_TEXTURE_2D, planet_textures[mercury_slot]);
    draw_sphere(spheres[moon_sphere]);
    glPopMatrix();
}

// Orbit lines from `first`, count of them, all leaning as row `first` does.
void draw_orbit_lines(int first, int count) {
    glPushMatrix();
    const float lean = planet_rows[first].orbit_lean;
    if (lean != 0.0f) glRotatef(lean, 1.0f, 0.0f, 0.0f);
    glRotatef(tumble_angle, 1.0f, 1.0f, 0.0f);
    glVertexPointer(2, GL_FLOAT, 0, orbits[first]);
    glDrawElements(GL_LINES, count * orbit_points * 2, GL_UNSIGNED_SHORT, orbit_segments);
    glPopMatrix();
}

// After all the bodies: a line and a body meet only where the depth test
// decides between them, whichever comes first.
void draw_orbits() {
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 0.4f);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int first = 0; first < row_count;) {
        int count = 1;
        while (first + count < row_count && count < orbits_per_draw &&
               planet_rows[first + count].orbit_lean == planet_rows[first].orbit_lean)
            ++count;
        draw_orbit_lines(first, count);
        first += count;
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glEnable(GL_TEXTURE_2D);
    // The texture environment multiplies by the colour: back to white.
    glColor3f(1.0f, 1.0f, 1.0f);
}

void draw_planet(const PlanetRow& row, int index) {
    PlanetState& planet = planets[row.slot];
    step_angle(&planet.orbit_angle, row.orbit_step, wrap_below_minus_360);

    glPushMatrix();
    if (row.orbit_lean != 0.0f) glRotatef(row.orbit_lean, 1.0f, 0.0f, 0.0f);
    glRotatef(tumble_angle, 1.0f, 1.0f, 0.0f);
    glTranslated(cos(radians(planet.orbit_angle)) * row.radius + row.centre_x,
                 sin(radians(planet.orbit_angle)) * row.radius + row.centre_y, 0.0);

    step_angle(&planet.spin_angle, row.spin_step, row.spin_wrap);
    if (row.tilt.angle != 0.0f) glRotatef(row.tilt.angle, row.tilt.x, row.tilt.y, row.tilt.z);
    glRotatef(planet.spin_angle, 0.0f, 0.0f, 1.0f);

    glBindTexture(GL_TEXTURE_2D, planet_textures[row.slot]);
    draw_sphere(spheres[index]);

    if (row.inside) row.inside();
    glPopMatrix();
}

}  // namespace

void build_planets() {
    // GLU's normals are left out: the scene never turns lighting on.
    for (int i = 0; i < row_count; ++i)
        make_sphere(planet_rows[i].sphere_radius, sphere_slices, sphere_stacks, true, &spheres[i]);
    make_sphere(moon_sphere_radius, sphere_slices, sphere_stacks, true, &spheres[moon_sphere]);
    for (int i = 0; i < row_count; ++i) {
        const PlanetRow& row = planet_rows[i];
        for (int degree = 0; degree < orbit_points; ++degree) {
            const double a = degree / degrees_per_radian;
            orbits[i][degree][0] = static_cast<float>(cos(a) * row.radius + row.centre_x);
            orbits[i][degree][1] = static_cast<float>(sin(a) * row.radius + row.centre_y);
        }
    }
    for (int orbit = 0; orbit < orbits_per_draw; ++orbit)
        for (int point = 0; point < orbit_points; ++point) {
            orbit_segments[orbit][point][0] = static_cast<GLushort>(orbit * orbit_points + point);
            orbit_segments[orbit][point][1] = static_cast<GLushort>(orbit * orbit_points + (point + 1) % orbit_points);
        }
}

void render_frame() {
    glLoadIdentity();
    glClear(GL_DEPTH_BUFFER_BIT);
    draw_background();
    draw_title();
    glEnable(GL_TEXTURE_2D);
    draw_comet();
    // The comet's colours came from an array: back to white for the bodies.
    glColor4ub(255, 255, 255, 255);
    // No push: the rest of the frame stands behind the background's plane.
    glTranslatef(0.0f, 0.0f, background_distance);
    system_transform();
    for (int i = 0; i < row_count; ++i) draw_planet(planet_rows[i], i);
    draw_orbits();
    draw_asteroid_belt();

    // Used from the next frame on.
    step_angle(&tumble_angle, tumble_step, wrap_above_360);

    draw_sun();
}

void advance_scene() {
    background_scroll += background_scroll_step;
    if (background_scroll > 1.0f) background_scroll -= 1.0f;

    tick_comet();

    if (camera_receding)
        camera_depth -= camera_step;
    else
        camera_depth += camera_step;
    if (camera_depth > camera_near) camera_receding = TRUE;
    if (camera_depth < camera_far) camera_receding = FALSE;
}

void reset_scene() {
    reset_scene_state();
    reset_comet();
    reset_motes();
    reset_sun();
}
