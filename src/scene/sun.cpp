// The Sun's three layers.
#include "scene/sun.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"
#include "assets/textures.h"

int sun_passes = 3;

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
// The one pass's: it holds both shapes, whatever their turns.
LayerShape sun_shape;

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

void point_at(const LayerShape& shape) {
    glTexCoordPointer(2, GL_FLOAT, sizeof shape.corners[0], &shape.corners[0][2]);
}

void draw_layer(const LayerShape& shape) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof shape.corners[0], &shape.corners[0][0]);
    point_at(shape);
    glDrawArrays(shape.mode, 0, shape.count);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Two textures at once: OpenGL 1.3, or 1.1 with ARB_multitexture and
// ARB_texture_env_combine (the same names with ARB after them, the same
// values). GL 1.1's headers have none of these names.
const GLenum texture_unit_0 = 0x84C0;
const GLenum max_texture_units = 0x84E2;
const GLint env_combine = 0x8570;
const GLenum combine_rgb = 0x8571;
const GLenum combine_alpha = 0x8572;
const GLenum source0_rgb = 0x8580;
const GLenum source1_rgb = 0x8581;
const GLenum source0_alpha = 0x8588;
const GLenum operand0_rgb = 0x8590;
const GLenum operand1_rgb = 0x8591;
const GLenum operand0_alpha = 0x8598;
const GLint from_previous = 0x8578;
typedef void(APIENTRY* TextureUnitProc)(GLenum unit);
TextureUnitProc active_texture;
TextureUnitProc client_active_texture;

// The units of the one pass: the yellow layer's (the "sun" image times the
// colour), the red layer's added, and the mask's value carried as alpha.
const GLenum yellow_unit = texture_unit_0;
const GLenum red_unit = texture_unit_0 + 1;
const GLenum mask_unit = texture_unit_0 + 2;

bool has_extension(const char* name) {
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const size_t length = strlen(name);
    for (const char* at = list; at && (at = strstr(at, name)) != NULL; at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

TextureUnitProc texture_unit_entry(const char* name) {
    return reinterpret_cast<TextureUnitProc>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

// Finds the two-texture entry points and enough units for the one pass;
// false when the GL lacks any of it (a plain 1.1, such as Windows' own
// software renderer).
bool find_multitexture() {
    active_texture = client_active_texture = NULL;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (!version || sscanf(version, "%d.%d", &major, &minor) != 2) return false;
    const bool core = major > 1 || (major == 1 && minor >= 3);
    if (!core && !(has_extension("GL_ARB_multitexture") && has_extension("GL_ARB_texture_env_combine"))) return false;
    GLint units = 0;
    glGetIntegerv(max_texture_units, &units);
    if (units < 3) return false;
    active_texture = texture_unit_entry(core ? "glActiveTexture" : "glActiveTextureARB");
    client_active_texture = texture_unit_entry(core ? "glClientActiveTexture" : "glClientActiveTextureARB");
    return active_texture && client_active_texture;
}

// The units' lasting state: their textures and how each adds its part.
void set_up_units() {
    load_sun_layer_textures();
    active_texture(yellow_unit);
    glBindTexture(GL_TEXTURE_2D, texture_set().sun);

    active_texture(red_unit);
    glBindTexture(GL_TEXTURE_2D, texture_set().sun_red);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, env_combine);
    glTexEnvi(GL_TEXTURE_ENV, combine_rgb, GL_ADD);
    glTexEnvi(GL_TEXTURE_ENV, source0_rgb, from_previous);
    glTexEnvi(GL_TEXTURE_ENV, operand0_rgb, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, source1_rgb, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, operand1_rgb, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, combine_alpha, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, source0_alpha, from_previous);
    glTexEnvi(GL_TEXTURE_ENV, operand0_alpha, GL_SRC_ALPHA);

    active_texture(mask_unit);
    glBindTexture(GL_TEXTURE_2D, texture_set().sunmask_intensity);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, env_combine);
    glTexEnvi(GL_TEXTURE_ENV, combine_rgb, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, source0_rgb, from_previous);
    glTexEnvi(GL_TEXTURE_ENV, operand0_rgb, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, combine_alpha, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, source0_alpha, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, operand0_alpha, GL_SRC_ALPHA);

    active_texture(yellow_unit);
}

// Gives `unit` the shape's texture coordinates turned by `first` and then
// `second` degrees about the image's centre, and turns its texturing on.
void turn_unit(GLenum unit, float first, float second) {
    active_texture(unit);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.0f);
    glRotatef(first, 0.0f, 0.0f, 1.0f);
    glRotatef(second, 0.0f, 0.0f, 1.0f);
    glTranslatef(-0.5f, -0.5f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    client_active_texture(unit);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    point_at(sun_shape);
}

void stop_unit(GLenum unit) {
    client_active_texture(unit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    active_texture(unit);
    glDisable(GL_TEXTURE_2D);
}

// The frame is multiplied by the mask and the glows are added: with the
// mask's value as the fragment's alpha and the two glows' sum as its
// colour, (one, source alpha) does both at once. Drawn in the yellow
// layer's frame with its colour current; the red layer's texture is turned
// back by the yellow layer's own turn, the mask's by that and the red
// layer's. Leaves the blend function adding, for the next frame.
void draw_one_pass(const Sun& sun) {
    turn_unit(red_unit, 0.0f, sun.angle);
    turn_unit(mask_unit, sun.counter_angle, sun.angle);
    client_active_texture(yellow_unit);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    draw_layer(sun_shape);
    stop_unit(mask_unit);
    stop_unit(red_unit);
    client_active_texture(yellow_unit);
    active_texture(yellow_unit);
    glBlendFunc(GL_ONE, GL_ONE);
}

}  // namespace

void start_sun(Sun* sun) {
    sun->angle = 0.1f;
    sun->counter_angle = 0.1f;
    sun->red = 255.0f;
    sun->green = 255.0f;
    sun->blue = 0.0f;
}

void choose_sun_passes() {
    shape_layer(&mask_shape, texture_set().sunmask_reach);
    shape_layer(&glow_shape, texture_set().sun_reach);
    // A polygon inside the quad holds its turned copies too; the quad
    // itself does not, so then the layers keep their own passes.
    shape_layer(&sun_shape, fmaxf(texture_set().sun_reach, texture_set().sunmask_reach));
    sun_passes = sun_shape.mode != GL_QUADS && find_multitexture() ? 1 : 3;
    if (sun_passes == 1) set_up_units();
    OutputDebugStringA(sun_passes == 1 ? "orrelune: the sun in one pass (multitexture)\n"
                                       : "orrelune: the sun in three passes (one texture at a time)\n");
}

void step_sun(Sun* sun) {
    sun->mask_angle = sun->angle;
    sun->angle += sun_step;
    sun->counter_angle -= sun_step;
    // Only the forward angle is tested; the counter angle follows it.
    if (sun->angle > 360.0f) {
        sun->angle = 0.0f;
        sun->counter_angle = 0.0f;
    }
}

void draw_sun(const Sun& sun) {
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);

    // Mask: multiplies the frame by the texture, darkening behind the Sun.
    glRotatef(sun.mask_angle, 0.0f, 0.0f, 1.0f);
    if (sun_passes == 3) {
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glBindTexture(GL_TEXTURE_2D, texture_set().sunmask);
        draw_layer(mask_shape);
    }

    // No matrix is saved between the layers: the rotations add up.
    glRotatef(sun.counter_angle, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, texture_set().sun);
    if (sun_passes == 3) {
        glBlendFunc(GL_ONE, GL_ONE);
        glColor4ub(255, 0, 0, 255);
        draw_layer(glow_shape);
    }

    glRotatef(sun.angle, 0.0f, 0.0f, 1.0f);
    glColor4ub(static_cast<GLubyte>(sun.red), static_cast<GLubyte>(sun.green), static_cast<GLubyte>(sun.blue), 255);
    if (sun_passes == 1)
        draw_one_pass(sun);  // in the yellow layer's frame, the other two layers turned back to theirs
    else
        draw_layer(glow_shape);
}
