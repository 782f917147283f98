// World items: the spawn pass over the object map, single placements, and discoveries.
#include "world/spawn.h"
#include "render/camera.h"
#include "core/params.h"
#include "core/util.h"
#include "render/batch.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/terrain.h"
#include <SDL.h>
#include <cmath>
#include <cstring>

uarray<wi> wi_list;
uniq_entry uniq_list[UNIQ_MAX];
uint32_t uniq_count;

void spawn_wi(float x, float z, wobj *o) {
  if (o->type == WOBJ_UNIQUE && o->spawned) return;
  if (o->type == WOBJ_UNIQUE && uniq_count >= UNIQ_MAX)
    uerror("too many unique items: '%s' is past the limit of %d", o->name, (int)UNIQ_MAX);
  ua_push(wi_list, wi{});
  struct wi *w = &wi_list[wi_list.count - 1];
  w->obj = o;
  w->pos[0] = x;
  w->pos[2] = z;
  float d = (float)(urand() / 32767.0 * (o->scale_rnd - -o->scale_rnd) - o->scale_rnd);
  // an object without a texture rectangle (no "file" line) has no shape to keep: width 0
  float aspect = o->clip[3] != 0 ? (float)o->clip[2] / (float)o->clip[3] : 0.0f;
  w->height = o->scale + d;
  w->width = (o->scale + d) * aspect;
  wi_place(w);
  if (o->type == WOBJ_UNIQUE) {
    uinfo("unique '%s' at %.2f,%.2f", o->name, -x, -z);
    uniq_list[uniq_count++] = uniq_entry{wi_list.count - 1, 0};
    o->spawned = 1;
  }
}

void wi_place(wi *w) {
  const wobj *o = w->obj;
  float x = w->pos[0], z = w->pos[2];
  float y = w->pos[1] = g_terrain ? tn_height(g_terrain, x, z) : 0;
  if (o->is_tree && o->pg.batch) {
    aabb tb;
    b_get_box(o->pg.batch, &tb);
    for (int k = 0; k < 3; k++) {
      w->box.min[k] = w->pos[k] + w->height * tb.min[k];
      w->box.max[k] = w->pos[k] + w->height * tb.max[k];
    }
  } else {
    // billboards, and trees whose geometry does not exist yet (drawn as billboards)
    float half = w->width * 0.5f;
    w->box = aabb{{x - half, y, z - half}, {x + half, y + w->height, z + half}};
  }
}

// Unique objects listed under a brush are placed at attempt positions of that brush, chosen
// without touching the random sequence: every attempt whose own brush lists unique objects is
// ranked by a hash of its (random) position, and each brush keeps the k lowest-ranked
// positions, k = the length of its unique list. As the positions are uniform, so is the choice.
struct uniq_pick {
  uint32_t rank;
  float x, z;
};
struct uniq_slots {
  uniq_pick *picks; // ascending rank, at most `cap`
  uint32_t n, cap;
};

static uint32_t pos_rank(float x, float z) {
  uint32_t a, b;
  memcpy(&a, &x, 4);
  memcpy(&b, &z, 4);
  uint64_t h = (uint64_t)a << 32 | b;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return (uint32_t)h;
}

static void uniq_consider(uniq_slots *s, float x, float z) {
  uint32_t r = pos_rank(x, z);
  if (s->n == s->cap && r >= s->picks[s->n - 1].rank) return;
  uint32_t i = s->n < s->cap ? s->n++ : s->n - 1;
  // ties keep the earlier attempt
  while (i > 0 && s->picks[i - 1].rank > r) {
    s->picks[i] = s->picks[i - 1];
    i--;
  }
  s->picks[i] = uniq_pick{r, x, z};
}

static void spawn_uniques(uniq_slots *slots) {
  for (size_t bi = 0; bi < g_nbrushes; bi++) {
    brush *b = &g_brushes[bi];
    uniq_slots *s = &slots[bi];
    for (uint32_t k = 0; k < b->unique.count; k++) {
      wobj *o = b->unique[k];
      if (o->spawned) continue;
      if (s->n == 0) {
        uwarn_at("spawn_all", __LINE__, "unique '%s' of brush %.6x: the brush has no spawn attempt to place it at", o->name, b->color);
        continue;
      }
      // fewer attempts than listed objects: they share positions
      uniq_pick &p = s->picks[k % s->n];
      spawn_wi(p.x, p.z, o);
    }
  }
}

void spawn_check_budget(void) {
  if (!g_objmap) uerror("object map not loaded");
  int w = g_objmap->w, h = g_objmap->h;
  float cell = f_tn_sz / (float)w;
  // the corner lookups of the spawn pass, without its draws
  uint64_t n = 0;
  for (int r = 0; r < h; r++, ubusy())
    for (int c = 0; c < w; c++) {
      int32_t d = objmap_get_brush((float)(c - w * 0.5) * cell, (float)(r - h * 0.5) * cell)->density;
      n += d > 0 ? (uint64_t)d : 0;
    }
  if (n > SPAWN_MAX_ATTEMPTS)
    uerror("objmap.bmp (%dx%d pixels) with the density: of its brushes asks for %llu spawn attempts, more than %d", w,
           h, (unsigned long long)n, SPAWN_MAX_ATTEMPTS);
}

void spawn_all(void) {
  ua_free(wi_list);
  // uniq_list indexes wi_list, so it starts over with it, and so do the unique objects
  uniq_count = 0;
  for (size_t i = 0; i < g_nwobjs; i++) g_wobjs[i].spawned = 0;
  spawn_check_budget();
  int w = g_objmap->w, h = g_objmap->h;
  float cell = f_tn_sz / (float)w;
  static uniq_slots slots[BRUSH_MAX];
  for (size_t i = 0; i < g_nbrushes; i++) {
    slots[i].n = 0;
    slots[i].cap = g_brushes[i].unique.count;
    slots[i].picks = slots[i].cap ? (uniq_pick *)umalloc(slots[i].cap * sizeof(uniq_pick)) : nullptr;
  }
  for (int r = 0; r < h; r++, ubusy())
    for (int c = 0; c < w; c++) {
      float x0 = (float)(c - w * 0.5) * cell, z0 = (float)(r - h * 0.5) * cell;
      brush *b = objmap_get_brush(x0, z0);
      for (int32_t a = 0; a < b->density; a++) {
        float x = (float)(x0 + cell * (urand() / 32767.0));
        float z = (float)(z0 + cell * (urand() / 32767.0));
        brush *b2 = objmap_get_brush(x, z);
        if (b2->unique.count) uniq_consider(&slots[b2 - g_brushes], x, z);
        if (b2->mass.count == 0) break;
        wobj *o = b2->mass[(uint32_t)urand() % b2->mass.count];
        spawn_wi(x, z, o);
      }
    }
  spawn_uniques(slots);
  for (size_t i = 0; i < g_nbrushes; i++) {
    free(slots[i].picks);
    slots[i] = uniq_slots{};
  }
}

void check_uniqs(void) {
  for (uint32_t i = 0; i < uniq_count; i++) {
    uniq_entry &u = uniq_list[i];
    const wi &w = wi_list[u.item];
    float dx = fabsf(w.pos[0] - g_cam.pos[0]), dz = fabsf(w.pos[2] - g_cam.pos[2]);
    float dist = sqrtf(dx * dx + dz * dz);
    if (dist < 4.0f && !u.discovered) {
      u.discovered = 1;
      uinfo("'%s' discovered!", w.obj->name);
    }
  }
}
