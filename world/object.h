// Object catalogue: the "index" file's object blocks in one fixed table of wobj records.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct texture;
struct batch;

enum { WOBJ_MAX = 1024, WOBJ_NAME_SIZE = 128, WOBJ_LINE_SIZE = 1024 };
// Clumps a grass object may scatter in each cell of a patch.
enum { WOBJ_MAX_CLUMPS = 1000 };
enum { WOBJ_MASS = 0, WOBJ_DETAIL = 1, WOBJ_GRASS = 2, WOBJ_UNIQUE = 3 };

// Tree parameters of an object with a "pg" line, read from the file at `path` by the catalogue;
// the tree builder generates `batch` from them.
struct pg_params {
  int32_t texw, texh;
  float tr_height;
  float tr_branch_start_height, tr_branch_end_height;
  int32_t tr_section_count;
  float tr_top_section_scale, tr_bottom_section_scale;
  float tr_texture_rect_top[2], tr_texture_rect_bottom[2];
  int32_t br_count;
  float br_length, br_length_variance;
  float br_start_angle, br_end_angle;
  float br_leaf_width, br_leaf_height;
  float br_texture_rect_top[2], br_texture_rect_bottom[2];
  struct batch *batch; // null until the tree is generated
  char *path;   // full path of the parameter file (data root + "/" + the line's value)
};

struct wobj {
  char name[WOBJ_NAME_SIZE];
  int32_t type;    // WOBJ_MASS, WOBJ_DETAIL, WOBJ_GRASS or WOBJ_UNIQUE
  texture *tex;    // null without a "file" line
  int32_t clip[4]; // x, y, w, h in texture pixels
  float scale, scale_rnd;
  int32_t is_tree;
  pg_params pg;
  int32_t spawned; // unique objects: set once a world item of it exists
  float density;
  int32_t num_clumps;
  float clumpiness;
};

// The catalogue in file order; records never move. Written by parse_index, `spawned` by spawning.
extern wobj g_wobjs[WOBJ_MAX];
extern size_t g_nwobjs;
// How a "file" line gets its texture: texmgr_get; tests and tools swap in a loader without OpenGL.
extern texture *(*g_wobj_texture_get)(const char *name);

// Reads "index" from the data root; prints "%zu objects loaded".
void parse_index(void);
// Reads one object block after its "object" line into the next free record.
void parse_object(FILE *fp, const char *name, size_t *line);
// The pieces of the catalogue reader, for a tool that goes on after a fault. A catalogue-level
// line: true when it opens an object block, its name copied into name (WOBJ_NAME_SIZE bytes);
// false for empty lines and other keywords. Fails on a line that is not two words.
bool index_object_line(const char *s, size_t line, char *name);
// One line of an object block (not the empty line that ends it) into o.
void parse_object_line(wobj *o, const char *s, size_t line);
// The rest of o's block up to its empty line, which adds o (the next free record) to the
// catalogue. After a failed line, calling it again goes on with the line after.
void parse_object_rest(FILE *fp, wobj *o, size_t *line);
// Next line (at most 1023 characters, cut at CR or LF) into buf of WOBJ_LINE_SIZE bytes, or null
// at the end of the file; skips "#" comment lines; *line counts every line read.
char *wobj_read_line(FILE *fp, char *buf, size_t *line);
// First object of that name in catalogue order, or null.
wobj *wobj_find(const char *name);
// Empties the catalogue, freeing the tree files' paths and the trees' geometry.
void wobj_clear(void);
