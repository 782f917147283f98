// Light for the ground: hill shading from the sky's sun, to be multiplied into a terrain texture.
// The game does not light its ground; a texture carries its light painted in. velder-shade and
// the world generator bake it with these functions. Plain maths: no SDL, no OpenGL.
#pragma once

// The light of flat ground is the sky's share plus the sun's: 1, so that flat ground keeps its
// painted colours. The default world's ground is baked with these shares.
#define SHADE_SKY_DEFAULT 0.42f
#define SHADE_SUN_DEFAULT 0.58f

// The unit vector toward the sun the sky shows, high over the north (-z): the sky shader's light
// travels along (0, 0, 0.5) turned 52 degrees about x, that is toward the sun (0, sin 52, -cos 52).
// Given to three places, as the default world has always been baked with it.
void shade_sun(float out[3]);

// The light of ground whose height rises by dhdx per unit along x and dhdz along z, relative to
// flat ground: the sky's share everywhere, the sun's in proportion to how squarely the slope
// faces the sun (against flat ground). Between 0.35 and 1.15: a slope toward the sun gets up to
// about 1.15, one turned away from it about the sky's share.
float shade_light(float dhdx, float dhdz, float sky, float sun);

// A height field sampled at (u, v) in [0, 1] over a square terrain, u along +x and v along +z
// (the first image row is at -z), in world units.
typedef float (*shade_height_fn)(float u, float v, void *ctx);

// The light of every texel of a w x h texture stretched once over a terrain of edge size, row by
// row from the top, into out (w * h values). The slope is taken over step world units either way.
void shade_field(shade_height_fn height, void *ctx, float size, int w, int h, float step, float sky, float *out);
