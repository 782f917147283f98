// Height map sampling, vertex heights and ground queries on BMP surfaces; no OpenGL.
#include "tests/unit/testutil.h"

namespace {
// The image painted by v, saved as a BMP and read back as world loading reads "hm.bmp".
SDL_Surface *bmp(int w, int h, std::function<uint32_t(int, int)> v, int depth = 24) {
  TempDir d;
  save_bmp(d.path("hm.bmp"), w, h, v, depth);
  return SDL_LoadBMP(d.path("hm.bmp").c_str());
}

struct Grid { // a 10 x 10 grid of 400 units, the parameters restored afterwards
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  Grid() { i_tn_ndivs = 10, f_tn_sz = 400; }
  ~Grid() { i_tn_ndivs = ndivs, f_tn_sz = sz; }
  terrain *on(SDL_Surface *s, float maxy) {
    terrain *t = tn_alloc();
    t->hm = new heightmap{s, maxy};
    tn_sample_heights(t);
    return t;
  }
};
} // namespace

TEST(HmSample, BilinearInsideZeroOutsideNeverPastTheImage) {
  // 3 x 2; the last column is distinct so a read past the image would show
  SDL_Surface *s = bmp(3, 2, [](int x, int y) { return x == 2 ? 0xFFFFFFu : uint32_t(1000 * (y * 2 + x)); });
  EXPECT_TRUE(hm_sample(s, 0.25f, 0.5f, 1) == 1500 && hm_sample(s, 1, 1, 1) == 0xFFFFFF && hm_sample(s, 50, 100, 100) == 3000);
  for (float u : {-0.01f, 1.01f, NAN}) EXPECT_EQ(hm_sample(s, u, 0.5f, 1), 0u) << u;
}

TEST(TerrainHeights, WhiteIsMaxyPaletteIsFlatAndSaysSo) {
  Grid g;
  terrain *white = g.on(bmp(16, 16, [](int, int) { return 0xFFFFFFu; }), 20);
  terrain *pal = g.on(bmp(16, 16, [](int, int) { return 200u; }, 8), 20);
  for (int r = 0; r <= 10; r++)
    for (int c = 0; c <= 10; c++) EXPECT_TRUE(white->verts[r][c].y == 20.0f && pal->verts[r][c].y == 0.0f) << r << "," << c;
  // the flat result stays, but loading (and the world checker) say why
  EXPECT_EQ(hm_check(white->hm->surf), nullptr);
  EXPECT_STREQ(hm_check(pal->hm->surf), "is a palette image: its pixels hold no height and the terrain will be flat (save it as a 24-bit image)");
  SDL_Surface *s16 = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 16, SDL_PIXELFORMAT_RGB565);
  EXPECT_STREQ(hm_check(s16), "is a 16-bit image: its heights reach at most 1/256 of f_tn_hm_maxy (save it as a 24-bit image)");
  SDL_FreeSurface(s16);
}

TEST(TnHeight, CornersCellsAndBeyondTheEdges) {
  Grid g; // one pixel per vertex, grey 10 * column + row: the top-left pixel is vertex (row 0, column 0)
  terrain *t = g.on(bmp(11, 11, [](int x, int y) { return uint32_t(10 * x + y) * 0x010101u; }), 255);
  const float cases[][3] = {
      {-200, -200, 0}, {200, 200, 110}, {-190, -170, .25f * .25f * 10 + .75f * .75f * 1 + .25f * .75f * 11},
      // outside: the edge vertex of that row or column however far, no extrapolation just before the near edge
      {3e9f, -120, 102}, {-210, -120, 2}, {-200, -201, 0}};
  for (auto &c : cases) EXPECT_NEAR(tn_height(t, c[0], c[1]), c[2], 1e-4) << c[0] << "," << c[1];
  EXPECT_TRUE(std::isfinite(tn_height(t, INFINITY, -INFINITY)));
  i_tn_ndivs = 0;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "^error: tn_alloc#[0-9]+: i_tn_ndivs \\(0\\) must be between 1 and 2048\n$");
  i_tn_ndivs = 2147483647; // ndivs + 1 rows would overflow
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "i_tn_ndivs \\(2147483647\\)");
  i_tn_ndivs = 10, f_tn_sz = 0;
  EXPECT_EXIT(tn_alloc(), testing::ExitedWithCode(1), "^error: tn_alloc#[0-9]+: f_tn_sz \\(0\\) must be a positive size\n$");
}

TEST(TnChunks, TileTheGridBoxTheirGroundAndComeInViewNearestFirst) {
  Grid g;
  for (int n : {1, 10, 128, 200, 2048}) {
    i_tn_ndivs = n;
    terrain *t = tn_alloc();
    int nc = tn_nchunks(t), cells = tn_chunk_cells(n);
    EXPECT_LE(nc, TN_CHUNKS_PER_SIDE * TN_CHUNKS_PER_SIDE) << n;
    // every cell in exactly one chunk
    std::vector<int> hits((size_t)n * n);
    for (int i = 0; i < nc; i++) {
      int r0, c0, r1, c1;
      tn_chunk_cells_of(t, i, &r0, &c0, &r1, &c1);
      EXPECT_TRUE(r1 > r0 && c1 > c0 && r1 - r0 <= cells && c1 - c0 <= cells) << n << " chunk " << i;
      for (int r = r0; r < r1; r++)
        for (int c = c0; c < c1; c++) hits[(size_t)r * n + c]++;
    }
    EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), (long)n * n) << n;
  }
  // a 10 x 10 grid of 400 units is one chunk; 40 x 40 makes 5 x 5 chunks of 80 units
  i_tn_ndivs = 40;
  terrain *t = g.on(bmp(41, 41, [](int x, int y) { return uint32_t(x + y) * 0x010101u; }), 80);
  ASSERT_EQ(tn_nchunks(t), 25);
  std::vector<aabb> boxes(25);
  for (int i = 0; i < 25; i++) tn_chunk_box(t, i, &boxes[i]);
  // chunk 6: cells 8..16 both ways, x and z from -120 to -40, the heights of its own vertices
  const aabb &b = boxes[6];
  for (float v : {b.min[0], b.min[2]}) EXPECT_NEAR(v, -120, 1e-3);
  for (float v : {b.max[0], b.max[2]}) EXPECT_NEAR(v, -40, 1e-3);
  EXPECT_NEAR(b.min[1], t->verts[8][8].y, 1e-4);
  EXPECT_NEAR(b.max[1], t->verts[16][16].y, 1e-4);
  // in view: the half-space x < -50 (planes face out; five that nothing fails); nearest first to (-190, 0, -190)
  plane half[6] = {{1, 0, 0, 50}};
  for (int i = 1; i < 6; i++) half[i] = plane{0, 0, 0, -1};
  uarray<uint32_t> seen;
  float cam[3] = {-190, 0, -190};
  tn_chunks_in_view(boxes.data(), 25, half, cam, &seen);
  std::vector<uint32_t> got(seen.begin(), seen.end()), want = {0, 1, 5, 6, 10, 11, 15, 16, 20, 21};
  EXPECT_EQ(got, want);
  ua_free(seen);
}
