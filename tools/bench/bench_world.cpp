// Benchmark: spawning and quadtree building on a dense world, the per-frame query plus sort, and
// the update steps that cross grass patch boundaries (three patches built, or five on a diagonal;
// these need a display for the buffer uploads, e.g. under xvfb-run).
// Usage: velder-bench [WORLD_DIR] [--benchmark_... flags]; without a folder a dense world is
// written with velder-worldgen into a temporary folder.
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "render/frustum.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/object.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include "world/wdraw.h"
#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <unistd.h>
#include <string>
#include <vector>

// Textures are not loaded (no context): every name gets a 256 x 256 record of its own.
static std::vector<texture *> g_fake_textures;
static texture *fake_texture(const char *name) {
  texture *t = new texture{256, 256, (uint32_t)g_fake_textures.size() + 1, 0};
  g_fake_textures.push_back(t);
  return t;
}

static void load_terrain(void) {
  g_terrain = tn_alloc();
  SDL_Surface *s = SDL_LoadBMP(ufmt("%s/hm.bmp", g_root));
  if (!s) uerror("SDL_LoadBMP: %s", SDL_GetError());
  g_terrain->hm = new heightmap{s, f_tn_hm_maxy};
  tn_sample_heights(g_terrain);
}

static void load_catalogue_and_brushes(void) {
  wobj_clear();
  brush_clear();
  parse_index();
  parse_brushes();
}

static void build_quadtree(void) {
  g_quadtree = qt_create();
  qt_fill(g_quadtree);
}

static void BM_LoadCatalogueAndBrushes(benchmark::State &st) {
  for (auto _ : st) load_catalogue_and_brushes();
}

static void BM_SpawnAll(benchmark::State &st) {
  for (auto _ : st) spawn_all();
  st.counters["items"] = wi_list.count;
}

static void BM_QuadtreeBuild(benchmark::State &st) {
  for (auto _ : st) build_quadtree(); // the trees are never freed, as in the game
  st.counters["items"] = wi_list.count;
}

static void BM_SpawnAndQuadtree(benchmark::State &st) {
  for (auto _ : st) {
    spawn_all();
    build_quadtree();
  }
  st.counters["items"] = wi_list.count;
}

// The camera matrix and frustum of the game for a pose, without OpenGL.
static void frustum_for(float x, float z, float yaw, float pitch) {
  float y = tn_height(g_terrain, x, z) + 1.7f;
  float mv[16], pr[16] = {};
  mat4_identity(mv);
  mat4_rotate_x(mv, pitch);
  mat4_rotate_y(mv, yaw);
  mat4_translate(mv, -x, -y, -z);
  double f = 1 / tan(30 * M_PI / 180), n = 0.1f, fa = f_camera_zfar;
  pr[0] = (float)(f / ((double)i_screen_w / i_screen_h));
  pr[5] = (float)f;
  pr[10] = (float)((fa + n) / (n - fa));
  pr[11] = -1;
  pr[14] = (float)(2 * fa * n / (n - fa));
  frustum_update(mv, pr);
}

struct pose {
  float x, z, yaw, pitch;
};

static void BM_QueryAndSort(benchmark::State &st) {
  // eight poses inside the world, looking along it and across it
  float h = f_tn_sz * 0.3f;
  const pose poses[8] = {{0, 0, 0, 5},   {h, h, 45, 0},    {-h, h, 135, 10}, {-h, -h, 225, 0},
                         {h, -h, 315, 5}, {0, h, 180, 0}, {h, 0, 90, 15},   {-h, 0, 270, 0}};
  uarray<wi *> visible;
  size_t i = 0, nvis = 0, nframes = 0;
  for (auto _ : st) {
    const pose &p = poses[i++ % 8];
    frustum_for(p.x, p.z, p.yaw, p.pitch);
    plane planes[6];
    memcpy(planes, g_frustum, sizeof planes);
    visible.count = 0;
    qt_request q = {qt_test_frustum, planes, &visible, {p.x, 0, p.z}, g_quadtree->stamp++};
    qt_query(g_quadtree->root, &q);
    wi_sort(&visible);
    g_wi_nsorted = 0;
    nvis += visible.count;
    nframes++;
  }
  st.counters["items"] = wi_list.count;
  st.counters["visible"] = nframes ? (double)nvis / nframes : 0;
}

static bool g_have_gl; // a hidden window's context for the grass buffers

static bool gl_context(void) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
  SDL_Window *w = SDL_CreateWindow("velder-bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w || !SDL_GL_CreateContext(w)) return false;
  glewExperimental = GL_TRUE;
  return glewInit() == GLEW_OK;
}

// Update steps of the grass field that cross a boundary, from the camera's start patch to the
// next one and back: (dx, dz) = (1, 0) builds three patches a step, (1, 1) five. Reports the
// median and the worst step in milliseconds, of the clock and of this thread's processor time
// (which other processes on a busy machine do not stretch).
static void grass_crossings(benchmark::State &st, int dx, int dz) {
  if (!g_have_gl) {
    st.SkipWithError("no OpenGL context (no display): the grass steps upload buffers");
    return;
  }
  float half = f_tn_sz / 2, x = v3_camera_start_pos[0], z = v3_camera_start_pos[2];
  // the middle of the start patch, and of its neighbour, away from every other boundary
  float cx = (grass_patch_index(x, half) + 0.5f) * GRASS_PATCH_SIZE, cz = (grass_patch_index(z, half) + 0.5f) * GRASS_PATCH_SIZE;
  grass_field *f = g_grass ? g_grass : grass_create(cx, cz);
  float at[2][3] = {{cx, 0, cz}, {cx + dx * GRASS_PATCH_SIZE, 0, cz + dz * GRASS_PATCH_SIZE}};
  grass_update(at[0]);
  std::vector<double> ms, cpu;
  uint32_t built = g_grass_built;
  int i = 0;
  auto thread_ms = [] {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
  };
  for (auto _ : st) {
    auto t0 = std::chrono::steady_clock::now();
    double c0 = thread_ms();
    grass_update(at[++i % 2]);
    cpu.push_back(thread_ms() - c0);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  std::sort(cpu.begin(), cpu.end());
  st.counters["median_ms"] = ms[ms.size() / 2];
  st.counters["worst_ms"] = ms.back();
  st.counters["median_cpu_ms"] = cpu[cpu.size() / 2];
  st.counters["worst_cpu_ms"] = cpu.back();
  st.counters["built_per_step"] = (double)(g_grass_built - built) / ms.size();
  (void)f;
}

static void BM_GrassCrossing(benchmark::State &st) { grass_crossings(st, 1, 0); }
static void BM_GrassCrossingDiagonal(benchmark::State &st) { grass_crossings(st, 1, 1); }

BENCHMARK(BM_LoadCatalogueAndBrushes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SpawnAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QuadtreeBuild)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SpawnAndQuadtree)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QueryAndSort)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrassCrossing)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_GrassCrossingDiagonal)->Unit(benchmark::kMillisecond)->Iterations(40);

static std::string g_made; // the temporary folder of a world written here, removed at the end

static std::string make_world(void) {
#ifdef VELDER_WORLDGEN
  char t[] = "/tmp/velder-bench-XXXXXX";
  g_made = mkdtemp(t);
  std::string dir = g_made + "/dense";
  std::string cmd = std::string(VELDER_WORLDGEN) + " --preset dense '" + dir + "' >/dev/null";
  if (system(cmd.c_str()) != 0) uerror("velder-worldgen failed: %s", cmd.c_str());
  return dir;
#else
  uerror("no world folder given and velder-worldgen is not built");
#endif
}

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  std::string dir = argc > 1 ? argv[1] : make_world();
  usetroot(dir.c_str());
  parse_cfg();
  g_wobj_texture_get = fake_texture;
  // the loading messages (printed again on every spawn) would drown the figures: they go to
  // /dev/null, the figures to the original standard output
  fflush(stdout);
  int out_fd = dup(1);
  if (out_fd < 0 || !freopen("/dev/null", "w", stdout)) return 1;
  std::ofstream figures("/dev/fd/" + std::to_string(out_fd));
  g_have_gl = gl_context();
  load_terrain();
  load_catalogue_and_brushes();
  spawn_all();
  build_quadtree();
  fprintf(stderr, "world %s: %u objects, %zu brushes, object map %dx%d, %u items, %u landmarks\n", dir.c_str(),
          (unsigned)g_nwobjs, g_nbrushes, g_objmap->w, g_objmap->h, wi_list.count, uniq_count);
  benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular); // no colour codes in logs
  reporter.SetOutputStream(&figures);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (!g_made.empty()) (void)!system(("rm -rf '" + g_made + "'").c_str());
  return 0;
}
