// Key/value configuration files: one definition per line, name then value.
#pragma once
#include <cstdint>

struct strmap;
struct cfg {
  strmap *map; // name -> heap copy of the value text
};

cfg *cfg_read(const char *path);
const char *cfg_get_string(cfg *c, const char *name);
int32_t cfg_get_int(cfg *c, const char *name);
// A value that does not parse is "NAME type error"; one that is not finite (inf, nan) is
// refused too: "NAME is not a finite number".
float cfg_get_float(cfg *c, const char *name);
void cfg_get_vec2(cfg *c, const char *name, float out[2]);
void cfg_free(cfg *c);
