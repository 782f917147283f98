// Snow: a static cloud of small upright quads in one buffer, moved by the snow shader from the
// tick count and drawn five times a frame with rising opacity, which leaves short trails.
#include "fx/weather.h"
#include "core/params.h"
#include "core/util.h"
#include "render/shader.h"
#include <GL/glew.h>
#include <SDL.h>
#include <cmath>
#include <cstdlib>

enum { SNOW_RANDRAD = 50 }; // the cloud spans [-50, 50] on each axis round its centre
#define SNOW_RAISE 37.5f    // the centre stands this far above the camera

static GLuint snow_buffer;
static prg *snow_program;
static uint32_t snow_count;
static float snow_colour[3];
static float snow_origin[3];
static uint32_t snow_time;

void snow_flake_quad(float out[SNOW_FLAKE_FLOATS], float fx, float fy, float fz, float theta) {
  float c = cosf(theta) * SNOW_HALF, s = sinf(theta) * SNOW_HALF;
  const float corner[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}}; // (side, up)
  for (int v = 0; v < 4; v++) {
    out[v * 3 + 0] = fx + corner[v][0] * c;
    out[v * 3 + 1] = fy + corner[v][1] * SNOW_HALF;
    out[v * 3 + 2] = fz + corner[v][0] * s;
  }
}

void snow_init(const float colour[3]) {
  for (int k = 0; k < 3; k++) snow_colour[k] = colour[k];
  snow_program = g_shader_table[PRG_SNOW].program;
  uint32_t n = snow_count = (uint32_t)i_snow_nflakes;
  size_t bytes = (size_t)n * SNOW_FLAKE_FLOATS * sizeof(float);
  float *v = (float *)umalloc(bytes);
  for (uint32_t i = 0; i < n; i++) {
    float theta = urandf() * 360 * (float)(M_PI / 180);
    float fx = urandf() * 100 - 50;
    float fy = urandf() * 100 - 50;
    float fz = urandf() * 100 - 50;
    snow_flake_quad(v + (size_t)i * SNOW_FLAKE_FLOATS, fx, fy, fz, theta);
  }
  if (snow_buffer) glDeleteBuffers(1, &snow_buffer); // a reload's new flakes replace the old
  glGenBuffers(1, &snow_buffer);
  glBindBuffer(GL_ARRAY_BUFFER, snow_buffer);
  glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)bytes, v, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  free(v);
  GLuint id = snow_program ? snow_program->id : 0;
  glUseProgram(id);
  if (id) glUniform1f(glGetUniformLocation(id, "randrad"), SNOW_RANDRAD);
  glUseProgram(0);
}

void snow_update(const float campos[3]) {
  for (int k = 0; k < 3; k++) snow_origin[k] = campos[k];
  snow_time = SDL_GetTicks();
}

void snow_draw(void) {
  GLuint id = snow_program ? snow_program->id : 0;
  glUseProgram(id);
  // set every time: a relinked program starts with its uniforms at zero
  if (id) glUniform1f(glGetUniformLocation(id, "randrad"), SNOW_RANDRAD);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glPushMatrix();
  glTranslatef(snow_origin[0], snow_origin[1] + SNOW_RAISE, snow_origin[2]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, snow_buffer);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  GLint time_loc = id ? glGetUniformLocation(id, "time") : -1;
  // five copies, 20 ms apart up to the last step's time; the newest is the most opaque
  float alpha = 0.1f;
  int32_t t = (int32_t)snow_time - 20;
  for (int pass = 0; pass < 5; pass++) {
    glColor4f(snow_colour[0], snow_colour[1], snow_colour[2], alpha);
    if (time_loc >= 0) glUniform1i(time_loc, t);
    glDrawArrays(GL_QUADS, 0, (GLsizei)(4 * snow_count));
    alpha += 0.125f;
    t += 5;
  }
  // the next frame's passes may use client-side arrays: leave no buffer behind
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
  glColor4f(1, 1, 1, 1);
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glUseProgram(0);
}
