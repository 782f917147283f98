// World loading: terrain, height map, sky, rain, catalogue and trees, brushes, world items and
// their quadtree, grass, snow, fixed scene state and fog, overlay images, camera pose, grading.
// The ambient loop, the first step, is started by the main loop right before (sound sits above
// the world).
#include "world/load.h"
#include "render/camera.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "fx/skybox.h"
#include "fx/weather.h"
#include "render/image.h"
#include "render/overlay.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/grass.h"
#include "world/object.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include "world/tree.h"
#include <GL/glew.h>
#include <SDL.h>

static void load_terrain(void) {
  terrain *t = tn_create();
  t->tex = texmgr_get("terraintexture.png")->id;
  tn_build(t);
  // opened apart, so a missing file is reported by its name, not as an invalid parameter
  SDL_Surface *s = img_load_bmp(ufmt("%s/hm.bmp", g_root));
  if (!s) uerror_at("init", __LINE__, "SDL_LoadBMP: %s", SDL_GetError());
  if (const char *why = hm_check(s)) uwarn_at("init", __LINE__, "\"%s/hm.bmp\" %s", g_root, why);
  heightmap *hm = (heightmap *)umalloc(sizeof *hm);
  hm->surf = s;
  hm->maxy = f_tn_hm_maxy;
  t->hm = hm;
  tn_build(t);
  uinfo_at("init", "using \"%s/hm.bmp\" as height map", g_root);
}

static void scene_state(void) {
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  if (!b_fog_on) return;
  float color[4] = {v3_fog_color[0], v3_fog_color[1], v3_fog_color[2], 1.0f};
  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, color);
  glFogf(GL_FOG_DENSITY, f_fog_density);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_START, f_fog_start);
  glFogf(GL_FOG_END, f_fog_end);
}

void world_place_camera(void) {
  camera &c = g_cam;
  c = camera{};
  c.dir[2] = -1;
  c.right[0] = 1;
  float x = v3_camera_start_pos[0], z = v3_camera_start_pos[2];
  c.yaw = 0 + v3_camera_start_rot[1];
  c.pos[0] = x;
  c.pos[1] = g_terrain ? tn_height(g_terrain, x, z) : 0;
  c.pos[2] = z;
  cam_update_vectors(&c);
  float pitch = 0 + v3_camera_start_rot[0];
  c.pitch = pitch >= 45 ? 45 : pitch <= -45 ? -45 : pitch;
  cam_update_vectors(&c);
}

void (*g_world_load_phase)(const char *phase);

static inline void phase_done(const char *name) {
  if (g_world_load_phase) g_world_load_phase(name);
}

void world_load(void) {
  params_check_limits();
  glEnable(GL_TEXTURE_2D);
  load_terrain();
  phase_done("terrain");
  skybox_create();
  if (i_rain_ndroplets > 0) rain_init(8.0f);
  phase_done("sky");
  parse_index();
  process_pgparam();
  phase_done("catalogue and trees");
  parse_brushes();
  phase_done("brushes");
  spawn_all();
  phase_done("spawning");
  g_quadtree = qt_create();
  qt_fill(g_quadtree);
  quadtree_print_debug();
  phase_done("quadtree");
  grass_create(v3_camera_start_pos[0], v3_camera_start_pos[2]);
  phase_done("grass");
  if (i_snow_nflakes >= 1) {
    float c[3];
    for (int k = 0; k < 3; k++) {
      float v = v3_fog_color[k] + 0.1f;
      c[k] = v >= 1 ? 1 : v <= 0 ? 0 : v;
    }
    snow_init(c);
  }
  scene_state();
  overlay_credits = texmgr_get("credits.png");
  overlay_logo = texmgr_get("logo.png");
  world_place_camera();
  postproc_init();
  clut_reset();
  phase_done("rest");
}
