// Geometry batches: vertex lists built on the CPU, uploaded once to buffer objects, drawn in one call.
#pragma once
#include <cstdint>
#include "core/array.h"
#include "render/frustum.h"

struct texture;

struct batch {
  uarray<float> v;      // positions, 3 floats per vertex (count is in floats)
  uarray<float> tc;     // texture coordinates, 2 floats per vertex
  uarray<float> n;      // normals, 3 floats per vertex; optional
  uarray<uint32_t> idx; // vertex indices, 3 per triangle; optional
  uint32_t prepared;    // 1 while the buffers exist and match the arrays
  uint32_t vbo_v, vbo_tc, vbo_n, ibo;
  uint32_t prim_type; // GL_TRIANGLES after b_reset
  aabb box;           // all zero until computed
  // what the buffers hold: appends after b_prepare are not uploaded, so draws use these
  uint32_t nv_drawn, ni_drawn;
  // b_prepare_views: nviews copies of the index list in one buffer, quads nearest-first
  uint32_t ibo_views, nviews;
};

batch *b_create(void);
void b_reset(batch *b);
void b_free(batch *b);
void b_add_vertex(batch *b, float x, float y, float z);
// Appends M * (x, y, z, 1), without the projective row.
void b_add_vertex_xform(const float m[16], batch *b, float x, float y, float z);
void b_add_texcoord(batch *b, float s, float t);
void b_add_triangle(batch *b, uint32_t i0, uint32_t i1, uint32_t i2);
void b_get_box(batch *b, aabb *out);
// Scales the batch about the origin to a unit diagonal; a batch without extent is left as it is.
void b_normalize(batch *b);
// Uploads to buffer objects and unbinds them; an empty or already prepared batch is left alone.
void b_prepare(batch *b);
void b_draw(batch *b);
// b_draw of nidx indices from index first on, within those uploaded (a batch with indices).
void b_draw_range(batch *b, uint32_t first, uint32_t nidx);
// Uploads nviews copies of the index list (nviews <= B_MAX_VIEWS), copy k with the batch's quads
// (runs of 6 indices) in the order of their centres along the horizontal direction at k * 360 /
// nviews degrees from +x toward +z: nearest first for a viewer looking that way, so that the depth
// test spares the quads hidden behind the first ones. The same triangles as b_draw, only in
// another order. A prepared batch whose index count is not a whole number of quads gets none.
enum { B_MAX_VIEWS = 16 };
void b_prepare_views(batch *b, uint32_t nviews);
// b_draw with the copy whose direction is nearest to the horizontal (dx, dz) in the batch's own
// space; b_draw itself when the batch has no copies.
void b_draw_view(batch *b, float dx, float dz);
// Two crossed unit quads standing on y = 0, placed by m, textured from rect (x0, y0, x1, y1)
// in texel units of tex (only its w and h are read).
void bgen_xpoly(const texture *tex, const float m[16], batch *b, const float rect[4]);

// Fewer than 3 indices when it has indices, else fewer than 3 vertices.
bool b_is_empty(const batch *b);
inline uint32_t b_nverts(const batch *b) { return b->v.count / 3; }
