// Live reload of the world's own files: the height map, the object map, the brushes, the catalogue
// and param.cfg. What depends on a saved file is built anew between two frames and the player
// stays where they stand. Everything the rebuild replaces is kept aside until it has succeeded, so
// a save that does not load (any reader's failure) warns and the world stays as it was. Textures,
// tree files, shaders, sky faces, colour tables and sound definitions reload in their own modules.
#include "app/app.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "fx/weather.h"
#include "render/camera.h"
#include "sound/sound.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/object.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include <SDL.h>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

int g_world_rebuilt;

enum {
  RL_TERRAIN = 1 << 0, // terrain and height map; the items are set on the new ground
  RL_ITEMS = 1 << 1,   // catalogue and trees, brushes and object map, world items
  RL_GRASS = 1 << 2,
  RL_RAIN = 1 << 3,
  RL_SNOW = 1 << 4,
  RL_SCENE = 1 << 5, // fog
  RL_VIEW = 1 << 6,  // the far plane
  RL_AMBIENT = 1 << 7,
  RL_NEXT_START = 1 << 8, // not applied while the game runs
};

// What a changed parameter rebuilds. Those not listed are read where they are used (walking
// speed, free flight) or by nothing.
static const struct {
  const char *name;
  int what;
} param_effects[] = {
    {"b_fog_on", RL_SCENE},
    {"v3_fog_color", RL_SCENE | RL_SNOW},
    {"f_fog_density", RL_SCENE},
    {"f_fog_start", RL_SCENE},
    {"f_fog_end", RL_SCENE},
    {"i_screen_w", RL_NEXT_START},
    {"i_screen_h", RL_NEXT_START},
    {"f_camera_zfar", RL_VIEW},
    {"v3_camera_start_pos", RL_NEXT_START},
    {"v3_camera_start_rot", RL_NEXT_START},
    {"f_veg_pos_r", RL_ITEMS},
    {"s_ambient_loop", RL_AMBIENT},
    {"i_rain_ndroplets", RL_RAIN},
    {"i_snow_nflakes", RL_SNOW},
    {"i_tn_ndivs", RL_TERRAIN},
    {"f_tn_sz", RL_TERRAIN | RL_ITEMS},
    {"f_tn_hm_maxy", RL_TERRAIN},
    {"f_texture_scale", RL_ITEMS},
    {"i_grass_ntufts", RL_GRASS},
    {"i_grass_cell_sample_res", RL_GRASS},
    {"s_default_clut", RL_ITEMS},
};

static int param_effect(const char *name) {
  for (auto &e : param_effects)
    if (strcmp(e.name, name) == 0) return e.what;
  return 0;
}

// param.cfg as last loaded: a reload applies the parameters whose value in the file changed, so
// a key that toggled free flight or a resized window is not undone by an unrelated edit.
static param_values file_params;

void world_params_read(void) { params_save(&file_params); }

void world_watch(void) {
  for (const char *name : {"hm.bmp", "objmap.bmp", "brushes", "index", "param.cfg"})
    fmon_watch(ufmt("%s/%s", g_root, name), world_reload, nullptr);
}

// What the rebuild replaces, kept until it has succeeded.
struct world_kept {
  terrain *tn;
  wobj wobjs[WOBJ_MAX];
  size_t nwobjs;
  brush brushes[BRUSH_MAX];
  size_t nbrushes;
  SDL_Surface *objmap;
  float objmap_extent;
  uarray<wi> items;
  uniq_entry uniq[UNIQ_MAX];
  uint32_t nuniq;
  quadtree *qt;
  grass_field *grass;
  uarray<droplet> rain;
  float rain_radius;
};
static world_kept kept; // a megabyte or so: not on the stack

// Moves the live parts that what rebuilds into kept, leaving them empty for the rebuild.
static void set_aside(int what) {
  if (what & RL_TERRAIN) kept.tn = g_terrain, g_terrain = nullptr;
  if (what & RL_ITEMS) {
    memcpy(kept.wobjs, g_wobjs, sizeof g_wobjs), kept.nwobjs = g_nwobjs;
    memset(g_wobjs, 0, sizeof g_wobjs), g_nwobjs = 0;
    memcpy(kept.brushes, g_brushes, sizeof g_brushes), kept.nbrushes = g_nbrushes;
    for (brush &b : g_brushes) b = brush{};
    g_nbrushes = 0;
    kept.objmap = g_objmap, kept.objmap_extent = g_objmap_extent;
    g_objmap = nullptr;
  }
  if (what & (RL_TERRAIN | RL_ITEMS)) {
    kept.items = wi_list, wi_list = {};
    memcpy(kept.uniq, uniq_list, sizeof uniq_list), kept.nuniq = uniq_count;
    kept.qt = g_quadtree, g_quadtree = nullptr;
  }
  if (what & (RL_TERRAIN | RL_ITEMS | RL_GRASS)) kept.grass = g_grass, g_grass = nullptr;
  if (what & RL_RAIN) kept.rain = rain_droplets, kept.rain_radius = rain_radius, rain_droplets = {};
}

// Frees the parts of the live world that what rebuilt: the new ones after a failure, or, once
// swapped back in, the old ones after a success.
static void free_live(int what) {
  if (what & RL_TERRAIN) tn_free(g_terrain), g_terrain = nullptr;
  if (what & RL_ITEMS) {
    wobj_clear();
    SDL_Surface *map = g_objmap;
    brush_clear(); // the lists; the map is freed here
    if (map) SDL_FreeSurface(map);
  }
  if (what & (RL_TERRAIN | RL_ITEMS)) ua_free(wi_list), qt_free(g_quadtree), g_quadtree = nullptr;
  if (what & (RL_TERRAIN | RL_ITEMS | RL_GRASS)) grass_free(g_grass), g_grass = nullptr;
  if (what & RL_RAIN) ua_free(rain_droplets);
}

// Exchanges the live parts that what rebuilds with the kept ones (the parameters excepted).
static void swap_kept(int what) {
  static wobj wobjs[WOBJ_MAX];
  static brush brushes[BRUSH_MAX];
  auto swap = [](auto &a, auto &b) {
    auto t = a;
    a = b, b = t;
  };
  if (what & RL_TERRAIN) swap(g_terrain, kept.tn);
  if (what & RL_ITEMS) {
    memcpy(wobjs, g_wobjs, sizeof g_wobjs), memcpy(g_wobjs, kept.wobjs, sizeof g_wobjs), memcpy(kept.wobjs, wobjs, sizeof g_wobjs);
    memcpy(brushes, g_brushes, sizeof g_brushes), memcpy(g_brushes, kept.brushes, sizeof g_brushes);
    memcpy(kept.brushes, brushes, sizeof g_brushes);
    swap(g_nwobjs, kept.nwobjs), swap(g_nbrushes, kept.nbrushes);
    swap(g_objmap, kept.objmap), swap(g_objmap_extent, kept.objmap_extent);
  }
  if (what & (RL_TERRAIN | RL_ITEMS)) {
    swap(wi_list, kept.items), swap(g_quadtree, kept.qt), swap(uniq_count, kept.nuniq);
    for (int i = 0; i < UNIQ_MAX; i++) swap(uniq_list[i], kept.uniq[i]);
  }
  if (what & (RL_TERRAIN | RL_ITEMS | RL_GRASS)) swap(g_grass, kept.grass);
  if (what & RL_RAIN) swap(rain_droplets, kept.rain), swap(rain_radius, kept.rain_radius);
  if (what & RL_ITEMS) brush_reindex();
}

// The landmarks the player has found, by name: found again after the items are spawned anew.
static char found[UNIQ_MAX][WOBJ_NAME_SIZE];
static uint32_t nfound;

static void remember_found(void) {
  nfound = 0;
  for (uint32_t i = 0; i < uniq_count; i++)
    if (uniq_list[i].discovered) usnprintf(found[nfound++], WOBJ_NAME_SIZE, "%s", wi_list[uniq_list[i].item].obj->name);
}

static void keep_found(void) {
  for (uint32_t i = 0; i < uniq_count; i++)
    for (uint32_t k = 0; k < nfound; k++)
      if (strcmp(found[k], wi_list[uniq_list[i].item].obj->name) == 0) uniq_list[i].discovered = 1;
}

// The player where they stood, on the new ground and inside the new square.
static void keep_player(void) {
  float h = g_terrain->sz * 0.5f;
  for (int k : {0, 2}) g_cam.pos[k] = g_cam.pos[k] < -h ? -h : g_cam.pos[k] > h ? h : g_cam.pos[k];
  if (b_camera_clamp_y) g_cam.pos[1] = tn_height(g_terrain, g_cam.pos[0], g_cam.pos[2]) + 1.75f + g_jump_offset;
}

static void rebuild(int what) {
  params_check_limits();
  if (what & RL_TERRAIN) tn_load();
  if (what & RL_RAIN) {
    if (i_rain_ndroplets > 0) rain_init(8.0f);
  }
  if (what & RL_ITEMS) {
    world_items_load();
    keep_found();
    world_check_tables();
    // read at the next start as the first table shown: a file that does not read is refused
    // now, as it would end that start
    if (s_default_clut[0]) {
      static clut scratch;
      clut_load(ufmt("%s/%s", g_root, s_default_clut), &scratch);
    }
  } else if (what & RL_TERRAIN) {
    // the same items on the new ground: a copy, so that the kept list stays as it was
    for (const wi &w : kept.items) ua_push(wi_list, w);
    memcpy(uniq_list, kept.uniq, sizeof uniq_list), uniq_count = kept.nuniq;
    for (wi &w : wi_list) wi_place(&w);
  }
  if (what & (RL_TERRAIN | RL_ITEMS)) world_quadtree_build();
  if (what & (RL_TERRAIN | RL_ITEMS | RL_GRASS)) grass_create(g_cam.pos[0], g_cam.pos[2]);
  if ((what & RL_SNOW) && i_snow_nflakes >= 1) world_snow_init();
  // the new ambient loop's file is decoded now: one that does not load refuses the save
  if ((what & RL_AMBIENT) && s_ambient_loop[0] && snd_ready()) snd_chunk(ufmt("%s/%s", g_root, s_ambient_loop));
}

// What the file now gives changes: its values go live (those for the next start excepted), and
// the parts they feed are marked for the rebuild. tell: say which values wait for the next start.
static int params_changed(const param_values *now, bool tell) {
  int what = 0;
  param_values live;
  params_save(&live);
  for (int i = 0; i < NPARAMS; i++) {
    const param_row &p = g_params[i];
    if (memcmp(now->v[i], file_params.v[i], param_size(p)) == 0) continue;
    int e = param_effect(p.name);
    if (e & RL_NEXT_START) {
      if (tell) uinfo_at("world_reload", "%s changes at the next start", p.name);
      continue;
    }
    memcpy(live.v[i], now->v[i], param_size(p));
    what |= e;
  }
  params_load(&live);
  return what;
}

// What a refused rebuild would have built, tried again when a file it read is saved; and the
// files the rebuild under way asked for (the world's own files excepted, which are watched
// anyway), with the last of them: the one being read when a reader refused.
static int pending;
static uarray<char *> read_paths;
static char last_read[1024];

// Compared without ufmt: the read hook is handed paths that may live in its buffer.
static bool is_world_file(const char *path) {
  size_t n = strlen(g_root);
  if (strncmp(path, g_root, n) != 0 || path[n] != '/') return false;
  for (const char *name : {"hm.bmp", "objmap.bmp", "brushes", "index", "param.cfg"})
    if (strcmp(path + n + 1, name) == 0) return true;
  return false;
}

static void note_read(const char *path) {
  usnprintf(last_read, sizeof last_read, "%s", path);
  if (is_world_file(path)) return;
  for (const char *p : read_paths)
    if (strcmp(p, path) == 0) return;
  size_t n = strlen(path) + 1;
  ua_push(read_paths, (char *)memcpy(umalloc(n), path, n));
}

// While a rebuild runs (a large map or a fine grid takes seconds), a quit request stops it: the
// world stays as it was and the main loop then takes the request as usual.
static void quit_check(void) {
  static uint32_t last;
  uint32_t now = SDL_GetTicks();
  if (now - last < 100) return;
  last = now;
  SDL_PumpEvents();
  SDL_Event ev[64];
  int n = SDL_PeepEvents(ev, 64, SDL_PEEKEVENT, SDL_QUIT, SDL_KEYDOWN);
  for (int i = 0; i < n; i++)
    if (ev[i].type == SDL_QUIT || (ev[i].type == SDL_KEYDOWN && ev[i].key.keysym.sym == SDLK_ESCAPE) ||
        (ev[i].type == SDL_WINDOWEVENT && ev[i].window.event == SDL_WINDOWEVENT_CLOSE))
      uerror("stopped by a quit request");
}

static void world_retry(const char *path, void *) {
  if (pending) world_reload(path, nullptr);
}

// The world as its files say now: what the saved file (or a retry) rebuilds, together with what
// a refused rebuild still owes and the parameters param.cfg changed. All of it is built aside and
// replaces the live world at once; a reader's failure anywhere leaves the world, the parameters
// included, as it was, and the rebuild is tried again when any file it read is saved.
void world_reload(const char *path, void *) {
  const char *name = strrchr(path, '/') ? strrchr(path, '/') + 1 : path;
  bool cfg_saved = strcmp(name, "param.cfg") == 0 && is_world_file(path);
  int what = pending;
  if (strcmp(name, "hm.bmp") == 0) what |= RL_TERRAIN;
  else if (is_world_file(path) && !cfg_saved) what |= RL_ITEMS;
  // param.cfg as it is now; its warnings are written when it is the file saved
  param_values now = file_params;
  const char *why = nullptr;
  bool ready = false;
  utry([&] { ready = params_read_file(&now, &why); }, nullptr, !cfg_saved);
  if (!ready) {
    if (cfg_saved) {
      uinfo("%s: not ready (%s): the world stays as it was until it is saved again", path, why);
      return;
    }
    now = file_params; // a param.cfg that cannot be read keeps the parameters in force
  }
  bool cfg_changed = memcmp(&now, &file_params, sizeof now) != 0;
  param_values before;
  params_save(&before);
  what |= params_changed(&now, cfg_saved);
  if (what & RL_ITEMS) remember_found();
  set_aside(what);
  for (char *p : read_paths) free(p);
  ua_free(read_paths);
  // a parameter past its limit is refused before any file is read
  usnprintf(last_read, sizeof last_read, "%s", cfg_changed ? ufmt("%s/param.cfg", g_root) : path);
  ufault fault;
  ufile_set_read_hook(note_read);
  g_ubusy_hook = quit_check;
  bool ok = utry([&] { rebuild(what); }, &fault);
  g_ubusy_hook = nullptr;
  ufile_set_read_hook(nullptr);
  if (!ok) {
    free_live(what);
    swap_kept(what);
    params_load(&before);
    pending = what;
    uinfo("%s: the world stays as it was (%s: %s: %s)", path, last_read, fault.func, fault.msg);
    for (const char *p : read_paths) fmon_watch(p, world_retry, nullptr);
    return;
  }
  // the old parts are freed between two exchanges, and the new ones stay
  swap_kept(what);
  free_live(what);
  swap_kept(what);
  file_params = now;
  pending = 0;
  if (what & RL_SCENE) world_scene_state();
  if (what & RL_VIEW) resize(i_screen_w, i_screen_h);
  if (what & RL_AMBIENT) snd_ambient_restart();
  if (what & (RL_TERRAIN | RL_ITEMS)) keep_player();
  g_world_rebuilt = what != 0;
}
