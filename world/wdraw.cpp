// World item drawing: frustum query, bucketing by texture, billboards batched, trees one by one.
#include "world/wdraw.h"
#include "render/camera.h"
#include "core/params.h"
#include "core/util.h"
#include "render/batch.h"
#include "render/frustum.h"
#include "render/shader.h"
#include "render/texture.h"
#include "world/object.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <cmath>

uint32_t g_wi_nsorted;

static uarray<wi *> visible;                 // reused from frame to frame
static uarray<wi *> buckets[WISL_MAX_TEX];   // storage kept, counts cleared by every sort
static uint32_t wind_deg;                    // turns one degree per pass

const uarray<wi *> *wi_bucket(uint32_t t) { return &buckets[t]; }

void wi_sort(const uarray<wi *> *list) {
  for (auto &b : buckets) b.count = 0;
  for (wi *w : *list) {
    const texture *tex = w->obj->tex;
    if (!tex) continue;
    uint32_t t = tex->id;
    // past the fixed tables an item is left out of the frame, said once: never the end of a game
    static bool said_tex, said_full;
    if (t >= WISL_MAX_TEX) {
      if (!said_tex)
        uwarn("'%s' has texture number %u, past the %d the world drawing sorts: its items are not drawn", w->obj->name,
              t, (int)WISL_MAX_TEX);
      said_tex = true;
      continue;
    }
    uarray<wi *> &b = buckets[t];
    if (b.count + 1 >= WISL_MAX_WI_PER_TEX) {
      // the quadtree hands the items over nearest first: the farther ones are left out
      if (!said_full)
        uwarn("more than %d world items of one texture in view ('%s' and others): the farther ones are not drawn",
              (int)WISL_MAX_WI_PER_TEX - 1, w->obj->name);
      said_full = true;
      continue;
    }
    ua_push(b, w);
    g_wi_nsorted++;
  }
}

void wi_add_billboard(const wi *w, batch *b) {
  float m[16];
  mat4_identity(m);
  // the item sinks 0.2 units into the ground
  mat4_translate(m, w->pos[0], w->pos[1] - 0.2f, w->pos[2]);
  mat4_scale(m, w->width, w->height, w->width);
  const int32_t *c = w->obj->clip;
  float rect[4] = {(float)c[0], (float)c[1], (float)(c[0] + c[2]), (float)(c[1] + c[3])};
  bgen_xpoly(w->obj->tex, m, b, rect);
}

static void draw_tree(const wi *w) {
  glPushMatrix();
  glTranslatef(w->pos[0], w->pos[1], w->pos[2]);
  glScalef(w->height, w->height, w->height);
  // its cards nearest-first as seen from the camera
  b_draw_view(w->obj->pg.batch, w->pos[0] - g_cam.pos[0], w->pos[2] - g_cam.pos[2]);
  glPopMatrix();
}

// The bucket's items nearest-first along the view: the depth test then spares most of the
// fragments of what stands behind the first ones. The bucket itself keeps its order.
static const uarray<const wi *> &nearest_first(const uarray<wi *> &bk) {
  struct keyed {
    float d;
    const wi *w;
  };
  static uarray<keyed> keys;
  static uarray<const wi *> out;
  keys.count = out.count = 0;
  const float *p = g_cam.pos, *d = g_cam.dir;
  for (const wi *w : bk) ua_push(keys, keyed{(w->pos[0] - p[0]) * d[0] + (w->pos[1] - p[1]) * d[1] + (w->pos[2] - p[2]) * d[2], w});
  std::stable_sort(keys.begin(), keys.end(), [](const keyed &a, const keyed &b) { return a.d < b.d; });
  for (const keyed &k : keys) ua_push(out, k.w);
  return out;
}

static batch *scratch;    // billboards of one bucket; storage kept from bucket to bucket and frame to frame
static GLint tree_loc = -1; // "tree" of the current pass: 1 while trees draw, 0 for billboards

static void set_tree(float on) {
  if (tree_loc >= 0) glUniform1f(tree_loc, on);
}

void wi_draw(uint32_t envmap) {
  if (envmap) {
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_CUBE_MAP, envmap);
    glActiveTexture(GL_TEXTURE0);
  }
  if (!scratch) scratch = b_create();
  for (uint32_t t = 0; t < WISL_MAX_TEX; t++) {
    const uarray<wi *> &bk = buckets[t];
    if (bk.count == 0) continue;
    glBindTexture(GL_TEXTURE_2D, bk[0]->obj->tex->id);
    b_reset(scratch);
    bool trees = false;
    for (const wi *w : nearest_first(bk)) {
      const wobj *o = w->obj;
      // a tree whose geometry is not built (a catalogue without process_pgparam) stands in as a billboard
      if (o->is_tree && o->pg.batch && o->pg.batch->prepared) {
        if (!trees) set_tree(1);
        trees = true;
        draw_tree(w);
      } else {
        wi_add_billboard(w, scratch);
      }
    }
    if (trees) set_tree(0);
    if (b_nverts(scratch) >= 3) {
      b_prepare(scratch);
      b_draw(scratch);
    }
  }
  // the storage stays for the next frame; the buffers go, as the next reset would drop them anyway
  b_reset(scratch);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void wdraw_wind_dir(uint32_t n, float out[3]) {
  float a = n * 0.017453292f;
  out[0] = sinf(a);
  out[1] = 0;
  out[2] = cosf(a);
}

float wdraw_wind_strength(uint32_t ticks1, uint32_t ticks2) {
  float s1 = sinf((ticks1 % 3301) / 3300.0f * 2 * (float)M_PI);
  float s2 = sinf((ticks2 % 15001) / 15000.0f * 2 * (float)M_PI);
  return s2 * (s1 * 0.5f) * 0.055f;
}

static void set_uniforms(void) {
  prg_use(PRG_WOBJ);
  prg *p = g_shader_table[PRG_WOBJ].program;
  wind_deg = (wind_deg + 1) % 361;
  tree_loc = -1;
  if (!p) return; // program 0 has no uniforms
  GLuint id = p->id;
  float wdir[3];
  wdraw_wind_dir(wind_deg, wdir);
  glUniform3fv(glGetUniformLocation(id, "wdir"), 1, wdir);
  uint32_t t1 = SDL_GetTicks(), t2 = SDL_GetTicks();
  glUniform1f(glGetUniformLocation(id, "wstr"), wdraw_wind_strength(t1, t2));
  glUniform1i(glGetUniformLocation(id, "tex"), 0);
  glUniform1i(glGetUniformLocation(id, "cubemap"), 1);
  const camera &c = g_cam;
  float m[16] = {c.right[0], c.right[1], c.right[2], 0, c.up[0],  c.up[1],  c.up[2],  0,
                 -c.dir[0],  -c.dir[1],  -c.dir[2],  0, 0,        0,        0,        1};
  glUniformMatrix4fv(glGetUniformLocation(id, "camera_matrix"), 1, GL_FALSE, m);
  glUniform1f(glGetUniformLocation(id, "cam_height"), c.pos[1]);
  tree_loc = glGetUniformLocation(id, "tree");
  set_tree(0);
}

void world_draw(uint32_t envmap) {
  plane world_planes[6], query_planes[6];
  for (int i = 0; i < 6; i++) world_planes[i] = g_frustum[i];
  for (int i = 0; i < 6; i++) query_planes[i] = world_planes[i];
  visible.count = 0;
  if (g_quadtree) {
    qt_request q = {qt_test_frustum, query_planes, &visible, {g_cam.pos[0], g_cam.pos[1], g_cam.pos[2]}, g_quadtree->stamp};
    g_quadtree->stamp++;
    qt_query(g_quadtree->root, &q);
  }
  uint32_t nvis = visible.count;
  set_uniforms();
  wi_sort(&visible);
  wi_draw(envmap);
  wi_stats_update(nvis);
}

void wi_stats_update(uint32_t nvis) {
  r.ndraw = g_wi_nsorted;
  r.ndraw_peak = (uint32_t)std::fmax((float)r.ndraw_peak, (float)r.ndraw);
  // in floating point: a counter not reset between passes must not wrap the difference
  r.ncull_peak = (uint32_t)std::fmax((float)r.ncull_peak, (float)nvis - (float)r.ndraw);
}
