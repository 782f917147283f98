// velder-fly --poses: fixed camera poses over a loaded world rendered with frozen time and a seeded
// generator, captured from the window, and compared with reference pictures.
#include "fly.h"
#include "app/app.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "fx/skybox.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/terrain.h"
#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <time.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_DUMP_STATS_AT(s) ((void)(s))
#endif

// The game reads the clock for the wind, the sky's glow, the rain's slant, the snow's fall and
// the camera's sway. velder-fly is linked with --wrap=SDL_GetTicks, so every such reading in the
// game's code lands here: while a pose is taken the clock stands still at one instant.
static uint32_t frozen_ticks;
extern "C" Uint32 __real_SDL_GetTicks(void);
extern "C" Uint32 __wrap_SDL_GetTicks(void) { return frozen_ticks ? frozen_ticks : __real_SDL_GetTicks(); }

enum { FROZEN_AT = 4242424, SETTLE_STEPS = 160, POSE_SEED = 100 };

struct pose {
  const char *name;
  float x, z, yaw, pitch;
};

// Mean absolute difference between two tables, over every entry and channel.
static double clut_distance(const clut *a, const clut *b) {
  double s = 0;
  for (int i = 0; i < CLUT_ENTRIES; i++)
    for (int c = 0; c < 3; c++) s += fabs(a->e[i][c] - b->e[i][c]);
  return s / (CLUT_ENTRIES * 3);
}

// The spot nearest (x0, z0) on a 4-unit grid whose brush grades the view the most unlike the
// identity; false when no brush names a table.
static bool strongest_grading(float x0, float z0, float *x, float *z) {
  static clut id, t;
  clut_identity(&id);
  const char *best = nullptr;
  double best_d = 0;
  for (size_t i = 0; i < g_nbrushes; i++) {
    const char *name = g_brushes[i].clut;
    if (!name[0] || (best && strcmp(name, best) == 0)) continue;
    clut_load(name, &t);
    double d = clut_distance(&t, &id);
    if (d > best_d) best = name, best_d = d;
  }
  if (!best) return false;
  float half = g_terrain->sz / 2 - 8, best_r = INFINITY;
  for (float gz = -half; gz <= half; gz += 4)
    for (float gx = -half; gx <= half; gx += 4) {
      float r = hypotf(gx - x0, gz - z0);
      if (r < best_r && strcmp(objmap_get_brush(gx, gz)->clut, best) == 0) *x = gx, *z = gz, best_r = r;
    }
  return best_r < INFINITY;
}

// The highest vertex of the terrain away from its edge.
static void highest_ground(float *x, float *z) {
  const terrain *t = g_terrain;
  int lo = t->ndivs / 8, hi = t->ndivs - lo;
  float best = -INFINITY;
  for (int r = lo; r <= hi; r++)
    for (int c = lo; c <= hi; c++)
      if (t->verts[r][c].y > best) {
        best = t->verts[r][c].y;
        *x = t->verts[r][c].x * t->sz, *z = t->verts[r][c].z * t->sz;
      }
}

static float yaw_toward(float x, float z, float tx, float tz) {
  return atan2f(tx - x, -(tz - z)) * 57.29577951f;
}

static int npose(float woods_x, float woods_z, pose out[8]) {
  float sx = v3_camera_start_pos[0], sz = v3_camera_start_pos[2];
  float start_yaw = v3_camera_start_rot[1], start_pitch = v3_camera_start_rot[0];
  int n = 0;
  out[n++] = {"meadow", sx, sz, start_yaw, start_pitch};
  out[n++] = {"grass", sx, sz, start_yaw + 120, 30};
  out[n++] = {"woods", woods_x, woods_z, 23, -10};
  float cx = 0, cz = 0;
  if (strongest_grading(sx, sz, &cx, &cz)) out[n++] = {"colour", cx, cz, yaw_toward(cx, cz, 0, 0) + 180, 5};
  // the sun stands 52 degrees up along -z: looking up that way puts it in the view
  out[n++] = {"sky", sx, sz, 0, -45};
  float hx = 0, hz = 0;
  highest_ground(&hx, &hz);
  out[n++] = {"vista", hx, hz, yaw_toward(hx, hz, 0, 0), 8};
  return n;
}

static void set_pose(const pose &p) {
  camera &c = g_cam;
  c.pos[0] = p.x;
  c.pos[1] = tn_height(g_terrain, p.x, p.z) + 1.75f;
  c.pos[2] = p.z;
  c.yaw = p.yaw;
  c.pitch = p.pitch;
  cam_update_vectors(&c);
}

// The window's picture of the frame, read before the swap: rows top to bottom, RGB.
static std::vector<uint8_t> capture;
static void capture_hook(int pass) {
  if (pass != FRAME_END) return;
  int w = i_screen_w, h = i_screen_h;
  std::vector<uint8_t> up((size_t)w * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, up.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  capture.resize(up.size());
  for (int y = 0; y < h; y++) memcpy(&capture[(size_t)y * w * 3], &up[(size_t)(h - 1 - y) * w * 3], (size_t)w * 3);
}

// --time: every pose drawn again and again with a finish between the passes, for the least wall
// and CPU time each pass took, and then as whole frames. A fixed view costs the same every time,
// so the least time is its cost with the least disturbance from other programs on the machine.
enum { NPASS = FRAME_END };
static double least_wall[NPASS], least_cpu[NPASS], least_main[NPASS], pass_t0, pass_c0, pass_m0;
static int pass_open = -1;
static double cpu_now(void) { return fly_clock_ms(CLOCK_PROCESS_CPUTIME_ID); }
static double main_now(void) { return fly_clock_ms(CLOCK_THREAD_CPUTIME_ID); }
static double wall_now(void) { return fly_clock_ms(CLOCK_MONOTONIC); }
// Fragment shader invocations and samples that pass, per pass, of the last timed frame.
static GLuint q_frag[NPASS], q_pass[NPASS];
static double frags[NPASS], passed[NPASS];
static bool stats_ok;
static const char *timed_pose;
static const char *const PASS_NAMES[NPASS] = {"sky", "terrain", "grass", "items", "weather", "post", "overlay"};
static void timing_hook(int pass) {
  if (stats_ok && pass_open >= 0) glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB), glEndQuery(GL_SAMPLES_PASSED);
  glFinish();
  if (stats_ok && pass_open >= 0) {
    GLuint64 n = 0;
    glGetQueryObjectui64v(q_frag[pass_open], GL_QUERY_RESULT, &n);
    frags[pass_open] = (double)n;
    glGetQueryObjectui64v(q_pass[pass_open], GL_QUERY_RESULT, &n);
    passed[pass_open] = (double)n;
  }
  // under valgrind --tool=callgrind --instr-atstart=no: one dump of instruction counts per pass
  // ("pose pass" in its description), which a shared machine does not disturb
  if (pass_open >= 0 && timed_pose) CALLGRIND_DUMP_STATS_AT(ufmt("%s %s", timed_pose, PASS_NAMES[pass_open]));
  if (pass < NPASS) CALLGRIND_ZERO_STATS;
  if (stats_ok && pass < NPASS) glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, q_frag[pass]), glBeginQuery(GL_SAMPLES_PASSED, q_pass[pass]);
  double t = wall_now(), c = cpu_now(), m = main_now();
  if (pass_open >= 0 && timed_pose) {
    least_wall[pass_open] = std::min(least_wall[pass_open], t - pass_t0);
    least_cpu[pass_open] = std::min(least_cpu[pass_open], c - pass_c0);
    least_main[pass_open] = std::min(least_main[pass_open], m - pass_m0);
  }
  pass_open = pass < NPASS ? pass : -1;
  pass_t0 = t, pass_c0 = c, pass_m0 = m;
}

static bool save_png(const uint8_t *rgb, int w, int h, const char *path) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom((void *)rgb, w, h, 24, w * 3, SDL_PIXELFORMAT_RGB24);
  bool ok = s && IMG_SavePNG(s, path) == 0;
  if (s) SDL_FreeSurface(s);
  return ok;
}

// Half size, each pixel the rounded mean of a 2 x 2 block: what the references hold.
static std::vector<uint8_t> halve(const std::vector<uint8_t> &in, int w, int h) {
  int hw = w / 2, hh = h / 2;
  std::vector<uint8_t> out((size_t)hw * hh * 3);
  for (int y = 0; y < hh; y++)
    for (int x = 0; x < hw; x++)
      for (int c = 0; c < 3; c++) {
        auto at = [&](int dx, int dy) { return (int)in[((size_t)(2 * y + dy) * w + 2 * x + dx) * 3 + c]; };
        out[((size_t)y * hw + x) * 3 + c] = (uint8_t)((at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) / 4);
      }
  return out;
}

static bool load_rgb(const char *path, int w, int h, std::vector<uint8_t> *out) {
  SDL_Surface *s = IMG_Load(path);
  if (!s) return false;
  SDL_Surface *c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(s);
  if (!c) return false;
  bool ok = c->w == w && c->h == h;
  if (ok) {
    out->resize((size_t)w * h * 3);
    for (int y = 0; y < h; y++) memcpy(&(*out)[(size_t)y * w * 3], (uint8_t *)c->pixels + (size_t)y * c->pitch, (size_t)w * 3);
  }
  SDL_FreeSurface(c);
  return ok;
}

// Whether name is one of the comma-separated names of list (every name when list is null).
static bool listed(const char *list, const char *name) {
  if (!list) return true;
  size_t n = strlen(name);
  for (const char *p = list; *p;) {
    const char *e = strchr(p, ',');
    size_t len = e ? (size_t)(e - p) : strlen(p);
    if (len == n && strncmp(p, name, n) == 0) return true;
    p += len + (e ? 1 : 0);
  }
  return false;
}

int fly_poses(const char *out_dir, const char *ref_dir, const char *only, int repeat, float woods_x, float woods_z) {
  double sum_wall[NPASS] = {}, sum_cpu[NPASS] = {}, sum_main[NPASS] = {}, frame_wall = 0, frame_cpu = 0;
  stats_ok = GLEW_ARB_pipeline_statistics_query;
  if (stats_ok) glGenQueries(NPASS, q_frag), glGenQueries(NPASS, q_pass);
  pose poses[8];
  int n = npose(woods_x, woods_z, poses);
  mkdir(out_dir, 0755);
  mkdir(ufmt("%s/half", out_dir), 0755);
  frozen_ticks = FROZEN_AT;
  int w = i_screen_w, h = i_screen_h, failed = 0;
  printf("\nposes: %d x %d, compared at %d x %d%s%s\n", w, h, w / 2, h / 2, ref_dir ? " with " : "",
         ref_dir ? ref_dir : "");
  printf("%-8s %8s %8s %8s %8s %8s %7s\n", "pose", "x", "z", "mean r", "mean g", "mean b", "> 16");
  // Every pose set up afresh: its grass from a seed of its own, its region's colour table settled
  // from the default one, as after a walk into it.
  auto set_up = [&](int i) {
    const pose &p = poses[i];
    usrand(POSE_SEED + i);
    if (g_grass) {
      for (grass_patch *&gp : g_grass->patches) grass_patch_free(gp), gp = nullptr;
      free(g_grass);
    }
    grass_create(p.x, p.z);
    clut_reset();
    set_pose(p);
    for (int s = 0; s < SETTLE_STEPS; s++) game_update(1.0f / 30);
    set_pose(p);
  };
  for (int i = 0; i < n; i++) {
    const pose &p = poses[i];
    set_up(i);
    g_frame_pass_hook = capture_hook;
    render_frame();
    g_frame_pass_hook = nullptr;
    // every pose is rendered, so that the others see the same wind whichever are kept
    if (!listed(only, p.name)) continue;
    save_png(capture.data(), w, h, ufmt("%s/%s.png", out_dir, p.name));
    std::vector<uint8_t> small = halve(capture, w, h), ref;
    save_png(small.data(), w / 2, h / 2, ufmt("%s/half/%s.png", out_dir, p.name));
    printf("%-8s %8.1f %8.1f", p.name, p.x, p.z);
    if (!ref_dir) {
      printf("\n");
      continue;
    }
    if (!load_rgb(ufmt("%s/%s.png", ref_dir, p.name), w / 2, h / 2, &ref)) {
      printf("  no reference of %d x %d\n", w / 2, h / 2);
      failed++;
      continue;
    }
    double sum[3] = {};
    size_t off = 0, npx = small.size() / 3;
    for (size_t k = 0; k < npx; k++) {
      bool far = false;
      for (int c = 0; c < 3; c++) {
        int d = abs((int)small[3 * k + c] - (int)ref[3 * k + c]);
        sum[c] += d;
        far |= d > 16;
      }
      off += far;
    }
    bool bad = false;
    for (int c = 0; c < 3; c++) {
      printf(" %8.2f", sum[c] / (double)npx);
      bad |= sum[c] / (double)npx > FLY_POSE_MEAN_MAX;
    }
    printf(" %6.2f%%%s\n", 100.0 * (double)off / (double)npx, bad ? "  DIFFERS" : "");
    failed += bad;
  }
  // The timed frames turn the wind of the world items: they come after every capture.
  for (int i = 0; i < n && repeat > 0; i++) {
    const pose &p = poses[i];
    if (!listed(only, p.name)) continue;
    set_up(i);
    // a first frame with the hook's queries on builds the renderer's variants for them, untimed
    g_frame_pass_hook = timing_hook;
    timed_pose = nullptr;
    render_frame();
    for (int k = 0; k < NPASS; k++) least_wall[k] = least_cpu[k] = least_main[k] = INFINITY;
    timed_pose = p.name;
    CALLGRIND_START_INSTRUMENTATION;
    for (int k = 0; k < repeat; k++) render_frame();
    g_frame_pass_hook = nullptr;
    pass_open = -1;
    // and whole frames as the game draws them (the swap waits for the picture)
    double fw = INFINITY, fc = INFINITY;
    for (int k = 0; k < repeat; k++) {
      double t = wall_now(), c = cpu_now();
      render_frame();
      fw = std::min(fw, wall_now() - t), fc = std::min(fc, cpu_now() - c);
    }
    frame_wall += fw, frame_cpu += fc;
    printf("time %-8s frame %.2f/%.2f", p.name, fw, fc);
    for (int k = 0; k < NPASS; k++) {
      printf(" %s %.2f/%.2f/%.2f", PASS_NAMES[k], least_wall[k], least_cpu[k], least_main[k]);
      if (stats_ok && k != FRAME_WEATHER && k != FRAME_OVERLAY) printf(" (%.0fk/%.0fk)", frags[k] / 1000, passed[k] / 1000);
      sum_wall[k] += least_wall[k], sum_cpu[k] += least_cpu[k], sum_main[k] += least_main[k];
    }
    printf("\n");
  }
  frozen_ticks = 0;
  if (repeat > 0) {
    double tw = 0, tc = 0;
    double tm = 0;
    printf("time, least over %d frames, summed over the poses (ms of wall/all threads/main thread): frame %.1f/%.1f",
           repeat, frame_wall, frame_cpu);
    for (int k = 0; k < NPASS; k++) {
      printf(" %s %.1f/%.1f/%.1f", PASS_NAMES[k], sum_wall[k], sum_cpu[k], sum_main[k]);
      tw += sum_wall[k], tc += sum_cpu[k], tm += sum_main[k];
    }
    printf(" all %.1f/%.1f/%.1f\n", tw, tc, tm);
  }
  if (ref_dir)
    printf("%s\n", failed ? "poses: the picture changed (mean difference per channel above 2/255)"
                          : "poses: the same picture");
  return failed ? 1 : 0;
}
