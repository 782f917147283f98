// World loading: terrain, height map, sky, catalogue, brushes, world items and their quadtree,
// fixed scene state and fog, overlay images, camera pose.
#include "world/load.h"
#include "app/app.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/skybox.h"
#include "render/overlay.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include <GL/glew.h>
#include <SDL.h>

static void load_terrain(void) {
  terrain *t = tn_create();
  t->tex = texmgr_get("terraintexture.png")->id;
  tn_build(t);
  SDL_Surface *s = SDL_LoadBMP(ufmt("%s/hm.bmp", g_root));
  if (!s) uerror_at("init", __LINE__, "SDL_LoadBMP: %s", SDL_GetError());
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

void world_load(void) {
  glEnable(GL_TEXTURE_2D);
  load_terrain();
  skybox_create();
  parse_index();
  parse_brushes();
  spawn_all();
  g_quadtree = qt_create();
  qt_fill(g_quadtree);
  quadtree_print_debug();
  scene_state();
  overlay_credits = texmgr_get("credits.png");
  overlay_logo = texmgr_get("logo.png");
  world_place_camera();
}
