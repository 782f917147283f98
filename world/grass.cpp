// Grass field: 3 x 3 patches of 40 units round the camera. Each patch samples the object map in
// a grid of cells and scatters clumps of crossed-quad tufts of its brush's grass objects, one
// batch per grass texture; the column or row that falls behind is dropped as the camera crosses
// a boundary and a new one is built ahead, inside that update step.
#include "world/grass.h"
#include "core/params.h"
#include "core/util.h"
#include "render/batch.h"
#include "render/camera.h"
#include "render/frustum.h"
#include "render/shader.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/terrain.h"
#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstring>

grass_field *g_grass;
uint32_t g_grass_built, g_grass_live;
static int32_t wind_phase; // whole degrees, +2 per update step

int32_t grass_patch_index(float p, float half) {
  // each step rounded to single precision, as floorf(p / 40) would not be at exact boundaries
  float a = (p + half) / (float)GRASS_PATCH_SIZE;
  float b = half / (float)GRASS_PATCH_SIZE;
  return (int32_t)floorf(a - b);
}

// A draw in [a, b].
static float draw_in(float a, float b) { return a + urandf() * (b - a); }

float grass_thin_rank(float x, float z) {
  uint32_t a, b;
  memcpy(&a, &x, 4);
  memcpy(&b, &z, 4);
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return (float)(h >> 8) / 16777216.0f;
}

void grass_clump(grass_pair *pair, float count, float x, float z, float radius, terrain *tn, const wobj *o) {
  float aspect = (float)o->clip[2] / (float)o->clip[3];
  float ox = draw_in(-radius, radius);
  float oz = draw_in(-radius, radius);
  if (count <= 0) return;
  float k = o->clumpiness, half = tn->sz / 2;
  float rect[4] = {(float)o->clip[0], (float)o->clip[1], (float)(o->clip[0] + o->clip[2]),
                   (float)(o->clip[1] + o->clip[3])};
  for (int32_t i = 0; (float)i < count; i++) {
    float tx = k * ox + (1 - k) * draw_in(-radius, radius) + x;
    float tz = k * oz + (1 - k) * draw_in(-radius, radius) + z;
    // the first tuft off the terrain ends the clump
    if (fmaxf(fabsf(tx), fabsf(tz)) > half) return;
    float s = o->scale + draw_in(-o->scale_rnd / 2, o->scale_rnd / 2);
    if (!pair) continue;
    float ty = tn_height(tn, tx, tz);
    // identity x translation x scaling, written out: the tuft is scaled first, then placed
    float m[16] = {s * aspect, 0, 0, 0, 0, s, 0, 0, 0, 0, s * aspect, 0, tx, ty, tz, 1};
    bgen_xpoly(pair->tex, m, pair->b, rect);
    float h = grass_thin_rank(tx, tz);
    for (int v = 0; v < 8; v++) {
      ua_push(pair->b->n, tx);
      ua_push(pair->b->n, tz);
      ua_push(pair->b->n, h);
    }
  }
}

// Rewrites the index list tuft by tuft, block by block and in falling rank inside a block, and
// fills the blocks' boxes and rank counts. Tufts of a clump that strayed past the patch edge
// belong to the edge block.
static void order_tufts(grass_pair *q, float x0, float z0, float size) {
  batch *b = q->b;
  const float *n = b->n.items, *v = b->v.items;
  uint32_t nt = b->idx.count / 12;
  enum { NKEYS = GRASS_NBLOCKS * GRASS_THIN_STEPS };
  uint32_t count[NKEYS] = {}, next[NKEYS];
  auto cell = [size](float p) {
    int i = (int)(p / size * GRASS_BLOCKS);
    return i < 0 ? 0 : i >= GRASS_BLOCKS ? GRASS_BLOCKS - 1 : i;
  };
  auto key = [&](uint32_t t) {
    const float *f = &n[t * 24];
    int k = (int)(f[2] * GRASS_THIN_STEPS);
    k = k < 0 ? 0 : k >= GRASS_THIN_STEPS ? GRASS_THIN_STEPS - 1 : k;
    int blk = cell(f[1] - z0) * GRASS_BLOCKS + cell(f[0] - x0);
    return blk * GRASS_THIN_STEPS + (GRASS_THIN_STEPS - 1 - k);
  };
  for (uint32_t t = 0; t < nt; t++) count[key(t)]++;
  uint32_t at = 0;
  for (int k = 0; k < NKEYS; k++) next[k] = at, at += count[k];
  for (int blk = 0; blk < GRASS_NBLOCKS; blk++) {
    grass_block &g = q->blocks[blk];
    const uint32_t *c = &count[blk * GRASS_THIN_STEPS];
    g.first = next[blk * GRASS_THIN_STEPS];
    g.nrank[GRASS_THIN_STEPS] = 0;
    for (int k = GRASS_THIN_STEPS - 1; k >= 0; k--) g.nrank[k] = g.nrank[k + 1] + c[GRASS_THIN_STEPS - 1 - k];
    g.box = aabb{{INFINITY, INFINITY, INFINITY}, {-INFINITY, -INFINITY, -INFINITY}};
  }
  static const uint32_t quad[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
  for (uint32_t t = 0; t < nt; t++) {
    uint32_t k = key(t);
    uint32_t *dst = &b->idx.items[12 * next[k]++];
    for (int i = 0; i < 12; i++) dst[i] = 8 * t + quad[i];
    aabb &box = q->blocks[k / GRASS_THIN_STEPS].box;
    for (const float *p = &v[t * 24]; p < &v[t * 24 + 24]; p += 3)
      for (int a = 0; a < 3; a++) {
        box.min[a] = fminf(box.min[a], p[a]);
        box.max[a] = fmaxf(box.max[a], p[a]);
      }
  }
}

uint32_t grass_tufts_at(const grass_block *g, float d) {
  // a tuft of rank h stands up to NEAR + h * (FAR - NEAR): at d, only ranks above that are left
  float h = (d - GRASS_THIN_NEAR) / (GRASS_THIN_FAR - GRASS_THIN_NEAR);
  if (!(h > 0)) return g->nrank[0];
  if (h >= 1) return 0;
  return g->nrank[(int)(h * GRASS_THIN_STEPS)];
}

grass_pair *grass_patch_batch(grass_patch *p, texture *tex) {
  for (grass_pair &q : p->pairs)
    if (q.tex == tex) return &q;
  grass_pair q = {};
  q.tex = tex;
  q.b = b_create();
  b_reset(q.b);
  ua_push(p->pairs, q);
  return &p->pairs[p->pairs.count - 1];
}

// Walks the cells of the patch at (x0, z0); with a null patch only the random draws are made.
static void patch_fill(grass_patch *p, float x0, float z0, float size, terrain *tn) {
  int32_t n = i_grass_cell_sample_res;
  if (n <= 0) return;
  float cell = size / (float)n, radius = sqrtf(2 * cell * cell);
  for (int32_t j = 0; j < n; j++)
    for (int32_t i = 0; i < n; i++) {
      float cx = x0 + (float)i * cell + cell / 2, cz = z0 + (float)j * cell + cell / 2;
      brush *br = objmap_get_brush(cx, cz);
      for (wobj *o : br->grass) {
        if (!o->tex || o->clip[3] == 0) continue; // nothing to cut a tuft from
        grass_pair *pair = p ? grass_patch_batch(p, o->tex) : nullptr;
        float tufts = o->density * (float)i_grass_ntufts / (float)n;
        for (int32_t c = 0; c < o->num_clumps; c++)
          grass_clump(pair, tufts / (float)o->num_clumps, cx, cz, radius, tn, o);
      }
    }
}

grass_patch *grass_patch_build(float x0, float z0, float size, terrain *tn) {
  grass_patch *p = (grass_patch *)ucalloc(1, sizeof *p);
  p->x0 = x0;
  p->z0 = z0;
  p->serial = ++g_grass_built;
  g_grass_live++;
  patch_fill(p, x0, z0, size, tn);
  for (uint32_t i = 0; i < p->pairs.count;) {
    batch *b = p->pairs[i].b;
    order_tufts(&p->pairs[i], x0, z0, size);
    b_prepare(b);
    if (!b_is_empty(b)) {
      i++;
      continue;
    }
    b_free(b);
    for (uint32_t k = i + 1; k < p->pairs.count; k++) p->pairs[k - 1] = p->pairs[k];
    p->pairs.count--;
  }
  if (p->pairs.count == 0) ua_free(p->pairs);
  return p;
}

void grass_patch_free(grass_patch *p) {
  if (!p) return;
  for (grass_pair &q : p->pairs) b_free(q.b);
  ua_free(p->pairs);
  free(p);
  g_grass_live--;
}

static grass_patch *build_at(grass_field *f, int32_t col, int32_t row) {
  return grass_patch_build((float)(GRASS_PATCH_SIZE * col), (float)(GRASS_PATCH_SIZE * row), GRASS_PATCH_SIZE, f->tn);
}

// Moves slots: dst = src for the six pairs given.
static void move_slots(grass_field *f, const int (*mv)[2]) {
  for (int i = 0; i < 6; i++) f->patches[mv[i][1]] = f->patches[mv[i][0]];
}

void grass_field_move(grass_field *f, int32_t nc, int32_t nr) {
  grass_patch **s = f->patches;
  int32_t row = f->row;
  if (nc != f->col) {
    bool left = nc < f->col;
    static const int mv_left[6][2] = {{1, 2}, {0, 1}, {4, 5}, {3, 4}, {7, 8}, {6, 7}};
    static const int mv_right[6][2] = {{1, 0}, {2, 1}, {4, 3}, {5, 4}, {7, 6}, {8, 7}};
    int drop = left ? 2 : 0, add = left ? 0 : 2;
    int32_t c = left ? nc - 1 : nc + 1;
    for (int r = 0; r < 3; r++) grass_patch_free(s[3 * r + drop]);
    move_slots(f, left ? mv_left : mv_right);
    // a diagonal crossing drops one corner of this column again at once: its random draws are
    // still made, in their place, but nothing is built for it
    int doomed = nr < row ? 2 : nr > row ? 0 : -1;
    for (int r = 0; r < 3; r++) {
      if (r == doomed) {
        patch_fill(nullptr, (float)(GRASS_PATCH_SIZE * c), (float)(GRASS_PATCH_SIZE * (row + r - 1)), GRASS_PATCH_SIZE, f->tn);
        s[3 * r + add] = nullptr;
      } else {
        s[3 * r + add] = build_at(f, c, row + r - 1);
      }
    }
  }
  if (nr != row) {
    bool up = nr < row;
    static const int mv_up[6][2] = {{3, 6}, {0, 3}, {4, 7}, {1, 4}, {5, 8}, {2, 5}};
    static const int mv_down[6][2] = {{3, 0}, {6, 3}, {4, 1}, {7, 4}, {5, 2}, {8, 5}};
    int drop = up ? 6 : 0, add = up ? 0 : 6;
    for (int c = 0; c < 3; c++) grass_patch_free(s[drop + c]);
    move_slots(f, up ? mv_up : mv_down);
    for (int c = 0; c < 3; c++) s[add + c] = build_at(f, nc + c - 1, up ? nr - 1 : nr + 1);
  }
  f->col = nc;
  f->row = nr;
}

void grass_check_budget(void) {
  for (size_t i = 0; i < g_nbrushes; i++) {
    double density = 0;
    for (const wobj *o : g_brushes[i].grass)
      if (o->tex && o->clip[3] != 0 && o->num_clumps > 0 && o->density > 0) density += o->density;
    double tufts = (double)(i_grass_cell_sample_res > 0 ? i_grass_cell_sample_res : 0) * i_grass_ntufts * density;
    if (tufts > GRASS_MAX_PATCH_TUFTS)
      uerror("grass of brush %.6x: i_grass_cell_sample_res %d x i_grass_ntufts %d x %g (the density of its grass "
             "objects, added up) is %.0f tufts a patch, more than %d",
             g_brushes[i].color, i_grass_cell_sample_res, i_grass_ntufts, density, tufts, GRASS_MAX_PATCH_TUFTS);
  }
}

void grass_free(grass_field *f) {
  if (!f) return;
  for (grass_patch *p : f->patches) grass_patch_free(p);
  free(f);
}

grass_field *grass_create(float x, float z) {
  grass_check_budget();
  grass_field *f = (grass_field *)ucalloc(1, sizeof *f);
  f->tn = g_terrain;
  f->program = g_shader_table[PRG_GRASS].program;
  float half = f->tn->sz / 2;
  f->col = grass_patch_index(x, half);
  f->row = grass_patch_index(z, half);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) f->patches[3 * r + c] = build_at(f, f->col + c - 1, f->row + r - 1);
  g_grass = f;
  return f;
}

int32_t grass_wind_step(int32_t phase) {
  phase += 2;
  return phase >= 360 ? 0 : phase;
}

void grass_update(const float pos[3]) {
  grass_field *f = g_grass;
  if (!f) return;
  float half = f->tn->sz / 2;
  grass_field_move(f, grass_patch_index(pos[0], half), grass_patch_index(pos[2], half));
  wind_phase = grass_wind_step(wind_phase);
  if (!f->program) return;
  GLuint id = f->program->id;
  glUseProgram(id);
  glUniform3f(glGetUniformLocation(id, "campos"), pos[0], pos[1], pos[2]);
  float a = wind_phase * (float)M_PI / 180;
  glUniform3f(glGetUniformLocation(id, "wdir"), sinf(a), 0, cosf(a));
  uint32_t t1 = SDL_GetTicks(), t2 = SDL_GetTicks();
  float w = 0.4f * 0.1f * sinf(2 * (float)M_PI * (t1 % 10001) / 10000) * sinf(2 * (float)M_PI * (t2 % 2001) / 2000);
  glUniform1f(glGetUniformLocation(id, "wstr"), w);
}

// Horizontal distance from (x, z) to the nearest point of the box.
static float box_distance(const aabb *box, float x, float z) {
  float dx = fmaxf(fmaxf(box->min[0] - x, x - box->max[0]), 0);
  float dz = fmaxf(fmaxf(box->min[2] - z, z - box->max[2]), 0);
  return sqrtf(dx * dx + dz * dz);
}

void grass_draw(void) {
  grass_field *f = g_grass;
  glUseProgram(f && f->program ? f->program->id : 0);
  uint32_t total = 0;
  if (f)
    for (grass_patch *p : f->patches) {
      if (!p) continue;
      for (grass_pair &q : p->pairs) {
        aabb box;
        b_get_box(q.b, &box);
        if (frustum_test_box(&box, g_frustum) == FRUSTUM_OUTSIDE) continue;
        // the statistic counts the whole batch once its box is in view, however few of its
        // tufts the blocks and the thinning below leave to draw
        total += q.b->idx.count / 3;
        // the blocks in view nearest-first: the depth test spares the tufts hidden behind them
        struct seen {
          float d;
          const grass_block *g;
        } order[GRASS_NBLOCKS];
        int nseen = 0;
        for (const grass_block &g : q.blocks) {
          if (g.nrank[0] == 0 || frustum_test_box(&g.box, g_frustum) == FRUSTUM_OUTSIDE) continue;
          order[nseen++] = seen{box_distance(&g.box, g_cam.pos[0], g_cam.pos[2]), &g};
        }
        std::stable_sort(order, order + nseen, [](const seen &a, const seen &b) { return a.d < b.d; });
        bool bound = false;
        for (int i = 0; i < nseen; i++) {
          const grass_block &g = *order[i].g;
          uint32_t n = grass_tufts_at(&g, order[i].d);
          if (n == 0) continue; // every tuft of it has thinned away at this distance
          if (!bound) glBindTexture(GL_TEXTURE_2D, q.tex->id);
          bound = true;
          b_draw_range(q.b, 12 * g.first, 12 * n);
        }
      }
    }
  r.grass_ntris = total;
}
