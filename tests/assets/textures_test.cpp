// The thirteen textures as GL holds them after load_textures, read back from
// Mesa's renderer and compared with the images the program carries.
#include <iterator>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "assets_fixture.h"
#include "assets/textures.h"
#include "scene/scene_state.h"

namespace {

struct Expected {
    const char* name;
    int width, height;
    bool planet;
};

// The build's list of images.
const Expected images[] = {
#define ORRELUNE_IMAGE(name, width, height) {#name, width, height, false},
#define ORRELUNE_PLANET(name, width, height) {#name, width, height, true},
#include "image_list.inc"
};

// The texture made of each, in the list's order.
const GLuint* const textures[] = {
    &texture_set().particle,   &texture_set().sun,        &texture_set().planets[0], &texture_set().planets[1],
    &texture_set().planets[2], &texture_set().planets[3], &texture_set().planets[4], &texture_set().planets[5],
    &texture_set().planets[6], &texture_set().planets[7], &texture_set().planets[8], &texture_set().background,
    &texture_set().sunmask,
};
static_assert(std::size(textures) == std::size(images), "a texture for each image");

// The embedded image's bytes; empty when the program carries none.
std::vector<GLubyte> embedded(const char* name) {
    HRSRC found = FindResourceA(GetModuleHandleA(NULL), name, RT_RCDATA);
    if (!found) return {};
    const GLubyte* bytes = static_cast<const GLubyte*>(LockResource(LoadResource(GetModuleHandleA(NULL), found)));
    return std::vector<GLubyte>(bytes, bytes + SizeofResource(GetModuleHandleA(NULL), found));
}

std::vector<GLubyte> texture_bytes(GLuint texture, int width, int height) {
    std::vector<GLubyte> bytes(width * height * 3);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

// Draws the whole view from one texel centre of the bound texture (nearest
// sampling, unlit white) and gives back the colour that arrived.
void texel_drawn(int s, int t, int width, int height, GLubyte rgb[3]) {
    glViewport(0, 0, view_width, view_height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor3f(1, 1, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexCoord2f((s + 0.5f) / width, (t + 0.5f) / height);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    std::vector<GLubyte> view = read_view();
    const GLubyte* middle = &view[((view_height / 2) * view_width + view_width / 2) * 4];
    for (int i = 0; i < 3; ++i) rgb[i] = middle[i];
}

}  // namespace

TEST(Textures, EachHoldsItsEmbeddedImageAtItsSizeWithLinearFiltering) {
    load_textures();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture_set().sunmask) << "the last one made stays bound";

    std::set<GLuint> names;
    int planet_slot = 0;
    for (size_t i = 0; i < std::size(images); ++i) {
        const Expected& e = images[i];
        const GLuint texture = *textures[i];
        SCOPED_TRACE(e.name);
        if (e.planet) {
            EXPECT_STRCASEEQ(planet_names[planet_slot++], e.name) << "the scene's name for the slot";
        }
        EXPECT_NE(texture, 0u);
        EXPECT_TRUE(names.insert(texture).second) << "shares its name with another texture";
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint width = 0, height = 0, min_filter = 0, mag_filter = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
        EXPECT_EQ(width, e.width);
        EXPECT_EQ(height, e.height);
        EXPECT_EQ(min_filter, GL_LINEAR);
        EXPECT_EQ(mag_filter, GL_LINEAR);

        const std::vector<GLubyte> image = embedded(e.name);
        ASSERT_EQ(image.size(), static_cast<size_t>(e.width * e.height * 3));
        EXPECT_TRUE(texture_bytes(texture, e.width, e.height) == image) << "the texels are not the stored bytes";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Textures, SunMaskIsTheExactNegativeOfTheSun) {
    load_textures();
    const std::vector<GLubyte> sun = texture_bytes(texture_set().sun, 128, 128);
    const std::vector<GLubyte> mask = texture_bytes(texture_set().sunmask, 128, 128);
    size_t first_wrong = sun.size();
    for (size_t i = 0; i < sun.size() && first_wrong == sun.size(); ++i)
        if (sun[i] + mask[i] != 255) first_wrong = i;
    EXPECT_EQ(first_wrong, sun.size()) << "sun " << int(sun[first_wrong]) << ", mask " << int(mask[first_wrong]);
}

// The first stored row is t = 0 and each row starts at s = 0: shown on an
// image whose corners all differ, then on a copy of each program image.
TEST(Textures, StoredBytesRunFromTheTexelAtTheOrigin) {
    const int side = 4;  // 12-byte rows: the default unpack alignment reads them as stored
    GLubyte corners[side * side * 3];
    for (int i = 0; i < side * side * 3; ++i) corners[i] = static_cast<GLubyte>(17 * i % 251);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    upload_texture(texture, corners, side, side);
    struct Corner {
        int s, t;
    } cases[] = {{0, 0}, {side - 1, 0}, {0, side - 1}, {side - 1, side - 1}};
    for (const Corner& c : cases) {
        GLubyte rgb[3];
        texel_drawn(c.s, c.t, side, side, rgb);
        const GLubyte* stored = &corners[(c.t * side + c.s) * 3];
        EXPECT_EQ(rgb[0], stored[0]) << "s " << c.s << " t " << c.t;
        EXPECT_EQ(rgb[1], stored[1]) << "s " << c.s << " t " << c.t;
        EXPECT_EQ(rgb[2], stored[2]) << "s " << c.s << " t " << c.t;
    }

    for (const Expected& e : images) {
        SCOPED_TRACE(e.name);
        const std::vector<GLubyte> image = embedded(e.name);
        ASSERT_FALSE(image.empty());
        upload_texture(texture, image.data(), e.width, e.height);
        GLubyte rgb[3];
        texel_drawn(0, 0, e.width, e.height, rgb);
        EXPECT_EQ(rgb[0], image[0]);
        EXPECT_EQ(rgb[1], image[1]);
        EXPECT_EQ(rgb[2], image[2]);
    }
    glDeleteTextures(1, &texture);
}
