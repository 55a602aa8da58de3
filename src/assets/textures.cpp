// Textures from the program's embedded images.
#include "assets/textures.h"

#include <math.h>

Textures& texture_set() {
    static Textures textures;
    return textures;
}

namespace {

struct ImageResource {
    const char* name;  // as asked for; the lookup ignores case
    GLuint* texture;
    LONG width, height;
    float* reach;         // where given: how far from the centre the content reaches
    unsigned char plain;  // the colour beyond it
};

// The bytes of an embedded image, valid for the whole run; NULL when the
// program carries no such image.
const void* image_bytes(const char* name) {
    HRSRC found = FindResourceA(GetModuleHandleA(NULL), name, RT_RCDATA);
    if (!found) return NULL;
    HGLOBAL loaded = LoadResource(GetModuleHandleA(NULL), found);
    return loaded ? LockResource(loaded) : NULL;
}

// Every texel that is not `plain` lies within r texels of the image's
// centre, and a linear sample reads only texels less than one texel away
// on each axis, so no sample beyond r + sqrt(2) differs from plain. A
// reach to the border counts as the whole image: GL_REPEAT brings the far
// side in there.
float content_reach(const void* pixels, LONG width, LONG height, unsigned char plain) {
    if (!pixels || width != height) return 1.0f;
    const unsigned char* rgb = static_cast<const unsigned char*>(pixels);
    double r = 0;
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x) {
            const unsigned char* texel = rgb + (y * width + x) * 3;
            if (texel[0] == plain && texel[1] == plain && texel[2] == plain) continue;
            r = fmax(r, hypot(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0));
        }
    const double reach = (r + sqrt(2.0)) / (width / 2.0);
    return reach < 1.0 ? static_cast<float>(reach) : 1.0f;
}

void make_texture(const ImageResource& image) {
    const void* pixels = image_bytes(image.name);
    glGenTextures(1, image.texture);
    upload_texture(*image.texture, pixels, image.width, image.height);
    if (image.reach) *image.reach = content_reach(pixels, image.width, image.height, image.plain);
}

// As upload_texture, stored as `internal_format` (GL takes an intensity or
// luminance from the red channel).
void upload_as(GLuint texture, GLint internal_format, const void* pixels, LONG width, LONG height) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, internal_format, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace

void upload_texture(GLuint texture, const void* pixels, LONG width, LONG height) {
    upload_as(texture, 3, pixels, width, height);
}

void load_sun_layer_textures() {
    Textures& t = texture_set();
    const LONG size = 128;
    glGenTextures(1, &t.sun_red);
    // Green and blue scaled to nothing on the way in.
    glPixelTransferf(GL_GREEN_SCALE, 0.0f);
    glPixelTransferf(GL_BLUE_SCALE, 0.0f);
    upload_as(t.sun_red, 3, image_bytes("sun"), size, size);
    glPixelTransferf(GL_GREEN_SCALE, 1.0f);
    glPixelTransferf(GL_BLUE_SCALE, 1.0f);
    glGenTextures(1, &t.sunmask_intensity);
    upload_as(t.sunmask_intensity, GL_INTENSITY8, image_bytes("sunmask"), size, size);
}

void load_textures() {
    // A missing image is not an error: its texture keeps undefined
    // contents, and the run goes on: the images are part of the program and
    // can only be missing from a broken build.
    Textures& t = texture_set();
    const ImageResource images[] = {
        {"Particle", &t.particle, 32, 32, NULL, 0},
        {"sun", &t.sun, 128, 128, &t.sun_reach, 0},
        {"earth", &t.planets[0], 256, 128, NULL, 0},
        {"mercury", &t.planets[1], 256, 128, NULL, 0},
        {"venus", &t.planets[2], 256, 128, NULL, 0},
        {"mars", &t.planets[3], 256, 128, NULL, 0},
        {"jupiter", &t.planets[4], 256, 128, NULL, 0},
        {"saturn", &t.planets[5], 256, 128, NULL, 0},
        {"uranus", &t.planets[6], 256, 128, NULL, 0},
        {"neptune", &t.planets[7], 256, 128, NULL, 0},
        {"pluto", &t.planets[8], 256, 128, NULL, 0},
        {"background", &t.background, 512, 512, NULL, 0},
        {"sunmask", &t.sunmask, 128, 128, &t.sunmask_reach, 255},
    };
    for (const ImageResource& image : images) make_texture(image);
}
