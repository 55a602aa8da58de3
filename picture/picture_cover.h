// The part of a picture that covers a screen of another shape at the
// picture's own proportions, so that no copy of it is stretched. Used by
// every copy of one picture onto several monitors: the Windows run's, the
// X11 driver's and the Wayland driver's.
#pragma once

struct PictureRect {
    int x, y, width, height;
};

// The largest rectangle of a width x height picture, centred on it, with
// the proportions of a target_width x target_height screen: scaled to the
// screen, it covers it and what does not fit is cropped evenly on both sides.
inline PictureRect picture_cover_rect(int width, int height, int target_width, int target_height) {
    if (width <= 0 || height <= 0 || target_width <= 0 || target_height <= 0) return {0, 0, width, height};
    PictureRect crop = {0, 0, width, height};
    // Compared as products: no rounding decides which side is cropped.
    if ((long long)width * target_height > (long long)height * target_width)
        crop.width = (int)(((long long)height * target_width + target_height / 2) / target_height);
    else
        crop.height = (int)(((long long)width * target_height + target_width / 2) / target_width);
    crop.x = (width - crop.width) / 2;
    crop.y = (height - crop.height) / 2;
    return crop;
}
