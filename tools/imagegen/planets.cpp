// Planet maps. Each painter is a colour function of the point on the unit
// sphere (and its latitude, for banding), sampled at every pixel centre.
#include "planets.h"

#include <cmath>
#include <vector>

#include "noise.h"
#include "paint.h"

namespace imagegen {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double degree = pi / 180.0;

struct Surface {
    Vec3 p;      // unit vector; z is the north axis
    double lat;  // radians, -pi/2 at the south pole
    double lon;  // radians, 0 .. 2 pi
};

template <typename Painter>
Image paint_map(Painter colour_at) {
    Image image = make_image(planet_width, planet_height);
    for (int y = 0; y < planet_height; ++y) {
        double lat = -pi / 2 + (y + 0.5) * pi / planet_height;
        for (int x = 0; x < planet_width; ++x) {
            double lon = (x + 0.5) * 2 * pi / planet_width;
            Surface s{{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)}, lat, lon};
            Colour c = colour_at(s);
            set_pixel(image, x, y, c.r, c.g, c.b);
        }
    }
    return image;
}

// Stretching the sphere along its axis before sampling makes the noise vary
// faster with latitude than with longitude: streaks along the parallels.
Vec3 streaked(Vec3 p, double across, double along) {
    return {p.x * along, p.y * along, p.z * across};
}

// A smooth offset field that bends the features of another noise.
Vec3 warp(const Noise& n, Vec3 p, double amount) {
    return {amount * fbm(n, p, 3), amount * fbm(n, p + Vec3{5.2, 1.3, 2.7}, 3),
            amount * fbm(n, p + Vec3{1.7, 9.2, 4.1}, 3)};
}

// Angle between two unit vectors.
double angle_between(Vec3 a, Vec3 b) {
    return std::acos(std::clamp(dot(a, b), -1.0, 1.0));
}

// Distance from an oval storm centred at (lat0, lon0) whose half-extents are
// given in degrees of latitude and of arc along the parallel; 1 on its edge.
double oval_distance(const Surface& s, double lat0, double lon0, double half_width, double half_height) {
    double dlon = std::remainder(s.lon - lon0 * degree, 2 * pi);
    double dx = dlon * std::cos(lat0 * degree) / (half_width * degree);
    double dy = (s.lat - lat0 * degree) / (half_height * degree);
    return std::sqrt(dx * dx + dy * dy);
}

// Banded gas giant: a colour that depends on latitude bent by turbulence,
// with fine streaks along the parallels.
Colour band_colour(const std::vector<Colour>& bands, double t) {
    t = clamp01(t) * (bands.size() - 1);
    std::size_t i = std::min(static_cast<std::size_t>(t), bands.size() - 2);
    return mix(bands[i], bands[i + 1], smoothstep(0.0, 1.0, t - i));
}

}  // namespace

Image paint_earth() {
    Noise land = make_noise(101), shape = make_noise(102), cloud = make_noise(103), swirl = make_noise(104),
          vegetation = make_noise(105);
    return paint_map([&](const Surface& s) {
        double alat = std::abs(s.lat) / degree;
        Vec3 q = s.p * 1.2 + warp(shape, s.p * 1.0, 0.5);
        double h = fbm(land, q, 6) + 0.04;
        const double sea = 0.06;
        Colour ocean = mix(Colour{0.10, 0.36, 0.58}, Colour{0.02, 0.09, 0.30}, smoothstep(0.0, 0.22, sea - h));
        double e = smoothstep(0.0, 0.35, h - sea);
        double wet = fbm(vegetation, s.p * 2.5, 5);
        // Deserts mostly in the subtropics, forests near the equator, tundra poleward.
        double subtropic = std::exp(-std::pow((alat - 24.0) / 13.0, 2.0));
        double dry = 1.6 * wet + 0.35 * subtropic - 0.25 * std::exp(-std::pow(alat / 10.0, 2.0));
        Colour green = mix(Colour{0.12, 0.34, 0.10}, Colour{0.30, 0.44, 0.17}, smoothstep(-0.3, 0.2, wet));
        Colour c = mix(green, Colour{0.76, 0.64, 0.40}, smoothstep(0.2, 0.45, dry));
        c = mix(c, Colour{0.42, 0.40, 0.30}, smoothstep(48.0, 66.0, alat));
        c = mix(c, Colour{0.45, 0.34, 0.22}, smoothstep(0.35, 0.9, e));
        // A coast a pixel wide, so the continents have no stair-step outline.
        double land = smoothstep(sea - 0.008, sea + 0.008, h);
        c = mix(ocean, c, land);
        double ice_edge = 77.0 + 36.0 * fbm(vegetation, s.p * 2.5 + Vec3{3, 3, 3}, 5) - 5.0 * land;
        c = mix(c, Colour{0.92, 0.95, 0.98}, smoothstep(ice_edge - 1.5, ice_edge + 1.5, alat));
        // Clouds: swirled noise, thinner over the subtropical high-pressure belts.
        Vec3 cq = s.p * 2.2 + warp(swirl, s.p * 1.8, 0.7);
        double cover = fbm(cloud, streaked(cq, 1.8, 1.0), 6);
        double belt = 0.08 * std::cos(alat * degree * 6.0);
        double amount = smoothstep(0.05 - belt, 0.45 - belt, cover) * 0.9;
        return mix(c, Colour{0.97, 0.98, 1.0}, amount);
    });
}

Image paint_mercury() {
    Noise ground = make_noise(201), detail = make_noise(202);
    struct Crater {
        Vec3 centre;
        double radius;  // angular, radians
        double rays;    // bright ejecta of a young crater, 0 for none
    };
    std::vector<Crater> craters;
    Random random{203};
    for (int i = 0; i < 260; ++i) {
        Vec3 c = random_on_sphere(random);
        // Many small craters and a few large basins.
        double radius = (1.3 + 14.0 * std::pow(next_unit(random), 4.0)) * degree;
        double rays = next_unit(random) < 0.05 ? next_range(random, 0.5, 1.0) : 0.0;
        craters.push_back({c, radius, rays});
    }
    const Vec3 light = {0.6, -0.5, 0.62};
    return paint_map([&](const Surface& s) {
        double albedo = 0.50 + 0.10 * fbm(ground, s.p * 2.0, 5) + 0.05 * fbm(detail, s.p * 10.0, 3);
        double shade = 0.0;
        for (const Crater& k : craters) {
            double d = dot(s.p, k.centre);
            if (d < std::cos(k.radius * 3.0)) continue;
            double ang = angle_between(s.p, k.centre);
            double t = ang / k.radius;
            // Bowl below the rim, raised rim, then ejecta thinning outwards.
            double slope;
            if (t < 1.0) {
                albedo -= 0.07 * (1.0 - t * t);
                slope = 2.0 * t;
            } else {
                slope = -1.6 * std::exp(-(t - 1.0) * 4.0);
                albedo += 0.05 * std::exp(-(t - 1.0) * 3.0);
            }
            // Brighter on the walls facing the light: a fixed direction in
            // space, so there is no seam and no pole to pinch.
            double s_ang = std::sin(std::max(ang, 1e-6));
            Vec3 away = (s.p * d + k.centre * -1.0) * (1.0 / s_ang);  // unit, pointing outwards
            if (k.rays > 0.0 && t > 0.8) {
                // Noise of the direction alone gives streaks that point away from the crater.
                double streak = fbm(detail, k.centre * 40.0 + away * 5.0, 2);
                albedo += k.rays * 0.2 * smoothstep(0.05, 0.4, streak) * smoothstep(3.0, 1.0, t);
            }
            shade += 0.06 * slope * dot(away, light) * std::min(1.0, k.radius / (4.0 * degree));
        }
        double v = clamp01(albedo + shade);
        return Colour{v * 0.98, v * 0.96, v * 0.93};
    });
}

Image paint_venus() {
    Noise cloud = make_noise(301), shape = make_noise(302);
    return paint_map([&](const Surface& s) {
        Vec3 q = streaked(s.p, 4.0, 1.6) + warp(shape, s.p * 1.5, 0.8);
        double v = fbm(cloud, q, 6);
        double w = smoothstep(-0.35, 0.35, v);
        Colour c = mix(Colour{0.80, 0.66, 0.42}, Colour{0.99, 0.95, 0.82}, w);
        // Slightly darker, more tawny toward the equatorial belt.
        return mix(c, Colour{0.86, 0.70, 0.45}, 0.25 * std::cos(s.lat) * (1.0 - w));
    });
}

Image paint_mars() {
    Noise ground = make_noise(401), dark = make_noise(402), detail = make_noise(403);
    return paint_map([&](const Surface& s) {
        double alat = std::abs(s.lat) / degree;
        double g = fbm(ground, s.p * 3.0, 5);
        Colour c = mix(Colour{0.62, 0.28, 0.13}, Colour{0.86, 0.52, 0.29}, smoothstep(-0.4, 0.4, g));
        double d = fbm(dark, s.p * 1.7 + warp(detail, s.p * 2.0, 0.3), 6);
        c = mix(c, Colour{0.33, 0.18, 0.11}, smoothstep(0.05, 0.25, d) * 0.85);
        // The northern cap is the larger one.
        double edge = (s.lat > 0 ? 74.0 : 78.0) + 10.0 * fbm(detail, s.p * 5.0, 4);
        return mix(c, Colour{0.96, 0.94, 0.92}, smoothstep(edge - 1.0, edge + 1.0, alat));
    });
}

Image paint_jupiter() {
    Noise turbulence = make_noise(501), streaks = make_noise(502), spot = make_noise(503);
    const Colour zone{0.93, 0.87, 0.75}, pale{0.85, 0.76, 0.62}, belt{0.66, 0.47, 0.33}, dark{0.52, 0.36, 0.26},
        orange{0.80, 0.58, 0.40}, polar{0.62, 0.58, 0.54};
    // South to north.
    const std::vector<Colour> bands = {polar, pale, belt, zone, pale, dark, zone, orange, zone,
                                       pale,  belt, dark, zone, pale, belt, zone, pale,   polar};
    return paint_map([&](const Surface& s) {
        double bend = 0.05 * fbm(turbulence, streaked(s.p, 3.0, 5.0), 5);
        double t = (std::sin(s.lat) + bend) * 0.5 + 0.5;
        Colour c = band_colour(bands, t);
        double fine = fbm(streaks, streaked(s.p, 30.0, 3.0), 4);
        c = scale(c, 1.0 + 0.10 * fine);
        // The great red spot and its pale collar, in the southern hemisphere.
        double d = oval_distance(s, -22.0, 210.0, 15.0, 8.0);
        d += 0.12 * fbm(spot, s.p * 12.0, 3);
        c = mix(c, Colour{0.95, 0.90, 0.80}, smoothstep(1.6, 1.05, d) * 0.8);
        Colour red = mix(Colour{0.80, 0.36, 0.22}, Colour{0.70, 0.30, 0.20}, smoothstep(0.9, 0.2, d));
        return mix(c, red, smoothstep(1.0, 0.85, d));
    });
}

Image paint_saturn() {
    Noise turbulence = make_noise(601), streaks = make_noise(602);
    const Colour cream{0.92, 0.86, 0.68}, gold{0.85, 0.74, 0.52}, tan{0.76, 0.64, 0.45}, polar{0.70, 0.68, 0.60};
    const std::vector<Colour> bands = {polar, tan, gold, cream, gold, cream, cream, gold,
                                       cream, tan, gold, cream, gold, tan,   polar};
    return paint_map([&](const Surface& s) {
        double bend = 0.015 * fbm(turbulence, streaked(s.p, 3.0, 4.0), 4);
        Colour c = band_colour(bands, (std::sin(s.lat) + bend) * 0.5 + 0.5);
        return scale(c, 1.0 + 0.05 * fbm(streaks, streaked(s.p, 24.0, 2.0), 4));
    });
}

Image paint_uranus() {
    Noise haze = make_noise(701);
    return paint_map([&](const Surface& s) {
        double band = 0.03 * std::sin(s.lat * 9.0) + 0.02 * fbm(haze, streaked(s.p, 10.0, 2.0), 4);
        Colour c = mix(Colour{0.58, 0.82, 0.86}, Colour{0.74, 0.91, 0.93}, smoothstep(-0.6, 0.9, std::sin(s.lat)));
        return scale(c, 1.0 + band);
    });
}

Image paint_neptune() {
    Noise bands = make_noise(801), cloud = make_noise(802), spot = make_noise(803);
    return paint_map([&](const Surface& s) {
        double b = fbm(bands, streaked(s.p, 8.0, 1.5), 5);
        Colour c = mix(Colour{0.10, 0.22, 0.62}, Colour{0.24, 0.40, 0.86},
                       smoothstep(-0.4, 0.4, b + 0.25 * std::sin(s.lat * 7.0)));
        c = mix(c, Colour{0.12, 0.20, 0.52}, smoothstep(60.0, 85.0, std::abs(s.lat) / degree) * 0.5);
        // The dark spot with a white companion cloud below it.
        double d = oval_distance(s, -22.0, 120.0, 15.0, 8.0) + 0.1 * fbm(spot, s.p * 10.0, 3);
        c = mix(c, Colour{0.05, 0.10, 0.36}, smoothstep(1.0, 0.7, d));
        double companion = oval_distance(s, -30.0, 124.0, 11.0, 2.2) + 0.3 * fbm(spot, s.p * 14.0, 3);
        c = mix(c, Colour{0.85, 0.90, 1.0}, smoothstep(1.0, 0.4, companion) * 0.8);
        // Wispy high cirrus along the parallels.
        double wisp = fbm(cloud, streaked(s.p, 24.0, 2.5), 5);
        double lane = smoothstep(0.5, 0.0, std::abs(std::sin(s.lat * 5.0 + 0.6)));
        return mix(c, Colour{0.88, 0.92, 1.0}, smoothstep(0.12, 0.4, wisp) * lane * 0.8);
    });
}

Image paint_pluto() {
    Noise mottle = make_noise(901), region = make_noise(902), fine = make_noise(903);
    return paint_map([&](const Surface& s) {
        double m = fbm(mottle, s.p * 4.0, 6);
        Colour c = mix(Colour{0.66, 0.55, 0.42}, Colour{0.86, 0.77, 0.62}, smoothstep(-0.4, 0.4, m));
        // Dark reddish-brown lowlands near the equator, a bright icy plain.
        double r = fbm(region, s.p * 1.5, 5) - 0.25 * std::abs(std::sin(s.lat)) * 2.0;
        c = mix(c, Colour{0.42, 0.28, 0.19}, smoothstep(-0.15, 0.05, r) * 0.8);
        double plain = oval_distance(s, 15.0, 300.0, 28.0, 22.0) + 0.6 * fbm(fine, s.p * 3.0, 5);
        c = mix(c, Colour{0.93, 0.89, 0.81}, smoothstep(1.1, 0.6, plain) * 0.9);
        return scale(c, 1.0 + 0.06 * fbm(fine, s.p * 16.0, 3));
    });
}

}  // namespace imagegen
