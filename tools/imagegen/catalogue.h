// All thirteen images under their resource names, in load order.
#pragma once

#include <string>
#include <vector>

#include "image.h"

namespace imagegen {

struct NamedImage {
    std::string name;
    Image image;
};

std::vector<NamedImage> make_images();

}  // namespace imagegen
