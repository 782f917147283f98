// velder-check, param.cfg: the game's reader sets the parameters; this part says what it lets
// pass quietly (values that are not numbers, names read as another, missing file), and checks the
// terrain's own parameters, texture and height map.
#include "check.h"
#include "core/file.h"
#include "core/params.h"
#include "world/terrain.h"
#include <SDL.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static size_t set_at[NPARAMS];   // param.cfg line that last set each parameter
static char cfg_path[sizeof g_root + 16];

size_t chk_param_line(const char *name) {
  for (int i = 0; i < NPARAMS; i++)
    if (strcmp(g_params[i].name, name) == 0) return set_at[i];
  return 0;
}

// What the parameter holds after a line that gave it nothing: its default, or what an earlier
// line gave it.
static std::string kept(int row) {
  const param_row &p = g_params[row];
  char v[128];
  switch (p.type) {
  case PT_INT:
  case PT_BOOL: snprintf(v, sizeof v, "%d", *(const int *)p.ptr); break;
  case PT_FLOAT: snprintf(v, sizeof v, "%g", *(const float *)p.ptr); break;
  case PT_VEC3: {
    const float *f = (const float *)p.ptr;
    snprintf(v, sizeof v, "%g %g %g", f[0], f[1], f[2]);
    break;
  }
  default: snprintf(v, sizeof v, "'%s'", (const char *)p.ptr);
  }
  if (set_at[row]) return std::string(v) + " (from line " + std::to_string(set_at[row]) + ")";
  return std::string("its default ") + v;
}

// How much of s one number of the row's type takes (as sscanf reads it); 0 when none.
static int number_at(const char *s, int type) {
  int n = 0, i;
  float f;
  if (type == PT_INT || type == PT_BOOL) return sscanf(s, "%d%n", &i, &n) == 1 ? n : 0;
  return sscanf(s, "%f%n", &f, &n) == 1 ? n : 0;
}

static bool only_blanks(const char *s) {
  while (*s && isspace((unsigned char)*s)) s++;
  return !*s;
}

// One line that the game gives to a parameter: the value as the game parses it.
static void value_check(int row, const char *word, const char *value, size_t line) {
  const param_row &p = g_params[row];
  const char *name = p.name;
  if (strlen(word) > strlen(name))
    chk_warn(cfg_path, line, "'%s' is read as %s (the game matches the start of the name)", word, name);
  if (p.type == PT_STRING) {
    size_t n = strcspn(value, " \t\v\f");
    if (!*value) chk_warn(cfg_path, line, "%s has no value: the game keeps %s", name, kept(row).c_str());
    else if (n > PARAM_STRING_SIZE - 1)
      chk_warn(cfg_path, line, "value of %s is %zu characters long: the game keeps its first %d", name, n,
               PARAM_STRING_SIZE - 1);
    else if (!only_blanks(value + n))
      chk_warn(cfg_path, line, "value of %s is more than one word: the game reads only '%.*s'", name, (int)n, value);
    return;
  }
  int want = p.type == PT_VEC3 ? 3 : 1, got = 0;
  const char *s = value;
  for (int n; got < want && (n = number_at(s, p.type)) > 0; got++) s += n;
  if (got == 0) {
    chk_warn(cfg_path, line, "value '%s' of %s is not a number: the game keeps %s", value, name, kept(row).c_str());
  } else if (got < want) {
    const float *v = (const float *)p.ptr;
    chk_warn(cfg_path, line, "value '%s' of %s holds %d of 3 numbers: the game keeps the others, giving %g %g %g", value,
             name, got, v[0], v[1], v[2]);
  } else if (!only_blanks(s)) {
    std::string read(value, (size_t)(s - value));
    if (want == 1)
      chk_warn(cfg_path, line, "value '%s' of %s is not fully a number: the game reads %s and ignores the rest", value,
               name, read.c_str());
    else
      chk_warn(cfg_path, line, "value '%s' of %s is more than 3 numbers: the game reads %s and ignores the rest",
               value, name, read.c_str());
  }
}

void chk_params(void) {
  snprintf(cfg_path, sizeof cfg_path, "%s/param.cfg", g_root);
  FILE *fp = fopen(cfg_path, "r");
  if (!fp) {
    chk_warn(cfg_path, 0, "missing: every parameter keeps its default");
    return;
  }
  chk_lines(cfg_path, PARAM_LINE_SIZE);
  // the game's reader, line by line, so that each line's value is judged against what the
  // parameter held before it
  char line[PARAM_LINE_SIZE], text[PARAM_LINE_SIZE];
  size_t piece = 0;
  while (fgets(line, sizeof line, fp)) {
    size_t at = chk_phys_line(cfg_path, PARAM_LINE_SIZE, ++piece);
    memcpy(text, line, sizeof text);
    text[strcspn(text, "\r\n")] = 0;
    chk_warn_context(cfg_path, at, false); // an unknown name: the game's own warning
    const param_row *row = parse_cfg_line(line, piece);
    if (!row) continue;
    int i = (int)(row - g_params);
    std::string word(text, strcspn(text, " \t\v\f"));
    const char *value = text + word.size();
    while (*value && isspace((unsigned char)*value)) value++;
    value_check(i, word.c_str(), value, at);
    set_at[i] = at;
  }
  fclose(fp);
  chk_warn_context(g_root, 0, false);
  for (const param_limit &l : g_param_limits) chk_try(cfg_path, chk_param_line(l.name), [&] { param_limit_check(l); });
  if (i_screen_w < 1 || i_screen_h < 1)
    chk_warn(cfg_path, chk_param_line(i_screen_w < 1 ? "i_screen_w" : "i_screen_h"),
             "window size %dx%d: the window needs at least 1 pixel each way", i_screen_w, i_screen_h);
}

void chk_terrain(void) {
  // the game's own limits of the grid, said at the line that set the value
  ufault f;
  terrain *t = nullptr;
  if (!utry([&] { t = tn_alloc(); }, &f, true))
    chk_fault(cfg_path, chk_param_line(strncmp(f.msg, "i_tn_ndivs", 10) == 0 ? "i_tn_ndivs" : "f_tn_sz"), "%s", f.msg);
  if (t) {
    for (int r = 0; r <= t->ndivs; r++) free(t->verts[r]);
    free(t->verts);
    free(t);
  }
  chk_texture_user("the terrain", nullptr);
  chk_texture_get("terraintexture.png");
  char path[sizeof g_root + 16];
  SDL_Surface *s = chk_load_bmp("hm.bmp", path, sizeof path, "SDL_LoadBMP: ");
  if (!s) return;
  if (const char *why = hm_check(s)) chk_warn(path, 0, "%s", why);
  SDL_FreeSurface(s);
}
