#include "picture.h"

#include <png.h>

bool read_png(const std::string& path, Picture* picture) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr)) {
        picture->rgb.clear();
        return false;
    }
    picture->width = static_cast<int>(image.width);
    picture->height = static_cast<int>(image.height);
    return true;
}
