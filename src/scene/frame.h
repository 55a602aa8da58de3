// The whole scene: its start-up, one step per tick that moves everything
// that moves, and the frame that draws what the step left: the star
// background, the title, the comet, the swaying system with the planets,
// their orbit lines and the motes, and the Sun.
// The rest of the program may use: init_scene (the GL set-up's last step),
// start_scene (the start-up without GL, for tools and tests), step_scene
// and draw_frame (the frame clock's tick calls them in that order, then
// swaps the buffers), and reset_scene (a new run in one process).
#pragma once

// The scene's start values and its random draws in order, then what the
// drawing needs made once (the shapes, the Sun's passes).
// Runs once per display window with the context current.
void init_scene();
// The start values and the random draws of init_scene alone; makes no GL
// calls.
void start_scene();

// One tick: every change of the scene's state and every random draw, in
// order. Makes no GL calls.
void step_scene();
// Draws the frame of the last step into the current context; changes
// nothing the step reads.
void draw_frame();

// Every value of the scene back to what it holds at program start.
void reset_scene();
