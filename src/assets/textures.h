// The scene's textures, made once at start from the program's embedded
// images (headerless 24-bit RGB, found by name).
// The rest of the program may use: the texture set (its names valid once
// load_textures has run with the rendering context current, and the sun's
// reaches), and load_textures itself, which the GL set-up calls.
#pragma once

#include "platform.h"

// The textures, one record owned by textures.cpp.
struct Textures {
    GLuint particle;
    GLuint sun;
    GLuint sunmask;
    GLuint background;
    // For drawing the Sun in one pass, made by load_sun_layer_textures: the
    // "sun" image with only its red channel, and the "sunmask" image as an
    // intensity texture, so that its value can stand in the alpha channel.
    GLuint sun_red;
    GLuint sunmask_intensity;
    // One per planet, by the scene's planet slot: slot 0 is the earth; then
    // mercury, venus, mars, jupiter, saturn, uranus, neptune and pluto, from
    // the innermost outward.
    GLuint planets[9];
    // How far from the centre of the "sun" and "sunmask" images a linearly
    // filtered sample can differ from their plain colour (black for "sun",
    // white for "sunmask"), as a share of half their width; 1 when it may
    // differ anywhere. Set by load_textures.
    float sun_reach = 1.0f;
    float sunmask_reach = 1.0f;
};
Textures& texture_set();

// Makes all thirteen textures; leaves sunmask bound.
void load_textures();
// Makes sun_red and sunmask_intensity (once load_textures has run); leaves
// sunmask_intensity bound.
void load_sun_layer_textures();
// Binds `texture` and fills it with width x height RGB pixels, linear
// filtering, no mipmaps. NULL pixels give storage with undefined contents.
void upload_texture(GLuint texture, const void* pixels, LONG width, LONG height);
