// velder-check, what the world will hold: a spawn pass as the game makes it (seeded, without a
// window), counted per brush and object, where each landmark can grow, and the grass of a patch.
// A world maker sees what a density gives before walking it.
#include "check.h"
#include "core/file.h"
#include "core/params.h"
#include "render/image.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/spawn.h"
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

enum { HOLD_SEED = 1, HOLD_NAMES = 6 };

struct brush_count {
  uint32_t pixels = 0, items = 0;
  int col0 = 1 << 30, row0 = 1 << 30, col1 = -1, row1 = -1; // the painted pixels' bounds
  std::map<const wobj *, uint32_t> per_object;
};

static size_t brush_index(const brush *b) { return (size_t)(b - g_brushes); }

// "pine 12, oak 8, ..." by count, the most first.
static std::string object_counts(const brush_count &c) {
  std::vector<std::pair<uint32_t, const wobj *>> v;
  for (auto &e : c.per_object) v.push_back({e.second, e.first});
  std::sort(v.begin(), v.end(), [](auto &a, auto &b) { return a.first > b.first; });
  std::string s;
  for (size_t i = 0; i < v.size() && i < HOLD_NAMES; i++)
    s += (i ? ", " : ": ") + std::string(v[i].second->name) + " " + std::to_string(v[i].first);
  if (v.size() > HOLD_NAMES) s += " and " + std::to_string(v.size() - HOLD_NAMES) + " more";
  return s;
}

static double grass_tufts(const brush &b) {
  // as the grass field counts a patch: each grass object that draws, by its density
  double density = 0;
  for (const wobj *o : b.grass)
    if (o->tex && o->clip[3] != 0 && o->num_clumps > 0 && o->density > 0) density += o->density;
  return (double)(i_grass_cell_sample_res > 0 ? i_grass_cell_sample_res : 0) * i_grass_ntufts * density;
}

// World x or z of a map column or row edge.
static float map_edge(int i, int n) { return ((float)i / (float)n - 0.5f) * g_objmap_extent; }

static void report(std::vector<brush_count> &count) {
  int w = g_objmap->w, h = g_objmap->h;
  printf("%s: what the world will hold, grown once with seed %d (the game places its items afresh at every start):\n",
         g_root, HOLD_SEED);
  for (size_t b = 0; b < g_nbrushes; b++) {
    const brush &br = g_brushes[b];
    const brush_count &c = count[b];
    size_t line = chk_brush_line(b);
    if (!c.pixels) {
      printf("  brush %.6x (brushes line %zu): not painted\n", br.color, line);
      continue;
    }
    double tufts = grass_tufts(br);
    std::string grass = tufts > 0 ? "; grass " + std::to_string((long long)std::lround(tufts)) + " tufts a patch" : "";
    printf("  brush %.6x (brushes line %zu): %u pixel%s, density:%d, %u item%s%s%s\n", br.color, line, c.pixels,
           c.pixels == 1 ? "" : "s", br.density, c.items, c.items == 1 ? "" : "s", object_counts(c).c_str(),
           grass.c_str());
  }
  for (size_t i = 0; i < g_nwobjs; i++) {
    const wobj *o = &g_wobjs[i];
    if (o->type != WOBJ_UNIQUE) continue;
    for (size_t b = 0; b < g_nbrushes; b++) {
      const brush_count &c = count[b];
      bool listed = false;
      for (const wobj *x : g_brushes[b].unique) listed |= x == o;
      if (!listed || !c.pixels) continue;
      printf("  landmark %s: brush %.6x, %u pixel%s, x %.1f to %.1f, z %.1f to %.1f\n", o->name, g_brushes[b].color,
             c.pixels, c.pixels == 1 ? "" : "s", map_edge(c.col0, w), map_edge(c.col1 + 1, w), map_edge(c.row0, h),
             map_edge(c.row1 + 1, h));
    }
  }
  printf("  in all: %u world items, %u landmarks\n", wi_list.count, uniq_count);
}

void chk_hold(void) {
  if (chk_nfaults) return; // the game would not load the world: nothing to count
  char path[sizeof g_root + 16];
  snprintf(path, sizeof path, "%s/objmap.bmp", g_root);
  SDL_Surface *map = img_load_bmp(path);
  if (!map) return;
  std::vector<brush_count> count(g_nbrushes);
  // the spawn pass's own warnings were said already, by the checks before
  uwarn_set_sink(nullptr);
  bool ok = utry(
      [&] {
        objmap_set(map, f_veg_pos_r + f_veg_pos_r);
        for (int r = 0; r < map->h; r++)
          for (int c = 0; c < map->w; c++) {
            // the pixel's centre: the brush of its own colour
            brush_count &k = count[brush_index(objmap_get_brush(map_edge(c, map->w) + g_objmap_extent / map->w / 2,
                                                                map_edge(r, map->h) + g_objmap_extent / map->h / 2))];
            k.pixels++;
            k.col0 = std::min(k.col0, c), k.col1 = std::max(k.col1, c);
            k.row0 = std::min(k.row0, r), k.row1 = std::max(k.row1, r);
          }
        usrand(HOLD_SEED);
        spawn_all();
        for (uint32_t i = 0; i < wi_list.count; i++) {
          const wi &it = wi_list[i];
          brush_count &k = count[brush_index(objmap_get_brush(it.pos[0], it.pos[2]))];
          k.items++;
          k.per_object[it.obj]++;
        }
      },
      nullptr, true);
  chk_report_init();
  if (ok) report(count);
  ua_free(wi_list);
  uniq_count = 0;
  g_objmap = nullptr;
  SDL_FreeSurface(map);
}
