// Camera movement: walking on the ground, head bob, sway and the jump.
#include "app/app.h"
#include "core/params.h"
#include "world/terrain.h"
#include <SDL.h>
#include <cmath>

float g_fwd_smooth, g_strafe_smooth, g_bob, g_jump_offset, g_jump_velocity;

static const float TWO_PI = 6.28318530717958647692f;

static float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

// Milliseconds of one walking cycle: 1000 standing, 600 at full input.
int32_t step_period(void) {
  float s = clampf(fabsf(g_in_strafe) + fabsf(g_in_forward), 0, 1);
  return (int32_t)((1 - s) * 400 + 600);
}

float eye_height(void) {
  int32_t p = step_period();
  float phase = (float)(SDL_GetTicks() % (uint32_t)(p + 1)) / (float)p * TWO_PI;
  g_bob = 0.25f * (0.06f * sinf(phase)) + 0.75f * g_bob;
  return 1.75f + g_jump_offset + (g_in_forward != 0 || g_in_strafe != 0 ? g_bob : 0);
}

void cam_move(void) {
  camera &c = g_cam;
  g_fwd_smooth += (g_in_forward - g_fwd_smooth) * 0.11111111f;
  g_strafe_smooth += (g_in_strafe - g_strafe_smooth) * 0.11111111f;
  float speed = f_walk_speed / 30;
  for (int k = 0; k < 3; k++) c.pos[k] += c.dir[k] * (g_fwd_smooth * speed);
  for (int k = 0; k < 3; k++) c.pos[k] += c.right[k] * (g_strafe_smooth * speed);
  float h = (g_terrain ? g_terrain->sz : f_tn_sz) * 0.5f;
  c.pos[0] = clampf(c.pos[0], -h, h);
  c.pos[2] = clampf(c.pos[2], -h, h);
  if (b_camera_clamp_y) c.pos[1] = (g_terrain ? tn_height(g_terrain, c.pos[0], c.pos[2]) : 0) + eye_height();
}

// The three slow waves of the sway, scaled for the intro or for standing still after moving.
static void sway(float a_amp, float pitch_scale, float yaw_scale) {
  uint32_t t = SDL_GetTicks();
  float a = sinf((float)(t % 5001) / 5000 * TWO_PI) * a_amp;
  float b = sinf((float)(t % 2301) / 2300 * TWO_PI) * 0.35f;
  cam_add_pitch(&g_cam, (a + b) * pitch_scale);
  g_cam.yaw += cosf((float)(t % 15001) / 15000 * TWO_PI) * 0.5f * yaw_scale;
  cam_update_vectors(&g_cam);
}

void cam_sway(void) {
  if (!g_moved) sway(0.15f, 0.1f, 0.25f);
  if (g_moved && g_in_forward == 0 && g_in_strafe == 0) sway(0.025f, 0.025f, 0.025f);
}

void jump_step(void) {
  g_jump_offset += g_jump_velocity;
  if (g_jump_offset < 0) {
    g_jump_offset = 0;
    g_jump_velocity = 0;
  } else {
    g_jump_velocity -= 0.022222223f;
  }
}
