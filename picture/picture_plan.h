// Where one picture goes on a drawable that spans several monitors, and how
// the OpenGL 1.1 copy holds it in textures: geometry only, no GL.
//
// The picture is drawn at GL's origin of the drawable (its bottom-left
// corner, as the program's viewport puts it), or into a picture of its own
// (a frame-buffer object), and every monitor that does not already show it
// there gets a copy: the part of the picture that covers the monitor at the
// picture's proportions (picture_cover_rect), scaled onto it.
#pragma once

#include "picture_cover.h"

const int picture_max_monitors = 16;
const int picture_max_tiles = 64;

// What the caller knows of the drawable. Monitors are rectangles of the
// drawable, rows counted from its top (as window systems count them);
// monitors beyond picture_max_monitors are left out.
struct PictureLayout {
    int drawable_width, drawable_height;
    int picture_width, picture_height;
    int monitor_count;
    int primary;  // the index of the primary monitor
    PictureRect monitors[picture_max_monitors];
};

// One copy: a part of the picture onto a rectangle of the drawable, both in
// GL's window coordinates (rows counted from the bottom).
struct PictureCopy {
    PictureRect from, to;
    bool same_size;  // not scaled: each pixel is taken as it is
};

struct PicturePlan {
    // Drawn into the drawable at GL's origin, where the copies read it;
    // otherwise into a picture of its own.
    bool in_place;
    int copy_count;
    PictureCopy copies[picture_max_monitors];  // the primary's first
};

// A monitor's rectangle in GL's window coordinates.
PictureRect picture_gl_rect(const PictureLayout& layout, const PictureRect& monitor);

// The copies each frame needs. With `own_picture` (frame-buffer objects)
// the picture is drawn into one of its own whenever a monitor needs a copy,
// and in place when every monitor shows that place as it is (one monitor,
// at GL's origin, of the picture's size). Without, it is always drawn in
// place, and the monitors that show that place get no copy; a picture that
// does not fit the drawable then gets no copies at all (each monitor shows
// what it holds of it).
PicturePlan picture_plan(const PictureLayout& layout, bool own_picture);

// A texture of the GL 1.1 copy: it holds the part of the picture it shows
// and one more pixel on every side (the edge pixel again at the picture's
// edges), so a scaled copy samples the same pixels across the tiles' seams
// as a copy from a single picture does.
struct PictureTile {
    PictureRect shown;  // GL coordinates of the picture
    int texture_width, texture_height;
};

// Splits the picture into tiles whose textures are at most max_size a side
// (power-of-two sizes unless `any_size`). Returns how many, 0 when more than
// picture_max_tiles would be needed.
int picture_tiles(int picture_width, int picture_height, int max_size, bool any_size,
                  PictureTile tiles[picture_max_tiles]);

// One copy into a tile's texture: the picture's pixels `from` (GL
// coordinates) to the texel at (texel_x, texel_y).
struct PictureFill {
    int texel_x, texel_y;
    PictureRect from;
};
// The copies that fill a tile's texture: up to three a side (the border
// below, the pixels, the border above). Returns how many.
int picture_tile_fills(const PictureTile& tile, int picture_width, int picture_height, PictureFill fills[9]);

// The quad that draws a tile's share of a copy: its corners on the drawable
// (GL window coordinates) and on the texture (0 to 1).
struct PictureQuad {
    float x0, y0, x1, y1;
    float s0, t0, s1, t1;
};
// False when the tile holds nothing of the copy.
bool picture_tile_quad(const PictureCopy& copy, const PictureTile& tile, PictureQuad* quad);
