// An offscreen GL context for the scene, and runs of the scene from program
// start.
#pragma once

#include <stdint.h>

#include <gtest/gtest.h>

#include "platform.h"

// Makes the context current and a device context for the font; once.
bool make_offscreen_context();
// That device context, for the GL set-up.
HDC font_device_context();

// Everything back to program start, then the saver hook's seed and the
// display window's GL set-up (which ends with init_scene).
void start_run(uint32_t seed);
// The same start without GL: for runs of the scene's steps alone.
void start_steps(uint32_t seed);

class SceneRun : public ::testing::Test {};
