// Terrain: height-mapped grid, its display list and height queries.
#pragma once
#include <cstdint>

struct SDL_Surface;

// The finest grid: 2048 cells per side (4.2 million vertices) loads in a few seconds on a software
// renderer; 4096 (16.8 million) took four times as long, with the window unresponsive meanwhile.
enum { TN_MAX_NDIVS = 2048 };

struct heightmap {
  SDL_Surface *surf; // "hm.bmp" as loaded; kept for the program's life
  float maxy;        // height of the largest encodable value 0xFFFFFF
};

struct tn_vertex {
  float x, y, z; // x, z normalised to [-0.5, 0.5]; y in world units
};

struct terrain {
  float sz;           // edge length in world units
  int32_t ndivs;      // cells per side
  tn_vertex **verts;  // ndivs + 1 rows (along z) of ndivs + 1 vertices (along x)
  heightmap *hm;      // null until attached
  uint32_t tex;       // GL texture name; 0 draws untextured
  uint32_t dlist;     // compiled mesh; 0 before the first build
};

extern terrain *g_terrain; // the one terrain, drawn by tn_draw; set by tn_create

// Everything t holds: rows, display list, height map; g_terrain is the caller's business.
void tn_free(terrain *t);
// Grid from f_tn_sz and i_tn_ndivs with every height 0; no OpenGL. Rejects sizes that cannot
// make a grid (i_tn_ndivs outside [1, TN_MAX_NDIVS], f_tn_sz not above 0).
terrain *tn_alloc(void);
// tn_alloc, then g_terrain and a first (flat, untextured) build.
terrain *tn_create(void);
// Heights of every vertex from hm (0 without one); no OpenGL.
void tn_sample_heights(terrain *t);
// tn_sample_heights, then, once the height map is attached, the display list compiled anew (the
// old one is deleted). Without a height map nothing is compiled: tn_draw does not use the list.
void tn_build(terrain *t);
// World loading's terrain: tn_create, the texture "terraintexture.png", then the height map
// "hm.bmp" of the data root attached and built (reported under "init").
terrain *tn_load(void);
void tn_draw(void);
// Ground height at world (x, z): bilinear over the vertex grid, the edge height outside it.
float tn_height(const terrain *t, float x, float z);
// Why a height map image gives no relief worth the name, or null when it is fine: a palette image
// is flat, a 16-bit one nearly so. World loading warns with it; the world checker says the same.
const char *hm_check(const SDL_Surface *surf);
// Bilinear sample of the colour-masked raw pixels at (u, v) in [0, extent]; 0 outside.
uint32_t hm_sample(SDL_Surface *surf, float u, float v, float extent);
