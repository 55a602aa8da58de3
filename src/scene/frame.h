// One frame of the scene and the advance between frames: the title, the
// star background, the swaying system transform, the nine planets with
// their orbit lines and the moon, and the stages of the comet, the motes
// and the Sun at their fixed places.
// The rest of the program may use: build_planets (the scene's start-up),
// render_frame and advance_scene (the frame clock's tick calls them in that
// order, with the buffer swap and the Escape check between), and
// reset_scene (a new run in one process).
#pragma once

// Makes the planets' and the moon's spheres and the orbit lines, once, from
// the scene's start-up.
void build_planets();

// Draws one frame into the current context, advancing the per-frame angles.
void render_frame();
// Scrolls the background, runs the comet's clock and moves the camera.
// Makes no GL calls.
void advance_scene();

// Every value of the scene back to what it holds at program start.
void reset_scene();
