// orrelune-scene: its JSON is the state of an in-process run of the same
// seed and ticks, read back to the same floats; its PNG is the last frame.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "picture.h"
#include "scene_fixture.h"
#include "scene/comet.h"
#include "scene/frame.h"
#include "scene/mote_rings.h"
#include "scene/scene_state.h"
#include "scene/sun.h"

namespace {

// `environment`: assignments for the tool's command line, as the shell takes them.
std::string run_tool(const std::string& arguments, int* status, const std::string& environment = "") {
    const std::string command = environment + " " + SCENE_TOOL + " " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    if (!pipe) return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    *status = pclose(pipe);
    return output;
}

// The number after "key": at or after `from` (a nested key is found by
// giving its parent's position).
double json_number(const std::string& json, const std::string& key, size_t from = 0) {
    const size_t at = json.find("\"" + key + "\":", from);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no key " << key;
        return NAN;
    }
    return strtod(json.c_str() + at + key.size() + 3, nullptr);
}

bool json_flag(const std::string& json, const std::string& key) {
    return json.find("\"" + key + "\":true") != std::string::npos;
}

}  // namespace

TEST_F(SceneRun, ToolJsonIsTheStateOfTheSameRun) {
    const uint32_t seed = 7;
    const int ticks = 520;  // past the comet's start
    int status = -1;
    const std::string json = run_tool("--seed 7 --ticks 520 --json", &status);
    ASSERT_EQ(status, 0) << json;
    ASSERT_EQ(json.front(), '{');

    start_run(seed);
    for (int tick = 0; tick < ticks; ++tick) step_scene();

    struct Float {
        const char* key;
        float value;
    };
    const Float floats[] = {
        {"title_alpha", scene.title_alpha},
        {"sway_angle_x", scene.sway_angle_x},
        {"sway_angle_y", scene.sway_angle_y},
        {"camera_depth", scene.camera_depth},
        {"tumble_angle", scene.tumble_angle},
        {"background_scroll", scene.background_scroll},
        {"moon_angle", scene.moon_angle},
        {"sun_angle", scene.sun.angle},
        {"sun_counter_angle", scene.sun.counter_angle},
        {"ring_angle", scene.motes.ring_angle},
        {"belt_angle", scene.motes.belt_angle},
        {"comet_x", scene.comet.x},
        {"comet_y", scene.comet.y},
        {"comet_z", scene.comet.z},
        {"comet_speed_x", scene.comet.speed_x},
        {"comet_speed_y", scene.comet.speed_y},
        {"comet_red", scene.comet.red},
        {"comet_green", scene.comet.green},
        {"comet_blue", scene.comet.blue},
    };
    for (const Float& f : floats) EXPECT_EQ(static_cast<float>(json_number(json, f.key)), f.value) << f.key;
    for (int slot = 0; slot < planet_count; ++slot) {
        const size_t at = json.find(std::string("\"") + planet_names[slot] + "\":{");
        ASSERT_NE(at, std::string::npos) << planet_names[slot];
        EXPECT_EQ(static_cast<float>(json_number(json, "orbit_angle", at)), scene.planets[slot].orbit_angle);
        EXPECT_EQ(static_cast<float>(json_number(json, "spin_angle", at)), scene.planets[slot].spin_angle);
    }
    EXPECT_EQ(json_flag(json, "camera_receding"), scene.camera_receding != FALSE);
    EXPECT_EQ(json_flag(json, "comet_active"), scene.comet.active != FALSE);
    EXPECT_EQ(json_number(json, "comet_ticks"), scene.comet.ticks);
    EXPECT_EQ(json_number(json, "comet_direction"), scene.comet.direction);
    EXPECT_EQ(json_number(json, "random_state"), scene.generator);
}

TEST(SceneTool, PngIsTheLastFrameAtTheGivenSize) {
    const std::string path = testing::TempDir() + "orrelune-scene-test.png";
    int status = -1;
    run_tool("--seed 3 --ticks 2 --png " + path + " --size 96x72", &status);
    ASSERT_EQ(status, 0);

    Picture picture;
    ASSERT_TRUE(read_png(path, &picture)) << path;
    EXPECT_EQ(picture.width, 96);
    EXPECT_EQ(picture.height, 72);
    // The orbit lines alone are blue wherever they cross the picture.
    size_t lit = 0;
    for (unsigned char byte : picture.rgb) lit += byte > 0;
    EXPECT_GT(lit, picture.rgb.size() / 100);
    remove(path.c_str());
}

// The Sun in one pass where the GL samples three textures at once, and in
// three passes where it offers OpenGL 1.1 alone (Mesa told to hide the
// rest): the same picture but for a step of rounding here and there. At
// these ticks the Sun fills most of the view: tick 100 with the title on,
// 520 with the comet, 7250 after its angles went back to 0.
TEST(SceneTool, SunInOnePassLooksAsInThree) {
    const std::string one_texture = "MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture MESA_GL_VERSION_OVERRIDE=1.1";
    for (const char* ticks : {"100", "520", "7250"}) {
        Picture pictures[2];
        const std::string environments[2] = {"", one_texture};
        for (int path = 0; path < 2; ++path) {
            const std::string png = testing::TempDir() + "orrelune-sun-" + std::to_string(path) + ".png";
            int status = -1;
            const std::string json =
                run_tool(std::string("--seed 7 --ticks ") + ticks + " --json --size 320x240 --png " + png, &status,
                         environments[path]);
            ASSERT_EQ(status, 0) << json;
            EXPECT_EQ(json_number(json, "sun_passes"), path == 0 ? 1 : 3) << environments[path];
            EXPECT_TRUE(read_png(png, &pictures[path])) << png;
            remove(png.c_str());
            ASSERT_EQ(pictures[path].rgb.size(), 320u * 240u * 3u);
        }
        int differing = 0, largest = 0;
        for (size_t i = 0; i < pictures[0].rgb.size(); i += 3) {
            int step = 0;
            for (size_t c = i; c < i + 3; ++c) step = std::max(step, abs(pictures[0].rgb[c] - pictures[1].rgb[c]));
            differing += step > 0;
            largest = std::max(largest, step);
        }
        EXPECT_LE(largest, 1) << "tick " << ticks;
        EXPECT_LE(differing, 320 * 240 / 1000) << "tick " << ticks;
    }
}

TEST(SceneTool, RefusesBadArguments) {
    const char* cases[] = {
        "", "--ticks", "--ticks -1 --json", "--seed x --json", "--png a.png", "--json --size 0x5", "--bogus"};
    for (const char* arguments : cases) {
        int status = 0;
        run_tool(std::string(arguments) + " 2>/dev/null", &status);
        EXPECT_NE(status, 0) << "'" << arguments << "'";
    }
}
