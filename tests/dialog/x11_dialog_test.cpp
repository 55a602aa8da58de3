// The configuration dialog of the real program on a private X server, used
// from the keyboard as a person would: what is stored when it closes.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "e2e_support.h"
#include "scratch.h"

namespace {

const char dialog_class[] = "#32770 template";

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(ConfigureDialogOnX11, KeysChooseAndOkStores) {
    struct Case {
        const char* keys;        // xdotool key names
        const char* resolution;  // the stored line's value, "" when nothing is stored
        const char* colour;
    };
    const Case cases[] = {
        {"Down Right Return", "dword:000007d2", "dword:000003e8"},
        // Left from the first resolution passes the group box, the label and
        // the last group box, and wraps to the last radio button of the one
        // group, a colour; the resolution keeps its check.
        {"Left Left Left Left Return", "dword:000007d0", "dword:000003e9"},
        {"Down Escape", "", ""},
        {"Tab Tab space", "", ""},  // Tab visits OK, then Cancel
        {"Tab space", "dword:000007d0", "dword:000003e8"},
    };
    XServer server = start_xserver(800, 600);
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        Scratch config("orrelune-dialog");
        Child child = spawn({ORRELUNE_PATH, "/c"}, {"XDG_CONFIG_HOME=" + config.dir});
        Window dialog = wait_for_class(display, DefaultRootWindow(display), dialog_class, 10000);
        EXPECT_NE(dialog, None);
        EXPECT_TRUE(wait_for_focus(display, dialog, 10000));  // where the keys go
        EXPECT_TRUE(xdotool(std::string("key --delay 100 ") + c.keys));
        EXPECT_EQ(wait_exit(&child, 10000), 1) << read_stderr(child);
        // Leaving without OK writes nothing, not even the file.
        std::string file = config.dir + "/orrelune/registry.reg";
        EXPECT_EQ(access(file.c_str(), F_OK) == 0, *c.resolution != '\0');
        std::string stored = read_file(file);
        for (auto value : {std::make_pair("\"resolution\"=", c.resolution), std::make_pair("\"color\"=", c.colour)}) {
            if (*value.second)
                EXPECT_NE(stored.find(std::string(value.first) + value.second), std::string::npos) << stored;
            else
                EXPECT_EQ(stored.find(value.first), std::string::npos) << stored;
        }
        unlink(child.stderr_path.c_str());
    }
    XCloseDisplay(display);
    stop_xserver(&server);
}
