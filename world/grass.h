// Grass field: 3 x 3 patches of grass tufts around the camera, rebuilt as it crosses 40-unit
// boundaries, drawn with per-batch culling and the wind uniforms.
#pragma once
#include <cstdint>
#include "core/array.h"
#include "render/frustum.h"

struct batch;
struct texture;
struct terrain;
struct prg;
struct wobj;

enum { GRASS_PATCH_SIZE = 40, GRASS_THIN_STEPS = 16 };
// Grass thins out between these distances from the camera (horizontal, world units): a tuft of
// thinning rank h in [0, 1) stands up to GRASS_THIN_NEAR + h * (GRASS_THIN_FAR - GRASS_THIN_NEAR)
// and shrinks away over the last GRASS_THIN_RAMP units before that. shader/grass.vs holds the same
// numbers. The far end stays inside the 40 units that the field reaches on every side.
#define GRASS_THIN_NEAR 10.0f
#define GRASS_THIN_FAR 36.0f
#define GRASS_THIN_RAMP 3.0f

// The tufts of one patch that use one texture. Every tuft carries its foot (x, z) and its
// thinning rank in the batch's normal array. The index list holds the tufts block by block
// (GRASS_BLOCKS x GRASS_BLOCKS squares of the patch, row by row), each block in falling rank:
// a block outside the view is skipped, and a far one draws only its leading tufts, the ones
// that still stand at its distance.
enum { GRASS_BLOCKS = 4, GRASS_NBLOCKS = GRASS_BLOCKS * GRASS_BLOCKS };
struct grass_block {
  aabb box;                             // of its tufts' vertices
  uint32_t first;                       // first tuft in the index list
  uint32_t nrank[GRASS_THIN_STEPS + 1]; // tufts whose rank is at least k / GRASS_THIN_STEPS
};
struct grass_pair {
  texture *tex;
  batch *b; // owned by the patch
  grass_block blocks[GRASS_NBLOCKS];
};
struct grass_patch {
  uarray<grass_pair> pairs; // in the order their textures were first met
  float x0, z0;             // corner with the smallest x and z
  uint32_t serial;          // build number, counting from 1 over the run (tests and statistics)
};
struct grass_field {
  grass_patch *patches[9]; // slot 3 * row + column; row 0 has the smallest z, column 0 the smallest x
  int32_t col, row;        // patch indices of the centre slot
  terrain *tn;
  prg *program;
};

extern grass_field *g_grass; // the one field; written by grass_create and grass_update
extern uint32_t g_grass_built; // patches built since the start (a patch's serial)
extern uint32_t g_grass_live;  // patches that exist now

// Tufts one patch may hold for one brush: a patch of grass of every brush builds within a
// fraction of a second, and nine of them fit in a few hundred megabytes.
enum { GRASS_MAX_PATCH_TUFTS = 50000 };
// Raises an error naming the brush, the parameters and the limit when a patch painted with one
// brush would hold more than GRASS_MAX_PATCH_TUFTS tufts (i_grass_cell_sample_res x
// i_grass_ntufts x the density of the brush's grass objects, added up).
void grass_check_budget(void);
// Builds the nine patches around (x, z); world loading calls it after the quadtree.
grass_field *grass_create(float x, float z);
// Every patch of f and f itself; g_grass is the caller's business.
void grass_free(grass_field *f);
// Once per update step: shifts the field when the camera crossed a boundary, sets the wind.
void grass_update(const float pos[3]);
// Once per frame: first (or after the terrain, when the sky shows through the terrain).
// r.grass_ntris is the triangles of the batches whose box is in view, thinned or not.
void grass_draw(void);

// Patch index of a world coordinate for a terrain of half edge `half`.
int32_t grass_patch_index(float p, float half);
// The patch with corner (x0, z0): n x n cells, each scattering clumps of its brush's grass.
grass_patch *grass_patch_build(float x0, float z0, float size, terrain *tn);
void grass_patch_free(grass_patch *p);
// The pair of the patch for tex, appended with a new empty batch when there is none yet.
grass_pair *grass_patch_batch(grass_patch *p, texture *tex);
// One clump of `count` tufts of o round the cell centre (x, z). With a null pair the random
// draws are made and nothing is built.
void grass_clump(grass_pair *pair, float count, float x, float z, float radius, terrain *tn, const wobj *o);
// The column and row shifts alone (no uniforms), as grass_update makes them.
void grass_field_move(grass_field *f, int32_t col, int32_t row);
// Thinning rank of a tuft standing at (x, z), in [0, 1); no random draw is made.
float grass_thin_rank(float x, float z);
// Tufts of the block standing anywhere at horizontal distance d or more from the camera.
uint32_t grass_tufts_at(const grass_block *k, float d);
// Wind phase in whole degrees after one more step: +2, back to 0 on reaching 360.
int32_t grass_wind_step(int32_t phase);
