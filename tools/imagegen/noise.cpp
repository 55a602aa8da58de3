// Random source and gradient noise.
#include "noise.h"

#include <cmath>

namespace imagegen {

std::uint64_t next_u64(Random& random) {
    std::uint64_t z = (random.state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double next_unit(Random& random) {
    return static_cast<double>(next_u64(random) >> 11) * (1.0 / 9007199254740992.0);
}

double next_range(Random& random, double lo, double hi) {
    return lo + (hi - lo) * next_unit(random);
}

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(Vec3 a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 random_on_sphere(Random& random) {
    double z = next_range(random, -1.0, 1.0);
    double a = next_range(random, 0.0, 6.283185307179586);
    double r = std::sqrt(1.0 - z * z);
    return {r * std::cos(a), r * std::sin(a), z};
}

Noise make_noise(std::uint64_t seed) {
    Noise noise;
    Random random{seed};
    for (int i = 0; i < 256; ++i) noise.perm[i] = static_cast<std::uint8_t>(i);
    // Fisher-Yates with our own source; std::shuffle's draws vary by library.
    for (int i = 255; i > 0; --i) {
        int j = static_cast<int>(next_u64(random) % static_cast<std::uint64_t>(i + 1));
        std::uint8_t t = noise.perm[i];
        noise.perm[i] = noise.perm[j];
        noise.perm[j] = t;
    }
    for (int i = 0; i < 256; ++i) noise.perm[256 + i] = noise.perm[i];
    return noise;
}

namespace {

double fade(double t) {
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}
double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

// The twelve edge directions of a cube, picked by the low bits of the hash.
double grad(int hash, double x, double y, double z) {
    int h = hash & 15;
    double u = h < 8 ? x : y;
    double v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

}  // namespace

double gradient_noise(const Noise& noise, Vec3 p) {
    double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    int X = static_cast<int>(fx) & 255, Y = static_cast<int>(fy) & 255, Z = static_cast<int>(fz) & 255;
    double x = p.x - fx, y = p.y - fy, z = p.z - fz;
    double u = fade(x), v = fade(y), w = fade(z);
    const auto& P = noise.perm;
    int A = P[X] + Y, AA = P[A] + Z, AB = P[A + 1] + Z;
    int B = P[X + 1] + Y, BA = P[B] + Z, BB = P[B + 1] + Z;
    return lerp(lerp(lerp(grad(P[AA], x, y, z), grad(P[BA], x - 1, y, z), u),
                     lerp(grad(P[AB], x, y - 1, z), grad(P[BB], x - 1, y - 1, z), u), v),
                lerp(lerp(grad(P[AA + 1], x, y, z - 1), grad(P[BA + 1], x - 1, y, z - 1), u),
                     lerp(grad(P[AB + 1], x, y - 1, z - 1), grad(P[BB + 1], x - 1, y - 1, z - 1), u), v),
                w);
}

double fbm(const Noise& noise, Vec3 p, int octaves) {
    double sum = 0.0, weight = 1.0, total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        // A fixed offset per octave keeps lattice zeros of the octaves apart.
        sum += weight * gradient_noise(noise, p + Vec3{i * 17.13, i * 31.71, i * 7.37});
        total += weight;
        weight *= 0.5;
        p = p * 2.0;
    }
    return sum / total;
}

}  // namespace imagegen
