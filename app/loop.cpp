// The main loop: fixed 33 ms update steps, one frame after each batch, a frame-rate sample a second.
#include "app/app.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "render/texture.h"
#include "sound/sound.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/wdraw.h"
#include <GL/glew.h>
#include <SDL.h>
#include <cmath>

uint32_t loop_steps(uint32_t *sim_time, uint32_t now) {
  if (!(*sim_time < now)) return 0;
  uint32_t n = (now - *sim_time - 1) / 33 + 1;
  *sim_time += 33 * n;
  return n;
}

struct fps_sampler {
  uint32_t frames, last, samples, below60, below30;
};

// Frames around reloads: from a reload until a second later, the longest time from one frame to
// the next is r.reload_frame_ms_max, the hitch a world maker sees when saving a file.
static uint32_t reload_watch_until;

static void watch_reloads(void) { reload_watch_until = SDL_GetTicks() + 1000; }

static void frame_done(void) {
  static uint64_t last;
  uint64_t now = SDL_GetPerformanceCounter();
  if (last && SDL_GetTicks() <= reload_watch_until) {
    float ms = (float)((now - last) * 1000.0 / (double)SDL_GetPerformanceFrequency());
    if (ms > r.reload_frame_ms_max) r.reload_frame_ms_max = ms;
  }
  last = now;
}

static void take_sample(fps_sampler &s) {
  SDL_SetWindowTitle(g_window, "Velder 2");
  s.samples++;
  if (s.frames < 60) s.below60++;
  if (s.frames < 30) s.below30++;
  r.fps_lt_60 = (float)s.below60 / (float)s.samples * 100;
  r.fps_lt_30 = (float)s.below30 / (float)s.samples * 100;
  r.fps = s.frames;
  if ((float)r.fps < (float)r.fps_min) r.fps_min = r.fps;
  if ((float)r.fps > (float)r.fps_max) r.fps_max = r.fps;
  s.frames = 0;
  s.last = SDL_GetTicks();
  // changed files are reloaded here, between frames, once a second
  if (fmon_poll() > 0) watch_reloads();
}

// One update step, timed: r.step_ms_max keeps the longest, the worst hitch of the run.
static void timed_update(void) {
  uint64_t t0 = SDL_GetPerformanceCounter();
  game_update(1.0f / 30);
  float ms = (float)((SDL_GetPerformanceCounter() - t0) * 1000.0 / (double)SDL_GetPerformanceFrequency());
  if (ms > r.step_ms_max) r.step_ms_max = ms;
}

// After each step, the counters that show whether a long run walks and whether anything piles up.
static void count_step(void) {
  static float last[3];
  static brush *under;
  static bool started;
  float d[3] = {g_cam.pos[0] - last[0], g_cam.pos[1] - last[1], g_cam.pos[2] - last[2]};
  if (started) r.walk_dist += sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  for (int i = 0; i < 3; i++) last[i] = g_cam.pos[i];
  brush *b = objmap_get_brush(g_cam.pos[0], g_cam.pos[2]);
  if (started && b != under) r.region_changes++;
  under = b;
  started = true;
  r.grass_built = g_grass_built;
  if (g_grass_live > r.grass_live_peak) r.grass_live_peak = g_grass_live;
  if (snd_event_list().count > r.snd_events_peak) r.snd_events_peak = snd_event_list().count;
}

// Buffer and texture objects alive at the exit, whoever made them: every name the driver still
// knows, up to a million of each (a few milliseconds).
static void count_gl_objects(void) {
  r.gl_buffers = r.gl_textures = 0;
  for (GLuint n = 1; n <= 1u << 20; n++) {
    r.gl_buffers += glIsBuffer(n) ? 1 : 0;
    r.gl_textures += glIsTexture(n) ? 1 : 0;
  }
}

void game_main(void) {
  snd_ambient_start(); // world loading's first step
  world_load();
  resize(i_screen_w, i_screen_h);
  render_frame();
  g_mouse_captured = 0;
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
  }
  uint32_t sim = SDL_GetTicks();
  fps_sampler s = {};
  while (!g_quit) {
    for (uint32_t n = loop_steps(&sim, SDL_GetTicks()); n > 0; n--) {
      timed_update();
      count_step();
    }
    if (texmgr_poll(false) > 0) watch_reloads(); // reloaded images decoded meanwhile
    render_frame();
    frame_done();
    s.frames++;
    if (SDL_GetTicks() - s.last > 1000) take_sample(s);
    if (g_world_rebuilt) {
      // the world was built anew meanwhile: the player goes on from here, not with a burst of
      // the steps that time would have run
      sim = SDL_GetTicks();
      g_world_rebuilt = 0;
    }
    g_wi_nsorted = 0;
  }
  // nothing left running beside the game: decodings end before the window goes
  texmgr_poll(true);
  count_gl_objects();
  stats_print();
  uinfo("exit");
}
