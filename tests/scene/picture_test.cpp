// The picture itself, on real pixels of Mesa's software renderer: the title,
// the sun, the planets, the orbit lines and the comet show where the frame's
// own transforms put them. Places are found by projecting with the matrices
// that the frame left in GL; a body is told apart from everything else by
// rendering the same frame twice with one thing changed (a texture, a flag)
// and looking at the pixels that differ.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform.h"
#include "offscreen_context.h"
#include "scene_fixture.h"
#include "assets/textures.h"
#include "display/gl_window.h"
#include "scene/comet.h"
#include "scene/frame.h"
#include "scene/scene_state.h"
#include "scene/sun.h"

namespace {

struct Rgb {
    int r, g, b;
};

// One rendered frame and what is needed to find things in it.
struct Frame {
    int width = 0, height = 0;
    std::vector<GLubyte> rgba;  // rows from the bottom up, as GL's window y
    GLdouble projection[16];
    GLint viewport[4];
    GLfloat system[3];  // the system origin in eye space
    float tumble_used;  // the tumble angle the frame drew with
    PlanetState planets_used[planet_count];
    float comet_centre[3];  // eye space, as the comet stage translated

    Rgb at(int x, int y) const {
        const GLubyte* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
    bool inside(double x, double y, double margin = 0) const {
        return x >= margin && y >= margin && x < width - margin && y < height - margin;
    }
};

// Window coordinates of a point given in a frame made by `place` on top of
// the system transform (the background's and the system's translation).
void project(const Frame& frame, const std::function<void()>& place, double x, double y, double z, double out[2]) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(frame.system[0], frame.system[1], frame.system[2]);
    if (place) place();
    GLdouble model[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glPopMatrix();
    double wz;
    gluProject(x, y, z, model, frame.projection, frame.viewport, &out[0], &out[1], &wz);
}

// Eye space to window coordinates.
void project_eye(const Frame& frame, const float eye[3], double out[2]) {
    const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double wz;
    gluProject(eye[0], eye[1], eye[2], identity, frame.projection, frame.viewport, &out[0], &out[1], &wz);
}

struct RunOptions {
    uint32_t seed = 1;
    int frames = 1;  // the last one is kept
    int width = 320, height = 240;
    bool no_sun = false;                          // black glow and white mask: the sun leaves the picture as it is
    std::function<void(int frame)> before_frame;  // frame counts from 1
    std::vector<int> keep;                        // frames besides the last whose pictures are wanted
};

// A run from program start in a context of its own at the given size, as
// the frame clock runs it; the fixture's context is current again after.
// Returns the last frame and puts those listed in keep into *kept, in
// order. Frames that nobody looks at are stepped and not drawn.
Frame render(const RunOptions& options, std::vector<Frame>* kept = nullptr) {
    Frame frame;
    frame.width = options.width;
    frame.height = options.height;
    OffscreenContext offscreen;
    EXPECT_TRUE(open_offscreen_context(&offscreen, options.width, options.height));
    reset_scene();
    random_seed(options.seed);
    init_gl(font_device_context(), options.width, options.height);
    resize_view(options.width, options.height);
    if (options.no_sun) {
        // In place: the one pass keeps its textures bound to their units.
        const GLubyte black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
        upload_texture(texture_set().sun, black, 1, 1);
        upload_texture(texture_set().sunmask, white, 1, 1);
        if (sun_passes == 1) {
            upload_texture(texture_set().sun_red, black, 1, 1);
            upload_texture(texture_set().sunmask_intensity, white, 1, 1);
        }
    }

    for (int n = 1; n <= options.frames; ++n) {
        const bool looked_at =
            n == options.frames || std::find(options.keep.begin(), options.keep.end(), n) != options.keep.end();
        if (options.before_frame) options.before_frame(n);
        frame.tumble_used = scene.tumble_angle;
        step_scene();
        if (!looked_at) continue;
        draw_frame();
        glFinish();
        GLfloat model[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, model);
        // The sun's rotations are about z: the translation is the system's.
        for (int i = 0; i < 3; ++i) frame.system[i] = model[12 + i];
        glGetDoublev(GL_PROJECTION_MATRIX, frame.projection);
        glGetIntegerv(GL_VIEWPORT, frame.viewport);
        for (int i = 0; i < planet_count; ++i) frame.planets_used[i] = scene.planets[i];
        frame.comet_centre[0] = static_cast<float>(cos(frame.tumble_used / degrees_per_radian) + scene.comet.x);
        frame.comet_centre[1] = static_cast<float>(sin(frame.tumble_used / degrees_per_radian) + scene.comet.y);
        frame.comet_centre[2] = scene.comet.z - 55.0f;
        if (kept && n != options.frames) {
            frame.rgba = offscreen.pixels;
            kept->push_back(frame);
        }
    }

    close_offscreen_context(&offscreen);
    frame.rgba = offscreen.pixels;
    return frame;
}

// The pixels where two renders of the same frame differ, with their
// centroid and the largest distance from a given point.
struct Difference {
    int count = 0;
    double centre_x = 0, centre_y = 0;
    int brighter = 0;  // pixels where `a` has more light than `b`
    int bluer = 0;     // pixels where `a` gained more blue than red or green
};

Difference difference(const Frame& a, const Frame& b) {
    Difference d;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const Rgb p = a.at(x, y), q = b.at(x, y);
            if (p.r == q.r && p.g == q.g && p.b == q.b) continue;
            ++d.count;
            d.centre_x += x;
            d.centre_y += y;
            if (p.r + p.g + p.b > q.r + q.g + q.b) ++d.brighter;
            if (p.b - q.b > p.r - q.r && p.b - q.b > p.g - q.g) ++d.bluer;
        }
    }
    if (d.count) {
        d.centre_x /= d.count;
        d.centre_y /= d.count;
    }
    return d;
}

// The nearest and the farthest differing pixel from (x0, y0).
struct Reach {
    double nearest = INFINITY, farthest = 0;
};

Reach reach(const Frame& a, const Frame& b, double x0, double y0) {
    Reach r;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Rgb p = a.at(x, y), q = b.at(x, y);
            if (p.r == q.r && p.g == q.g && p.b == q.b) continue;
            const double distance = hypot(x - x0, y - y0);
            r.nearest = fmin(r.nearest, distance);
            r.farthest = fmax(r.farthest, distance);
        }
    return r;
}

// Pixels per unit of length at eye depth z (negative), from the projection.
double pixels_per_unit(const Frame& frame, double z) {
    return frame.projection[5] * frame.viewport[3] / 2.0 / -z;
}

struct PlanetRowForTest {
    PlanetSlot slot;
    double radius;
    double sphere_radius;
};

}  // namespace

// The ticks that nobody looks at are stepped and not drawn; the frame
// looked at after them is the same as in a run that drew every frame: a
// frame depends on no GL state that the one before it left.
TEST_F(SceneRun, StepsWithoutFramesLeaveTheNextFrameAsIs) {
    RunOptions options;
    options.seed = 22;
    options.frames = 520;  // the comet flying, the title gone
    options.width = 96;
    options.height = 72;
    const Frame skipped = render(options);
    for (int n = 1; n < options.frames; ++n) options.keep.push_back(n);
    const Frame whole = render(options);
    EXPECT_EQ(difference(skipped, whole).count, 0);
    int lit = 0;
    for (int y = 0; y < whole.height; ++y)
        for (int x = 0; x < whole.width; ++x) {
            const Rgb p = whole.at(x, y);
            lit += p.r + p.g + p.b > 0;
        }
    EXPECT_GT(lit, whole.width * whole.height / 4);
}

// The frame has no colour clear: every pixel is drawn anew, so what the
// last frame left there makes no difference, whatever the view's shape
// (the stars' quad is narrower than a 4:3 view) and with the title or the
// comet adding to the stars.
TEST_F(SceneRun, FrameDrawsEveryPixelWhateverWasThere) {
    struct Case {
        int width, height, frames;
    };
    const Case cases[] = {{320, 240, 100}, {480, 200, 520}, {200, 320, 520}};
    for (const Case& c : cases) {
        RunOptions options;
        options.frames = c.frames;
        options.width = c.width;
        options.height = c.height;
        const Frame onto_black = render(options);
        options.before_frame = [&](int n) {
            if (n < c.frames) return;
            glClearColor(0.5f, 0.25f, 1.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        };
        const Frame onto_colour = render(options);
        EXPECT_EQ(difference(onto_black, onto_colour).count, 0) << c.width << "x" << c.height;
    }
}

// The title sits at (7, -6, -30) from the eye, centred along x there; it is
// blue, fades, and from frame 502 on is drawn no more.
TEST_F(SceneRun, TitleShowsBlueWhereItSitsAndIsGoneAfterFrame501) {
    const float anchor[3] = {7.0f, -6.0f, -30.0f};
    // Strong blue in the title's place, without the red and green that the
    // stars and the sun bring along.
    auto title_pixels = [&](const Frame& frame) {
        double at[2];
        project_eye(frame, anchor, at);
        const double unit = pixels_per_unit(frame, anchor[2]);
        int count = 0;
        for (int y = static_cast<int>(at[1] - unit); y <= at[1] + unit; ++y)
            for (int x = static_cast<int>(at[0] - 3 * unit); x <= at[0] + 3 * unit; ++x) {
                const Rgb p = frame.at(x, y);
                if (p.b >= 150 && p.r < 80 && p.g < 80) ++count;
            }
        return count;
    };

    RunOptions options;
    options.width = 160;
    options.height = 120;
    options.frames = 502;
    options.keep = {1, 400};
    std::vector<Frame> kept;
    const Frame late = render(options, &kept);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_GT(title_pixels(kept[0]), 20);
    EXPECT_EQ(title_pixels(late), 0);

    // The same frames without the title stage: what differs is the title,
    // blue, centred on its place.
    const int frames[] = {1, 400};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(frames[i]);
        const int last = frames[i];
        options.frames = last;
        options.keep.clear();
        options.before_frame = [last](int n) {
            if (n == last) scene.title_alpha = -1.0f;
        };
        const Frame without = render(options);
        const Frame& with = kept[i];

        const Difference d = difference(with, without);
        EXPECT_GT(d.count, 20);
        EXPECT_EQ(d.bluer, d.count);
        double at[2];
        project_eye(with, anchor, at);
        // About four units wide and one high at depth 30.
        const double unit = pixels_per_unit(with, anchor[2]);
        EXPECT_NEAR(d.centre_x, at[0], unit);
        EXPECT_NEAR(d.centre_y, at[1], unit);
        EXPECT_LT(reach(with, without, at[0], at[1]).farthest, 4 * unit);
    }
}

// Each sun layer is drawn only where its image has content: the picture is
// the one the whole quads give, but for a step of rounding here and there.
TEST_F(SceneRun, SunTrimmedToItsImagesLooksAsTheWholeQuads) {
    RunOptions options;
    options.frames = 250;
    options.width = 320;
    options.height = 240;
    const Frame trimmed = render(options);
    ASSERT_LT(texture_set().sun_reach, 1.0f);
    ASSERT_LT(texture_set().sunmask_reach, 1.0f);
    options.before_frame = [](int n) {
        if (n > 1) return;
        texture_set().sun_reach = texture_set().sunmask_reach = 1.0f;
        choose_sun_passes();  // the shapes anew
    };
    const Frame whole = render(options);
    int differing = 0, largest = 0;
    for (int y = 0; y < whole.height; ++y)
        for (int x = 0; x < whole.width; ++x) {
            const Rgb p = trimmed.at(x, y), q = whole.at(x, y);
            const int step = std::max({abs(p.r - q.r), abs(p.g - q.g), abs(p.b - q.b)});
            differing += step > 0;
            largest = std::max(largest, step);
        }
    EXPECT_LE(largest, 1);
    EXPECT_LE(differing, whole.width * whole.height / 1000);
}

// The sun covers the system's centre, wherever the camera has carried it.
TEST_F(SceneRun, SunIsBrightAtTheSystemCentre) {
    for (int frames : {1, 250}) {
        SCOPED_TRACE(frames);
        RunOptions options;
        options.frames = frames;
        options.width = 160;
        options.height = 120;
        const Frame frame = render(options);
        double at[2];
        project(frame, nullptr, 0, 0, 0, at);
        ASSERT_TRUE(frame.inside(at[0], at[1], 2));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const Rgb p = frame.at(static_cast<int>(at[0]) + dx, static_cast<int>(at[1]) + dy);
                EXPECT_GE(p.r, 230);
                EXPECT_GE(p.g, 200);
            }
    }
}

// Each visible planet is drawn where its orbit angle, the tumble and the
// system transform put it: giving it another texture changes only pixels in
// its projected disc.
TEST_F(SceneRun, PlanetsAppearWhereTheirTransformsPutThem) {
    const PlanetRowForTest rows[] = {
        {earth_slot, 11, 0.1},
        {jupiter_slot, 21, 0.6},
        {saturn_slot, 25, 0.45},
        {mars_slot, 14, 0.08},
    };
    const uint32_t seed = 7;
    int seen = 0;
    for (const PlanetRowForTest& row : rows) {
        SCOPED_TRACE(planet_names[row.slot]);
        RunOptions options;
        options.seed = seed;
        options.no_sun = true;
        const Frame frame = render(options);
        options.before_frame = [&row](int) {
            // Another planet's image in this planet's slot.
            texture_set().planets[row.slot] =
                texture_set().planets[row.slot == mercury_slot ? venus_slot : mercury_slot];
        };
        const Frame swapped = render(options);

        const PlanetState used = frame.planets_used[row.slot];
        const float tumble = frame.tumble_used;
        auto orbit_place = [&]() { glRotatef(tumble, 1, 1, 0); };
        const double a = used.orbit_angle / degrees_per_radian;
        const double px = cos(a) * row.radius, py = sin(a) * row.radius;
        double at[2];
        project(frame, orbit_place, px, py, 0, at);
        // The disc's size from the distance of its centre.
        GLfloat eye[3];
        {
            glPushMatrix();
            glLoadIdentity();
            glTranslatef(frame.system[0], frame.system[1], frame.system[2]);
            orbit_place();
            glTranslated(px, py, 0);
            GLfloat m[16];
            glGetFloatv(GL_MODELVIEW_MATRIX, m);
            glPopMatrix();
            for (int i = 0; i < 3; ++i) eye[i] = m[12 + i];
        }
        if (eye[2] > -1 || !frame.inside(at[0], at[1], 2)) continue;             // behind or outside the view
        const double disc = pixels_per_unit(frame, eye[2]) * row.sphere_radius;  // radius in pixels
        if (disc < 1.5) continue;                                                // a pixel or two: too small to place
        const Difference d = difference(frame, swapped);
        ++seen;
        EXPECT_GT(d.count, 0);
        EXPECT_NEAR(d.centre_x, at[0], disc / 2 + 1);
        EXPECT_NEAR(d.centre_y, at[1], disc / 2 + 1);
        EXPECT_LE(reach(frame, swapped, at[0], at[1]).farthest, disc * 1.2 + 2);
    }
    EXPECT_GE(seen, 2);  // the seed and size are chosen so that several are large enough
}

// Orbit lines: dark blue (0, 0, 0.4) along every projected orbit, except
// where a body in front hides them.
TEST_F(SceneRun, OrbitLinesFollowTheProjectedOrbits) {
    RunOptions options;
    options.seed = 7;
    options.no_sun = true;
    const Frame frame = render(options);
    const double radii[] = {5, 8, 11, 14, 21, 25, 29, 33};
    int sampled = 0, on_line = 0;
    auto sample = [&](const std::function<void()>& place, double cx, double cy, double radius) {
        for (int degree = 0; degree < 360; ++degree) {
            const double a = (degree + 0.5) / degrees_per_radian;  // between the line's vertices
            double at[2];
            project(frame, place, cos(a) * radius + cx, sin(a) * radius + cy, 0, at);
            if (!frame.inside(at[0], at[1], 2)) continue;
            ++sampled;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const Rgb p = frame.at(static_cast<int>(at[0]) + dx, static_cast<int>(at[1]) + dy);
                    found = p.b >= 90 && p.b <= 125 && p.r < 40 && p.g < 40;
                }
            if (found) ++on_line;
        }
    };
    const float tumble = frame.tumble_used;
    for (double radius : radii) sample([&]() { glRotatef(tumble, 1, 1, 0); }, 0, 0, radius);
    sample(
        [&]() {
            glRotatef(15, 1, 0, 0);
            glRotatef(tumble, 1, 1, 0);
        },
        -7, 2, 36);
    ASSERT_GT(sampled, 200);
    EXPECT_GT(on_line, sampled * 9 / 10) << on_line << " of " << sampled;
}

// The comet starts on the 500th tick: no frame before 501 shows it. Once
// flying it adds its light around the centre it was translated to.
TEST_F(SceneRun, CometAppearsAfterTick500AroundItsCentre) {
    const int last = 600;
    RunOptions options;
    options.seed = 22;  // a comet that is well inside the view by frame 600
    options.frames = last;
    options.width = 200;
    options.height = 150;
    options.keep = {500};
    std::vector<Frame> kept[2];
    const Frame with = render(options, &kept[0]);
    options.before_frame = [](int) { scene.comet.active = FALSE; };
    const Frame without = render(options, &kept[1]);

    ASSERT_EQ(kept[0].size(), 1u);
    ASSERT_EQ(kept[1].size(), 1u);
    EXPECT_EQ(difference(kept[0][0], kept[1][0]).count, 0) << "frame 500";

    double at[2];
    project_eye(with, with.comet_centre, at);
    ASSERT_TRUE(with.inside(at[0], at[1], 10)) << at[0] << ", " << at[1];
    const Difference d = difference(with, without);
    EXPECT_GT(d.count, 10);
    EXPECT_GE(d.brighter, d.count * 9 / 10);  // additive, apart from the sun's mask on top
    // New particles leave from the centre; the tail trails a few units
    // behind it (here it reaches about ten).
    const double unit = pixels_per_unit(with, with.comet_centre[2]);
    const Reach r = reach(with, without, at[0], at[1]);
    EXPECT_LE(r.nearest, 1.5);
    EXPECT_LE(r.farthest, 12 * unit + 2);
}
