// Global parameters read from "param.cfg", and the run-time statistics counters.
#pragma once
#include <cstddef>
#include <cstdint>

enum { PT_INT = 0, PT_BOOL = 1, PT_FLOAT = 2, PT_STRING = 3, PT_VEC3 = 4 };
enum { ST_UINT = 1, ST_FLOAT = 2 };
enum { PARAM_STRING_SIZE = 64, NPARAMS = 31, NSTATS = 22, PARAM_LINE_SIZE = 512 };

struct param_row {
  const char *name;
  int type;
  void *ptr;
};
struct stat_row {
  const char *name;
  int kind;
  void *ptr;
};
extern const param_row g_params[NPARAMS];
extern const stat_row g_stats[NSTATS];

extern int b_fog_on;
extern float v3_fog_color[3];
extern float f_fog_density, f_fog_start, f_fog_end;
extern float v3_sky_color[3], v3_alpha_color[3];
extern int i_screen_w, i_screen_h;
extern int b_camera_clamp_y;
extern float f_camera_zfar;
extern float v3_camera_start_pos[3], v3_camera_start_rot[3];
extern int i_veg_mass_count, i_veg_detail_count;
extern float f_veg_pos_r;
extern int b_veg_patch_on, i_veg_patch_mapsz, i_veg_patch_blocksz;
extern int b_frustum_cull;
extern char s_ambient_loop[PARAM_STRING_SIZE];
extern int i_rain_ndroplets, i_snow_nflakes;
extern int i_tn_ndivs;
extern float f_tn_sz, f_tn_hm_maxy;
extern float f_walk_speed, f_texture_scale;
extern int i_grass_ntufts, i_grass_cell_sample_res;
extern char s_default_clut[PARAM_STRING_SIZE];

// Statistics counters, written by the parts that own them (their table names are "pm.nobj", "r.fps", ...).
struct pm_stats {
  uint32_t nobj, nvis, nvis_peak;
};
struct r_stats {
  uint32_t fps = 0, fps_min = 12345678, fps_max = 0;
  float fps_lt_30, fps_lt_60;
  uint32_t ndraw, ndraw_peak, ncull_peak, texmgr_ntex, grass_ntris;
  float step_ms_max;         // longest update step in milliseconds: the worst hitch of the run
  float reload_frame_ms_max; // longest frame within a second of a live reload, in milliseconds
  // for long runs: how far the camera went, how often the brush underfoot changed, grass
  // patches built and most alive at once, most sound events at once, and the buffer and
  // texture objects still alive at the exit
  float walk_dist;
  uint32_t region_changes, grass_built, grass_live_peak, snd_events_peak, gl_buffers, gl_textures;
};
extern pm_stats pm;
extern r_stats r;

// Counts that a world sets, with the most it loads within seconds and within memory: beyond it a
// count would take minutes of building or more memory than the machine has. A count of 0 or less
// means none, as always.
struct param_limit {
  const char *name;
  const int *value;
  int hi;
};
enum { NPARAM_LIMITS = 4 };
extern const param_limit g_param_limits[NPARAM_LIMITS];
// Raises "NAME (V) must be at most HI" when the row's parameter is past its limit.
void param_limit_check(const param_limit &l);
// Every row; world loading calls it before it builds anything.
void params_check_limits(void);

void parse_cfg(void);
// Every parameter's value, row by row, for the reload of param.cfg: what the file says now is
// compared with what it said, and only what changed is applied.
struct param_values {
  char v[NPARAMS][PARAM_STRING_SIZE];
};
void params_save(param_values *out);
void params_load(const param_values *in);
// The values the file gives now: the defaults, then the file's lines over them (its warnings
// written again). The variables themselves are left as they are. False, with the reason, when the
// file is not ready to be read: missing or no regular file, empty, holding a NUL byte (binary), or
// without a line that is a parameter or a comment (a save cut short, or another file in its place).
bool params_read_file(param_values *out, const char **why);
// Bytes of a row's value: 4, 12 for a vector, PARAM_STRING_SIZE for a string.
size_t param_size(const param_row &p);
// One line of param.cfg as parse_cfg takes it (cut at its line end here): the row it names, or null
// for comments, empty lines and unknown names (a warning says which). lineno: its number. A number
// that is not finite (inf, nan) is refused with a warning, and the parameter keeps its value.
const param_row *parse_cfg_line(char *line, size_t lineno);
void stats_print(void);
