// Textures from the program's embedded images.
#include "assets/textures.h"

GLuint particle_texture;
GLuint sun_texture;
GLuint sunmask_texture;
GLuint background_texture;
GLuint planet_textures[9];

namespace {

struct ImageResource {
    const char* name;  // as asked for; the lookup ignores case
    GLuint* texture;
    LONG width, height;
};

// The bytes of an embedded image, valid for the whole run; NULL when the
// program carries no such image.
const void* image_bytes(const char* name) {
    HRSRC found = FindResourceA(GetModuleHandleA(NULL), name, RT_RCDATA);
    if (!found) return NULL;
    HGLOBAL loaded = LoadResource(GetModuleHandleA(NULL), found);
    return loaded ? LockResource(loaded) : NULL;
}

void make_texture(const ImageResource& image) {
    glGenTextures(1, image.texture);
    upload_texture(*image.texture, image_bytes(image.name), image.width, image.height);
}

}  // namespace

void upload_texture(GLuint texture, const void* pixels, LONG width, LONG height) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

int load_particle_texture() {
    make_texture({"Particle", &particle_texture, 32, 32});
    return 1;
}

void load_textures() {
    // A missing image is not an error: its texture keeps undefined
    // contents. The particle is no exception (its loader reports success
    // whatever it finds), so the run goes on: the images are part of the
    // program and can only be missing from a broken build.
    load_particle_texture();
    const ImageResource images[] = {
        {"sun", &sun_texture, 128, 128},
        {"earth", &planet_textures[0], 256, 128},
        {"mercury", &planet_textures[1], 256, 128},
        {"venus", &planet_textures[2], 256, 128},
        {"mars", &planet_textures[3], 256, 128},
        {"jupiter", &planet_textures[4], 256, 128},
        {"saturn", &planet_textures[5], 256, 128},
        {"uranus", &planet_textures[6], 256, 128},
        {"neptune", &planet_textures[7], 256, 128},
        {"pluto", &planet_textures[8], 256, 128},
        {"background", &background_texture, 512, 512},
        {"sunmask", &sunmask_texture, 128, 128},
    };
    for (const ImageResource& image : images) make_texture(image);
}
