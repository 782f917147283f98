// Terrain drawing under a real context: orientation, winding and the state it leaves behind.
#include "tests/gl/gltest.h"

TEST(TerrainDraw, SeenFromAboveWithTheImageTopToTheNorth) {
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  i_tn_ndivs = 4, f_tn_sz = 40;
  terrain *t = tn_create();
  i_tn_ndivs = ndivs, f_tn_sz = sz;
  EXPECT_EQ(t->dlist, 0u); // nothing draws the grid before its height map: nothing is compiled
  TempDir d; // texture: top half red, bottom half blue
  SDL_Surface *s = paint(4, 4, [](int, int y) { return y < 2 ? 0xFF0000u : 0x0000FFu; }, 32);
  IMG_SavePNG(s, d.path("ground.png").c_str());
  t->tex = load_something_else(d.path("ground.png").c_str())->id;
  tn_build(t);
  EXPECT_EQ(t->dlist, 0u);
  t->hm = new heightmap{paint(4, 4, [](int, int) { return 0xFFFFFFu; }), 20}; // white: the ground at maxy
  tn_build(t);
  uint32_t first = t->dlist;
  tn_build(t);
  EXPECT_TRUE(t->dlist == first || !glIsList(first)); // getting the first name back proves it was deleted
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
  glGetIntegerv(GL_ALPHA_TEST_FUNC, &func), glGetIntegerv(GL_CURRENT_PROGRAM, &prog);
  EXPECT_TRUE(!glIsEnabled(GL_BLEND) && !glIsEnabled(GL_CULL_FACE) && glIsEnabled(GL_ALPHA_TEST) && func == GL_GREATER && prog == 0);
  glDisable(GL_TEXTURE_2D), glDisable(GL_ALPHA_TEST);
}
