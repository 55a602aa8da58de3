// The arithmetic that gives the animation its character, on the program's
// own functions: the random source, the start values, the per-frame and
// per-tick steps with their wraps, the comet's clock and box.
#include "platform.h"
#include <math.h>

#include <functional>
#include <vector>

#include "scene_fixture.h"
#include "scene/comet.h"
#include "scene/frame.h"
#include "scene/mote_rings.h"
#include "scene/scene_state.h"
#include "scene/sun.h"

namespace {

// A seed whose first draw is r (searched, so the generator is not copied).
uint32_t seed_giving(int r) {
    for (uint32_t seed = 0;; ++seed) {
        random_seed(seed);
        if (random_next() == r) return seed;
    }
}

// The model-view translation that the frame left: the sun's rotations are
// about z, so this is the background's and the system's translation.
void frame_translation(float out[3]) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    out[0] = m[12];
    out[1] = m[13];
    out[2] = m[14];
}

}  // namespace

TEST(RandomSource, SequenceFromSeedOneAndFromProgramStart) {
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724};
    random_seed(1);
    for (int value : expected) EXPECT_EQ(random_next(), value);
    reset_scene();  // the state at program start is 1 too
    for (int value : expected) EXPECT_EQ(random_next(), value);
}

TEST(RandomSource, RangeReachesBothClosedEnds) {
    struct Case {
        int r;
        float a, b;
        double expected;
    };
    const Case cases[] = {
        {0, 0, 360, 0.0},     {32767, 0, 360, 361.0},    {0, 1, 10, 1.0},
        {32767, 1, 10, 11.0}, {32767, -0.5f, 0.5f, 1.5}, {32767, -1, 2, 3.0},
    };
    for (const Case& c : cases) {
        random_seed(seed_giving(c.r));
        EXPECT_EQ(random_range(c.a, c.b), c.expected) << "r " << c.r << " range " << c.a << ".." << c.b;
    }
}

// The frame only reads what the step moved: a run that draws every frame
// ends where the steps alone end, random draws included, and two runs from
// the same seed agree.
TEST_F(SceneRun, DrawingChangesNothingTheStepsMake) {
    struct Value {
        const char* name;
        double value;
    };
    auto values = [] {
        std::vector<Value> v = {
            {"title", scene.title_alpha},
            {"sway x", scene.sway_angle_x},
            {"sway y", scene.sway_angle_y},
            {"camera", scene.camera_depth},
            {"tumble", scene.tumble_angle},
            {"scroll", scene.background_scroll},
            {"moon", scene.moon_angle},
            {"sun", scene.sun.angle},
            {"sun counter", scene.sun.counter_angle},
            {"rings", scene.motes.ring_angle},
            {"belt", scene.motes.belt_angle},
            {"comet x", scene.comet.x},
            {"comet y", scene.comet.y},
            {"comet z", scene.comet.z},
            {"comet ticks", static_cast<double>(scene.comet.ticks)},
            {"random", static_cast<double>(scene.generator)},
        };
        for (int i = 0; i < planet_count; ++i) {
            v.push_back({planet_names[i], scene.planets[i].orbit_angle});
            v.push_back({planet_names[i], scene.planets[i].spin_angle});
        }
        return v;
    };
    const int ticks = 560;  // the comet flies from tick 500
    start_run(7);
    for (int tick = 0; tick < ticks; ++tick) {
        step_scene();
        draw_frame();
    }
    const std::vector<Value> drawn = values();
    start_steps(7);
    for (int tick = 0; tick < ticks; ++tick) step_scene();
    const std::vector<Value> stepped = values();
    for (size_t i = 0; i < drawn.size(); ++i) EXPECT_EQ(drawn[i].value, stepped[i].value) << drawn[i].name;
    EXPECT_TRUE(scene.comet.active);
}

TEST(Comet, StartColoursByParticle) {
    struct Case {
        int particle;
        float red, green, blue;
    };
    // 995 to 999 would be row 12, past the table: they share the last row.
    const Case cases[] = {
        {994, 1.0f, 0.5f, 0.75f},
        {995, 1.0f, 0.5f, 0.75f},
        {999, 1.0f, 0.5f, 0.75f},
    };
    reset_scene();
    restart_comet(&scene.comet);
    for (const Case& c : cases) {
        const CometParticle& p = scene.comet.particles[c.particle];
        EXPECT_EQ(p.life, 1.0f);
        EXPECT_EQ(p.red, c.red) << "particle " << c.particle;
        EXPECT_EQ(p.green, c.green) << "particle " << c.particle;
        EXPECT_EQ(p.blue, c.blue) << "particle " << c.particle;
    }
}

TEST(Camera, TurnsAfter66675TicksOnACycleOf133352) {
    reset_scene();
    struct Turn {
        long tick;
        bool receding;
        float depth;
    };
    const Turn expected[] = {{66675, false, -90.0009f}, {133351, true, -9.9988f}, {66675 + 133352, false, -90.0009f}};
    std::vector<Turn> turns;
    BOOL receding = scene.camera_receding;
    for (long tick = 1; tick <= 66675 + 133352; ++tick) {
        step_scene();
        if (scene.camera_receding != receding)
            turns.push_back({tick, scene.camera_receding != FALSE, scene.camera_depth});
        receding = scene.camera_receding;
    }
    ASSERT_EQ(turns.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < turns.size(); ++i) {
        EXPECT_EQ(turns[i].tick, expected[i].tick);
        EXPECT_EQ(turns[i].receding, expected[i].receding);
        EXPECT_NEAR(turns[i].depth, expected[i].depth, 0.0002f);
    }
}

// One run from program start, as the frame clock runs it, with what must
// hold after given ticks.
TEST_F(SceneRun, MilestonesOfTheFirst7200Ticks) {
    struct Milestone {
        long tick;
        const char* what;
        std::function<bool()> holds;
    };
    const Milestone milestones[] = {
        {1, "title drawn at 0.998", [] { return scene.title_alpha == 0.998f; }},
        {1, "sun layers at 0.1, 0.15 and 0.3 degrees",
         [] { return scene.sun.angle == 0.15f && fabsf(0.1f + scene.sun.counter_angle - 0.15f) < 1e-6f; }},
        {1, "background scroll wrapped to about 0.0002",
         [] { return fabsf(scene.background_scroll - 0.0002f) < 1e-6f; }},
        {499, "no comet yet", [] { return !scene.comet.active && scene.comet.ticks == 499; }},
        {500, "comet starts on tick 500", [] { return scene.comet.active && scene.comet.ticks == 500; }},
        {500, "title still drawn", [] { return scene.title_alpha > 0.0f; }},
        {501, "title's last frame, at about -0.002",
         [] { return scene.title_alpha < 0.0f && scene.title_alpha > -0.0021f; }},
        {502, "title no longer drawn", [] { return scene.title_alpha < 0.0f && scene.title_alpha > -0.0021f; }},
        {6546, "motes still turning",
         [] { return scene.motes.ring_angle < -359.9f && scene.motes.belt_angle < -359.9f; }},
        {6547, "motes wrap to 0", [] { return scene.motes.ring_angle == 0.0f && scene.motes.belt_angle == 0.0f; }},
        {7198, "sun just below a turn", [] { return scene.sun.angle > 359.9f && scene.sun.angle <= 360.0f; }},
        {7199, "sun resets both angles", [] { return scene.sun.angle == 0.0f && scene.sun.counter_angle == 0.0f; }},
        {7200, "after the reset the angles sum to 0", [] { return scene.sun.angle + scene.sun.counter_angle == 0.0f; }},
    };
    start_steps(1);
    long tick = 0;
    float title_at_501 = 0;
    for (const Milestone& m : milestones) {
        while (tick < m.tick) {
            step_scene();
            ++tick;
            if (tick == 501) title_at_501 = scene.title_alpha;
        }
        EXPECT_TRUE(m.holds()) << "tick " << m.tick << ": " << m.what;
    }
    EXPECT_EQ(scene.title_alpha, title_at_501);
}

TEST_F(SceneRun, FirstFrameStandsTheSystemBehindTheBackground) {
    start_run(1);
    step_scene();
    draw_frame();
    float t[3];
    frame_translation(t);
    EXPECT_NEAR(t[0], cos(-89.99 / 57.29578) * 5, 1e-5);
    EXPECT_NEAR(t[1], sin(50.01 / 57.29578) * 5, 1e-5);
    EXPECT_NEAR(t[2], -12.0, 1e-5);
}

TEST_F(SceneRun, SwayKeepsMovingSmoothlyAcrossItsWrap) {
    start_run(1);
    // Far past the first turns, where single precision would slow and
    // stall the sway.
    scene.sway_angle_x = 359.95f;
    scene.sway_angle_y = 359.97f;
    float last[3];
    step_scene();
    draw_frame();
    frame_translation(last);
    for (int frame = 0; frame < 20; ++frame) {
        step_scene();
        draw_frame();
        float now[3];
        frame_translation(now);
        // One step of 0.01 degrees moves the point by at most 5 * 0.01 / 57.3.
        const double step = 5 * 0.0101 / 57.29578;
        EXPECT_GT(fabs(now[0] - last[0]) + fabs(now[1] - last[1]), 0.0);
        EXPECT_LE(fabs(now[0] - last[0]), step) << "frame " << frame;
        EXPECT_LE(fabs(now[1] - last[1]), step) << "frame " << frame;
        for (int i = 0; i < 3; ++i) last[i] = now[i];
    }
    EXPECT_LT(scene.sway_angle_x, 1.0f);
    EXPECT_LT(scene.sway_angle_y, 1.0f);
}

TEST_F(SceneRun, AnglesWrapToZeroNotByATurn) {
    struct Case {
        const char* what;
        float* angle;
        float start;
    };
    start_steps(1);
    const Case cases[] = {
        {"mercury's orbit, below -360", &scene.planets[mercury_slot].orbit_angle, -359.95f},
        {"earth's spin, below -360", &scene.planets[earth_slot].spin_angle, -359.8f},
        {"uranus's spin, above 360", &scene.planets[uranus_slot].spin_angle, 359.8f},
        {"the moon, below -360", &scene.moon_angle, -359.9f},
        {"the tumble, above 360", &scene.tumble_angle, 359.99f},
    };
    for (const Case& c : cases) *c.angle = c.start;
    step_scene();
    for (const Case& c : cases) EXPECT_EQ(*c.angle, 0.0f) << c.what;
}

TEST_F(SceneRun, CometBoxIsStrictAndTestsYBeforeItsStep) {
    struct Case {
        const char* what;
        float x, y, speed_x, speed_y;
        int frames;
        bool active_after;
    };
    const Case cases[] = {
        {"on the right edge", 80, 0, 0, 0, 1, true},
        {"on the left edge", -80, 0, 0, 0, 1, true},
        {"on the top edge", 0, 80, 0, 0, 1, true},
        {"on the bottom edge", 0, -80, 0, 0, 1, true},
        {"past the side after its x step", 79.995f, 0, 0.01f, 0, 1, false},
        {"past the top after its y step: seen next frame", 0, 79.995f, 0, 0.01f, 1, true},
        {"past the top, next frame", 0, 79.995f, 0, 0.01f, 2, false},
        {"past the bottom, next frame", 0, -79.995f, 0, -0.01f, 2, false},
    };
    for (const Case& c : cases) {
        start_steps(1);
        scene.comet.active = TRUE;
        scene.comet.ticks = 700;
        scene.comet.x = c.x;
        scene.comet.y = c.y;
        scene.comet.speed_x = c.speed_x;
        scene.comet.speed_y = c.speed_y;
        for (int frame = 0; frame < c.frames; ++frame) step_comet(&scene.comet, scene.camera_receding);
        EXPECT_EQ(scene.comet.active != FALSE, c.active_after) << c.what;
        EXPECT_EQ(scene.comet.ticks, c.active_after ? 700 : 0) << c.what;
    }
    // The next comet comes 500 ticks after the last one left, and only then.
    for (int tick = 1; tick < comet_start_tick; ++tick) tick_comet(&scene.comet);
    EXPECT_FALSE(scene.comet.active);
    tick_comet(&scene.comet);
    EXPECT_TRUE(scene.comet.active);
}
