// Terrain: height-mapped grid, its display lists by chunk and height queries.
#pragma once
#include <cstdint>
#include "core/array.h"
#include "render/frustum.h"

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
  uint32_t dlist;     // first of the chunks' display lists (tn_nchunks); 0 before the first build
  uint32_t strips;    // first of the lists of the strips by chunk column (tn_draw, translucent); 0: none
  float ymin;         // the lowest vertex: no ground lies below it
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
// The grid is drawn in square chunks of cells, each its own display list, so that a frame draws
// only the chunks in view, nearest first. At most TN_CHUNKS_PER_SIDE chunks a side, of at least
// TN_CHUNK_MIN_CELLS cells (the last row and column of chunks may be narrower).
enum { TN_CHUNKS_PER_SIDE = 16, TN_CHUNK_MIN_CELLS = 8 };
int tn_chunk_cells(int ndivs);
int tn_nchunks(const terrain *t);
// Cell rows r0..r1 and columns c0..c1 (vertex indices, r1 and c1 included) of chunk i, row by row.
void tn_chunk_cells_of(const terrain *t, int i, int *r0, int *c0, int *r1, int *c1);
// The chunk's vertices' box in world units.
void tn_chunk_box(const terrain *t, int i, aabb *box);
// The indices of the boxes not outside the frustum into out, nearest first by horizontal distance
// from campos.
void tn_chunks_in_view(const aabb *boxes, uint32_t n, const plane frustum[6], const float campos[3],
                       uarray<uint32_t> *out);
// A terrain that lets what lies behind it show through is drawn strip after strip instead, from
// row 0 (the smallest z) on, each strip left to right in pieces of one chunk column (list
// strips + strip * side + column, side chunks a side): blended in the order of the rows, a far
// ridge shows through a near one. A piece whose chunk is out of view is left out.
int tn_chunks_per_side(const terrain *t);
// tn_sample_heights, then, once the height map is attached, the chunks' display lists compiled
// anew (the old lists, and the strips, are deleted); the strips too when the terrain is
// translucent now, or later at its first translucent draw. Without a height map nothing is
// compiled: tn_draw does not use the lists.
void tn_build(terrain *t);
// World loading's terrain: tn_create, the texture "terraintexture.png", then the height map
// "hm.bmp" of the data root attached and built (reported under "init").
terrain *tn_load(void);
void tn_draw(void);
// Whether the terrain hides what lies behind it (its texture is opaque, or it has none): then it
// is drawn without blending and the sky may come after it.
bool tn_opaque(void);
// Ground height at world (x, z): bilinear over the vertex grid, the edge height outside it.
float tn_height(const terrain *t, float x, float z);
// Why a height map image gives no relief worth the name, or null when it is fine: a palette image
// is flat, a 16-bit one nearly so. World loading warns with it; the world checker says the same.
const char *hm_check(const SDL_Surface *surf);
// Bilinear sample of the colour-masked raw pixels at (u, v) in [0, extent]; 0 outside.
uint32_t hm_sample(SDL_Surface *surf, float u, float v, float extent);
