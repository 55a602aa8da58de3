// The scene's random source and shared state.
#include "scene/scene_state.h"

namespace {
uint32_t generator_state = 1;
}

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
