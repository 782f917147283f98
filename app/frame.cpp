// One frame: the passes in their fixed order.
#include "app/app.h"
#include "core/params.h"
#include "core/util.h"
#include "render/frustum.h"
#include "render/shader.h"
#include "render/overlay.h"
#include "fx/skybox.h"
#include "world/terrain.h"
#include "world/wdraw.h"
#include <GL/glew.h>
#include <SDL.h>

void render_frame(void) {
  glClear(GL_DEPTH_BUFFER_BIT);
  cam_load_matrix(&g_cam);
  if (g_skybox) {
    skybox_draw(g_cam.dir, g_cam.pos);
  } else {
    // nothing else covers every pixel: start from the fog colour
    glClearColor(v3_fog_color[0], v3_fog_color[1], v3_fog_color[2], 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  tn_draw();
  world_draw();
  prg_use(PRG_FLAT_COLOR);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, i_screen_w, i_screen_h);
  overlay_draw();
  SDL_GL_SwapWindow(g_window);
}
