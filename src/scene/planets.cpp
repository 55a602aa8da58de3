// The planet table, the planets' and the moon's motion and their drawing.
#include "scene/planets.h"

#include <math.h>

#include "platform.h"
#include "assets/textures.h"
#include "scene/mote_rings.h"
#include "scene/scene_state.h"
#include "scene/sphere.h"

namespace {

struct Tilt {
    float angle;  // 0: none
    float x, y, z;
};

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
    bool moon;   // the earth's: the moon turns about it
    bool rings;  // Saturn's: its rings are drawn in its frame
};

// In drawing order, innermost first. Every orbit falls and wraps below -360.
const PlanetRow planet_rows[] = {
    {mercury_slot, 0, 0, 5, 0, -0.09f, {0, 0, 0, 0}, -0.2f, wrap_below_minus_360, 0.07, false, false},
    {venus_slot, 0, 0, 8, 0, -0.08f, {0, 0, 0, 0}, -0.5f, wrap_below_minus_360, 0.09, false, false},
    {earth_slot, 0, 0, 11, 0, -0.07f, {20, 1, 0, 0}, -0.5f, wrap_below_minus_360, 0.1, true, false},
    {mars_slot, 0, 0, 14, 0, -0.06f, {-20, 0, 1, 0}, -0.5f, wrap_below_minus_360, 0.08, false, false},
    {jupiter_slot, 0, 0, 21, 0, -0.05f, {0, 0, 0, 0}, -0.5f, wrap_below_minus_360, 0.6, false, false},
    {saturn_slot, 0, 0, 25, 0, -0.04f, {-20, 0, 1, 0}, -0.5f, wrap_below_minus_360, 0.45, false, true},
    {uranus_slot, 0, 0, 29, 0, -0.03f, {80, 0, 1, 0}, 0.5f, wrap_above_360, 0.3, false, false},
    {neptune_slot, 0, 0, 33, 0, -0.02f, {20, 1, 0, 0}, -0.5f, wrap_below_minus_360, 0.3, false, false},
    {pluto_slot, -7, 2, 36, 15, -0.01f, {80, 1, 0, 0}, -0.5f, wrap_below_minus_360, 0.025, false, false},
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

const float moon_step = -0.2f;
const double moon_orbit_radius = 0.3;
const double moon_sphere_radius = 0.02;

const float earth_orbit_start = 155.0f;
const float earth_spin_start = 105.5f;
const float moon_angle_start = 6.0f;
const float planet_spin_start = 0.5f;

double radians(float degrees) {
    return static_cast<double>(degrees) / degrees_per_radian;
}

void draw_moon(float moon_angle) {
    glPushMatrix();
    glTranslated(cos(radians(moon_angle)) * moon_orbit_radius, sin(radians(moon_angle)) * moon_orbit_radius, 0.0);
    glBindTexture(GL_TEXTURE_2D, texture_set().planets[mercury_slot]);
    draw_sphere(spheres[moon_sphere]);
    glPopMatrix();
}

// Orbit lines from `first`, count of them, all leaning as row `first` does.
void draw_orbit_lines(int first, int count, float tumble_angle) {
    glPushMatrix();
    const float lean = planet_rows[first].orbit_lean;
    if (lean != 0.0f) glRotatef(lean, 1.0f, 0.0f, 0.0f);
    glRotatef(tumble_angle, 1.0f, 1.0f, 0.0f);
    glVertexPointer(2, GL_FLOAT, 0, orbits[first]);
    glDrawElements(GL_LINES, count * orbit_points * 2, GL_UNSIGNED_SHORT, orbit_segments);
    glPopMatrix();
}

void draw_planet(const Scene& scene, const PlanetRow& row, int index) {
    const PlanetState& planet = scene.planets[row.slot];
    const float tumble_angle = scene.for_frame.tumble_angle;
    glPushMatrix();
    if (row.orbit_lean != 0.0f) glRotatef(row.orbit_lean, 1.0f, 0.0f, 0.0f);
    glRotatef(tumble_angle, 1.0f, 1.0f, 0.0f);
    glTranslated(cos(radians(planet.orbit_angle)) * row.radius + row.centre_x,
                 sin(radians(planet.orbit_angle)) * row.radius + row.centre_y, 0.0);
    if (row.tilt.angle != 0.0f) glRotatef(row.tilt.angle, row.tilt.x, row.tilt.y, row.tilt.z);
    glRotatef(planet.spin_angle, 0.0f, 0.0f, 1.0f);

    glBindTexture(GL_TEXTURE_2D, texture_set().planets[row.slot]);
    draw_sphere(spheres[index]);

    if (row.moon) draw_moon(scene.moon_angle);
    if (row.rings) draw_saturn_rings(scene.motes);
    glPopMatrix();
}

}  // namespace

void start_planets(Scene* scene) {
    PlanetState* planets = scene->planets;
    planets[earth_slot].orbit_angle = earth_orbit_start;
    planets[earth_slot].spin_angle = earth_spin_start;
    scene->moon_angle = moon_angle_start;

    // The draws follow the comet's and the motes', so a seed fixes them all.
    static const PlanetSlot drawn[] = {
        mercury_slot, venus_slot, mars_slot, jupiter_slot, saturn_slot, uranus_slot, neptune_slot, pluto_slot,
    };
    for (PlanetSlot slot : drawn) {
        planets[slot].orbit_angle = static_cast<float>(random_range(0.0f, 360.0f));
        planets[slot].spin_angle = planet_spin_start;
    }
}

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

void step_planets(Scene* scene) {
    for (const PlanetRow& row : planet_rows) {
        PlanetState& planet = scene->planets[row.slot];
        step_angle(&planet.orbit_angle, row.orbit_step, wrap_below_minus_360);
        step_angle(&planet.spin_angle, row.spin_step, row.spin_wrap);
    }
    step_angle(&scene->moon_angle, moon_step, wrap_below_minus_360);
}

void draw_planets(const Scene& scene) {
    for (int i = 0; i < row_count; ++i) draw_planet(scene, planet_rows[i], i);
}

void draw_orbits(const Scene& scene) {
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 0.4f);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int first = 0; first < row_count;) {
        int count = 1;
        while (first + count < row_count && count < orbits_per_draw &&
               planet_rows[first + count].orbit_lean == planet_rows[first].orbit_lean)
            ++count;
        draw_orbit_lines(first, count, scene.for_frame.tumble_angle);
        first += count;
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glEnable(GL_TEXTURE_2D);
    // The texture environment multiplies by the colour: back to white.
    glColor3f(1.0f, 1.0f, 1.0f);
}
