// World items: placing trees, bushes, rocks and landmarks from the object map, and discoveries.
#pragma once
#include <cstdint>
#include "core/array.h"
#include "render/frustum.h"

struct wobj;

struct wi {
  wobj *obj;
  float pos[3];       // x, ground height at (x, z), z
  float width;        // billboard width: height * clip w / clip h
  float height;       // size: the object's scale plus a random deviation
  aabb box;           // world-space bounds
};

enum { UNIQ_MAX = 100 };
struct uniq_entry {
  uint32_t item;      // index into wi_list, valid while the list grows
  int32_t discovered;
};

// Every world item in spawn order; filled by spawn_all, addresses stable once it returns.
extern uarray<wi> wi_list;
// Unique items in spawn order; `discovered` is written by check_uniqs.
extern uniq_entry uniq_list[UNIQ_MAX];
extern uint32_t uniq_count;

// Empties wi_list and walks the object map (after parse_brushes, with the terrain built).
void spawn_all(void);
// Spawn attempts a world may ask for (the brushes' density: over the object map's pixels): half a
// million items place and index in under a second and in some 700 MB (a million: 1.5 GB).
enum { SPAWN_MAX_ATTEMPTS = 500000 };
// Raises an error naming the object map, its size, the attempts and the limit when the map
// asks for more than SPAWN_MAX_ATTEMPTS (the map must be loaded).
void spawn_check_budget(void);
// One world item of o at (x, z) on the ground; a unique object is placed only once.
void spawn_wi(float x, float z, wobj *o);
// Sets an item on the ground of g_terrain at its x and z: its height there and its box.
void wi_place(wi *w);
// Reports unique items within 4 units of the camera, once each.
void check_uniqs(void);
