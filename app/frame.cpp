// One frame: the passes in their fixed order.
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

void (*g_frame_pass_hook)(int pass);

static inline void pass(int p) {
  if (g_frame_pass_hook) g_frame_pass_hook(p);
}

void render_frame(void) {
  pass(FRAME_SKY);
  postproc_begin();
  glClear(GL_DEPTH_BUFFER_BIT);
  cam_load_matrix(&g_cam);
  if (g_skybox) {
    skybox_draw(g_cam.dir, g_cam.pos);
  } else {
    // nothing else covers every pixel: start from the fog colour
    glClearColor(v3_fog_color[0], v3_fog_color[1], v3_fog_color[2], 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  pass(FRAME_TERRAIN);
  tn_draw();
  pass(FRAME_GRASS);
  grass_draw();
  pass(FRAME_WORLD);
  world_draw(g_skybox ? g_skybox->env : 0);
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
