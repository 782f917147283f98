// Rain: streaks falling one step per update in a box that stands ahead of the camera, drawn as
// blended lines that fade in from their tops.
#include "fx/weather.h"
#include "core/params.h"
#include "render/shader.h"
#include "core/util.h"
#include <GL/glew.h>
#include <SDL.h>
#include <cmath>

uarray<droplet> rain_droplets;
float rain_radius;

void rain_init(float radius) {
  uint32_t n = (uint32_t)i_rain_ndroplets;
  rain_droplets.count = 0;
  uint64_t cap = 10 * sizeof(droplet);
  while (cap <= (uint64_t)n * sizeof(droplet)) cap *= 2;
  if (cap > UINT32_MAX) urealloc_fail(cap);
  rain_droplets.items = (droplet *)urealloc(rain_droplets.items, (size_t)cap);
  rain_droplets.capacity = (uint32_t)cap;
  rain_radius = radius;
  rain_spawn(n, radius);
}

void rain_spawn(uint32_t n, float radius) {
  for (uint32_t i = 0; i < n; i++) {
    float u1 = urandf(), u2 = urandf(), u3 = urandf(), u4 = urandf();
    droplet d = {u1 * 2 * radius - radius, u2 * RAIN_TOP, u3 * 2 * radius - radius, u4 + 2};
    ua_push(rain_droplets, d);
  }
}

void rain_update(void) {
  for (droplet &d : rain_droplets) {
    d.y -= RAIN_FALL_PER_STEP;
    if (d.y < 0) d.y = RAIN_TOP; // back to the top exactly, not minus the overshoot
  }
}

// sin and cos of a slow and a fast wave of the tick count: the wind sways the streaks
static float wave(uint32_t period, bool cosine) {
  const float two_pi = 6.2831853f;
  float a = two_pi * (float)(SDL_GetTicks() % (period + 1)) / (float)period;
  return cosine ? cosf(a) : sinf(a);
}

void rain_draw(const float campos[3], float yaw) {
  float a = yaw * (float)(M_PI / 180);
  float r = rain_radius;
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glLineWidth(2.5f);
  glPushMatrix();
  glTranslatef(campos[0] + sinf(a) * r, campos[1], campos[2] - cosf(a) * r);
  float dx = wave(2000, false);
  dx *= wave(500, false) * 0.05f;
  float dz = wave(2000, true);
  dz *= wave(500, true) * 0.05f;
  for (const droplet &d : rain_droplets) {
    // one primitive per streak: about 0.4 ms of CPU a frame per thousand streaks on llvmpipe
    glBegin(GL_LINES);
    glColor4f(1, 1, 1, 0);
    glVertex3f(d.x, d.y, d.z);
    glColor4f(1, 1, 1, 0.048f);
    glVertex3f(d.x + dx, d.y - d.length, d.z + dz);
    glEnd();
  }
  glPopMatrix();
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
}
