// Small colour helpers shared by the painters.
#pragma once

#include <algorithm>
#include <cmath>

namespace imagegen {

struct Colour {
    double r, g, b;
};

inline Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline Colour scale(Colour c, double k) {
    return {c.r * k, c.g * k, c.b * k};
}

inline double smoothstep(double e0, double e1, double x) {
    double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

inline double clamp01(double x) {
    return std::clamp(x, 0.0, 1.0);
}

}  // namespace imagegen
