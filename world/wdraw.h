// World item drawing: frustum query, bucketing by texture, one draw per texture of billboards.
#pragma once
#include <cstdint>
#include "core/array.h"

struct wi;
struct batch;

enum { WISL_MAX_TEX = 1024, WISL_MAX_WI_PER_TEX = 25000 };

// Items sorted since the main loop last reset it to 0 (at the end of every frame).
extern uint32_t g_wi_nsorted;

// The whole pass: query, uniforms, sort, draw, statistics. Leaves the world object shader bound.
// envmap: the environment cube map the items' shader samples on unit 1 (0: none).
void world_draw(uint32_t envmap);
// Distributes the visible items into buckets by texture name, keeping their order. Items whose
// object has no texture have nothing to draw and are left out.
void wi_sort(const uarray<wi *> *visible);
// Draws the buckets in increasing texture name: billboards of a bucket through one scratch batch
// kept for the program's life, trees one by one from their own batch, with the shader's "tree" set.
void wi_draw(uint32_t envmap);

// Bucket t as filled by the last wi_sort.
const uarray<wi *> *wi_bucket(uint32_t t);
// Appends the crossed quads of a billboard item to b (no OpenGL).
void wi_add_billboard(const wi *w, batch *b);
// Statistics after a pass that found nvis visible items: r.ndraw and the two peaks.
void wi_stats_update(uint32_t nvis);
// Wind uniforms: direction for the degree counter n, strength for two tick readings.
void wdraw_wind_dir(uint32_t n, float out[3]);
float wdraw_wind_strength(uint32_t ticks1, uint32_t ticks2);
