// Grass field: 3 x 3 patches of grass tufts around the camera, rebuilt as it crosses 40-unit
// boundaries, drawn with per-batch culling and the wind uniforms.
#pragma once

// Builds the nine patches around (x, z); world loading calls it after the quadtree.
void grass_create(float x, float z);
// Once per update step: shifts the field when the camera crossed a boundary, sets the wind.
void grass_update(const float pos[3]);
// Once per frame, after the terrain and before the world items.
void grass_draw(void);
