// The Sun: a darkening mask and two additive glow layers, turning about the
// viewing axis, drawn last in every frame with the depth test off.
// The rest of the program may use: start_sun (the scene's start-up),
// choose_sun_passes (the drawing's set-up), step_sun (the scene's step),
// draw_sun (the frame's last stage) and sun_passes (read by tools).
#pragma once

#include "scene/scene_state.h"

// How many passes draw the three layers: 1 where the GL samples three
// textures at once, else 3, one texture at a time. Chosen by
// choose_sun_passes.
extern int sun_passes;

// Gives the angles and the colour their start values.
void start_sun(Sun* sun);
// Chooses the passes (telling which through OutputDebugStringA); wants the
// textures made and the rendering context current.
void choose_sun_passes();

// Turns the layers by one step, keeping the angle the mask shows.
void step_sun(Sun* sun);
// Expects the system transform without tumble, texturing on and the colour
// white. Leaves blending on with (GL_ONE, GL_ONE), the depth test off and
// its three rotations on the model-view matrix.
void draw_sun(const Sun& sun);
