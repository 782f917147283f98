// The update step: events, sticks and mouse buttons, then every per-step system in order.
#include "app/app.h"
#include "core/params.h"
#include "core/timer.h"
#include "render/overlay.h"
#include "fx/postproc.h"
#include "fx/weather.h"
#include "sound/sound.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/spawn.h"
#include "core/util.h"
#include <SDL.h>
#include <cmath>

int g_quit, g_mouse_captured, g_moved, g_screenshot_request, g_walk_speed_saved;
float g_in_forward, g_in_strafe, g_saved_walk_speed;

static void capture_mouse(bool on) {
  SDL_SetWindowGrab(g_window, on ? SDL_TRUE : SDL_FALSE);
  SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
  g_mouse_captured = on;
}

static void discard_events(void) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
  }
}

void handle_key(int32_t key, uint16_t mod) {
  if (key == SDLK_ESCAPE) {
    g_quit = 1;
  } else if (key == SDLK_9) {
    b_camera_clamp_y = !b_camera_clamp_y;
    if (!b_camera_clamp_y) {
      g_saved_walk_speed = f_walk_speed;
      g_walk_speed_saved = 1;
      f_walk_speed = 50;
    } else if (g_walk_speed_saved) {
      f_walk_speed = g_saved_walk_speed; // whatever it was, 0 and below included
    } // no speed was ever saved (flight came from "param.cfg"): keep the configured speed
  } else if ((key == SDLK_q || key == SDLK_TAB) && (mod & KMOD_ALT)) {
    // the Alt state travels with the key event: by the time the step reads the queue, a quick
    // Alt+Q has already let go of Alt
    capture_mouse(false);
  } else if (key == SDLK_PRINTSCREEN || key == SDLK_p) {
    g_screenshot_request = 1;
  } else if (key == SDLK_0) {
    clut_toggle();
  }
}

float stick_value(int16_t raw) {
  float v = raw / 32767.0f;
  return fabsf(v) > 0.24f ? v : 0;
}

static float axis(SDL_GameControllerAxis a) {
  return g_controller ? stick_value(SDL_GameControllerGetAxis(g_controller, a)) : 0;
}

void footsteps_update_at(uint32_t now) {
  footsteps_step(now, g_in_forward != 0 || g_in_strafe != 0, g_jump_offset, step_period());
}

void footsteps_update(void) { footsteps_update_at(SDL_GetTicks()); }

void game_update(float dt) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    switch (ev.type) {
    case SDL_KEYDOWN:
      handle_key(ev.key.keysym.sym, ev.key.keysym.mod);
      break;
    case SDL_QUIT:
      g_quit = 1;
      break;
    case SDL_WINDOWEVENT:
      if (ev.window.event == SDL_WINDOWEVENT_RESIZED) resize(ev.window.data1, ev.window.data2);
      break;
    case SDL_MOUSEMOTION:
      if (g_mouse_captured) {
        cam_add_pitch(&g_cam, ev.motion.yrel / 10.0f);
        g_cam.yaw += ev.motion.xrel / 10.0f;
        cam_update_vectors(&g_cam);
      }
      break;
    case SDL_CONTROLLERBUTTONDOWN:
      if (ev.cbutton.button == SDL_CONTROLLER_BUTTON_A && g_jump_offset == 0) g_jump_velocity = 0.25f;
      break;
    }
  }
  g_in_forward = 0;
  g_in_strafe = 0;
  float rx = axis(SDL_CONTROLLER_AXIS_RIGHTX), ry = axis(SDL_CONTROLLER_AXIS_RIGHTY);
  if (rx != 0) {
    g_cam.yaw += rx * 90 * dt;
    cam_update_vectors(&g_cam);
  }
  if (ry != 0) cam_add_pitch(&g_cam, -ry * 90 * dt);
  float lx = axis(SDL_CONTROLLER_AXIS_LEFTX), ly = axis(SDL_CONTROLLER_AXIS_LEFTY);
  if (lx != 0) g_in_strafe = lx;
  if (ly != 0) g_in_forward = -ly;
  uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
  if (buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) {
    if (!g_mouse_captured) {
      capture_mouse(true);
      discard_events(); // the capturing click itself does not walk
    } else {
      g_in_forward = 1;
    }
  } else if (buttons & SDL_BUTTON(SDL_BUTTON_RIGHT)) {
    g_in_forward = -1;
  }
  if (fabsf(g_in_forward) > 0.1f || fabsf(g_in_strafe) > 0.1f) g_moved = 1;
  timer_poll();
  cam_move();
  check_uniqs();
  grass_update(g_cam.pos);
  snd_listener_update(g_cam.pos, g_cam.yaw);
  footsteps_update();
  cam_sway();
  if (g_moved) {
    g_overlay_alpha -= 1.0f / 60;
    if (g_overlay_alpha < 0) g_overlay_alpha = 0;
  }
  if (i_rain_ndroplets > 0) rain_update();
  if (i_snow_nflakes > 0) snow_update(g_cam.pos);
  clut_update(objmap_get_brush(g_cam.pos[0], g_cam.pos[2])->clut, dt);
  jump_step();
}
