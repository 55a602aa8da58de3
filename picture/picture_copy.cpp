// The copy of the picture onto the monitors, by frame-buffer objects or by
// textures (picture_copy.h).
#include "picture_copy.h"

#include <stdio.h>
#include <string.h>

namespace {

bool has_extension(const char* name) {
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const size_t length = strlen(name);
    for (const char* at = list; at && (at = strstr(at, name)) != NULL; at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

template <typename Call>
bool find(PictureLoader load, Call* call, const char* name) {
    *call = reinterpret_cast<Call>(load(name));
    return *call != NULL;
}

bool find_framebuffer_calls(PictureCopier* c, PictureLoader load) {
    return find(load, &c->gen_framebuffers, "glGenFramebuffers") &&
           find(load, &c->delete_framebuffers, "glDeleteFramebuffers") &&
           find(load, &c->bind_framebuffer, "glBindFramebuffer") &&
           find(load, &c->gen_renderbuffers, "glGenRenderbuffers") &&
           find(load, &c->delete_renderbuffers, "glDeleteRenderbuffers") &&
           find(load, &c->bind_renderbuffer, "glBindRenderbuffer") &&
           find(load, &c->renderbuffer_storage, "glRenderbufferStorage") &&
           find(load, &c->framebuffer_renderbuffer, "glFramebufferRenderbuffer") &&
           find(load, &c->check_framebuffer_status, "glCheckFramebufferStatus") &&
           find(load, &c->blit_framebuffer, "glBlitFramebuffer");
}

void drop_framebuffer(PictureCopier* c) {
    if (!c->framebuffer) return;
    c->bind_framebuffer(GL_FRAMEBUFFER, 0);
    c->delete_framebuffers(1, &c->framebuffer);
    c->delete_renderbuffers(1, &c->colour);
    c->delete_renderbuffers(1, &c->depth);
    c->framebuffer = c->colour = c->depth = 0;
    c->framebuffer_width = c->framebuffer_height = 0;
}

// The picture of its own, at the picture's size, with buffers like the
// window's; false when the GL can't make it complete.
bool make_framebuffer(PictureCopier* c) {
    const int width = c->layout.picture_width, height = c->layout.picture_height;
    if (c->framebuffer && c->framebuffer_width == width && c->framebuffer_height == height) return true;
    drop_framebuffer(c);
    c->gen_framebuffers(1, &c->framebuffer);
    c->gen_renderbuffers(1, &c->colour);
    c->gen_renderbuffers(1, &c->depth);
    c->bind_renderbuffer(GL_RENDERBUFFER, c->colour);
    c->renderbuffer_storage(GL_RENDERBUFFER, c->colour_format, width, height);
    c->bind_renderbuffer(GL_RENDERBUFFER, c->depth);
    c->renderbuffer_storage(GL_RENDERBUFFER, c->depth_format, width, height);
    c->bind_renderbuffer(GL_RENDERBUFFER, 0);
    c->bind_framebuffer(GL_FRAMEBUFFER, c->framebuffer);
    c->framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, c->colour);
    c->framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, c->depth);
    const bool complete = c->check_framebuffer_status(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    c->bind_framebuffer(GL_FRAMEBUFFER, 0);
    c->framebuffer_width = width;
    c->framebuffer_height = height;
    if (!complete) drop_framebuffer(c);
    return complete;
}

void drop_textures(PictureCopier* c) {
    if (c->tile_count) glDeleteTextures(c->tile_count, c->textures);
    c->tile_count = 0;
}

// The tiles' textures for the layout's picture, made (without contents)
// when its size changes. Touches unit 0's binding only, and gives it back.
void make_textures(PictureCopier* c) {
    const int width = c->layout.picture_width, height = c->layout.picture_height;
    PictureTile tiles[picture_max_tiles];
    const int count = picture_tiles(width, height, c->max_texture, c->any_size, tiles);
    bool same = count == c->tile_count;
    for (int i = 0; same && i < count; ++i) same = memcmp(&tiles[i], &c->tiles[i], sizeof tiles[i]) == 0;
    if (same) return;
    drop_textures(c);
    GLint unit = GL_TEXTURE0;
    if (c->active_texture) {
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        c->active_texture(GL_TEXTURE0);
    }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGenTextures(count, c->textures);
    for (int i = 0; i < count; ++i) {
        c->tiles[i] = tiles[i];
        glBindTexture(GL_TEXTURE_2D, c->textures[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, tiles[i].texture_width, tiles[i].texture_height, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, NULL);
    }
    c->tile_count = count;
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    if (c->active_texture) c->active_texture(static_cast<GLenum>(unit));
}

void show_by_blits(PictureCopier* c) {
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    if (scissor) glDisable(GL_SCISSOR_TEST);
    // Copies are made only from a picture of its own (picture_plan).
    c->bind_framebuffer(GL_READ_FRAMEBUFFER, c->framebuffer);
    c->bind_framebuffer(GL_DRAW_FRAMEBUFFER, 0);
    for (int i = 0; i < c->plan.copy_count; ++i) {
        const PictureCopy& copy = c->plan.copies[i];
        const PictureRect &from = copy.from, &to = copy.to;
        c->blit_framebuffer(from.x, from.y, from.x + from.width, from.y + from.height, to.x, to.y, to.x + to.width,
                            to.y + to.height, GL_COLOR_BUFFER_BIT, copy.same_size ? GL_NEAREST : GL_LINEAR);
    }
    c->bind_framebuffer(GL_FRAMEBUFFER, 0);
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

// Everything the quads need, on top of the caller's state, which
// glPushAttrib and the matrix stacks keep.
void set_quad_state(PictureCopier* c) {
    for (GLint unit = c->texture_units - 1; unit > 0; --unit) {
        c->active_texture(static_cast<GLenum>(GL_TEXTURE0 + unit));
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
    }
    if (c->active_texture) c->active_texture(GL_TEXTURE0);
    static const GLenum off[] = {
        GL_BLEND,         GL_DEPTH_TEST,    GL_ALPHA_TEST,    GL_STENCIL_TEST,    GL_FOG,           GL_LIGHTING,
        GL_CULL_FACE,     GL_SCISSOR_TEST,  GL_DITHER,        GL_COLOR_LOGIC_OP,  GL_TEXTURE_1D,    GL_TEXTURE_GEN_S,
        GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q, GL_POLYGON_STIPPLE, GL_POLYGON_SMOOTH};
    for (GLenum cap : off) glDisable(cap);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, c->layout.drawable_width, c->layout.drawable_height);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, c->layout.drawable_width, 0, c->layout.drawable_height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void show_by_textures(PictureCopier* c) {
    GLint unit = GL_TEXTURE0;
    if (c->active_texture) glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    GLint matrix_mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrix_mode);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    set_quad_state(c);

    // The whole picture into the textures first: the quads may land on it.
    for (int i = 0; i < c->tile_count; ++i) {
        glBindTexture(GL_TEXTURE_2D, c->textures[i]);
        PictureFill fills[9];
        const int count = picture_tile_fills(c->tiles[i], c->layout.picture_width, c->layout.picture_height, fills);
        for (int f = 0; f < count; ++f)
            glCopyTexSubImage2D(GL_TEXTURE_2D, 0, fills[f].texel_x, fills[f].texel_y, fills[f].from.x, fills[f].from.y,
                                fills[f].from.width, fills[f].from.height);
    }
    for (int n = 0; n < c->plan.copy_count; ++n) {
        const PictureCopy& copy = c->plan.copies[n];
        const GLint filter = copy.same_size ? GL_NEAREST : GL_LINEAR;
        for (int i = 0; i < c->tile_count; ++i) {
            PictureQuad quad;
            if (!picture_tile_quad(copy, c->tiles[i], &quad)) continue;
            glBindTexture(GL_TEXTURE_2D, c->textures[i]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
            glBegin(GL_QUADS);
            glTexCoord2f(quad.s0, quad.t0);
            glVertex2f(quad.x0, quad.y0);
            glTexCoord2f(quad.s1, quad.t0);
            glVertex2f(quad.x1, quad.y0);
            glTexCoord2f(quad.s1, quad.t1);
            glVertex2f(quad.x1, quad.y1);
            glTexCoord2f(quad.s0, quad.t1);
            glVertex2f(quad.x0, quad.y1);
            glEnd();
        }
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopAttrib();
    glMatrixMode(static_cast<GLenum>(matrix_mode));
    if (c->active_texture) c->active_texture(static_cast<GLenum>(unit));
}

// The textures way on a GL of that version.
void start_textures(PictureCopier* c, PictureLoader load, int major, int minor) {
    c->way = picture_way_textures;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &c->max_texture);
    if (c->tile_limit > 0 && c->tile_limit < c->max_texture) c->max_texture = c->tile_limit;
    c->any_size = major >= 2 || has_extension("GL_ARB_texture_non_power_of_two");
    c->texture_units = 1;
    const bool units = major > 1 || (major == 1 && minor >= 3) || has_extension("GL_ARB_multitexture");
    if (units &&
        (find(load, &c->active_texture, "glActiveTexture") || find(load, &c->active_texture, "glActiveTextureARB"))) {
        glGetIntegerv(GL_MAX_TEXTURE_UNITS, &c->texture_units);
        if (c->texture_units < 1) c->texture_units = 1;
    }
}

void forget_all_but_options(PictureCopier* c) {
    PictureCopier fresh = PictureCopier();
    fresh.textures_only = c->textures_only;
    fresh.tile_limit = c->tile_limit;
    *c = fresh;
}

}  // namespace

PictureWay picture_copy_start(PictureCopier* c, PictureLoader load) {
    forget_all_but_options(c);
    c->load = load;

    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (!version || sscanf(version, "%d.%d", &major, &minor) != 2) return c->way;

    if (!c->textures_only && (major >= 3 || has_extension("GL_ARB_framebuffer_object")) &&
        find_framebuffer_calls(c, load)) {
        GLint alpha = 0, depth = 0;
        glGetIntegerv(GL_ALPHA_BITS, &alpha);
        glGetIntegerv(GL_DEPTH_BITS, &depth);
        c->colour_format = alpha > 0 ? GL_RGBA8 : GL_RGB8;
        c->depth_format = depth > 24 ? GL_DEPTH_COMPONENT32 : depth > 16 ? GL_DEPTH_COMPONENT24 : GL_DEPTH_COMPONENT16;
        return c->way = picture_way_framebuffer;
    }

    start_textures(c, load, major, minor);
    return c->way;
}

void picture_copy_layout(PictureCopier* c, const PictureLayout& layout) {
    c->layout = layout;
    if (c->way == picture_way_framebuffer) {
        c->plan = picture_plan(layout, true);
        if (c->plan.in_place || make_framebuffer(c)) return;
        // A picture of its own could not be made: the textures way, which
        // needs nothing beyond 1.1.
        start_textures(c, c->load, 3, 0);
    }
    if (c->way != picture_way_textures) return;
    c->plan = picture_plan(layout, false);
    if (c->plan.copy_count) make_textures(c);
}

void picture_copy_begin(PictureCopier* c) {
    if (c->way == picture_way_framebuffer) c->bind_framebuffer(GL_FRAMEBUFFER, c->plan.in_place ? 0 : c->framebuffer);
}

void picture_copy_show(PictureCopier* c) {
    if (!c->plan.copy_count) return;
    if (c->way == picture_way_framebuffer) show_by_blits(c);
    if (c->way == picture_way_textures && c->tile_count) show_by_textures(c);
}

void picture_copy_stop(PictureCopier* c) {
    if (c->bind_framebuffer) drop_framebuffer(c);
    drop_textures(c);
    forget_all_but_options(c);
}

const char* picture_way_name(PictureWay way) {
    switch (way) {
    case picture_way_framebuffer: return "framebuffer";
    case picture_way_textures: return "textures";
    case picture_way_none: break;
    }
    return "none";
}
