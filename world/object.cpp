// Object catalogue: parsing "index" into the fixed table of object records.
#include "world/object.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "render/batch.h"
#include "render/texture.h"
#include "world/tree.h"
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

// the line helpers report as the block parser they serve
#define obj_error(...) uerror_at("parse_object", __LINE__, __VA_ARGS__)

wobj g_wobjs[WOBJ_MAX];
size_t g_nwobjs;
texture *(*g_wobj_texture_get)(const char *name) = texmgr_get;

char *wobj_read_line(FILE *fp, char *buf, size_t *line) {
  for (;;) {
    if (!fgets(buf, WOBJ_LINE_SIZE, fp)) return nullptr;
    (*line)++;
    buf[strcspn(buf, "\r\n")] = 0;
    if (buf[0] != '#') return buf;
  }
}

wobj *wobj_find(const char *name) {
  for (size_t i = 0; i < g_nwobjs; i++)
    if (strcmp(g_wobjs[i].name, name) == 0) return &g_wobjs[i];
  return nullptr;
}

void wobj_clear(void) {
  // the slot past the count holds what a failed block had read
  for (size_t i = 0; i <= g_nwobjs && i < WOBJ_MAX; i++) {
    free(g_wobjs[i].pg.path);
    if (g_wobjs[i].pg.batch) b_free(g_wobjs[i].pg.batch);
  }
  memset(g_wobjs, 0, sizeof g_wobjs);
  g_nwobjs = 0;
}

static const char *skip_blanks(const char *s) {
  while (*s && isspace((unsigned char)*s)) s++;
  return s;
}

static bool all_blanks(const char *s) { return *skip_blanks(s) == 0; }

static void parse_file_line(wobj *o, const char *line, size_t nline) {
  const char *name = skip_blanks(line + 4);
  if (!*name) obj_error("missing texture name in object '%s' at #%zu", o->name, nline);
  o->tex = g_wobj_texture_get(name);
  o->clip[0] = 0;
  o->clip[1] = 0;
  o->clip[2] = o->tex->w;
  o->clip[3] = o->tex->h;
  o->density = 1.0f;
  o->clumpiness = 0;
  o->num_clumps = 1;
}

static void parse_clip_line(wobj *o, const char *line, size_t nline) {
  char word[256];
  int v[4];
  if (sscanf(line, "%255s %d %d %d %d", word, &v[0], &v[1], &v[2], &v[3]) != 5)
    obj_error("invalid 'clip' at #%zu: four numbers expected (x, y, w, h)", nline);
  for (int i = 0; i < 4; i++) {
    float s = v[i] * f_texture_scale;
    // the float must fit an int before it is truncated into one
    if (!(s > -2147483648.0f && s < 2147483648.0f)) obj_error("'clip' value out of range at #%zu", nline);
    o->clip[i] = (int32_t)s;
  }
}

static void parse_type_line(wobj *o, const char *line, size_t nline) {
  char word[257], value[65];
  if (sscanf(line, "%256s %64s", word, value) < 2) obj_error("invalid 'type' at %u", (unsigned)nline);
  static const char *const names[4] = {"mass", "detail", "grass", "unique"};
  for (int i = 0; i < 4; i++)
    if (strcmp(value, names[i]) == 0) {
      o->type = i;
      return;
    }
  obj_error("invalid type value at %u", (unsigned)nline);
}

static void parse_pg_line(wobj *o, const char *line, size_t nline) {
  const char *rest = skip_blanks(line + 2);
  if (!*rest) obj_error("missing tree parameter file in object '%s' at #%zu", o->name, nline);
  const char *full = ufmt("%s/%s", g_root, rest);
  size_t n = strlen(full) + 1;
  free(o->pg.path);
  o->pg.path = (char *)umalloc(n);
  memcpy(o->pg.path, full, n);
  pg_read(o->pg.path, &o->pg);
  o->is_tree = 1;
  // a slot per line at start; a catalogue read again while the game runs watches it once
  fmon_register(o->pg.path, pg_reload, nullptr);
}

static void parse_key_line(wobj *o, const char *line, size_t nline) {
  // a line may hold 1023 characters; a longer key word can only be unknown anyway
  char key[256];
  float v = 0;
  int got = sscanf(line, "%255s %f", key, &v);
  static const char *const keys[5] = {"scale", "scale_rnd", "density", "clumpiness", "num_clumps"};
  int k = -1;
  for (int i = 0; i < 5 && got >= 1; i++)
    if (strcmp(key, keys[i]) == 0) k = i;
  if (k < 0) obj_error("unknown specifier '%s'", got >= 1 ? key : line);
  if (got < 2) obj_error("'%s' without a number at #%zu", key, nline);
  if (!std::isfinite(v)) obj_error("'%s' needs a finite number at #%zu", key, nline);
  switch (k) {
  case 0: o->scale = v; break;
  case 1: o->scale_rnd = v; break;
  case 2: o->density = v; break;
  case 3: o->clumpiness = v; break;
  default:
    if (!(v > -2147483648.0f && v < 2147483648.0f)) obj_error("'num_clumps' out of range at #%zu", nline);
    // each clump costs two draws even when it gets no tuft: a patch cell walks them all
    if (v >= WOBJ_MAX_CLUMPS + 1) obj_error("'num_clumps' (%d) at #%zu is more than %d", (int32_t)v, nline, WOBJ_MAX_CLUMPS);
    o->num_clumps = (int32_t)v;
  }
}

void parse_object_line(wobj *o, const char *s, size_t line) {
  if (all_blanks(s)) obj_error("line of blanks in object '%s' at #%zu: an object ends with an empty line", o->name, line);
  if (strncmp(s, "file", 4) == 0) parse_file_line(o, s, line);
  else if (strncmp(s, "clip", 4) == 0) parse_clip_line(o, s, line);
  else if (strncmp(s, "type", 4) == 0) parse_type_line(o, s, line);
  else if (strncmp(s, "pg", 2) == 0) parse_pg_line(o, s, line);
  else parse_key_line(o, s, line);
}

void parse_object_rest(FILE *fp, wobj *o, size_t *line) {
  char buf[WOBJ_LINE_SIZE];
  for (;;) {
    char *s = wobj_read_line(fp, buf, line);
    if (!s) obj_error("EOF while parsing object '%s' at #%zu", o->name, *line);
    if (!*s) break;
    parse_object_line(o, s, *line);
  }
  g_nwobjs++;
}

void parse_object(FILE *fp, const char *name, size_t *line) {
  uinfo("%s", name);
  if (g_nwobjs >= WOBJ_MAX) uerror("too many objects: '%s' at #%zu is past the limit of %d", name, *line, (int)WOBJ_MAX);
  wobj *o = &g_wobjs[g_nwobjs];
  memset(o, 0, sizeof *o);
  usnprintf(o->name, sizeof o->name, "%s", name);
  parse_object_rest(fp, o, line);
}

bool index_object_line(const char *s, size_t line, char *name) {
  if (!*s) return false;
  char key[64], value[WOBJ_NAME_SIZE];
  int end = 0;
  if (sscanf(s, "%63s %127s%n", key, value, &end) != 2) uerror_at("parse_index", __LINE__, "parse error at #%zu", line);
  if (strcmp(key, "object") != 0) return false;
  // kept cut, the name would not match its full spelling in the brush file
  if (s[end] && !isspace((unsigned char)s[end]))
    uerror_at("parse_index", __LINE__, "object name longer than %d characters at #%zu", WOBJ_NAME_SIZE - 1, line);
  memcpy(name, value, sizeof value);
  return true;
}

void parse_index(void) {
  FILE *fp = ufile_open(ufmt("%s/index", g_root), "r");
  if (!fp) uerror("failed to open %s/index", g_root);
  ufile_guard held{fp};
  char buf[WOBJ_LINE_SIZE], name[WOBJ_NAME_SIZE];
  size_t line = 0;
  while (char *s = wobj_read_line(fp, buf, &line))
    if (index_object_line(s, line, name)) parse_object(fp, name, &line);
  uinfo("%zu objects loaded", g_nwobjs);
}
