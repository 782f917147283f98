// Terrain: height-mapped grid, its display list and height queries.
#include "world/terrain.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "render/image.h"
#include "render/shader.h"
#include "render/texture.h"
#include <GL/glew.h>
#include <SDL.h>
#include <cmath>

terrain *g_terrain;

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
  if (t->dlist) glDeleteLists(t->dlist, 1);
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
  for (int r = 0; r < n; r++) {
    for (int c = 0; c < n; c++) {
      tn_vertex &v = t->verts[r][c];
      v.y = 0;
      if (t->hm) v.y = (float)(hm_sample(t->hm->surf, v.x + 0.5f, v.z + 0.5f, 1.0f) / 16777215.0 * t->hm->maxy);
    }
  }
}

static void emit(const terrain *t, int r, int c) {
  const tn_vertex &v = t->verts[r][c];
  if (t->tex) glTexCoord2f((float)c / t->ndivs, (float)r / t->ndivs);
  glVertex3f(v.x, v.y, v.z);
}

void tn_build(terrain *t) {
  tn_sample_heights(t);
  // Only the mesh with its height map is ever drawn (tn_draw shows a flat quad until then), so
  // the builds before the map is attached compile nothing and a large grid is compiled once.
  if (!t->hm) return;
  if (t->dlist) glDeleteLists(t->dlist, 1);
  t->dlist = glGenLists(1);
  glNewList(t->dlist, GL_COMPILE);
  glBindTexture(GL_TEXTURE_2D, t->tex);
  // strips along x, wound clockwise seen from above (tn_draw sets GL_CW)
  for (int i = 0; i < t->ndivs; i++) {
    glPushMatrix();
    glScalef(t->sz, 1, t->sz);
    glBegin(GL_TRIANGLE_STRIP);
    for (int j = 0; j <= t->ndivs; j++) {
      emit(t, i + 1, j);
      emit(t, i, j);
    }
    glEnd();
    glPopMatrix();
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glEndList();
}

void tn_draw(void) {
  terrain *t = g_terrain;
  if (!t) return;
  prg_use(PRG_TERRAIN);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  if (t->hm) {
    glCallList(t->dlist);
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
