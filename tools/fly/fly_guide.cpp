// velder-fly --guide: the pictures of the world makers' guide (docs/worlds.md), drawn by the game's
// own code over a loaded world: for each of the 17 tree keys one tree at three values side by
// side, and the colour table workflow (a screenshot with its table, the table cut out and edited,
// the view graded through the edited table read back by the game's reader).
#include "fly.h"
#include "app/app.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "render/batch.h"
#include "render/overlay.h"
#include "world/grass.h"
#include "world/object.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include "world/terrain.h"
#include "world/tree.h"
#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

enum { TREE_SEED = 7 };

// One key and three values, the middle one near the default world's oak.
struct key_values {
  const char *key;
  float v[3][2]; // one number, or two for a texture rectangle corner
};
static const key_values k_keys[17] = {
    {"tr_height", {{2.5f}, {5}, {9}}},
    {"tr_branch_start_height", {{1}, {3.4f}, {6.5f}}},
    {"tr_branch_end_height", {{6}, {9}, {14}}},
    {"tr_section_count", {{2}, {5}, {10}}},
    {"tr_top_section_scale", {{0.4f}, {1.6f}, {3.2f}}},
    {"tr_bottom_section_scale", {{0.8f}, {2.4f}, {4.5f}}},
    {"tr_texture_rect_top", {{0, 0}, {0.1f, 0}, {0.2f, 0}}},
    {"tr_texture_rect_bottom", {{0.1f, 1}, {0.25f, 1}, {0.25f, 0.4f}}},
    {"br_count", {{3}, {5}, {24}}},
    {"br_length", {{0}, {0.4f}, {1.5f}}},
    {"br_length_variance", {{0}, {0.6f}, {2.5f}}},
    {"br_start_angle", {{0}, {25}, {70}}},
    {"br_end_angle", {{30}, {85}, {150}}},
    {"br_leaf_width", {{0.6f}, {1.5f}, {3.5f}}},
    {"br_leaf_height", {{0.6f}, {1.5f}, {3.5f}}},
    {"br_texture_rect_top", {{0.5f, 0}, {0.625f, 0.25f}, {0.75f, 0.5f}}},
    {"br_texture_rect_bottom", {{0.75f, 0.5f}, {0.875f, 0.75f}, {1, 1}}},
};

// The field of pg_params that a key names; the block's fields are in key order after texw/texh.
static void set_key(pg_params *p, int k, const float v[2]) {
  float *f[17] = {&p->tr_height, &p->tr_branch_start_height, &p->tr_branch_end_height, nullptr,
                  &p->tr_top_section_scale, &p->tr_bottom_section_scale, p->tr_texture_rect_top,
                  p->tr_texture_rect_bottom, nullptr, &p->br_length, &p->br_length_variance, &p->br_start_angle,
                  &p->br_end_angle, &p->br_leaf_width, &p->br_leaf_height, p->br_texture_rect_top,
                  p->br_texture_rect_bottom};
  if (k == 3) p->tr_section_count = (int32_t)v[0];
  else if (k == 8) p->br_count = (int32_t)v[0];
  else if (k == 6 || k == 7 || k == 15 || k == 16) f[k][0] = v[0], f[k][1] = v[1];
  else *f[k] = v[0];
}

// The frame before the swap, rows top to bottom, RGB.
static std::vector<uint8_t> shot;
static void grab(int pass) {
  if (pass != FRAME_END) return;
  int w = i_screen_w, h = i_screen_h;
  std::vector<uint8_t> up((size_t)w * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, up.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  shot.resize(up.size());
  for (int y = 0; y < h; y++) memcpy(&shot[(size_t)y * w * 3], &up[(size_t)(h - 1 - y) * w * 3], (size_t)w * 3);
}

static void draw_and_grab(void) {
  g_frame_pass_hook = grab;
  render_frame();
  g_frame_pass_hook = nullptr;
}

// The rectangle (x0, y0, w, h) of an RGB picture of width sw, shrunk by an integer factor (box
// filter), saved as a PNG.
static void save_part(const std::vector<uint8_t> &src, int sw, int x0, int y0, int w, int h, int f, const char *path) {
  int ow = w / f, oh = h / f;
  std::vector<uint8_t> out((size_t)ow * oh * 3);
  for (int y = 0; y < oh; y++)
    for (int x = 0; x < ow; x++)
      for (int c = 0; c < 3; c++) {
        int s = 0;
        for (int dy = 0; dy < f; dy++)
          for (int dx = 0; dx < f; dx++) s += src[((size_t)(y0 + y * f + dy) * sw + x0 + x * f + dx) * 3 + c];
        out[((size_t)y * ow + x) * 3 + c] = (uint8_t)((s + f * f / 2) / (f * f));
      }
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom(out.data(), ow, oh, 24, ow * 3, SDL_PIXELFORMAT_RGB24);
  if (!s || IMG_SavePNG(s, path) != 0) uerror("cannot write %s: %s", path, SDL_GetError());
  SDL_FreeSurface(s);
  printf("%s (%d x %d)\n", path, ow, oh);
}

// An RGB picture scaled up by an integer factor (nearest), so a 256 x 16 table can be seen.
static void save_grown(const std::vector<uint8_t> &src, int w, int h, int f, const char *path) {
  std::vector<uint8_t> big((size_t)w * f * h * f * 3);
  for (int y = 0; y < h * f; y++)
    for (int x = 0; x < w * f; x++) memcpy(&big[((size_t)y * w * f + x) * 3], &src[((size_t)(y / f) * w + x / f) * 3], 3);
  save_part(big, w * f, 0, 0, w * f, h * f, 1, path);
}

static void look_from(float x, float z, float yaw, float pitch) {
  g_cam.pos[0] = x;
  g_cam.pos[1] = tn_height(g_terrain, x, z) + 1.75f;
  g_cam.pos[2] = z;
  g_cam.yaw = yaw;
  g_cam.pitch = pitch;
  cam_update_vectors(&g_cam);
}

// Three trees of the object, each its own copy with key k at one of its values, in a row 12
// units ahead of the camera; the world's other items and the grass are gone.
static void tree_sheets(const char *out_dir, const wobj *tree) {
  static wobj copies[3];
  float sx = v3_camera_start_pos[0], sz = v3_camera_start_pos[2];
  for (int k = 0; k < 17; k++) {
    ua_free(wi_list);
    uniq_count = 0;
    for (int i = 0; i < 3; i++) {
      if (copies[i].pg.batch) b_free(copies[i].pg.batch);
      copies[i] = *tree;
      copies[i].type = WOBJ_MASS;
      copies[i].scale = 9, copies[i].scale_rnd = 0;
      set_key(&copies[i].pg, k, k_keys[k].v[i]);
      copies[i].pg.batch = b_create();
      usrand(TREE_SEED); // the same cards for all three: only the key differs
      tree_generate(copies[i].pg.batch, &copies[i].pg);
      spawn_wi(sx + 6.5f * (i - 1), sz - 12, &copies[i]);
    }
    g_quadtree = qt_create();
    qt_fill(g_quadtree);
    look_from(sx, sz, 0, -10);
    draw_and_grab();
    int w = i_screen_w, h = i_screen_h;
    save_part(shot, w, (w - 720) / 2, h - 340, 720, 330, 2, ufmt("%s/tree_%s.png", out_dir, k_keys[k].key));
  }
}

// The workflow of a colour table: the screenshot (key P) with the displayed table in its corner,
// that corner cut out, edited (warmer, the shadows bluer, as an image editor's curves would do)
// and saved as a 24-bit BMP, then read back by the game's own reader and shown.
static void clut_pictures(const char *out_dir) {
  static clut t;
  int w = i_screen_w, h = i_screen_h;
  clut_load(ufmt("%s/%s", g_root, s_default_clut), &t);
  postproc_load_clut(&t);
  g_screenshot_request = 1;
  draw_and_grab();
  g_screenshot_request = 0;
  SDL_Surface *s = SDL_LoadBMP("screenshot.bmp");
  if (!s) uerror("no screenshot: %s", SDL_GetError());
  SDL_Surface *rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(s);
  remove("screenshot.bmp");
  std::vector<uint8_t> pic((size_t)w * h * 3);
  for (int y = 0; y < h; y++) memcpy(&pic[(size_t)y * w * 3], (uint8_t *)rgb->pixels + (size_t)y * rgb->pitch, (size_t)w * 3);
  SDL_FreeSurface(rgb);
  save_part(pic, w, 0, 0, w, h, 2, ufmt("%s/clut_screenshot.png", out_dir));
  std::vector<uint8_t> table((size_t)256 * 16 * 3), edited;
  for (int y = 0; y < 16; y++) memcpy(&table[(size_t)y * 256 * 3], &pic[(size_t)y * w * 3], 256 * 3);
  save_grown(table, 256, 16, 2, ufmt("%s/clut_cut.png", out_dir));
  edited = table;
  for (size_t i = 0; i < edited.size(); i += 3) {
    float r = edited[i] / 255.0f, g = edited[i + 1] / 255.0f, b = edited[i + 2] / 255.0f;
    float l = (r + g + b) / 3;
    r = r * 1.12f + 0.04f, g = g * 1.02f, b = b * 0.85f + (1 - l) * 0.12f;
    edited[i] = (uint8_t)(r > 1 ? 255 : r * 255), edited[i + 1] = (uint8_t)(g > 1 ? 255 : g * 255);
    edited[i + 2] = (uint8_t)(b > 1 ? 255 : b * 255);
  }
  save_grown(edited, 256, 16, 2, ufmt("%s/clut_edited.png", out_dir));
  const char *bmp = ufmt("%s/guide-edited.bmp", out_dir);
  SDL_Surface *e = SDL_CreateRGBSurfaceWithFormatFrom(edited.data(), 256, 16, 24, 256 * 3, SDL_PIXELFORMAT_RGB24);
  if (!e || SDL_SaveBMP(e, bmp) != 0) uerror("cannot write %s: %s", bmp, SDL_GetError());
  SDL_FreeSurface(e);
  clut_load(bmp, &t);
  remove(bmp);
  postproc_load_clut(&t);
  draw_and_grab();
  save_part(shot, w, 0, 0, w, h, 2, ufmt("%s/clut_result.png", out_dir));
}

int fly_guide(const char *out_dir) {
  mkdir(out_dir, 0755);
  g_overlay_alpha = 0;
  // the colour table pictures first, on the world as it loaded, looking into its start
  look_from(v3_camera_start_pos[0], v3_camera_start_pos[2], v3_camera_start_rot[1], 4);
  if (s_default_clut[0]) clut_pictures(out_dir);
  if (g_grass)
    for (grass_patch *&p : g_grass->patches) grass_patch_free(p), p = nullptr;
  const wobj *tree = wobj_find("oak");
  for (size_t i = 0; !tree && i < g_nwobjs; i++)
    if (g_wobjs[i].is_tree) tree = &g_wobjs[i];
  if (!tree) uerror("the world has no tree object to draw");
  static clut id;
  clut_identity(&id);
  postproc_load_clut(&id);
  tree_sheets(out_dir, tree);
  return 0;
}
