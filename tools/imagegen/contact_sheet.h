// One picture of all the images side by side, each with its name and size,
// for looking at them (the README shows it). Used by main.
#pragma once

#include <vector>

#include "catalogue.h"
#include "image.h"

namespace imagegen {

// A grid in catalogue order, four to a row, on dark grey; each image scaled
// to fit a 256-pixel square, its label below it.
Image make_contact_sheet(const std::vector<NamedImage>& images);

}  // namespace imagegen
