// Terrain drawing under a real context: orientation, winding and the state it leaves behind.
#include "core/file.h"
#include "core/params.h"
#include "render/texture.h"
#include "tests/gl/gltest.h"
#include "tests/unit/testutil.h"
#include "world/terrain.h"
#include <GL/glew.h>
#include <gtest/gtest.h>

TEST(TerrainDraw, SeenFromAboveWithTheImageTopToTheNorth) {
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  i_tn_ndivs = 4, f_tn_sz = 40;
  terrain *t = tn_create();
  i_tn_ndivs = ndivs, f_tn_sz = sz;
  EXPECT_EQ(t->dlist, 0u); // nothing draws the grid before its height map: nothing is compiled
  TempDir d; // texture: top half red, bottom half blue
  save_png(d.path("ground.png"), 4, 4, 0x0000FFFF);
  SDL_Surface *s = IMG_Load(d.path("ground.png").c_str()), *hm = SDL_CreateRGBSurfaceWithFormat(0, 4, 4, 24, SDL_PIXELFORMAT_BGR24);
  SDL_Rect top = {0, 0, 4, 2};
  SDL_FillRect(s, &top, SDL_MapRGBA(s->format, 255, 0, 0, 255));
  IMG_SavePNG(s, d.path("ground.png").c_str());
  t->tex = load_something_else(d.path("ground.png").c_str())->id;
  tn_build(t);
  EXPECT_EQ(t->dlist, 0u);
  SDL_FillRect(hm, nullptr, SDL_MapRGB(hm->format, 255, 255, 255)); // white: the ground at maxy
  t->hm = new heightmap{hm, 20};
  tn_build(t);
  uint32_t first = t->dlist;
  tn_build(t);
  if (t->dlist != first) { // getting the first name back proves it was deleted
    EXPECT_FALSE(glIsList(first));
  }

  GlTarget target(64);
  glRotatef(90, 1, 0, 0); // straight down from 30 units above the ground, -z at the top
  glTranslatef(0, -50, 0);
  glEnable(GL_TEXTURE_2D);
  tn_draw(); // culls with clockwise fronts: a wrong winding leaves the picture black
  auto red = [](uint32_t p) { return (p >> 24) > 200 && (p >> 8 & 0xFF) < 60; }; // filtering blurs the halves
  auto blue = [](uint32_t p) { return (p >> 8 & 0xFF) > 200 && (p >> 24) < 60; };
  EXPECT_TRUE(red(target.pixel(32, 60))) << std::hex << target.pixel(32, 60);
  EXPECT_TRUE(blue(target.pixel(32, 4))) << std::hex << target.pixel(32, 4);
  GLint func = 0, prog = -1;
  glGetIntegerv(GL_ALPHA_TEST_FUNC, &func);
  glGetIntegerv(GL_CURRENT_PROGRAM, &prog);
  EXPECT_TRUE(!glIsEnabled(GL_BLEND) && !glIsEnabled(GL_CULL_FACE) && glIsEnabled(GL_ALPHA_TEST) && func == GL_GREATER && prog == 0);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
}
