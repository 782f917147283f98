// Geometry batches: CPU building, buffer upload and drawing of static vertex lists.
#include "render/batch.h"
#include "core/util.h"
#include "render/shader.h"
#include "render/texture.h"
#include <GL/glew.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

batch *b_create(void) {
  // zeroed, so the buffer names are 0 until b_prepare and a stray delete is a no-op
  return (batch *)ucalloc(1, sizeof(batch));
}

bool b_is_empty(const batch *b) {
  if (b->idx.count > 0) return b->idx.count < 3;
  return b->v.count / 3 < 3;
}

static void delete_buffers(batch *b) {
  uint32_t *names[5] = {&b->vbo_v, &b->vbo_tc, &b->vbo_n, &b->ibo, &b->ibo_views};
  for (uint32_t *name : names) {
    if (*name) glDeleteBuffers(1, name);
    *name = 0;
  }
  b->prepared = 0;
  b->nviews = 0;
}

void b_reset(batch *b) {
  if (b->prepared) delete_buffers(b);
  b->prepared = 0;
  b->v.count = 0;
  b->tc.count = 0;
  // normals too: stale normals would be drawn with the next geometry
  b->n.count = 0;
  b->idx.count = 0;
  b->prim_type = GL_TRIANGLES;
}

void b_free(batch *b) {
  if (b->prepared) delete_buffers(b);
  ua_free(b->v);
  ua_free(b->tc);
  ua_free(b->n);
  ua_free(b->idx);
  free(b);
}

void b_add_vertex(batch *b, float x, float y, float z) {
  ua_push(b->v, x);
  ua_push(b->v, y);
  ua_push(b->v, z);
}

void b_add_vertex_xform(const float m[16], batch *b, float x, float y, float z) {
  b_add_vertex(b, m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
               m[2] * x + m[6] * y + m[10] * z + m[14]);
}

void b_add_texcoord(batch *b, float s, float t) {
  ua_push(b->tc, s);
  ua_push(b->tc, t);
}

void b_add_triangle(batch *b, uint32_t i0, uint32_t i1, uint32_t i2) {
  ua_push(b->idx, i0);
  ua_push(b->idx, i1);
  ua_push(b->idx, i2);
}

void b_get_box(batch *b, aabb *out) {
  const float *m = b->box.max;
  if (m[0] * m[0] + m[1] * m[1] + m[2] * m[2] <= 0 && b->v.count >= 3) box_from_points(b->v.count / 3, b->v.items, &b->box);
  *out = b->box;
}

void b_normalize(batch *b) {
  aabb box;
  b_get_box(b, &box);
  float dx = box.max[0] - box.min[0], dy = box.max[1] - box.min[1], dz = box.max[2] - box.min[2];
  float len = sqrtf(dx * dx + dy * dy + dz * dz);
  // a point, an empty batch or a broken box has no size to scale to
  if (!(len > 0) || !std::isfinite(len)) return;
  for (uint32_t i = 0; i < b->v.count; i++) b->v.items[i] /= len;
  if (b->v.count >= 3) box_from_points(b->v.count / 3, b->v.items, &b->box);
  if (b->prepared) {
    delete_buffers(b);
    b_prepare(b);
  }
}

static uint32_t upload(GLenum target, const void *items, uint32_t count) {
  GLuint name = 0;
  glGenBuffers(1, &name);
  glBindBuffer(target, name);
  glBufferData(target, (GLsizeiptr)count * 4, items, GL_STATIC_DRAW);
  return name;
}

void b_prepare(batch *b) {
  if (b->prepared || b_is_empty(b)) return;
  uint32_t nv = b->v.count / 3;
  // the draw reads every array up to the vertex count: short arrays or wild indices would
  // read past the end of a buffer
  if (b->tc.count > 0 && b->tc.count / 2 < nv) uerror("batch has %u texture coordinates for %u vertices", b->tc.count / 2, nv);
  if (b->n.count > 0 && b->n.count / 3 < nv) uerror("batch has %u normals for %u vertices", b->n.count / 3, nv);
  uint32_t ni = b->idx.count / 3 * 3;
  for (uint32_t i = 0; i < ni; i++)
    if (b->idx.items[i] >= nv) uerror("batch index %u out of range (%u vertices)", b->idx.items[i], nv);
  b->vbo_v = upload(GL_ARRAY_BUFFER, b->v.items, nv * 3);
  if (b->tc.count > 0) b->vbo_tc = upload(GL_ARRAY_BUFFER, b->tc.items, b->tc.count);
  if (b->n.count > 0) b->vbo_n = upload(GL_ARRAY_BUFFER, b->n.items, b->n.count);
  if (ni > 0) b->ibo = upload(GL_ELEMENT_ARRAY_BUFFER, b->idx.items, ni);
  b->nv_drawn = nv;
  b->ni_drawn = ni;
  b->prepared = 1;
  // left bound, the buffers would turn the client-side arrays of a later pass (rain, snow) into
  // offsets into them
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (ni > 0) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

static void draw_prepared(batch *b, uint32_t first, uint32_t nidx, uint32_t ibo);

void b_prepare_views(batch *b, uint32_t nviews) {
  uint32_t ni = b->ni_drawn, nq = ni / 6;
  if (!b->prepared || b->ibo_views || nviews == 0 || nviews > B_MAX_VIEWS || ni == 0 || ni % 6) return;
  const uint32_t *idx = b->idx.items;
  const float *v = b->v.items;
  // each quad's centre, as the mean of its six indexed corners
  std::vector<float> cx(nq), cz(nq), key(nq);
  for (uint32_t q = 0; q < nq; q++) {
    float x = 0, z = 0;
    for (int i = 0; i < 6; i++) x += v[3 * idx[6 * q + i]], z += v[3 * idx[6 * q + i] + 2];
    cx[q] = x / 6, cz[q] = z / 6;
  }
  std::vector<uint32_t> order(nq), out((size_t)ni * nviews);
  for (uint32_t k = 0; k < nviews; k++) {
    float a = (float)k * 2 * (float)M_PI / (float)nviews, dx = cosf(a), dz = sinf(a);
    for (uint32_t q = 0; q < nq; q++) key[q] = cx[q] * dx + cz[q] * dz, order[q] = q;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t p, uint32_t q) { return key[p] < key[q]; });
    uint32_t *dst = &out[(size_t)k * ni];
    for (uint32_t q : order) memcpy(dst, &idx[6 * q], 6 * sizeof *dst), dst += 6;
  }
  b->ibo_views = upload(GL_ELEMENT_ARRAY_BUFFER, out.data(), ni * nviews);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  b->nviews = nviews;
}

void b_draw_view(batch *b, float dx, float dz) {
  if (!b->prepared) uerror("unprepared batch %s", b_is_empty(b) ? "(empty)" : "");
  if (b->nviews == 0) return draw_prepared(b, 0, UINT32_MAX, b->ibo);
  float turns = atan2f(dz, dx) / (2 * (float)M_PI);
  int k = (int)floorf(turns * (float)b->nviews + 0.5f);
  k = ((k % (int)b->nviews) + (int)b->nviews) % (int)b->nviews;
  draw_prepared(b, (uint32_t)k * b->ni_drawn, b->ni_drawn, b->ibo_views);
}

void b_draw(batch *b) {
  if (!b->prepared) uerror("unprepared batch %s", b_is_empty(b) ? "(empty)" : "");
  draw_prepared(b, 0, UINT32_MAX, b->ibo);
}

void b_draw_range(batch *b, uint32_t first, uint32_t nidx) {
  if (!b->prepared) uerror("unprepared batch %s", b_is_empty(b) ? "(empty)" : "");
  draw_prepared(b, first, nidx, b->ibo);
}

// Indices from first on in ibo, which holds ni_drawn of them or (the views) several such lists.
static void draw_prepared(batch *b, uint32_t first, uint32_t nidx, uint32_t ibo) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, b->vbo_v);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  // buffer names rather than array counts decide: arrays may have grown since the upload
  if (b->vbo_tc) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, b->vbo_tc);
    glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
  }
  if (b->vbo_n) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, b->vbo_n);
    glNormalPointer(GL_FLOAT, 0, nullptr);
  }
  if (ibo) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
    uint32_t end = ibo == b->ibo_views ? b->ni_drawn * b->nviews : b->ni_drawn;
    if (first > end) first = end;
    if (nidx > end - first) nidx = end - first;
    glDrawRangeElements(b->prim_type, 0, b->nv_drawn, nidx, GL_UNSIGNED_INT, (const void *)(uintptr_t)(first * 4));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  } else {
    glDrawArrays(b->prim_type, 0, b->nv_drawn);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (b->vbo_n) glDisableClientState(GL_NORMAL_ARRAY);
  if (b->vbo_tc) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void bgen_xpoly(const texture *tex, const float m[16], batch *b, const float rect[4]) {
  if (b->prepared) uerror("batch already prepaired");
  if (b->prim_type != GL_TRIANGLES) uerror("invalid prim_type");
  float s0 = rect[0] / tex->w, t0 = rect[1] / tex->h, s1 = rect[2] / tex->w, t1 = rect[3] / tex->h;
  static const float pos[8][3] = {{-0.5f, 0, 0}, {-0.5f, 1, 0}, {0.5f, 0, 0}, {0.5f, 1, 0},
                                  {0, 0, -0.5f}, {0, 1, -0.5f}, {0, 0, 0.5f}, {0, 1, 0.5f}};
  uint32_t base = b->v.count / 3;
  for (int i = 0; i < 8; i++) {
    b_add_vertex_xform(m, b, pos[i][0], pos[i][1], pos[i][2]);
    // odd vertices are the top edge, the first two of each quad its left side
    b_add_texcoord(b, (i & 2) ? s1 : s0, (i & 1) ? t0 : t1);
  }
  b_add_triangle(b, base + 0, base + 1, base + 2);
  b_add_triangle(b, base + 2, base + 1, base + 3);
  b_add_triangle(b, base + 4, base + 5, base + 6);
  b_add_triangle(b, base + 6, base + 5, base + 7);
}
