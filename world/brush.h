// Brushes and the object map: what grows where, painted as colours of "objmap.bmp".
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/array.h"

struct SDL_Surface;
struct wobj;

enum { BRUSH_MAX = 1024, BRUSH_PATH_SIZE = 255 };

struct brush {
  uint32_t color;                  // raw object map pixel value
  char footsteps[BRUSH_PATH_SIZE]; // full path of the footstep sound set, or empty
  uarray<wobj *> mass, detail, grass, unique;
  int32_t density;            // spawn attempts per object map pixel
  char clut[BRUSH_PATH_SIZE]; // full path of the colour table, or empty
};

// Brushes in file order; records never move. Written by parse_brushes only.
extern brush g_brushes[BRUSH_MAX];
extern size_t g_nbrushes;
extern SDL_Surface *g_objmap;  // "objmap.bmp" as loaded
extern float g_objmap_extent;  // edge of the square, centred on the origin, the map covers

// Loads "objmap.bmp" and reads "brushes" from the data root (after parse_index). Every colour
// of the map must have a brush.
void parse_brushes(void);
// The first brush (file order) of the colour under world position (x, z); positions outside
// the map take the nearest edge pixel. Never null.
brush *objmap_get_brush(float x, float z);
// The list of a brush that holds objects of kind type (WOBJ_MASS ... WOBJ_UNIQUE).
uarray<wobj *> *brush_list(brush *b, int32_t type);

// Parts of parse_brushes, for tests and tools: the brush file of the data root alone, and an
// already loaded map (the surface becomes the object map; its colours are checked against the
// brushes read before).
void brush_read_file(void);
void objmap_set(SDL_Surface *surf, float extent);
// One line of the brush file (not empty, not a comment), for a tool that goes on after a fault:
// the lines after a "brush" line belong to it. brush_clear starts over.
void brush_read_line(const char *s, size_t line);
// Empties the brush table and forgets the map (tests and tools).
void brush_clear(void);
// The colour lookup made again from g_brushes, after a reload has put them back.
void brush_reindex(void);
