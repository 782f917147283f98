// Terrain and grass drawing under a real context: orientation, winding, order, statistics and state.
#include "tests/gl/gltest.h"
#include "render/camera.h"
#include "world/grass.h"

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

// Two ridges across a terrain whose texture is half clear, red on the far half (small z), blue
// on the near one, seen along -z from below the near ridge's top: the strips are blended first
// to last, so the far ridge shows through the near one, and the picture is the very one a single
// list of every strip in that order draws.
TEST(TerrainDraw, ATranslucentTerrainIsBlendedStripAfterStrip) {
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  i_tn_ndivs = 32, f_tn_sz = 64; // 4 x 4 chunks of 8 cells
  terrain *old = g_terrain, *t = tn_create();
  i_tn_ndivs = ndivs, f_tn_sz = sz;
  TempDir d;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 32, SDL_PIXELFORMAT_ABGR8888);
  SDL_Rect far_half = {0, 0, 32, 14}, near_half = {0, 14, 32, 18};
  SDL_FillRect(s, &far_half, SDL_MapRGBA(s->format, 255, 0, 0, 128));
  SDL_FillRect(s, &near_half, SDL_MapRGBA(s->format, 0, 0, 255, 128));
  IMG_SavePNG(s, d.path("clear.png").c_str());
  SDL_FreeSurface(s);
  t->tex = load_something_else(d.path("clear.png").c_str())->id;
  // rows 8 (z = -16) and 20 (z = 8): 12 and 7.2 high
  t->hm = (heightmap *)umalloc(sizeof(heightmap)); // tn_free releases it
  *t->hm = heightmap{paint(33, 33, [](int, int y) { return y == 8 ? 0xFFFFFFu : y == 20 ? 0x999999u : 0u; }), 12};
  tn_build(t);
  GLuint single = glGenLists(1);
  glNewList(single, GL_COMPILE);
  for (int i = 0; i < 32; i++) {
    glBegin(GL_TRIANGLE_STRIP);
    for (int j = 0; j <= 32; j++)
      for (int r : {i + 1, i}) glTexCoord2f(j / 32.0f, r / 32.0f), glVertex3f(t->verts[r][j].x, t->verts[r][j].y, t->verts[r][j].z);
    glEnd();
  }
  glEndList();
  GlTarget target(128);
  g_cam = camera{{0, 2, 30}, 0, 0, 0, {}, {}, {}};
  cam_update_vectors(&g_cam);
  cam_load_matrix(&g_cam);
  glEnable(GL_TEXTURE_2D), glEnable(GL_DEPTH_TEST);
  std::vector<uint8_t> picture[2];
  for (int k = 0; k < 2; k++) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (k == 0) {
      tn_draw();
    } else { // the state tn_draw sets, one list
      glDisable(GL_ALPHA_TEST), glEnable(GL_BLEND), glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glEnable(GL_CULL_FACE), glFrontFace(GL_CW), glBindTexture(GL_TEXTURE_2D, t->tex);
      glPushMatrix(), glScalef(64, 1, 64), glCallList(single), glPopMatrix();
      glDisable(GL_CULL_FACE), glDisable(GL_BLEND), glEnable(GL_ALPHA_TEST), glBindTexture(GL_TEXTURE_2D, 0);
    }
    picture[k].resize(128 * 128 * 4);
    glReadPixels(0, 0, 128, 128, GL_RGBA, GL_UNSIGNED_BYTE, picture[k].data());
  }
  glDisable(GL_TEXTURE_2D), glDisable(GL_DEPTH_TEST), glDisable(GL_ALPHA_TEST);
  int through = 0; // pixels of the near (blue) ground over the far (red) ridge
  for (size_t p = 0; p < picture[0].size(); p += 4) through += picture[0][p] > 40 && picture[0][p + 2] > 100;
  EXPECT_GT(through, 200);
  EXPECT_TRUE(picture[0] == picture[1]);
  glDeleteLists(single, 1);
  tn_free(t);
  g_terrain = old;
}

// Grass painted on the one patch from (0, 0) to (40, 40) of a world made here: 112 tufts, 448
// triangles in one batch. r.grass_ntris counts the batch whole while its box is in view, however
// few of its tufts the distance leaves standing, and nothing once it is behind the camera.
TEST_F(WorldRoot, GrassTrianglesCountWholeBatchesInView) {
  int ntufts = i_grass_ntufts, res = i_grass_cell_sample_res;
  i_grass_ntufts = 25, i_grass_cell_sample_res = 4; // 25 / 4 = 6.25 tufts a cell: 7
  catalogue("object tuft\nfile a.png\ntype grass\n\n");
  brushes("brush 112233\ntuft\nbrush 445566\n");
  objmap(10, 10, [](int x, int y) { return x == 5 && y == 5 ? 0x112233u : 0x445566u; }); // 40 units a pixel
  flat_terrain(0);
  grass_create(20, 20);
  GlTarget target(64);
  GLuint query, drawn = 0;
  glGenQueries(1, &query);
  const struct { float yaw; uint32_t ntris; } looks[] = {{0, 448}, {180, 0}}; // along -z, then +z
  for (auto &l : looks) {
    g_cam = camera{{20, 1.7f, 55}, 0, l.yaw, 0, {}, {}, {}};
    cam_update_vectors(&g_cam);
    cam_load_matrix(&g_cam);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    grass_draw();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &drawn);
    EXPECT_EQ(r.grass_ntris, l.ntris) << l.yaw;
    EXPECT_LT(drawn, 448u) << l.yaw; // the tufts beyond 15 units thin out: fewer are drawn
  }
  glDeleteQueries(1, &query);
  grass_free(g_grass), g_grass = nullptr;
  i_grass_ntufts = ntufts, i_grass_cell_sample_res = res;
}
