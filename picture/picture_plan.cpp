// The geometry of the copies: which part of the picture goes where.
#include "picture_plan.h"

namespace {

bool same_rect(const PictureRect& a, const PictureRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

PictureCopy copy_for(const PictureLayout& layout, const PictureRect& monitor) {
    PictureCopy copy;
    copy.from = picture_cover_rect(layout.picture_width, layout.picture_height, monitor.width, monitor.height);
    copy.to = picture_gl_rect(layout, monitor);
    copy.same_size = copy.from.width == copy.to.width && copy.from.height == copy.to.height;
    return copy;
}

// The smallest power of two at least `size`.
int power_of_two(int size) {
    int power = 1;
    while (power < size) power *= 2;
    return power;
}

// One side of a tile's fills: the texels of [start - 1, start + length + 1)
// in pixels of [0, size), the edge pixel again where that range leaves it.
struct Span {
    int texel, pixel, length;
};
int spans(int start, int length, int size, Span out[3]) {
    int count = 0;
    int first = 0, last = length + 1;  // texels
    if (start == 0) out[count++] = {first++, 0, 1};
    const bool past_end = start + length == size;
    if (past_end) --last;
    out[count++] = {first, start - 1 + first, last - first + 1};
    if (past_end) out[count++] = {length + 1, size - 1, 1};
    return count;
}

}  // namespace

PictureRect picture_gl_rect(const PictureLayout& layout, const PictureRect& monitor) {
    return {monitor.x, layout.drawable_height - monitor.y - monitor.height, monitor.width, monitor.height};
}

PicturePlan picture_plan(const PictureLayout& layout, bool own_picture) {
    PicturePlan plan = {};
    const PictureRect place = {0, 0, layout.picture_width, layout.picture_height};
    int count = layout.monitor_count < picture_max_monitors ? layout.monitor_count : picture_max_monitors;
    if (count < 0) count = 0;
    const int primary = layout.primary >= 0 && layout.primary < count ? layout.primary : 0;

    // Which monitors show the picture where it is drawn in place; whether
    // any other monitor needs a copy.
    bool others = false;
    for (int i = 0; i < count; ++i)
        if (!same_rect(picture_gl_rect(layout, layout.monitors[i]), place)) others = true;
    // A picture of its own when a copy is to be made from it: a scaled copy
    // samples the pixels around its part, which beyond the picture's edge
    // would be the drawable's other pixels.
    plan.in_place = own_picture ? count > 0 && !others : true;
    const bool fits = layout.picture_width <= layout.drawable_width && layout.picture_height <= layout.drawable_height;
    if (!own_picture && !fits) return plan;

    for (int n = 0; n < count; ++n) {
        // The primary first, then the others in their order.
        const int i = n == 0 ? primary : (n <= primary ? n - 1 : n);
        const PictureCopy copy = copy_for(layout, layout.monitors[i]);
        if (plan.in_place && same_rect(copy.to, place) && copy.same_size) continue;
        plan.copies[plan.copy_count++] = copy;
    }
    return plan;
}

int picture_tiles(int picture_width, int picture_height, int max_size, bool any_size,
                  PictureTile tiles[picture_max_tiles]) {
    // Two texels of each side are the borders.
    const int most = max_size - 2;
    if (picture_width <= 0 || picture_height <= 0 || most < 1) return 0;
    const int columns = (picture_width + most - 1) / most, rows = (picture_height + most - 1) / most;
    if (columns * rows > picture_max_tiles) return 0;
    int count = 0;
    for (int row = 0; row < rows; ++row) {
        const int y0 = picture_height * row / rows, y1 = picture_height * (row + 1) / rows;
        for (int column = 0; column < columns; ++column) {
            const int x0 = picture_width * column / columns, x1 = picture_width * (column + 1) / columns;
            PictureTile& tile = tiles[count++];
            tile.shown = {x0, y0, x1 - x0, y1 - y0};
            tile.texture_width = any_size ? tile.shown.width + 2 : power_of_two(tile.shown.width + 2);
            tile.texture_height = any_size ? tile.shown.height + 2 : power_of_two(tile.shown.height + 2);
        }
    }
    return count;
}

int picture_tile_fills(const PictureTile& tile, int picture_width, int picture_height, PictureFill fills[9]) {
    Span across[3], up[3];
    const int columns = spans(tile.shown.x, tile.shown.width, picture_width, across);
    const int rows = spans(tile.shown.y, tile.shown.height, picture_height, up);
    int count = 0;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            fills[count++] = {across[column].texel,
                              up[row].texel,
                              {across[column].pixel, up[row].pixel, across[column].length, up[row].length}};
    return count;
}

bool picture_tile_quad(const PictureCopy& copy, const PictureTile& tile, PictureQuad* quad) {
    const PictureRect& from = copy.from;
    const PictureRect& shown = tile.shown;
    const int x0 = from.x > shown.x ? from.x : shown.x;
    const int y0 = from.y > shown.y ? from.y : shown.y;
    const int x1 = from.x + from.width < shown.x + shown.width ? from.x + from.width : shown.x + shown.width;
    const int y1 = from.y + from.height < shown.y + shown.height ? from.y + from.height : shown.y + shown.height;
    if (x0 >= x1 || y0 >= y1 || from.width <= 0 || from.height <= 0) return false;
    // The picture's pixels scaled onto the copy's rectangle; tiles that
    // meet share the same edge there, so no pixel is drawn twice or missed.
    const float scale_x = static_cast<float>(copy.to.width) / static_cast<float>(from.width);
    const float scale_y = static_cast<float>(copy.to.height) / static_cast<float>(from.height);
    quad->x0 = static_cast<float>(copy.to.x) + static_cast<float>(x0 - from.x) * scale_x;
    quad->x1 = static_cast<float>(copy.to.x) + static_cast<float>(x1 - from.x) * scale_x;
    quad->y0 = static_cast<float>(copy.to.y) + static_cast<float>(y0 - from.y) * scale_y;
    quad->y1 = static_cast<float>(copy.to.y) + static_cast<float>(y1 - from.y) * scale_y;
    // Texel 0 is the border before the tile's first pixel.
    const float width = static_cast<float>(tile.texture_width), height = static_cast<float>(tile.texture_height);
    quad->s0 = static_cast<float>(x0 - shown.x + 1) / width;
    quad->s1 = static_cast<float>(x1 - shown.x + 1) / width;
    quad->t0 = static_cast<float>(y0 - shown.y + 1) / height;
    quad->t1 = static_cast<float>(y1 - shown.y + 1) / height;
    return true;
}
