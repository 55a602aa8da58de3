// The resource names and the painter of each image.
#include "catalogue.h"

#include "planets.h"
#include "sky.h"

namespace imagegen {

std::vector<NamedImage> make_images() {
    std::vector<NamedImage> images;
    images.push_back({"PARTICLE", paint_particle()});
    images.push_back({"SUN", paint_sun()});
    images.push_back({"EARTH", paint_earth()});
    images.push_back({"MERCURY", paint_mercury()});
    images.push_back({"VENUS", paint_venus()});
    images.push_back({"MARS", paint_mars()});
    images.push_back({"JUPITER", paint_jupiter()});
    images.push_back({"SATURN", paint_saturn()});
    images.push_back({"URANUS", paint_uranus()});
    images.push_back({"NEPTUNE", paint_neptune()});
    images.push_back({"PLUTO", paint_pluto()});
    images.push_back({"BACKGROUND", paint_background()});
    images.push_back({"SUNMASK", negative(images[1].image)});
    return images;
}

}  // namespace imagegen
