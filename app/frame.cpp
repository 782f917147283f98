// One frame: the passes, opaque ones first, then the sky into what they left uncovered.
#include "app/app.h"
#include "core/params.h"
#include "core/util.h"
#include "render/frustum.h"
#include "render/shader.h"
#include "render/overlay.h"
#include "fx/postproc.h"
#include "fx/skybox.h"
#include "fx/weather.h"
#include "world/grass.h"
#include "world/terrain.h"
#include "world/wdraw.h"
#include <GL/glew.h>
#include <SDL.h>
#include <cmath>

void (*g_frame_pass_hook)(int pass);

static inline void pass(int p) {
  if (g_frame_pass_hook) g_frame_pass_hook(p);
}

// The bottom rows of the picture that surely show ground: the sky is not even rasterised there.
// Ground lies around the camera out to the nearest edge of the terrain square, never lower than
// its lowest vertex, and the camera stands above it (a free flight under a hill sees the ground
// from below, where it is not drawn: then nothing is assumed).
static int sky_hidden(void) {
  const terrain *t = g_terrain;
  if (!t || !t->hm) return 0;
  float half = t->sz * 0.5f, cell = t->sz / (float)t->ndivs;
  float reach = fminf(half - fabsf(g_cam.pos[0]), half - fabsf(g_cam.pos[2]));
  if (!(reach > 0)) return 0;
  int c = (int)((g_cam.pos[0] + half) / cell), r = (int)((g_cam.pos[2] + half) / cell);
  c = c < 0 ? 0 : c >= t->ndivs ? t->ndivs - 1 : c;
  r = r < 0 ? 0 : r >= t->ndivs ? t->ndivs - 1 : r;
  float top = fmaxf(fmaxf(t->verts[r][c].y, t->verts[r][c + 1].y), fmaxf(t->verts[r + 1][c].y, t->verts[r + 1][c + 1].y));
  if (!(g_cam.pos[1] > top)) return 0;
  return sky_rows_hidden(g_cam.dir, g_cam.up, g_cam.pos[1] - t->ymin, reach, f_camera_zfar, i_screen_w, i_screen_h);
}

void render_frame(void) {
  // With an opaque terrain the cut-out grass goes first (it hides much of the ground), then the
  // terrain, whose near chunks hide the world items behind the hills, then the items, and the
  // sky last into the pixels nothing covered: the depth test spares the fragments each pass hides.
  // A terrain that lets the sky show through keeps the sky first, under everything.
  bool sky_last = g_skybox && tn_opaque();
  pass(sky_last ? FRAME_GRASS : FRAME_SKY);
  postproc_begin();
  glClear(GL_DEPTH_BUFFER_BIT);
  cam_load_matrix(&g_cam);
  if (!g_skybox) {
    // nothing else covers every pixel: start from the fog colour
    glClearColor(v3_fog_color[0], v3_fog_color[1], v3_fog_color[2], 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // the cut-out passes expect the alpha test on and no blending, as the terrain pass leaves them
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  if (sky_last) {
    grass_draw();
    pass(FRAME_TERRAIN);
    tn_draw();
    pass(FRAME_WORLD);
    world_draw(g_skybox ? g_skybox->env : 0);
    pass(FRAME_SKY);
    skybox_draw(g_cam.dir, g_cam.pos, true, sky_hidden());
  } else {
    if (g_skybox) skybox_draw(g_cam.dir, g_cam.pos, false);
    pass(FRAME_TERRAIN);
    tn_draw();
    pass(FRAME_GRASS);
    grass_draw();
    pass(FRAME_WORLD);
    world_draw(g_skybox ? g_skybox->env : 0);
  }
  pass(FRAME_WEATHER);
  prg_use(PRG_FLAT_COLOR);
  if (i_rain_ndroplets > 0) rain_draw(g_cam.pos, g_cam.yaw);
  if (i_snow_nflakes > 0) snow_draw();
  pass(FRAME_POST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, i_screen_w, i_screen_h);
  postproc_draw();
  if (g_screenshot_request) {
    postproc_save_clut_screenshot();
    g_screenshot_request = 0;
  }
  pass(FRAME_OVERLAY);
  overlay_draw();
  pass(FRAME_END);
  SDL_GL_SwapWindow(g_window);
}
