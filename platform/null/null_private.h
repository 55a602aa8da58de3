// Shared by the null driver's own files: the capability tables that
// null_driver.cpp's table points at.
#pragma once

#include "layer_driver.h"

const LayerGlDriver* null_gl_driver();      // null_gl.cpp
const LayerModeDriver* null_mode_driver();  // null_display_mode.cpp
