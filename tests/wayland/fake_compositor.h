// A Wayland compositor of the test's own, in a thread of the test: outputs
// of given sizes, shared-memory buffers, fullscreen xdg toplevels and (where
// asked) layer-shell surfaces, each tied to its output. It configures each
// surface at its output's first size, sends further configures when the test
// asks, keeps frame callbacks while told to, and records what each surface
// acknowledged and committed, so a test can check the order of a client's
// requests exactly, which no real compositor lets it see.
#pragma once

#include <stdint.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FakeOutput {
    int width, height;              // its mode, in pixels (scale 1)
    int first_width, first_height;  // the size a surface on it is first configured at
};

// What a surface sent, in order.
struct FakeEvent {
    enum Kind { configure, ack, commit } kind;
    uint32_t serial;    // configure, ack
    int width, height;  // configure: the size asked; commit: the buffer's (0 x 0: none attached)
};

struct FakeSurfaceLog {
    int output;  // index into the outputs
    std::vector<FakeEvent> events;
};

class FakeCompositor {
public:
    FakeCompositor(std::vector<FakeOutput> outputs, bool layer_shell);
    ~FakeCompositor();

    // The socket's path, for WAYLAND_DISPLAY.
    std::string socket() const;

    // While held, frame callbacks are kept; releasing answers those kept.
    void hold_frames(bool hold);
    // Configures the surface on that output at width x height.
    void configure(int output, int width, int height);
    // The surfaces with a role, in the order they were made.
    std::vector<FakeSurfaceLog> surfaces();

    struct State;

private:
    // Runs on the compositor's thread and returns once it ran and what it
    // sent was flushed.
    void call(std::function<void()> work);
    std::unique_ptr<State> state;
};
