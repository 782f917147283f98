// The main loop: fixed 33 ms update steps, one frame after each batch, a frame-rate sample a second.
#include "app/app.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "sound/sound.h"
#include "world/load.h"
#include "world/wdraw.h"
#include <SDL.h>

uint32_t loop_steps(uint32_t *sim_time, uint32_t now) {
  if (!(*sim_time < now)) return 0;
  uint32_t n = (now - *sim_time - 1) / 33 + 1;
  *sim_time += 33 * n;
  return n;
}

struct fps_sampler {
  uint32_t frames, last, samples, below60, below30;
};

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
  // changed shaders, textures and tree files are reloaded here, between frames, once a second
  fmon_poll();
}

// One update step, timed: r.step_ms_max keeps the longest, the worst hitch of the run.
static void timed_update(void) {
  uint64_t t0 = SDL_GetPerformanceCounter();
  game_update(1.0f / 30);
  float ms = (float)((SDL_GetPerformanceCounter() - t0) * 1000.0 / (double)SDL_GetPerformanceFrequency());
  if (ms > r.step_ms_max) r.step_ms_max = ms;
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
    for (uint32_t n = loop_steps(&sim, SDL_GetTicks()); n > 0; n--) timed_update();
    render_frame();
    s.frames++;
    if (SDL_GetTicks() - s.last > 1000) take_sample(s);
    g_wi_nsorted = 0;
  }
  stats_print();
  uinfo("exit");
}
