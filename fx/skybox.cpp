// Sky box: two cube maps from the sky faces and a camera-centred unit cube drawn each frame.
#include "fx/skybox.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/util.h"
#include "render/frustum.h"
#include "render/image.h"
#include "render/shader.h"
#include "render/texture.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

skybox *g_skybox;

const char *const g_sky_faces[6] = {
    "skybox/front.png", "skybox/right.png", "skybox/back.png",
    "skybox/left.png",  "skybox/top.png",   "skybox/bottom.png",
};
const char *const g_sky_env_faces[6] = {
    "skybox/s_front.png", "skybox/s_right.png", "skybox/s_back.png",
    "skybox/s_left.png",  "skybox/s_top.png",   "skybox/s_bottom.png",
};
static const GLenum face_targets[6] = {
    GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Z,
    GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
};

// z faces and the bottom look up (-x, y, z); x faces and the top look up (x, y, -z)
const float g_sky_cube[24][6] = {
    {-.5f, -.5f, -.5f, .5f, -.5f, -.5f}, {-.5f, .5f, -.5f, .5f, .5f, -.5f},
    {.5f, .5f, -.5f, -.5f, .5f, -.5f},   {.5f, -.5f, -.5f, -.5f, -.5f, -.5f},

    {.5f, -.5f, -.5f, .5f, -.5f, .5f},   {.5f, .5f, -.5f, .5f, .5f, .5f},
    {.5f, .5f, .5f, .5f, .5f, -.5f},     {.5f, -.5f, .5f, .5f, -.5f, -.5f},

    {.5f, -.5f, .5f, -.5f, -.5f, .5f},   {.5f, .5f, .5f, -.5f, .5f, .5f},
    {-.5f, .5f, .5f, .5f, .5f, .5f},     {-.5f, -.5f, .5f, .5f, -.5f, .5f},

    {-.5f, -.5f, .5f, -.5f, -.5f, -.5f}, {-.5f, .5f, .5f, -.5f, .5f, -.5f},
    {-.5f, .5f, -.5f, -.5f, .5f, .5f},   {-.5f, -.5f, -.5f, -.5f, -.5f, .5f},

    {-.5f, .5f, -.5f, -.5f, .5f, .5f},   {-.5f, .5f, .5f, -.5f, .5f, -.5f},
    {.5f, .5f, .5f, .5f, .5f, -.5f},     {.5f, .5f, -.5f, .5f, .5f, .5f},

    {-.5f, -.5f, .5f, .5f, -.5f, .5f},   {-.5f, -.5f, -.5f, .5f, -.5f, -.5f},
    {.5f, -.5f, -.5f, -.5f, -.5f, -.5f}, {.5f, -.5f, .5f, -.5f, -.5f, .5f},
};

uint32_t sky_odd_faces(const int w[6], const int h[6], int *side) {
  // the size most square faces share, the earliest on a tie; without a square face, the size
  // most faces share
  int best = -1, best_n = 0;
  for (int pass = 0; pass < 2 && best < 0; pass++)
    for (int i = 0; i < 6; i++) {
      if (pass == 0 && w[i] != h[i]) continue;
      int n = 0;
      for (int j = 0; j < 6; j++) n += w[j] == w[i] && h[j] == h[i];
      if (n > best_n) best = i, best_n = n;
    }
  *side = w[best];
  uint32_t odd = 0;
  for (int i = 0; i < 6; i++)
    if (w[i] != h[i] || w[i] != *side) odd |= 1u << i;
  return odd;
}

void sky_check_face(const char *face, int w, int h) {
  if (w > SKY_MAX_SIDE || h > SKY_MAX_SIDE)
    uerror_at("load_cubemap", __LINE__, "cube map face %s is %dx%d, larger than %dx%d", face, w, h, SKY_MAX_SIDE,
              SKY_MAX_SIDE);
}

uint32_t load_cubemap(const char *const faces[6], bool strict) {
  // every face is read and converted before anything reaches OpenGL
  uint8_t *pixels[6];
  int w[6], h[6];
  for (int i = 0; i < 6; i++) {
    SDL_Surface *surf = img_load(ufmt("%s/%s", g_root, faces[i]));
    if (!surf) {
      for (int k = 0; k < i; k++) free(pixels[k]); // a reload that fails goes on with the game
      uerror("failed to open %s", faces[i]);
    }
    w[i] = surf->w, h[i] = surf->h;
    if (w[i] > SKY_MAX_SIDE || h[i] > SKY_MAX_SIDE) {
      SDL_FreeSurface(surf);
      for (int k = 0; k < i; k++) free(pixels[k]);
      sky_check_face(faces[i], w[i], h[i]);
    }
    // any pixel format (24-bit, palettised, 32-bit in either byte order) comes out as RGBA bytes
    pixels[i] = surf_to_rgba(surf);
    SDL_FreeSurface(surf);
  }
  // a cube map is complete only with square faces of one size; say which faces break that
  int side;
  uint32_t odd = sky_odd_faces(w, h, &side);
  for (int i = 0; i < 6; i++)
    if (odd >> i & 1) {
      if (strict) {
        for (int k = 0; k < 6; k++) free(pixels[k]);
        uerror("cube map face %s is %dx%d, expected %dx%d", faces[i], w[i], h[i], side, side);
      }
      uwarn("cube map face %s is %dx%d, expected %dx%d", faces[i], w[i], h[i], side, side);
    }
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_CUBE_MAP, id);
  glTexParameterf(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameterf(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameterf(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameterf(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  for (int i = 0; i < 6; i++) {
    gluBuild2DMipmaps(face_targets[i], GL_RGBA8, w[i], h[i], GL_RGBA, GL_UNSIGNED_BYTE, pixels[i]);
    free(pixels[i]);
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  return id;
}

skybox *skybox_create(void) {
  skybox *s = (skybox *)umalloc(sizeof *s);
  s->sky = load_cubemap(g_sky_faces, false);
  s->env = load_cubemap(g_sky_env_faces, false);
  s->program = g_shader_table[PRG_SKYBOX].program;
  g_skybox = s;
  for (const char *const *set : {g_sky_faces, g_sky_env_faces})
    for (int i = 0; i < 6; i++) fmon_watch(ufmt("%s/%s", g_root, set[i]), skybox_reload, nullptr);
  return s;
}

// The set of six faces that path is one of, or null.
static const char *const *face_set(const char *path) {
  for (const char *const *set : {g_sky_faces, g_sky_env_faces})
    for (int i = 0; i < 6; i++)
      if (strcmp(path, ufmt("%s/%s", g_root, set[i])) == 0) return set;
  return nullptr;
}

void skybox_reload(const char *path, void *) {
  const char *const *set = face_set(path);
  if (!g_skybox || !set) return;
  // a face that fails, or no longer fits the others, warns, and the old cube map stays
  uint32_t id = load_cubemap(set, true);
  uint32_t &old = set == g_sky_faces ? g_skybox->sky : g_skybox->env;
  glDeleteTextures(1, &old);
  old = id;
}

void skybox_sundir(float out[3]) {
  float m[16];
  mat4_identity(m);
  mat4_rotate_x(m, 52);
  out[0] = m[8] * 0.5f + m[12];
  out[1] = m[9] * 0.5f + m[13];
  out[2] = m[10] * 0.5f + m[14];
}

int sky_rows_hidden(const float dir[3], const float up[3], float height, float reach, float zfar, int w, int h) {
  if (!(height > 0) || !(reach > 0) || w <= 0 || h <= 0) return 0;
  float ul = sqrtf(up[0] * up[0] + up[1] * up[1] + up[2] * up[2]);
  float fwd = sqrtf(dir[0] * dir[0] + dir[2] * dir[2]); // the view's horizontal length
  if (!(ul > 0) || !(fwd > 0)) return 0;
  float uy = up[1] / ul, uf = (up[0] * dir[0] + up[2] * dir[2]) / (ul * fwd); // up, along the heading
  float t = tanf(30 * (float)(M_PI / 180)), side = t * (float)w / (float)h;
  for (int j = 0; j < h; j++) {
    // a ray through the row's top edge at the picture's side, where it sinks the least per unit
    // of horizontal distance; its eye-space depth is the distance along the view
    float sy = 2.0f * (float)(j + 1) / (float)h - 1;
    float dy = sy * t * uy + dir[1], df = sy * t * uf + fwd;
    if (!(dy < 0)) return j;
    float depth = height / -dy; // where the ray is down at the lowest ground
    if (depth > zfar || depth * sqrtf(df * df + side * side) > reach) return j;
  }
  return h;
}

void skybox_draw(const float camdir[3], const float campos[3], bool behind, int hidden_rows) {
  skybox *s = g_skybox;
  if (!s) return;
  GLuint prog = s->program ? s->program->id : 0;
  glUseProgram(prog);
  if (prog) {
    float sun[3];
    skybox_sundir(sun);
    glUniform1f(glGetUniformLocation(prog, "time"), (float)(SDL_GetTicks() / 1000.0));
    glUniform3f(glGetUniformLocation(prog, "camdir"), camdir[0], camdir[1], camdir[2]);
    glUniform3f(glGetUniformLocation(prog, "sundir"), sun[0], sun[1], sun[2]);
  }
  if (behind) {
    // every sky fragment lands at depth 1, where only a pixel nothing was drawn into still is
    glDepthRange(1, 1);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glDisable(GL_ALPHA_TEST); // the sky is opaque: without the test the depth test comes first
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  if (behind && hidden_rows >= vp[3]) hidden_rows = vp[3]; // every pixel shows ground: nothing to draw
  if (behind && hidden_rows > 0) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(vp[0], vp[1] + hidden_rows, vp[2], vp[3] - hidden_rows);
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, s->sky);
  glPushMatrix();
  glTranslatef(campos[0], campos[1], campos[2]);
  glBegin(GL_QUADS);
  for (const float *v : g_sky_cube) {
    glTexCoord3f(v[3], v[4], v[5]);
    glVertex3f(v[0], v[1], v[2]);
  }
  glEnd();
  glPopMatrix();
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_DEPTH_TEST);
  if (behind) {
    glDepthRange(0, 1);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glEnable(GL_ALPHA_TEST);
  }
}
