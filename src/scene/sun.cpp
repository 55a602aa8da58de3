// The Sun's three layers.
#include "scene/sun.h"

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

void draw_sun_quad() {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-sun_half_size, -sun_half_size, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(sun_half_size, -sun_half_size, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(sun_half_size, sun_half_size, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-sun_half_size, sun_half_size, 0.0f);
    glEnd();
}

}  // namespace

void start_sun() {
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
    draw_sun_quad();

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
    draw_sun_quad();

    glRotatef(sun_angle, 0.0f, 0.0f, 1.0f);
    glColor4ub(static_cast<GLubyte>(sun_red), static_cast<GLubyte>(sun_green), static_cast<GLubyte>(sun_blue), 255);
    draw_sun_quad();
}

void reset_sun() {
    sun_angle = sun_counter_angle = 0.0f;
    sun_red = sun_green = sun_blue = 0.0f;
}
