// The scene's random source and shared state.
#include "scene/scene_state.h"

Scene scene;

const char* const planet_names[planet_count] = {
    "earth", "mercury", "venus", "mars", "jupiter", "saturn", "uranus", "neptune", "pluto",
};

void random_seed(uint32_t seed) {
    scene.generator = seed;
}

int random_next() {
    scene.generator = scene.generator * 214013u + 2531011u;
    return static_cast<int>((scene.generator >> 16) & 0x7FFF);
}

double random_range(float a, float b) {
    const float q = static_cast<float>(static_cast<double>(random_next()) / 32767.0);
    return static_cast<double>(a) + static_cast<double>(q) * (static_cast<double>(b) - static_cast<double>(a) + 1.0);
}

void step_angle(float* angle, float step, AngleWrap wrap) {
    *angle += step;
    if (wrap == wrap_below_minus_360 ? *angle < -360.0f : *angle > 360.0f) *angle = 0.0f;
}
