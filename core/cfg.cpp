// Key/value configuration files: "name value" per line, comments and short lines skipped.
#include "core/cfg.h"
#include "core/file.h"
#include "core/strmap.h"
#include "core/util.h"
#include <cmath>
#include <cstdio>
#include <cstring>

static char line_buf[1024]; // a line holds at most 1023 characters; longer ones arrive in pieces

// The C locale's space characters; bytes of 0x80 and above are ordinary characters.
static int is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A failed read releases the record and the file first: a reload in a recoverable scope (a tree
// file edited while the game runs) keeps nothing of it.
#define read_fail(...) \
  do { \
    fclose(fp); \
    cfg_free(c); \
    uerror(__VA_ARGS__); \
  } while (0)

cfg *cfg_read(const char *path) {
  FILE *fp = ufopen(path, "r");
  cfg *c = (cfg *)umalloc(sizeof *c);
  c->map = sm_create();
  unsigned lineno = 0;
  while (fgets(line_buf, sizeof line_buf, fp)) {
    line_buf[strcspn(line_buf, "\r\n")] = 0;
    lineno++;
    if (strlen(line_buf) < 3 || line_buf[0] == '#') continue;
    const char *p = line_buf;
    while (*p && !is_space(*p)) p++;
    if (!*p) read_fail("#%u: missing value", lineno);
    size_t name_len = (size_t)(p - line_buf);
    if (name_len >= 128) read_fail("#%u: variable name too long", lineno);
    char name[128];
    memcpy(name, line_buf, name_len);
    name[name_len] = 0;
    while (*p && is_space(*p)) p++;
    if (!*p) read_fail("#%u: missing value", lineno);
    size_t n = strlen(p) + 1;
    char *value = (char *)umalloc(n);
    memcpy(value, p, n);
    // a later definition replaces the earlier one, whose text nothing else holds
    free((void *)sm_get(c->map, name));
    sm_set(c->map, name, (uintptr_t)value);
  }
  fclose(fp);
  return c;
}

const char *cfg_get_string(cfg *c, const char *name) {
  const char *v = (const char *)sm_get(c->map, name);
  if (!v) uerror("%s doesn't exist", name);
  return v;
}

int32_t cfg_get_int(cfg *c, const char *name) {
  int v;
  if (sscanf(cfg_get_string(c, name), "%d", &v) != 1) uerror("%s type error", name);
  return v;
}

// inf and nan read as numbers, but no sum that takes them in comes out right
float cfg_get_float(cfg *c, const char *name) {
  float v;
  if (sscanf(cfg_get_string(c, name), "%f", &v) != 1) uerror("%s type error", name);
  if (!std::isfinite(v)) uerror("%s is not a finite number", name);
  return v;
}

void cfg_get_vec2(cfg *c, const char *name, float out[2]) {
  if (sscanf(cfg_get_string(c, name), "%f %f", &out[0], &out[1]) != 2) uerror("%s type error", name);
  if (!std::isfinite(out[0]) || !std::isfinite(out[1])) uerror("%s is not a finite number", name);
}

void cfg_free(cfg *c) {
  sm_walk_begin(c->map);
  while (sm_entry *e = sm_walk_next(c->map)) free((void *)e->value);
  sm_destroy(c->map);
  free(c);
}
