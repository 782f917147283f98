// velder-check, the painted world: "brushes" with the game's line reader, every colour of
// "objmap.bmp", the colour tables, and the objects that no brush lets grow.
#include "check.h"
#include "core/file.h"
#include "core/params.h"
#include "fx/postproc.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/object.h"
#include "world/spawn.h"
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

static char brushes_path[sizeof g_root + 16];
// Lines of each brush: its "brush" line, its last "clut:" and "footsteps:" lines.
static size_t brush_line[BRUSH_MAX], clut_line[BRUSH_MAX], steps_line[BRUSH_MAX];
static bool painted[BRUSH_MAX]; // the first brush of a colour the map holds

size_t chk_steps_line(size_t b) { return b < BRUSH_MAX ? steps_line[b] : 0; }
size_t chk_brush_line(size_t b) { return b < BRUSH_MAX ? brush_line[b] : 0; }

// "density:" is read as a whole number: what follows it is dropped quietly.
static void density_check(const char *s, size_t at) {
  if (strncmp(s, "density:", 8) != 0) return;
  char *end;
  double v = strtod(s + 8, &end);
  if (end == s + 8)
    chk_warn(brushes_path, at, "'%s' is not a number: the brush keeps its density of %d", s, g_brushes[g_nbrushes - 1].density);
  else if (v != (double)g_brushes[g_nbrushes - 1].density)
    chk_warn(brushes_path, at,
             "'%s': density is a whole number of spawn attempts per pixel: %g reads as %d; for fewer items, paint "
             "fewer pixels of this colour",
             s, v, g_brushes[g_nbrushes - 1].density);
}

static bool read_brushes(bool catalogue_read) {
  snprintf(brushes_path, sizeof brushes_path, "%s/brushes", g_root);
  brush_clear();
  FILE *fp = fopen(brushes_path, "r");
  if (!fp) {
    chk_fault(brushes_path, 0, "failed to open %s/brushes", g_root);
    return false;
  }
  chk_lines(brushes_path, WOBJ_LINE_SIZE);
  char buf[WOBJ_LINE_SIZE];
  size_t piece = 0, unchecked = 0;
  while (const char *s = wobj_read_line(fp, buf, &piece)) {
    if (!*s) continue;
    size_t at = chk_phys_line(brushes_path, WOBJ_LINE_SIZE, piece);
    chk_warn_context(brushes_path, at, false);
    ufault f;
    if (!utry([&] { brush_read_line(s, piece); }, &f, true)) {
      // without a catalogue every name is undefined: that is one fault, said already
      if (!catalogue_read && strncmp(f.msg, "undefined name", 14) == 0) unchecked++;
      else chk_fault(brushes_path, at, "%s%s", f.msg, chk_blank_hint(s).c_str());
      continue;
    }
    density_check(s, at);
    size_t b = g_nbrushes - 1;
    if (strncmp(s, "brush", 5) == 0) brush_line[b] = at;
    else if (strncmp(s, "clut:", 5) == 0) clut_line[b] = at;
    else if (strncmp(s, "footsteps:", 10) == 0) steps_line[b] = at;
  }
  fclose(fp);
  chk_warn_context(g_root, 0, false);
  if (unchecked) chk_warn(brushes_path, 0, "%zu object names not checked: the catalogue could not be read", unchecked);
  return true;
}

// Every colour of the map, in the order it first appears, against the brushes.
static bool check_map(void) {
  char path[sizeof g_root + 16];
  SDL_Surface *map = chk_load_bmp("objmap.bmp", path, sizeof path, "");
  if (!map) return false;
  if (map->w < 1 || map->h < 1) chk_fault(path, 0, "object map has no pixels");
  struct use {
    int col, row;
    uint32_t n;
  };
  std::unordered_map<uint32_t, use> uses;
  std::vector<uint32_t> order;
  if (SDL_MUSTLOCK(map)) SDL_LockSurface(map);
  for (int row = 0; row < map->h; row++)
    for (int col = 0; col < map->w; col++) {
      uint32_t c = surf_get_pixel(map, col, row);
      auto it = uses.find(c);
      if (it != uses.end()) {
        it->second.n++;
        continue;
      }
      uses[c] = use{col, row, 1};
      order.push_back(c);
    }
  if (SDL_MUSTLOCK(map)) SDL_UnlockSurface(map);
  bool all_painted = true, said_depth = false;
  for (uint32_t c : order) {
    size_t b = 0;
    while (b < g_nbrushes && g_brushes[b].color != c) b++;
    if (b < g_nbrushes) {
      painted[b] = true;
      continue;
    }
    all_painted = false;
    // a 32-bit or palette map: its pixel values are not the colours painted
    uint8_t r, g, bl;
    SDL_GetRGB(c, map->format, &r, &g, &bl);
    uint32_t rgb = (uint32_t)r << 16 | g << 8 | bl;
    bool shown = false;
    for (size_t k = 0; k < g_nbrushes && !shown; k++)
      if (g_brushes[k].color == rgb) shown = painted[k] = true; // what was meant: no more warnings of it
    if (map->format->BytesPerPixel != 3 && shown) {
      if (!said_depth)
        chk_fault(path, 0,
                  "no matching brush for color %u (#%.6x): objmap.bmp is a %d-bit image, and the game takes its "
                  "pixel values for colours (#%.6x is painted %.6x): save it as a 24-bit BMP",
                  c, c, map->format->BitsPerPixel, c, rgb);
      said_depth = true;
      continue;
    }
    const use &u = uses[c];
    chk_fault(path, 0, "no matching brush for color %u (#%.6x): %u pixel%s, the first at column %d, row %d", c, c, u.n,
              u.n == 1 ? "" : "s", u.col, u.row);
  }
  // the spawn pass's attempts, counted by its own lookups
  if (all_painted && map->w > 0 && map->h > 0)
    chk_try(path, 0, [&] {
      objmap_set(map, f_veg_pos_r + f_veg_pos_r);
      spawn_check_budget();
    });
  g_objmap = nullptr;
  SDL_FreeSurface(map);
  return true;
}

// Tables as the game reads them at load: the default, then every brush's, each file once.
static void check_cluts(void) {
  static clut scratch;
  if (s_default_clut[0]) {
    char path[sizeof g_root + PARAM_STRING_SIZE + 1];
    snprintf(path, sizeof path, "%s/%s", g_root, s_default_clut);
    if (!chk_seen("clut", path)) {
      ufault f;
      if (!utry([&] { clut_load(path, &scratch); }, &f, true))
        chk_fault(path, 0, "%s (s_default_clut, param.cfg line %zu)", f.msg, chk_param_line("s_default_clut"));
    }
  }
  for (size_t b = 0; b < g_nbrushes; b++) {
    const char *path = g_brushes[b].clut;
    if (!path[0] || chk_seen("clut", path)) continue;
    ufault f;
    if (utry([&] { clut_load(path, &scratch); }, &f, true)) continue;
    std::string blank = chk_blank_hint(path), hint = chk_kind_hint(path);
    if (clut_line[b] && !blank.empty()) chk_fault(brushes_path, clut_line[b], "%s (clut: of brush %.6x)%s", f.msg, g_brushes[b].color, blank.c_str());
    else if (clut_line[b]) chk_fault(path, 0, "%s (clut: of brush %.6x, brushes line %zu)%s", f.msg, g_brushes[b].color, clut_line[b], hint.c_str());
    else chk_fault(path, 0, "%s (s_default_clut, of brush %.6x)%s", f.msg, g_brushes[b].color, hint.c_str());
  }
}

// What the game lets pass quietly: brushes it never finds, objects nothing lets grow (which
// brushes are painted is known only with the map).
static void check_uses(bool map_read) {
  for (size_t b = 0; b < g_nbrushes; b++)
    for (size_t a = 0; a < b; a++)
      if (g_brushes[a].color == g_brushes[b].color) {
        chk_warn(brushes_path, brush_line[b], "brush %.6x repeats the colour of line %zu: the game never uses it",
                 g_brushes[b].color, brush_line[a]);
        break;
      }
  size_t nuniq = 0;
  for (size_t i = 0; i < g_nwobjs; i++) {
    const wobj *o = &g_wobjs[i];
    bool listed = false, offered = false;
    for (size_t b = 0; b < g_nbrushes; b++) {
      brush *br = &g_brushes[b];
      for (const wobj *x : *brush_list(br, o->type))
        if (x == o) {
          listed = true;
          offered |= painted[b] && br->density >= 1;
        }
    }
    char where[sizeof g_root + 16];
    snprintf(where, sizeof where, "%s/index", g_root);
    if (!listed)
      chk_warn(where, chk_object_line(i), "object '%s' is listed by no brush%s", o->name,
               o->type == WOBJ_UNIQUE ? ": it would never appear" : "");
    else if (o->type == WOBJ_UNIQUE && !offered && map_read)
      chk_warn(where, chk_object_line(i),
               "unique '%s' is offered by no brush with spawn attempts (density:1 or more) painted on the object map: "
               "it would never appear",
               o->name);
    nuniq += o->type == WOBJ_UNIQUE && offered;
  }
  if (nuniq > UNIQ_MAX)
    chk_fault(brushes_path, 0, "too many unique items: %zu unique objects are offered, the limit is %d", nuniq,
              (int)UNIQ_MAX);
}

void chk_brushes(bool catalogue_read) {
  bool brushes_read = read_brushes(catalogue_read);
  bool map_read = check_map();
  check_cluts();
  if (catalogue_read && brushes_read) {
    check_uses(map_read);
    chk_try(brushes_path, 0, [] { grass_check_budget(); });
  }
}
