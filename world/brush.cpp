// Brushes and the object map: parsing "brushes", loading the map, and the colour lookup.
#include "world/brush.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "world/object.h"
#include "render/image.h"
#include "render/texture.h"
#include <SDL.h>
#include <cstring>

// the parsing helpers report as parse_brushes
#define brush_error(...) uerror_at("parse_brushes", __LINE__, __VA_ARGS__)

brush g_brushes[BRUSH_MAX];
size_t g_nbrushes;
SDL_Surface *g_objmap;
float g_objmap_extent;

// Colour -> index of the first brush of that colour, built once the file is read. Open
// addressing with twice as many slots as the brush limit, so it never fills.
enum { COLOR_SLOTS = 2 * BRUSH_MAX };
static uint32_t slot_color[COLOR_SLOTS];
static int32_t slot_brush[COLOR_SLOTS]; // brush index + 1; 0 marks an empty slot

static uint32_t color_hash(uint32_t c) {
  c ^= c >> 16;
  c *= 0x7feb352dU;
  c ^= c >> 15;
  c *= 0x846ca68bU;
  c ^= c >> 16;
  return c & (COLOR_SLOTS - 1);
}

static void color_table_build(void) {
  memset(slot_brush, 0, sizeof slot_brush);
  for (size_t b = 0; b < g_nbrushes; b++) {
    uint32_t c = g_brushes[b].color, h = color_hash(c);
    while (slot_brush[h] && slot_color[h] != c) h = (h + 1) & (COLOR_SLOTS - 1);
    // the first brush of a colour keeps the slot: later ones are never found
    if (!slot_brush[h]) {
      slot_brush[h] = (int32_t)b + 1;
      slot_color[h] = c;
    }
  }
}

void brush_reindex(void) { color_table_build(); }

static brush *color_find(uint32_t c) {
  uint32_t h = color_hash(c);
  while (slot_brush[h]) {
    if (slot_color[h] == c) return &g_brushes[slot_brush[h] - 1];
    h = (h + 1) & (COLOR_SLOTS - 1);
  }
  return nullptr;
}

static brush *cur_brush; // the brush the lines read belong to; null before the first

uarray<wobj *> *brush_list(brush *b, int32_t type) {
  switch (type) {
  case WOBJ_MASS: return &b->mass;
  case WOBJ_DETAIL: return &b->detail;
  case WOBJ_GRASS: return &b->grass;
  case WOBJ_UNIQUE: return &b->unique;
  default: uerror("invalid object type %d", type);
  }
}

void brush_clear(void) {
  for (size_t i = 0; i < g_nbrushes; i++)
    for (int t = 0; t < 4; t++) ua_free(*brush_list(&g_brushes[i], t));
  for (brush &b : g_brushes) b = brush{};
  g_nbrushes = 0;
  cur_brush = nullptr;
  g_objmap = nullptr;
  g_objmap_extent = 0;
  color_table_build();
}

static void new_brush(const char *line, size_t nline) {
  char word[129];
  unsigned color;
  if (sscanf(line, "%128s %x", word, &color) != 2) brush_error("invalid brush definition at #%zu", nline);
  if (g_nbrushes >= BRUSH_MAX) brush_error("too many brushes at #%zu (at most %d)", nline, (int)BRUSH_MAX);
  brush *b = &g_brushes[g_nbrushes++];
  *b = brush{};
  b->color = color;
  b->density = 1;
  if (s_default_clut[0]) umakepath(b->clut, sizeof b->clut, s_default_clut);
}

void brush_read_line(const char *s, size_t line) {
  if (strncmp(s, "brush", 5) == 0) {
    new_brush(s, line);
    cur_brush = &g_brushes[g_nbrushes - 1];
  } else if (!cur_brush) {
    brush_error("wobj(?) before brush decl at %zu", line);
  } else if (strncmp(s, "footsteps:", 10) == 0) {
    umakepath(cur_brush->footsteps, sizeof cur_brush->footsteps, s + 10);
  } else if (strncmp(s, "clut:", 5) == 0) {
    umakepath(cur_brush->clut, sizeof cur_brush->clut, s + 5);
  } else if (strncmp(s, "density:", 8) == 0) {
    sscanf(s, "density:%d", &cur_brush->density);
  } else {
    wobj *o = wobj_find(s);
    if (!o) brush_error("undefined name '%s'", s);
    ua_push(*brush_list(cur_brush, o->type), o);
    if (!o->tex && (o->type == WOBJ_MASS || o->type == WOBJ_UNIQUE))
      uwarn_at("parse_brushes", __LINE__, "'%s' at #%zu has no texture: its world items are not drawn", o->name, line);
  }
}

void brush_read_file(void) {
  FILE *fp = ufile_open(ufmt("%s/brushes", g_root), "r");
  if (!fp) brush_error("failed to open %s/brushes", g_root);
  ufile_guard held{fp};
  char buf[WOBJ_LINE_SIZE];
  size_t line = 0;
  cur_brush = nullptr;
  while (char *s = wobj_read_line(fp, buf, &line))
    if (*s) brush_read_line(s, line);
  color_table_build();
}

void objmap_set(SDL_Surface *surf, float extent) {
  color_table_build();
  if (surf->w < 1 || surf->h < 1) brush_error("object map has no pixels");
  // a colour without a brush is found here, at load, instead of at the first lookup of it
  bool lock = SDL_MUSTLOCK(surf);
  if (lock && SDL_LockSurface(surf) != 0) brush_error("SDL_LockSurface: %s", SDL_GetError());
  uint32_t last = 0;
  bool have_last = false;
  for (int row = 0; row < surf->h; row++, ubusy())
    for (int col = 0; col < surf->w; col++) {
      uint32_t c = surf_get_pixel(surf, col, row);
      if (have_last && c == last) continue;
      if (!color_find(c)) {
        if (lock) SDL_UnlockSurface(surf);
        brush_error("no matching brush for color %u (#%.6x)", c, c);
      }
      last = c;
      have_last = true;
    }
  if (lock) SDL_UnlockSurface(surf);
  g_objmap = surf; // the world's from here on
  g_objmap_extent = extent;
}

void parse_brushes(void) {
  SDL_Surface *map = img_load_bmp(ufmt("%s/objmap.bmp", g_root));
  if (!map) uerror("%s", SDL_GetError());
  // freed when a failure unwinds out of a reload, until the map is the world's
  struct held_map {
    SDL_Surface *s;
    ~held_map() {
      if (s) SDL_FreeSurface(s);
    }
  } held{map};
  float extent = f_veg_pos_r + f_veg_pos_r;
  brush_read_file();
  objmap_set(map, extent);
  held.s = nullptr;
}

// Map coordinate of a world position along one axis, clamped to [0, n - 1]; NaN and values
// beyond the int range clamp too.
static int map_coord(float p, float extent, int n) {
  float v = (p + extent * 0.5f) / extent * n;
  if (!(v >= 0)) return 0;
  if (v >= (float)n) return n - 1;
  return (int)v;
}

brush *objmap_get_brush(float x, float z) {
  SDL_Surface *s = g_objmap;
  if (!s) uerror("object map not loaded");
  int col = map_coord(x, g_objmap_extent, s->w), row = map_coord(z, g_objmap_extent, s->h);
  bool lock = SDL_MUSTLOCK(s);
  if (lock && SDL_LockSurface(s) != 0) uerror("SDL_LockSurface: %s", SDL_GetError());
  uint32_t c = surf_get_pixel(s, col, row);
  if (lock) SDL_UnlockSurface(s);
  brush *b = color_find(c);
  if (!b) uerror("no matching brush for color %u (#%.6x)", c, c);
  return b;
}
