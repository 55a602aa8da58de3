// The Sun's three layers.
#include "scene/sun.h"

#include <math.h>

#include "platform.h"
#include "assets/textures.h"

float sun_angle;
float sun_counter_angle;
float sun_red;
float sun_green;
float sun_blue;

namespace {

const float sun_step = 0.05f;
const float sun_half_size = 8.0f;

// A layer is drawn only where its pass changes something: inside a polygon
// round the centre that holds every point where its image's filtered
// sample differs from the plain colour (black adds nothing, white
// multiplies by one), with the texture coordinates that the whole quad,
// 16 units wide, has there. The polygon has as few corners as will keep it
// inside the quad (a few large triangles fill faster than many thin ones);
// when none will, the layer is the whole quad.
const int most_corners = 32;
struct LayerShape {
    GLenum mode;
    GLsizei count;
    float corners[most_corners][4];  // x, y, s, t
};
LayerShape mask_shape;
LayerShape glow_shape;

void add_corner(LayerShape* shape, double x, double y) {
    float* corner = shape->corners[shape->count++];
    corner[0] = static_cast<float>(x * sun_half_size);
    corner[1] = static_cast<float>(y * sun_half_size);
    corner[2] = static_cast<float>((x + 1) / 2);
    corner[3] = static_cast<float>((y + 1) / 2);
}

// `reach` as a share of the half size.
void shape_layer(LayerShape* shape, float reach) {
    const double pi = 3.14159265358979323846;
    *shape = LayerShape{GL_TRIANGLE_FAN, 0, {}};
    for (int n = 4; n <= most_corners; ++n) {
        // The corners lie outside the circle of the reach.
        const double corner_radius = reach / cos(pi / n);
        if (corner_radius >= 1.0) continue;
        for (int k = 0; k < n; ++k)
            add_corner(shape, cos(2 * pi * k / n) * corner_radius, sin(2 * pi * k / n) * corner_radius);
        return;
    }
    shape->mode = GL_QUADS;
    add_corner(shape, -1, -1);
    add_corner(shape, 1, -1);
    add_corner(shape, 1, 1);
    add_corner(shape, -1, 1);
}

void draw_layer(const LayerShape& shape) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof shape.corners[0], &shape.corners[0][0]);
    glTexCoordPointer(2, GL_FLOAT, sizeof shape.corners[0], &shape.corners[0][2]);
    glDrawArrays(shape.mode, 0, shape.count);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace

void start_sun() {
    shape_layer(&mask_shape, sunmask_reach);
    shape_layer(&glow_shape, sun_reach);
    sun_angle = 0.1f;
    sun_counter_angle = 0.1f;
    sun_red = 255.0f;
    sun_green = 255.0f;
    sun_blue = 0.0f;
}

void draw_sun() {
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);

    // Mask: multiplies the frame by the texture, darkening behind the Sun.
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glBindTexture(GL_TEXTURE_2D, sunmask_texture);
    glRotatef(sun_angle, 0.0f, 0.0f, 1.0f);
    draw_layer(mask_shape);

    glBlendFunc(GL_ONE, GL_ONE);
    sun_angle += sun_step;
    sun_counter_angle -= sun_step;
    // Only the forward angle is tested; the counter angle follows it.
    if (sun_angle > 360.0f) {
        sun_angle = 0.0f;
        sun_counter_angle = 0.0f;
    }

    // No matrix is saved between the layers: the rotations add up.
    glBindTexture(GL_TEXTURE_2D, sun_texture);
    glRotatef(sun_counter_angle, 0.0f, 0.0f, 1.0f);
    glColor4ub(255, 0, 0, 255);
    draw_layer(glow_shape);

    glRotatef(sun_angle, 0.0f, 0.0f, 1.0f);
    glColor4ub(static_cast<GLubyte>(sun_red), static_cast<GLubyte>(sun_green), static_cast<GLubyte>(sun_blue), 255);
    draw_layer(glow_shape);
}

void reset_sun() {
    sun_angle = sun_counter_angle = 0.0f;
    sun_red = sun_green = sun_blue = 0.0f;
}
