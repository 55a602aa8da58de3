// What the tests that run the program share: one private X server for the
// whole test binary, with the program's settings in a scratch directory
// rather than the user's, and a fixture that starts the program on it and
// ends whatever a test left running.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "scratch.h"

// The program under test.
extern const char* const program;
// The binary's X server, up while its tests run.
extern XServer server;

// Starts `server` at width x height and points XDG_CONFIG_HOME at a new
// scratch directory, removed with all it holds at the end.
class ProgramEnvironment : public testing::Environment {
public:
    ProgramEnvironment(int width = 1024, int height = 768) : width(width), height(height) {}
    void SetUp() override;
    void TearDown() override;

private:
    int width, height;
    Scratch config;
};

// The two display-mode settings stored in the scratch directory, as the
// configuration dialog stores them; and gone again.
void store_settings(unsigned resolution, unsigned colour);
void remove_settings();

// Whether the pointer shows: the cursor image the server draws now has any
// visible pixel.
bool cursor_visible(Display* display);
// The window's attributes; all zero for a window that is gone.
XWindowAttributes attributes_of(Display* display, Window window);

class ProgramRuns : public testing::Test {
protected:
    void SetUp() override;
    // Ends the runs left and closes the display.
    void TearDown() override;

    // The program with these arguments; env as spawn takes it.
    Child& run(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    // Ends every run still going and removes what it left.
    void end_runs();

    Display* display = nullptr;
    Window root = None;
    std::deque<Child> running;  // references stay valid as it grows
};
