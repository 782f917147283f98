// Global parameters with their defaults, the "param.cfg" reader and the statistics counters.
#include "core/params.h"
#include "core/file.h"
#include "core/util.h"
#include <cmath>
#include <cstdio>
#include <cstring>

int b_fog_on = 1;
float v3_fog_color[3] = {0.5f, 0.5f, 0.5f};
float f_fog_density = 0.35f, f_fog_start = 20, f_fog_end = 80;
float v3_sky_color[3] = {0.45f, 0.57f, 0.6f}, v3_alpha_color[3] = {0, 0, 0};
int i_screen_w = 854, i_screen_h = 480;
int b_camera_clamp_y = 1;
float f_camera_zfar = 100;
float v3_camera_start_pos[3], v3_camera_start_rot[3];
int i_veg_mass_count = 1000, i_veg_detail_count = 1000;
float f_veg_pos_r = 60;
int b_veg_patch_on = 1, i_veg_patch_mapsz = 64, i_veg_patch_blocksz = 16;
int b_frustum_cull = 1;
char s_ambient_loop[PARAM_STRING_SIZE];
int i_rain_ndroplets, i_snow_nflakes;
int i_tn_ndivs = 10;
float f_tn_sz = 400, f_tn_hm_maxy = 20;
float f_walk_speed = 2.8f, f_texture_scale = 1;
int i_grass_ntufts = 1500, i_grass_cell_sample_res = 8;
char s_default_clut[PARAM_STRING_SIZE];

pm_stats pm;
r_stats r;

const param_row g_params[NPARAMS] = {
    {"b_fog_on", PT_BOOL, &b_fog_on},
    {"v3_fog_color", PT_VEC3, v3_fog_color},
    {"f_fog_density", PT_FLOAT, &f_fog_density},
    {"f_fog_start", PT_FLOAT, &f_fog_start},
    {"f_fog_end", PT_FLOAT, &f_fog_end},
    {"v3_sky_color", PT_VEC3, v3_sky_color},
    {"v3_alpha_color", PT_VEC3, v3_alpha_color},
    {"i_screen_w", PT_INT, &i_screen_w},
    {"i_screen_h", PT_INT, &i_screen_h},
    {"b_camera_clamp_y", PT_BOOL, &b_camera_clamp_y},
    {"f_camera_zfar", PT_FLOAT, &f_camera_zfar},
    {"v3_camera_start_pos", PT_VEC3, v3_camera_start_pos},
    {"v3_camera_start_rot", PT_VEC3, v3_camera_start_rot},
    {"i_veg_mass_count", PT_INT, &i_veg_mass_count},
    {"i_veg_detail_count", PT_INT, &i_veg_detail_count},
    {"f_veg_pos_r", PT_FLOAT, &f_veg_pos_r},
    {"b_veg_patch_on", PT_BOOL, &b_veg_patch_on},
    {"i_veg_patch_mapsz", PT_INT, &i_veg_patch_mapsz},
    {"i_veg_patch_blocksz", PT_INT, &i_veg_patch_blocksz},
    {"b_frustum_cull", PT_BOOL, &b_frustum_cull},
    {"s_ambient_loop", PT_STRING, s_ambient_loop},
    {"i_rain_ndroplets", PT_INT, &i_rain_ndroplets},
    {"i_snow_nflakes", PT_INT, &i_snow_nflakes},
    {"i_tn_ndivs", PT_INT, &i_tn_ndivs},
    {"f_tn_sz", PT_FLOAT, &f_tn_sz},
    {"f_tn_hm_maxy", PT_FLOAT, &f_tn_hm_maxy},
    {"f_walk_speed", PT_FLOAT, &f_walk_speed},
    {"f_texture_scale", PT_FLOAT, &f_texture_scale},
    {"i_grass_ntufts", PT_INT, &i_grass_ntufts},
    {"i_grass_cell_sample_res", PT_INT, &i_grass_cell_sample_res},
    {"s_default_clut", PT_STRING, s_default_clut},
};

const stat_row g_stats[NSTATS] = {
    {"pm.nobj", ST_UINT, &pm.nobj},
    {"pm.nvis", ST_UINT, &pm.nvis},
    {"pm.nvis_peak", ST_UINT, &pm.nvis_peak},
    {"r.fps", ST_UINT, &r.fps},
    {"r.fps.min", ST_UINT, &r.fps_min},
    {"r.fps.max", ST_UINT, &r.fps_max},
    {"r.fps.lt_30", ST_FLOAT, &r.fps_lt_30},
    {"r.fps.lt_60", ST_FLOAT, &r.fps_lt_60},
    {"r.ndraw", ST_UINT, &r.ndraw},
    {"r.ndraw_peak", ST_UINT, &r.ndraw_peak},
    {"r.ncull_peak", ST_UINT, &r.ncull_peak},
    {"r.texmgr_ntex", ST_UINT, &r.texmgr_ntex},
    {"r.grass_ntris", ST_UINT, &r.grass_ntris},
    {"r.step_ms_max", ST_FLOAT, &r.step_ms_max},
    {"r.reload_frame_ms_max", ST_FLOAT, &r.reload_frame_ms_max},
    {"r.walk_dist", ST_FLOAT, &r.walk_dist},
    {"r.region_changes", ST_UINT, &r.region_changes},
    {"r.grass_built", ST_UINT, &r.grass_built},
    {"r.grass_live_peak", ST_UINT, &r.grass_live_peak},
    {"r.snd_events_peak", ST_UINT, &r.snd_events_peak},
    {"r.gl_buffers", ST_UINT, &r.gl_buffers},
    {"r.gl_textures", ST_UINT, &r.gl_textures},
};

// Rain is drawn streak by streak (about 0.4 ms a frame per thousand) and snow five times a frame;
// a grass patch samples res x res cells, each asking the object map for its brush.
const param_limit g_param_limits[NPARAM_LIMITS] = {
    {"i_rain_ndroplets", &i_rain_ndroplets, 100000},
    {"i_snow_nflakes", &i_snow_nflakes, 100000},
    {"i_grass_ntufts", &i_grass_ntufts, 100000},
    {"i_grass_cell_sample_res", &i_grass_cell_sample_res, 64},
};

void param_limit_check(const param_limit &l) {
  if (*l.value > l.hi) uerror_at("params_check_limits", __LINE__, "%s (%d) must be at most %d", l.name, *l.value, l.hi);
}

void params_check_limits(void) {
  for (const param_limit &l : g_param_limits) param_limit_check(l);
}

static bool finite(const float *v, int n) {
  for (int i = 0; i < n; i++)
    if (!std::isfinite(v[i])) return false;
  return true;
}

// A value that does not parse leaves the variable as it was, and a vector takes the numbers it
// got; a number that is not finite would poison every sum it enters, so the line is refused.
static void parse_line(const param_row &p, const char *line, size_t lineno) {
  // the name word goes to a scratch as large as the line, so it can never overflow
  char word[512];
  switch (p.type) {
  case PT_INT:
  case PT_BOOL:
    sscanf(line, "%511s %d", word, (int *)p.ptr);
    break;
  case PT_STRING:
    sscanf(line, "%511s %63s", word, (char *)p.ptr);
    break;
  case PT_FLOAT:
  case PT_VEC3: {
    int n = p.type == PT_VEC3 ? 3 : 1;
    float *v = (float *)p.ptr, got[3] = {v[0], n > 1 ? v[1] : 0, n > 1 ? v[2] : 0};
    int k = sscanf(line, "%511s %f %f %f", word, &got[0], &got[1], &got[2]) - 1;
    if (k > n) k = n;
    if (k > 0 && !finite(got, k)) {
      uwarn_at("parse_cfg", __LINE__, "%s at #%zu is not a finite number: %s keeps its value", p.name, lineno, p.name);
      return;
    }
    for (int i = 0; i < k; i++) v[i] = got[i];
    break;
  }
  }
}

const param_row *parse_cfg_line(char *line, size_t lineno) {
  line[strcspn(line, "\r\n")] = 0;
  if (line[0] == '#' || line[0] == 0) return nullptr;
  const param_row *row = nullptr;
  for (const param_row &p : g_params)
    if (strncmp(line, p.name, strlen(p.name)) == 0) {
      row = &p;
      break;
    }
  if (!row) {
    line[strcspn(line, " \t\v\f")] = 0;
    uwarn_at("parse_cfg", __LINE__, "unknown param at #%zu: %s", lineno, line);
    return nullptr;
  }
  parse_line(*row, line, lineno);
  return row;
}

size_t param_size(const param_row &p) {
  return p.type == PT_VEC3 ? 3 * sizeof(float) : p.type == PT_STRING ? (size_t)PARAM_STRING_SIZE : sizeof(int);
}

void params_save(param_values *out) {
  for (int i = 0; i < NPARAMS; i++) memcpy(out->v[i], g_params[i].ptr, param_size(g_params[i]));
}

void params_load(const param_values *in) {
  for (int i = 0; i < NPARAMS; i++) memcpy(g_params[i].ptr, in->v[i], param_size(g_params[i]));
}

// The variables' initial values, taken before the file is first read.
static param_values defaults;
static bool have_defaults;

// Reads the open file into the variables: the number of lines that are a parameter or a comment.
static int read_lines(FILE *fp) {
  char line[PARAM_LINE_SIZE]; // longer lines arrive in pieces of up to 511 characters
  size_t lineno = 0;
  int known = 0;
  while (fgets(line, sizeof line, fp)) known += parse_cfg_line(line, ++lineno) || line[0] == '#';
  return known;
}

bool params_read_file(param_values *out, const char **why) {
  FILE *fp = ufile_open(ufmt("%s/param.cfg", g_root), "r");
  if (!fp) return *why = "not a file that can be read", false;
  ufile_guard held{fp};
  char block[4096];
  size_t n, size = 0;
  while ((n = fread(block, 1, sizeof block, fp)) > 0) {
    if (memchr(block, 0, n)) return *why = "it holds a NUL byte", false;
    size += n;
  }
  if (size == 0) return *why = "it is empty", false;
  rewind(fp);
  if (!have_defaults) params_save(&defaults), have_defaults = true;
  param_values live;
  params_save(&live);
  params_load(&defaults);
  int known = read_lines(fp);
  params_save(out);
  params_load(&live);
  if (known == 0) return *why = "no line of it is a parameter or a comment", false;
  return true;
}

void parse_cfg(void) {
  if (!have_defaults) params_save(&defaults), have_defaults = true;
  FILE *fp = ufile_open(ufmt("%s/param.cfg", g_root), "r");
  if (!fp) return;
  read_lines(fp);
  fclose(fp);
}

// The counters as information lines, one per row, for the people who tune worlds and the engine.
void stats_print(void) {
  for (const stat_row &s : g_stats) {
    if (s.kind == ST_UINT) uinfo("%s %u", s.name, *(const uint32_t *)s.ptr);
    else uinfo("%s %.1f", s.name, *(const float *)s.ptr);
  }
}
