// An offscreen GL context for the scene, and runs of the scene from program
// start.
#pragma once

#include <stdint.h>

#include <gtest/gtest.h>

// Makes the context current and gives the font a device context; once.
bool make_offscreen_context();

// Everything back to program start, then the saver hook's seed and the
// display window's GL set-up (which ends with init_scene).
void start_run(uint32_t seed);
// The same start without GL: for runs of the scene's steps alone.
void start_steps(uint32_t seed);

class SceneRun : public ::testing::Test {};
