// velder-fly: loads a world with the game's own code in a real window, flies a fixed path over it
// and reports load time by phase, frame times (also in bare frames), items drawn, memory and GPU
// time per pass.
// Usage: velder-fly [--frames N] [--out FILE] DIR, or
//        velder-fly --poses OUT [--reference REF] [--only A,B] [--time N] DIR, or
//        velder-fly --map OUT.png [--seed N] DIR,
// run from the folder that holds shader/.
#include "fly.h"
#include "app/app.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "sound/sound.h"
#include "world/object.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include "world/wdraw.h"
#include <GL/glew.h>
#include <SDL.h>
#include <sys/resource.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { FLY_SEED = 1, NPASS = FRAME_END, WOODS_GRID = 16 };
static const char *const PASS_NAMES[NPASS] = {"sky", "terrain", "grass", "world items", "weather",
                                               "post-processing", "overlay"};
static const char *const CSV_NAMES[NPASS] = {"sky", "terrain", "grass", "world_items", "weather", "postproc", "overlay"};

static double cpu_ms(void) { return fly_clock_ms(CLOCK_PROCESS_CPUTIME_ID); }
static double main_cpu_ms(void) { return fly_clock_ms(CLOCK_THREAD_CPUTIME_ID); }

static double now_ms(void) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Load phases: the time since the previous phase ended, with the GL work finished.
static std::vector<std::pair<std::string, double>> phases;
static double phase_start;
static void phase_end(const char *name) {
  glFinish();
  double t = now_ms();
  phases.push_back({name, t - phase_start});
  phase_start = t;
}

// Time per pass, on every other frame. llvmpipe renders a frame tile by tile, so without a break
// between passes a pass's timer query spans the whole frame's rasterisation; these frames finish
// each pass before the next begins (glFinish), so that the query holds the pass's rasterisation
// and the wall time its whole cost, vertex work on this thread included. The frames in between
// run as in the game and give the frame times.
static GLuint queries[NPASS];
static int pass_open = -1;
static bool gpu_ok;
static double pass_start, pass_wall[NPASS + 1]; // the last: the buffer swap
static double pass_cpu_start, pass_cpu[NPASS + 1], pass_main_start, pass_main[NPASS + 1];
static void pass_begins(int pass) {
  // the end of a query belongs to the work it closes: queued before the finish, not after
  if (pass_open >= 0 && gpu_ok) glEndQuery(GL_TIME_ELAPSED);
  glFinish();
  if (pass_open >= 0) pass_wall[pass_open] = now_ms() - pass_start;
  if (pass_open >= 0) pass_cpu[pass_open] = cpu_ms() - pass_cpu_start;
  if (pass_open >= 0) pass_main[pass_open] = main_cpu_ms() - pass_main_start;
  pass_open = -1;
  if (pass < NPASS) {
    if (gpu_ok) glBeginQuery(GL_TIME_ELAPSED, queries[pass]);
    pass_open = pass;
  }
  pass_start = now_ms();
  pass_cpu_start = cpu_ms();
  pass_main_start = main_cpu_ms();
}

// The centre of the grid cell with the most trees (mass objects when the world has no trees).
static void find_woods(float *x, float *z) {
  float size = g_terrain->sz, cell = size / WOODS_GRID;
  int count[WOODS_GRID][WOODS_GRID] = {};
  bool trees = false;
  for (uint32_t i = 0; i < wi_list.count; i++) trees |= wi_list.items[i].obj->is_tree != 0;
  int bi = WOODS_GRID / 2, bj = WOODS_GRID / 2;
  for (uint32_t i = 0; i < wi_list.count; i++) {
    const wi &w = wi_list.items[i];
    if (trees ? !w.obj->is_tree : w.obj->type != WOBJ_MASS) continue;
    int ci = (int)((w.pos[0] + size / 2) / cell), cj = (int)((w.pos[2] + size / 2) / cell);
    if (ci < 0 || cj < 0 || ci >= WOODS_GRID || cj >= WOODS_GRID) continue;
    if (++count[ci][cj] > count[bi][bj]) bi = ci, bj = cj;
  }
  *x = (bi + 0.5f) * cell - size / 2;
  *z = (bj + 0.5f) * cell - size / 2;
}

// The bare frame: what every frame costs whatever the world shows. The off-screen target bound,
// its depth cleared, the post pass to the window and the swap, at the same size, nothing drawn.
// Frames are reported in these too: a ratio that holds from one machine to another.
static double bare_frame_ms(void) {
  double t0 = now_ms();
  postproc_begin();
  glClear(GL_DEPTH_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, i_screen_w, i_screen_h);
  postproc_draw();
  SDL_GL_SwapWindow(g_window);
  return now_ms() - t0;
}

static void usage(void) {
  fprintf(stderr, "usage: velder-fly [--frames N] [--out FILE] DIR\n"
                  "       velder-fly --poses OUT [--reference REF] [--only A,B] [--time N] DIR\n"
                  "  run from the folder that holds shader/; N frames (default 600) along a fixed path;\n"
                  "  FILE gets one CSV line per frame; frames are also given in bare frames (the\n"
                  "  off-screen target, its depth clear, the post pass and the swap alone)\n"
                  "  --poses: no flight; fixed poses with the clock frozen, captured into OUT and\n"
                  "  compared with the half-size pictures in REF (only the poses named A, B); each pose\n"
                  "  drawn N times more, with the least time of each pass\n"
                  "       velder-fly --guide OUT DIR: the pictures of docs/worlds.md into OUT\n"
                  "       velder-fly --map OUT.png [--seed N] DIR: the world from above as the game grows it\n"
                  "  with the seed N (default 1): regions, items, landmarks, the start and its view, a scale\n");
  exit(2);
}

struct fly_samples {
  std::vector<double> frame, update, items; // frame: the frames run as in the game
  std::vector<double> frame_cpu;             // their CPU time, all threads
  std::vector<double> bare;                  // a bare frame after each of them
  std::vector<double> gpu[NPASS], wall[NPASS + 1], cpu[NPASS + 1], main[NPASS + 1]; // the frames timed pass by pass
  std::vector<int> timed; // per frame: whether its passes were timed
};

// The frame in bare frames: its median and 99th percentile over the bare frame's median.
static void report_bare(const fly_samples &s) {
  double bare = fly_percentile(s.bare, 50);
  printf("  %-22s %9.1f\n", "bare frame median", bare);
  printf("  %-22s %9.1f\n", "median in bare", bare > 0 ? fly_percentile(s.frame, 50) / bare : 0);
  printf("  %-22s %9.1f\n", "99th pct in bare", bare > 0 ? fly_percentile(s.frame, 99) / bare : 0);
}

static void report(const char *dir, const fly_path &path, float woods_x, float woods_z, const fly_samples &s) {
  printf("\nvelder-fly: %s, %d x %d, %zu frames along %.0f units, seed %d\n", dir, i_screen_w, i_screen_h,
         s.timed.size(), path.length, FLY_SEED);
  printf("renderer: %s\n", (const char *)glGetString(GL_RENDERER));
  printf("path: start (%.0f, %.0f), woods (%.0f, %.0f), (%.0f, %.0f), (%.0f, %.0f), start\n", path.x[0], path.z[0],
         woods_x, woods_z, path.x[2], path.z[2], path.x[3], path.z[3]);
  double total = 0;
  printf("\n%-24s %9s\n", "load phase", "ms");
  for (auto &p : phases) {
    printf("  %-22s %9.1f\n", p.first.c_str(), p.second);
    total += p.second;
  }
  printf("  %-22s %9.1f\n", "total", total);
  printf("\n%-24s %9s\n", "frame (every other)", "ms");
  printf("  %-22s %9.1f\n", "median", fly_percentile(s.frame, 50));
  printf("  %-22s %9.1f\n", "95th percentile", fly_percentile(s.frame, 95));
  printf("  %-22s %9.1f\n", "99th percentile", fly_percentile(s.frame, 99));
  printf("  %-22s %9.1f\n", "worst", fly_percentile(s.frame, 100));
  printf("  %-22s %9.1f\n", "worst update step", fly_percentile(s.update, 100));
  printf("  %-22s %9.1f\n", "cpu median", fly_percentile(s.frame_cpu, 50));
  report_bare(s);
  printf("\nworld items drawn per frame: median %.0f, most %.0f\n", fly_percentile(s.items, 50),
         fly_percentile(s.items, 100));
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  printf("peak resident memory: %.0f MB\n", (double)ru.ru_maxrss / 1024);
  if (!gpu_ok) printf("\ngpu time per pass: no timer queries on this driver (gpu columns read 0)\n");
  double gpu_sum = 0, wall_sum = 0, cpu_sum = 0, main_sum = 0;
  for (int p = 0; p <= NPASS; p++)
    wall_sum += fly_mean(s.wall[p]), cpu_sum += fly_mean(s.cpu[p]), main_sum += fly_mean(s.main[p]);
  for (int p = 0; p < NPASS; p++) gpu_sum += fly_mean(s.gpu[p]);
  printf("\n%-20s %10s %9s %9s %9s %9s %9s %6s\n", "time per pass", "gpu median", "gpu mean", "gpu worst", "wall mean",
         "cpu mean", "main cpu", "share");
  for (int p = 0; p <= NPASS; p++) {
    double wall = fly_mean(s.wall[p]);
    if (p < NPASS)
      printf("  %-18s %10.2f %9.2f %9.2f %9.2f %9.2f %9.2f %5.0f%%\n", PASS_NAMES[p], fly_percentile(s.gpu[p], 50),
             fly_mean(s.gpu[p]), fly_percentile(s.gpu[p], 100), wall, fly_mean(s.cpu[p]), fly_mean(s.main[p]),
             wall_sum > 0 ? wall / wall_sum * 100 : 0);
    else
      printf("  %-18s %10s %9s %9s %9.2f %9.2f %9.2f %5.0f%%\n", "buffer swap", "", "", "", wall, fly_mean(s.cpu[p]),
             fly_mean(s.main[p]),
             wall_sum > 0 ? wall / wall_sum * 100 : 0);
  }
  printf("  %-18s %10s %9.2f %9s %9.2f %9.2f %9.2f\n", "all", "", gpu_sum, "", wall_sum, cpu_sum, main_sum);
}

static void write_csv(const char *out, const fly_path &path, const fly_samples &s) {
  FILE *fp = fopen(out, "w");
  if (!fp) uerror("failed to open %s", out);
  fprintf(fp, "frame,x,z,update_ms,items,frame_ms");
  for (const char *n : CSV_NAMES) fprintf(fp, ",gpu_%s_ms", n);
  for (const char *n : CSV_NAMES) fprintf(fp, ",wall_%s_ms", n);
  fprintf(fp, ",wall_swap_ms\n");
  size_t n = s.timed.size(), plain = 0, timed = 0;
  for (size_t f = 0; f < n; f++) {
    float x, z, yaw;
    fly_path_pose(&path, n > 1 ? path.length * f / (n - 1) : 0, &x, &z, &yaw);
    fprintf(fp, "%zu,%.2f,%.2f,%.3f,%.0f,", f, x, z, s.update[f], s.items[f]);
    if (!s.timed[f]) {
      fprintf(fp, "%.3f", s.frame[plain++]);
      for (int p = 0; p < 2 * NPASS + 1; p++) fprintf(fp, ",");
    } else {
      for (auto &g : s.gpu) fprintf(fp, ",%.3f", g[timed]);
      for (auto &w : s.wall) fprintf(fp, ",%.3f", w[timed]);
      timed++;
    }
    fprintf(fp, "\n");
  }
  fclose(fp);
}

int main(int argc, char **argv) {
  int frames = 600;
  const char *out = nullptr, *dir = nullptr, *poses = nullptr, *ref = nullptr, *only = nullptr;
  int repeat = 0;
  const char *guide = nullptr, *map = nullptr;
  int seed = FLY_SEED;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = atoi(argv[++i]);
    else if (strcmp(argv[i], "--out") == 0 && i + 1 < argc) out = argv[++i];
    else if (strcmp(argv[i], "--poses") == 0 && i + 1 < argc) poses = argv[++i];
    else if (strcmp(argv[i], "--reference") == 0 && i + 1 < argc) ref = argv[++i];
    else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    else if (strcmp(argv[i], "--time") == 0 && i + 1 < argc) repeat = atoi(argv[++i]);
    else if (strcmp(argv[i], "--guide") == 0 && i + 1 < argc) guide = argv[++i];
    else if (strcmp(argv[i], "--map") == 0 && i + 1 < argc) map = argv[++i];
    else if (strcmp(argv[i], "--seed") == 0 && i + 1 < argc) seed = atoi(argv[++i]);
    else if (argv[i][0] == '-' || dir) usage();
    else dir = argv[i];
  }
  if (!dir || frames < 1 || ((ref || only || repeat) && !poses) || (seed != FLY_SEED && !map)) usage();

  usetroot(dir);
  init();
  usrand((uint32_t)seed); // the same world every run: placement draws from the shared generator
  gpu_ok = GLEW_ARB_timer_query;
  if (gpu_ok) glGenQueries(NPASS, queries);

  // what game_main does before its loop, with the phases timed
  phase_start = now_ms();
  snd_ambient_start();
  phase_end("ambient sound");
  g_world_load_phase = phase_end;
  world_load();
  g_world_load_phase = nullptr;
  resize(i_screen_w, i_screen_h);
  render_frame();
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
  }
  g_moved = 1; // the logo fades as after the player's first step
  SDL_SetWindowTitle(g_window, "velder-fly");

  fly_path path;
  float woods_x, woods_z;
  find_woods(&woods_x, &woods_z);
  if (poses || guide || map) {
    int status = poses ? fly_poses(poses, ref, only, repeat, woods_x, woods_z) : guide ? fly_guide(guide) : fly_map(map, dir, seed);
    SDL_GL_DeleteContext(g_gl_context);
    SDL_Quit();
    return status;
  }
  fly_path_build(&path, v3_camera_start_pos[0], v3_camera_start_pos[2], woods_x, woods_z, g_terrain->sz);

  fly_samples s;
  double last = now_ms(), last_cpu = cpu_ms();
  for (int f = 0; f < frames && !g_quit; f++) {
    float x, z, yaw;
    fly_path_pose(&path, frames > 1 ? path.length * f / (frames - 1) : 0, &x, &z, &yaw);
    g_cam.pos[0] = x;
    g_cam.pos[1] = tn_height(g_terrain, x, z) + 1.75f; // the update sets it again when walking
    g_cam.pos[2] = z;
    g_cam.yaw = yaw;
    g_cam.pitch = 0;
    cam_update_vectors(&g_cam);
    bool timed = f % 2 == 1;
    g_frame_pass_hook = timed ? pass_begins : nullptr;
    double t0 = now_ms();
    game_update(1.0f / 30);
    s.update.push_back(now_ms() - t0);
    render_frame();
    double t1 = now_ms();
    s.items.push_back(r.ndraw);
    s.timed.push_back(timed);
    g_wi_nsorted = 0;
    if (timed) {
      pass_wall[NPASS] = t1 - pass_start;
      pass_cpu[NPASS] = cpu_ms() - pass_cpu_start;
      pass_main[NPASS] = main_cpu_ms() - pass_main_start;
      for (int p = 0; p <= NPASS; p++)
        s.wall[p].push_back(pass_wall[p]), s.cpu[p].push_back(pass_cpu[p]), s.main[p].push_back(pass_main[p]);
      for (int p = 0; p < NPASS; p++) {
        GLuint64 ns = 0;
        if (gpu_ok) glGetQueryObjectui64v(queries[p], GL_QUERY_RESULT, &ns);
        s.gpu[p].push_back((double)ns / 1e6);
      }
    } else {
      s.frame.push_back(t1 - last); // update, drawing and swap, as the game's loop runs them
      s.frame_cpu.push_back(cpu_ms() - last_cpu);
      s.bare.push_back(bare_frame_ms());
    }
    last = now_ms();
    last_cpu = cpu_ms();
  }
  g_frame_pass_hook = nullptr;

  report(dir, path, woods_x, woods_z, s);
  if (out) write_csv(out, path, s);
  SDL_GL_DeleteContext(g_gl_context);
  SDL_Quit();
  return 0;
}
