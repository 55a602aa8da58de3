// The scene's random source and shared state.
#include "scene/scene_state.h"

namespace {

const uint32_t generator_start = 1;
uint32_t generator_state = generator_start;

const float title_alpha_start = 1.0f;
const float sway_angle_x_start = -90.0f;
const float sway_angle_y_start = 50.0f;
const float camera_depth_start = -10.0f;
const float tumble_angle_start = 105.0f;
const float background_scroll_start = 1.0f;

}  // namespace

PlanetState planets[planet_count];
const char* const planet_names[planet_count] = {
    "earth", "mercury", "venus", "mars", "jupiter", "saturn", "uranus", "neptune", "pluto",
};

float title_alpha = title_alpha_start;
float sway_angle_x = sway_angle_x_start;
float sway_angle_y = sway_angle_y_start;
float camera_depth = camera_depth_start;
BOOL camera_receding = TRUE;
float tumble_angle = tumble_angle_start;
float background_scroll = background_scroll_start;
float moon_angle;

void random_seed(uint32_t seed) {
    generator_state = seed;
}

int random_next() {
    generator_state = generator_state * 214013u + 2531011u;
    return static_cast<int>((generator_state >> 16) & 0x7FFF);
}

double random_range(float a, float b) {
    const float q = static_cast<float>(static_cast<double>(random_next()) / 32767.0);
    return static_cast<double>(a) + static_cast<double>(q) * (static_cast<double>(b) - static_cast<double>(a) + 1.0);
}

uint32_t random_state() {
    return generator_state;
}

void step_angle(float* angle, float step, AngleWrap wrap) {
    *angle += step;
    if (wrap == wrap_below_minus_360 ? *angle < -360.0f : *angle > 360.0f) *angle = 0.0f;
}

void reset_scene_state() {
    generator_state = generator_start;
    title_alpha = title_alpha_start;
    sway_angle_x = sway_angle_x_start;
    sway_angle_y = sway_angle_y_start;
    camera_depth = camera_depth_start;
    camera_receding = TRUE;
    tumble_angle = tumble_angle_start;
    background_scroll = background_scroll_start;
    moon_angle = 0.0f;
    for (PlanetState& planet : planets) planet = PlanetState{};
}
