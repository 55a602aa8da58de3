// The generator's own random source and 3D gradient noise. Everything is
// computed from fixed seeds with plain integer and double arithmetic, so two
// runs give the same bytes. Used by the painters.
#pragma once

#include <array>
#include <cstdint>

namespace imagegen {

// SplitMix64: small, fast and the same on every platform.
struct Random {
    std::uint64_t state;
};

std::uint64_t next_u64(Random& random);
double next_unit(Random& random);  // in [0, 1)
double next_range(Random& random, double lo, double hi);

struct Vec3 {
    double x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, double k);
double dot(Vec3 a, Vec3 b);

// A point drawn evenly over the unit sphere.
Vec3 random_on_sphere(Random& random);

// Gradient noise over R^3 with a permutation made from the seed.
struct Noise {
    std::array<std::uint8_t, 512> perm;
};

Noise make_noise(std::uint64_t seed);

// About -1..1, 0 at every lattice point.
double gradient_noise(const Noise& noise, Vec3 p);

// Fractal sum of octaves, each twice the frequency and half the weight;
// normalised to about -1..1.
double fbm(const Noise& noise, Vec3 p, int octaves);

}  // namespace imagegen
