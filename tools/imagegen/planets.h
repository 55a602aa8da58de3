// The nine planet surface maps: equirectangular, twice as wide as high.
// Column x is longitude (x + 0.5) / width of a full turn; row 0 is the south
// pole, because GLU's sphere puts texture coordinate t = 0 at -z. Every map is
// a function of the point on the unit sphere, so the left and right edges meet
// and the poles do not pinch.
#pragma once

#include "image.h"

namespace imagegen {

constexpr int planet_width = 256;
constexpr int planet_height = 128;

Image paint_earth();
Image paint_mercury();
Image paint_venus();
Image paint_mars();
Image paint_jupiter();
Image paint_saturn();
Image paint_uranus();
Image paint_neptune();
Image paint_pluto();

}  // namespace imagegen
