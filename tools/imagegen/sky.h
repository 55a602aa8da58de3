// The star field, the sun, its mask and the comet particle.
#pragma once

#include "image.h"
#include "paint.h"

namespace imagegen {

// 512 x 512, faint stars on black; tiles in both directions.
Image paint_background();

// A round star of the given peak brightness centred at (x, y), in pixels;
// light that falls off one edge comes back in at the opposite edge.
void draw_star(Image& image, double x, double y, double brightness, Colour tint, double sigma);

// 128 x 128 grey star-burst, black at the border.
Image paint_sun();

// Each byte 255 minus the sun's byte.
Image negative(const Image& image);

// 32 x 32 grey soft spot, black at the border.
Image paint_particle();

}  // namespace imagegen
