// The scene's textures, made once at start from the program's embedded
// images (headerless 24-bit RGB, found by name).
// The rest of the program may use: the texture names below (valid once
// load_textures has run with the rendering context current), the sun's
// reaches, and load_textures itself, which the GL set-up calls.
#pragma once

#include "platform.h"

extern GLuint particle_texture;
extern GLuint sun_texture;
extern GLuint sunmask_texture;
extern GLuint background_texture;
// For drawing the Sun in one pass, made by load_sun_layer_textures: the
// "sun" image with only its red channel, and the "sunmask" image as an
// intensity texture, so that its value can stand in the alpha channel.
extern GLuint sun_red_texture;
extern GLuint sunmask_intensity_texture;
// One per planet, by the scene's planet slot: slot 0 is the earth; then
// mercury, venus, mars, jupiter, saturn, uranus, neptune and pluto, from the
// innermost outward.
extern GLuint planet_textures[];

// How far from the centre of the "sun" and "sunmask" images a linearly
// filtered sample can differ from their plain colour (black for "sun",
// white for "sunmask"), as a share of half their width; 1 when it may
// differ anywhere. Set by load_textures.
extern float sun_reach;
extern float sunmask_reach;

// Makes all thirteen textures; leaves sunmask_texture bound.
void load_textures();
// Makes sun_red_texture and sunmask_intensity_texture (once load_textures
// has run); leaves sunmask_intensity_texture bound.
void load_sun_layer_textures();
// Makes particle_texture from "Particle"; 1 for success.
int load_particle_texture();
// Binds `texture` and fills it with width x height RGB pixels, linear
// filtering, no mipmaps. NULL pixels give storage with undefined contents.
void upload_texture(GLuint texture, const void* pixels, LONG width, LONG height);
