// The copy of one picture onto every monitor of a drawable, drawn once per
// frame: with frame-buffer objects where the GL has them (OpenGL 3.0 or
// ARB_framebuffer_object), else with OpenGL 1.1 alone, through textures.
// The caller owns one PictureCopier per rendering context and calls, with
// that context current:
//
//   picture_copy_start   once, to choose the way (and on a new context)
//   picture_copy_layout  whenever the drawable, the monitors or the
//                        picture's size change
//   picture_copy_begin   each frame, before the picture is drawn: it binds
//                        what the picture is drawn into
//   picture_copy_show    each frame, after it is drawn and before the swap
//   picture_copy_stop    before the context goes
//
// The picture is drawn with the viewport at GL's origin, at the layout's
// picture size. Both ways give the same picture: the frame-buffer way blits,
// the other draws textured quads with every GL state it touches saved and
// restored (the caller's drawing may share state between frames without
// saving it). GL entry points beyond 1.1 come from the caller's loader
// (wglGetProcAddress, glXGetProcAddress, eglGetProcAddress).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include "picture_plan.h"

typedef void (*PictureProc)();
typedef PictureProc (*PictureLoader)(const char* name);

enum PictureWay {
    picture_way_none,         // not started, or no GL to copy with
    picture_way_framebuffer,  // frame-buffer objects and blits
    picture_way_textures,     // OpenGL 1.1: copied into textures, drawn as quads
};

struct PictureCopier {
    // Options, read by picture_copy_start.
    bool textures_only;  // the OpenGL 1.1 way even where frame-buffer objects exist
    int tile_limit;      // textures at most this size a side (0: the GL's own limit)

    PictureWay way;
    PictureLoader load;
    PictureLayout layout;
    PicturePlan plan;

    // The frame-buffer way: the picture of its own, when the plan wants one.
    PFNGLGENFRAMEBUFFERSPROC gen_framebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers;
    PFNGLBINDFRAMEBUFFERPROC bind_framebuffer;
    PFNGLGENRENDERBUFFERSPROC gen_renderbuffers;
    PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers;
    PFNGLBINDRENDERBUFFERPROC bind_renderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status;
    PFNGLBLITFRAMEBUFFERPROC blit_framebuffer;
    GLenum colour_format, depth_format;
    GLuint framebuffer, colour, depth;
    int framebuffer_width, framebuffer_height;

    // The textures way.
    PFNGLACTIVETEXTUREPROC active_texture;  // null on a GL with one texture unit
    GLint texture_units;
    GLint max_texture;
    bool any_size;  // textures of any size (OpenGL 2.0 or ARB_texture_non_power_of_two)
    int tile_count;
    PictureTile tiles[picture_max_tiles];
    GLuint textures[picture_max_tiles];
};

// Chooses the way with the context current, and returns it: none when the
// context tells no GL version (no context).
PictureWay picture_copy_start(PictureCopier* copier, PictureLoader load);
void picture_copy_layout(PictureCopier* copier, const PictureLayout& layout);
void picture_copy_begin(PictureCopier* copier);
void picture_copy_show(PictureCopier* copier);
// Deletes the copier's GL objects; the options stay.
void picture_copy_stop(PictureCopier* copier);

// "framebuffer", "textures" or "none", for a line that tells which way runs.
const char* picture_way_name(PictureWay way);
