// World loading: terrain, height map, sky, rain, catalogue and trees, brushes, world items and
// their quadtree, grass, snow, fixed scene state and fog, overlay images, camera pose, grading.
// The shell puts the scene together from every layer's parts; the ambient loop, the first step,
// is started by the main loop right before.
#include "app/app.h"
#include "render/camera.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "fx/skybox.h"
#include "fx/weather.h"
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

void (*g_world_load_phase)(const char *phase);

static inline void phase_done(const char *name) {
  if (g_world_load_phase) g_world_load_phase(name);
}

void world_scene_state(void) {
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  if (!b_fog_on) {
    // fog switched off by a reload of param.cfg: the state as if it had never been set, which
    // the shaders read as no fog (a fog colour of alpha 0)
    static const float untouched[4] = {0, 0, 0, 0};
    glDisable(GL_FOG);
    glFogfv(GL_FOG_COLOR, untouched);
    return;
  }
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

void world_items_load(void) {
  parse_index();
  process_pgparam();
  phase_done("catalogue and trees");
  parse_brushes();
  phase_done("brushes");
  spawn_all();
  phase_done("spawning");
}

void world_quadtree_build(void) {
  g_quadtree = qt_create();
  qt_fill(g_quadtree);
  quadtree_print_debug();
}

void world_snow_init(void) {
  float c[3];
  for (int k = 0; k < 3; k++) {
    float v = v3_fog_color[k] + 0.1f;
    c[k] = v >= 1 ? 1 : v <= 0 ? 0 : v;
  }
  snow_init(c);
}

void world_check_tables(void) {
  static const char *names[BRUSH_MAX];
  for (size_t i = 0; i < g_nbrushes; i++) names[i] = g_brushes[i].clut;
  clut_check_tables(names, g_nbrushes);
}

void world_load(void) {
  glEnable(GL_TEXTURE_2D);
  world_params_read();
  params_check_limits();
  tn_load();
  phase_done("terrain");
  skybox_create();
  if (i_rain_ndroplets > 0) rain_init(8.0f);
  phase_done("sky");
  world_items_load();
  world_quadtree_build();
  phase_done("quadtree");
  grass_create(v3_camera_start_pos[0], v3_camera_start_pos[2]);
  phase_done("grass");
  if (i_snow_nflakes >= 1) world_snow_init();
  world_scene_state();
  overlay_credits = texmgr_get("credits.png");
  overlay_logo = texmgr_get("logo.png");
  world_place_camera();
  postproc_init();
  clut_reset();
  world_check_tables();
  world_watch();
  fmon_close_table(); // what start-up registered; reloads only watch
  phase_done("rest");
}
