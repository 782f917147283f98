// Terrain: height-mapped grid, its display lists by chunk and height queries.
#include "world/terrain.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "render/camera.h"
#include "render/frustum.h"
#include "render/image.h"
#include "render/shader.h"
#include "render/texture.h"
#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <cmath>

terrain *g_terrain;
// The chunks' boxes in world units, of the terrain whose lists start at boxes_for: a reload
// builds a new terrain beside the one drawn, which stays when the new one fails.
static uarray<aabb> chunk_boxes;
static uint32_t boxes_for;

terrain *tn_alloc(void) {
  if (i_tn_ndivs < 1 || i_tn_ndivs > TN_MAX_NDIVS)
    uerror("i_tn_ndivs (%d) must be between 1 and %d", i_tn_ndivs, TN_MAX_NDIVS);
  if (!(f_tn_sz > 0) || !std::isfinite(f_tn_sz)) uerror("f_tn_sz (%g) must be a positive size", f_tn_sz);
  terrain *t = (terrain *)umalloc(sizeof *t);
  t->sz = f_tn_sz;
  t->ndivs = i_tn_ndivs;
  t->hm = nullptr;
  t->tex = 0;
  t->dlist = 0;
  t->strips = 0;
  t->ymin = 0;
  int n = t->ndivs + 1;
  float h = t->ndivs * 0.5f;
  t->verts = (tn_vertex **)umalloc(sizeof(tn_vertex *) * n);
  for (int r = 0; r < n; r++) {
    t->verts[r] = (tn_vertex *)ucalloc(n, sizeof(tn_vertex));
    for (int c = 0; c < n; c++) {
      t->verts[r][c].x = (c - h) / (2 * h);
      t->verts[r][c].z = (r - h) / (2 * h);
    }
  }
  return t;
}

void tn_free(terrain *t) {
  if (!t) return;
  for (int r = 0; r <= t->ndivs; r++) free(t->verts[r]);
  free(t->verts);
  if (t->dlist) glDeleteLists(t->dlist, tn_nchunks(t));
  if (t->strips) glDeleteLists(t->strips, t->ndivs * tn_chunks_per_side(t));
  if (t->dlist == boxes_for) boxes_for = 0;
  if (t->hm) SDL_FreeSurface(t->hm->surf), free(t->hm);
  free(t);
}

terrain *tn_create(void) {
  terrain *t = tn_alloc();
  g_terrain = t;
  tn_build(t);
  return t;
}

uint32_t hm_sample(SDL_Surface *surf, float u, float v, float extent) {
  // written so that NaN fails too
  if (!(u >= 0 && u <= extent && v >= 0 && v <= extent) || !(extent > 0)) return 0;
  float fx = (u / extent) * (surf->w - 1), fy = (v / extent) * (surf->h - 1);
  int ix = (int)std::floor(fx), iy = (int)std::floor(fy);
  float tx = fx - ix, ty = fy - iy;
  // at u or v exactly on extent the neighbour would be one past the image; its weight is 0 there
  int ix1 = ix + 1 < surf->w ? ix + 1 : surf->w - 1;
  int iy1 = iy + 1 < surf->h ? iy + 1 : surf->h - 1;
  const SDL_PixelFormat *f = surf->format;
  uint32_t mask = f->Rmask | f->Gmask | f->Bmask;
  double p00 = surf_get_pixel(surf, ix, iy) & mask, p10 = surf_get_pixel(surf, ix1, iy) & mask;
  double p01 = surf_get_pixel(surf, ix, iy1) & mask, p11 = surf_get_pixel(surf, ix1, iy1) & mask;
  // the bilinear weights in lerp form: equal pixels come back exactly (white stays 0xFFFFFF)
  double a = p00 + (p10 - p00) * tx, b = p01 + (p11 - p01) * tx;
  double s = a + (b - a) * ty;
  if (s <= 0) return 0;
  if (s >= 4294967295.0) return UINT32_MAX;
  return (uint32_t)s;
}

const char *hm_check(const SDL_Surface *surf) {
  const SDL_PixelFormat *f = surf->format;
  if (!(f->Rmask | f->Gmask | f->Bmask))
    return "is a palette image: its pixels hold no height and the terrain will be flat (save it as a 24-bit image)";
  if (f->BytesPerPixel == 2)
    return "is a 16-bit image: its heights reach at most 1/256 of f_tn_hm_maxy (save it as a 24-bit image)";
  return nullptr;
}

void tn_sample_heights(terrain *t) {
  int n = t->ndivs + 1;
  t->ymin = INFINITY;
  for (int r = 0; r < n; r++, ubusy()) {
    for (int c = 0; c < n; c++) {
      tn_vertex &v = t->verts[r][c];
      v.y = 0;
      if (t->hm) v.y = (float)(hm_sample(t->hm->surf, v.x + 0.5f, v.z + 0.5f, 1.0f) / 16777215.0 * t->hm->maxy);
      t->ymin = std::fmin(t->ymin, v.y);
    }
  }
}

static void emit(const terrain *t, int r, int c) {
  const tn_vertex &v = t->verts[r][c];
  if (t->tex) glTexCoord2f((float)c / t->ndivs, (float)r / t->ndivs);
  glVertex3f(v.x, v.y, v.z);
}

int tn_chunk_cells(int ndivs) {
  int cells = (ndivs + TN_CHUNKS_PER_SIDE - 1) / TN_CHUNKS_PER_SIDE;
  return cells < TN_CHUNK_MIN_CELLS ? TN_CHUNK_MIN_CELLS : cells;
}

int tn_chunks_per_side(const terrain *t) {
  int cells = tn_chunk_cells(t->ndivs);
  return (t->ndivs + cells - 1) / cells;
}

int tn_nchunks(const terrain *t) {
  int side = tn_chunks_per_side(t);
  return side * side;
}

void tn_chunk_cells_of(const terrain *t, int i, int *r0, int *c0, int *r1, int *c1) {
  int cells = tn_chunk_cells(t->ndivs), side = (t->ndivs + cells - 1) / cells;
  *r0 = i / side * cells, *c0 = i % side * cells;
  *r1 = *r0 + cells < t->ndivs ? *r0 + cells : t->ndivs;
  *c1 = *c0 + cells < t->ndivs ? *c0 + cells : t->ndivs;
}

void tn_chunk_box(const terrain *t, int i, aabb *box) {
  int r0, c0, r1, c1;
  tn_chunk_cells_of(t, i, &r0, &c0, &r1, &c1);
  float lo = INFINITY, hi = -INFINITY;
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++) lo = fminf(lo, t->verts[r][c].y), hi = fmaxf(hi, t->verts[r][c].y);
  *box = aabb{{t->verts[r0][c0].x * t->sz, lo, t->verts[r0][c0].z * t->sz},
              {t->verts[r1][c1].x * t->sz, hi, t->verts[r1][c1].z * t->sz}};
}

static void make_boxes(const terrain *t) {
  chunk_boxes.count = 0;
  for (int k = 0, n = tn_nchunks(t); k < n; k++) {
    aabb box;
    tn_chunk_box(t, k, &box);
    ua_push(chunk_boxes, box);
  }
  boxes_for = t->dlist;
}

// Strip i of the grid from column c0 to c1: the vertices of row i + 1 and row i in turn.
static void emit_strip(const terrain *t, int i, int c0, int c1) {
  glBegin(GL_TRIANGLE_STRIP);
  for (int j = c0; j <= c1; j++) {
    emit(t, i + 1, j);
    emit(t, i, j);
  }
  glEnd();
}

// The strips by chunk column, each as the whole grid's strip has it: a piece starts on an even
// triangle, so its triangles are the strip's, in the strip's order.
static void compile_strips(terrain *t) {
  int cells = tn_chunk_cells(t->ndivs), side = tn_chunks_per_side(t);
  t->strips = glGenLists(t->ndivs * side);
  for (int i = 0; i < t->ndivs; i++)
    for (int k = 0; k < side; k++) {
      int c0 = k * cells, c1 = c0 + cells < t->ndivs ? c0 + cells : t->ndivs;
      glNewList(t->strips + i * side + k, GL_COMPILE);
      emit_strip(t, i, c0, c1);
      glEndList();
    }
}

// Whether t hides what lies behind it (tn_opaque for any terrain).
static bool opaque(const terrain *t) { return t->hm && (!t->tex || tex_opaque(t->tex)); }

void tn_build(terrain *t) {
  tn_sample_heights(t);
  // Only the mesh with its height map is ever drawn (tn_draw shows a flat quad until then), so
  // the builds before the map is attached compile nothing and a large grid is compiled once.
  if (!t->hm) return;
  int n = tn_nchunks(t);
  if (t->strips) glDeleteLists(t->strips, t->ndivs * tn_chunks_per_side(t));
  t->strips = 0;
  if (!opaque(t)) compile_strips(t);
  if (t->dlist) glDeleteLists(t->dlist, n);
  t->dlist = glGenLists(n);
  // one list per chunk, of strips along x wound clockwise seen from above (tn_draw sets GL_CW);
  // each strip starts on an even triangle, so a chunk's triangles are those of the whole grid
  for (int k = 0; k < n; k++, ubusy()) {
    int r0, c0, r1, c1;
    tn_chunk_cells_of(t, k, &r0, &c0, &r1, &c1);
    glNewList(t->dlist + k, GL_COMPILE);
    for (int i = r0; i < r1; i++) emit_strip(t, i, c0, c1);
    glEndList();
  }
  make_boxes(t);
}

// Horizontal distance from the camera to the nearest point of the box.
static float box_distance(const aabb &b, const float p[3]) {
  float dx = fmaxf(fmaxf(b.min[0] - p[0], p[0] - b.max[0]), 0);
  float dz = fmaxf(fmaxf(b.min[2] - p[2], p[2] - b.max[2]), 0);
  return dx * dx + dz * dz;
}

void tn_chunks_in_view(const aabb *boxes, uint32_t n, const plane frustum[6], const float campos[3],
                       uarray<uint32_t> *out) {
  struct seen {
    float d;
    uint32_t i;
  };
  static uarray<seen> order;
  order.count = 0;
  for (uint32_t i = 0; i < n; i++)
    if (frustum_test_box(&boxes[i], frustum) != FRUSTUM_OUTSIDE) ua_push(order, seen{box_distance(boxes[i], campos), i});
  std::stable_sort(order.begin(), order.end(), [](const seen &a, const seen &b) { return a.d < b.d; });
  out->count = 0;
  for (const seen &o : order) ua_push(*out, o.i);
}

bool tn_opaque(void) {
  // the flat stand-in samples whatever texture is bound: it keeps the blending
  return !g_terrain || opaque(g_terrain);
}

// The translucent terrain's pieces in the order of the rows, those of the chunks in view.
static void draw_strips(terrain *t, const uarray<uint32_t> &seen) {
  if (!t->strips) compile_strips(t); // its texture became translucent since the build
  static uarray<uint8_t> in_view;
  int cells = tn_chunk_cells(t->ndivs), side = tn_chunks_per_side(t);
  in_view.count = 0;
  for (int k = 0; k < side * side; k++) ua_push(in_view, (uint8_t)0);
  for (uint32_t k : seen) in_view[k] = 1;
  for (int i = 0; i < t->ndivs; i++) {
    const uint8_t *row = &in_view[i / cells * side];
    for (int k = 0; k < side; k++)
      if (row[k]) glCallList(t->strips + i * side + k);
  }
}

void tn_draw(void) {
  terrain *t = g_terrain;
  if (!t) return;
  bool hides = tn_opaque();
  prg_use(PRG_TERRAIN);
  glDisable(GL_ALPHA_TEST);
  // blending with alpha 1 gives the terrain's own colour: an opaque terrain is spared it
  if (!hides) glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  if (t->hm) {
    // the chunks in view, nearest first: the depth test spares what the near ground hides;
    // a translucent terrain keeps the order of the rows instead
    static uarray<uint32_t> seen;
    if (boxes_for != t->dlist) make_boxes(t);
    tn_chunks_in_view(chunk_boxes.items, chunk_boxes.count, g_frustum, g_cam.pos, &seen);
    glBindTexture(GL_TEXTURE_2D, t->tex);
    glPushMatrix();
    glScalef(t->sz, 1, t->sz);
    if (hides) {
      for (uint32_t k : seen) glCallList(t->dlist + k);
    } else {
      draw_strips(t, seen);
    }
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 0);
  } else {
    // flat stand-in until the height map is attached; it covers twice the terrain's extent
    glPushMatrix();
    glScalef(t->sz, 1, t->sz);
    glBegin(GL_QUAD_STRIP);
    glVertex3f(-1, 0, 1);
    glVertex3f(-1, 0, -1);
    glVertex3f(1, 0, 1);
    glVertex3f(1, 0, -1);
    glEnd();
    glPopMatrix();
  }
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glUseProgram(0);
}

// Grid index of a position in cells, truncated toward zero; kept within [-1, ndivs + 1] before
// the conversion so far-away or non-finite positions cannot overflow it.
static int cell_index(float p, float cell, int ndivs) {
  float f = p / cell;
  if (!(f > -1)) return -1;
  if (f > ndivs + 1) return ndivs + 1;
  return (int)f;
}

static int clampi(int i, int hi) { return i < 0 ? 0 : i > hi ? hi : i; }
static float clamp01(float f) { return f < 0 ? 0 : f > 1 ? 1 : f; }

float tn_height(const terrain *t, float x, float z) {
  float cell = t->sz / t->ndivs, half = t->sz * 0.5f;
  float px = x + half, pz = z + half;
  int ix = cell_index(px, cell, t->ndivs), iz = cell_index(pz, cell, t->ndivs);
  int ix1 = clampi(ix + 1, t->ndivs), iz1 = clampi(iz + 1, t->ndivs);
  ix = clampi(ix, t->ndivs);
  iz = clampi(iz, t->ndivs);
  // Outside the grid the weights are clamped: the edge height holds however far away the point
  // is, and the strip just before the near edge does not extrapolate the first cell.
  float tx = clamp01((px - ix * cell) / cell), tz = clamp01((pz - iz * cell) / cell);
  float h00 = t->verts[iz][ix].y, h10 = t->verts[iz][ix1].y;
  float h01 = t->verts[iz1][ix].y, h11 = t->verts[iz1][ix1].y;
  return h00 * (1 - tx) * (1 - tz) + h10 * tx * (1 - tz) + h01 * (1 - tx) * tz + h11 * tx * tz;
}

terrain *tn_load(void) {
  terrain *t = tn_create();
  t->tex = texmgr_get("terraintexture.png")->id;
  tn_build(t);
  // opened apart, so a missing file is reported by its name, not as an invalid parameter
  SDL_Surface *s = img_load_bmp(ufmt("%s/hm.bmp", g_root));
  if (!s) uerror_at("init", __LINE__, "SDL_LoadBMP: %s", SDL_GetError());
  if (const char *why = hm_check(s)) uwarn_at("init", __LINE__, "\"%s/hm.bmp\" %s", g_root, why);
  heightmap *hm = (heightmap *)umalloc(sizeof *hm);
  hm->surf = s;
  hm->maxy = f_tn_hm_maxy;
  t->hm = hm;
  tn_build(t);
  uinfo_at("init", "using \"%s/hm.bmp\" as height map", g_root);
  return t;
}
