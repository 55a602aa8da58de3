// An offscreen GL context (OSMesa) with a null-driver window's device
// context for the font, and a look at what was drawn into it.
#pragma once

#include <vector>

#include "platform.h"

const int view_width = 512;
const int view_height = 128;

// Makes the context current and a device context for the font; once.
bool make_offscreen_context();
// That device context.
HDC font_device_context();

// The view's pixels as RGBA, bottom row first.
std::vector<GLubyte> read_view();
