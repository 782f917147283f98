// Drawing helpers without a context: frustum planes and the box test, matrices and boxes, overlay
// placement, geometry batches, DDS headers and level layout.
#include "render/dds.h"
#include "render/texture.h"
#include "render/overlay.h"
#include "tests/unit/testutil.h"
#include <climits>

// Loads the view the camera loads and the projection gluPerspective(60, 854 / 480, 0.1, 100).
static void load_view(float pitch, float yaw, float x, float y, float z) {
  float mv[16], pr[16] = {};
  mat4_identity(mv);
  mat4_rotate_x(mv, pitch);
  mat4_rotate_y(mv, yaw);
  mat4_translate(mv, -x, -y, -z);
  double f = 1 / tan(30 * M_PI / 180), n = (double)0.1f, zfar = 100;
  pr[0] = (float)(f / (854.0 / 480.0)), pr[5] = (float)f, pr[10] = (float)((zfar + n) / (n - zfar)), pr[11] = -1;
  pr[14] = (float)(2 * zfar * n / (n - zfar));
  frustum_update(mv, pr);
}

static int test_at(float x, float y, float z, float half) {
  aabb b = {{x - half, y - half, z - half}, {x + half, y + half, z + half}};
  return frustum_test_box(&b, g_frustum);
}

TEST(Frustum, FollowsTheCameraPose) {
  load_view(0, 0, 0, 0, 0); // at the origin, looking down -z
  EXPECT_TRUE(test_at(0, 0, -10, 1) == FRUSTUM_INSIDE && test_at(0, 0, 10, 1) == FRUSTUM_OUTSIDE && test_at(0, 0, -150, 1) == FRUSTUM_OUTSIDE);
  aabb near_straddle = {{-0.05f, -0.05f, -0.2f}, {0.05f, 0.05f, 0.0f}};
  EXPECT_EQ(frustum_test_box(&near_straddle, g_frustum), FRUSTUM_INTERSECT);
  for (const plane &p : g_frustum) EXPECT_NEAR(p.a * p.a + p.b * p.b + p.c * p.c, 1.0f, 1e-5f);
  load_view(0, 90, 50, 5, 50);
  EXPECT_TRUE(test_at(60, 5, 50, 1) == FRUSTUM_INSIDE && test_at(40, 5, 50, 1) == FRUSTUM_OUTSIDE);
  load_view(45, 0, 0, 10, 0);
  EXPECT_TRUE(test_at(0, 0, -10, 0.5f) == FRUSTUM_INSIDE && test_at(0, 30, -5, 0.5f) == FRUSTUM_OUTSIDE);
}

TEST(Frustum, TieBreaksOnAPlane) {
  plane planes[6];
  for (plane &p : planes) p = {0, 0, 1, -1000}; // five planes far away
  planes[0] = {1, 0, 0, 0};                     // and x = 0 with its normal toward +x
  const struct { aabb box; int want; } cases[] = {
      {{{-2, 0, 0}, {0, 1, 1}}, FRUSTUM_INTERSECT}, // farthest corner on the plane
      {{{0, 0, 0}, {2, 1, 1}}, FRUSTUM_INTERSECT},  // nearest corner on the plane: not outside
      {{{-1, 0, 0}, {-1, 0, 0}}, FRUSTUM_INSIDE}, {{{0, 0, 0}, {0, 0, 0}}, FRUSTUM_INTERSECT}, {{{0.001f, 0, 0}, {2, 1, 1}}, FRUSTUM_OUTSIDE}};
  for (auto &c : cases) EXPECT_EQ(frustum_test_box(&c.box, planes), c.want) << c.box.min[0];
}

TEST(Overlay, PositionsAtAnyWindowSize) {
  int w = i_screen_w, h = i_screen_h, x, y;
  const struct { int sw, sh, logo_w, cw, ch, logo_x, cx, cy; } cases[] = {
      {855, 480, 511, 200, 40, 172, 635, 420}, {100, 50, 512, 200, 40, -206, -120, -10}, // the second larger than the window
      // extremes of "param.cfg": the corner is held to the int range instead of wrapping
      {INT_MIN, INT_MIN, 512, 200, 40, INT_MIN / 2 - 256, INT_MIN, INT_MIN},
      {INT_MAX, INT_MAX, 512, 200, 40, INT_MAX / 2 - 256, INT_MAX - 220, INT_MAX - 60},
  };
  for (auto &c : cases) {
    i_screen_w = c.sw, i_screen_h = c.sh;
    overlay_logo_pos(c.logo_w, &x, &y);
    EXPECT_TRUE(x == c.logo_x && y == 50) << c.sw;
    overlay_credits_pos(c.cw, c.ch, &x, &y);
    EXPECT_TRUE(x == c.cx && y == c.cy) << c.sw << "x" << c.sh;
  }
  i_screen_w = w, i_screen_h = h;
  EXPECT_TRUE(screen_aspect(854, 480) == 854.0 / 480 && screen_aspect(INT_MIN, -1) == 2147483648.0 && screen_aspect(854, 0) == 1.0);
}

static batch *fresh(int nverts = 0) {
  batch *b = b_create();
  b_reset(b);
  for (int i = 0; i < nverts; i++) b_add_vertex(b, (float)i, (float)(i % 2), 0);
  return b;
}

TEST(Batch, EmptyBatchesAreNeitherPreparedNorDrawnAndBadArraysAreRefused) {
  batch *b = fresh(2);
  EXPECT_TRUE(b_is_empty(b));
  b_add_vertex(b, 0, 0, 1);
  EXPECT_FALSE(b_is_empty(b));
  b_add_triangle(b, 0, 1, 2);
  b->idx.count = 2; // with indices, they alone decide
  EXPECT_TRUE(b_is_empty(b));
  b_reset(b);
  b_prepare(b); // no buffer is made, so no context is needed
  EXPECT_EQ(b->prepared, 0u);
  EXPECT_EXIT(b_draw(b), testing::ExitedWithCode(1), "error: b_draw#[0-9]+: unprepared batch \\(empty\\)\n");
  EXPECT_EXIT(b_draw(fresh(3)), testing::ExitedWithCode(1), "error: b_draw#[0-9]+: unprepared batch \n");
  b_add_triangle(b = fresh(3), 0, 1, 3);
  EXPECT_EXIT(b_prepare(b), testing::ExitedWithCode(1), "batch index 3 out of range \\(3 vertices\\)");
  b_add_texcoord(b = fresh(3), 0, 0);
  EXPECT_EXIT(b_prepare(b), testing::ExitedWithCode(1), "batch has 1 texture coordinates for 3 vertices");
}

TEST(Batch, XpolyAppendsTwoTexturedQuadsFromTheCurrentBaseAndUploadsLeaveNothingBound) {
  FakeBuffers gl;
  texture tex = {64, 128, 1, 0};
  float m[16], whole[4] = {0, 0, 64, 128}, part[4] = {16, 32, 48, 96};
  mat4_identity(m);
  batch *b = fresh();
  bgen_xpoly(&tex, m, b, whole);
  ASSERT_TRUE(b->v.count == 24 && b->idx.count == 12);
  EXPECT_EQ(std::vector<float>(b->tc.begin(), b->tc.end()), (std::vector<float>{0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 0}));
  EXPECT_EQ(std::vector<uint32_t>(b->idx.begin(), b->idx.end()), (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7}));
  b_prepare(b);
  EXPECT_EQ(FakeBuffers::live, 3); // positions, texture coordinates, indices
  // bound buffers would turn a later pass's client-side arrays into offsets
  EXPECT_TRUE(FakeBuffers::array_bound == 0 && FakeBuffers::element_bound == 0);
  b_free(b);
  EXPECT_EQ(FakeBuffers::live, 0);
  bgen_xpoly(&tex, m, b = fresh(), whole);
  mat4_translate(m, 10, 0, 0);
  mat4_scale(m, 2, 3, 2);
  bgen_xpoly(&tex, m, b, part);
  // vertex 9 (top left): x = 10 - 0.5 * 2; s0 of vertex 8, then its bottom row t1
  EXPECT_TRUE(b->idx[12] == 8 && b->idx[23] == 15 && b->v[27] == 9 && b->v[28] == 3 && b->tc[16] == 0.25f && b->tc[17] == 0.75f);
  (b = fresh())->prepared = 1;
  EXPECT_EXIT(bgen_xpoly(&tex, m, b, whole), testing::ExitedWithCode(1), "error: bgen_xpoly#[0-9]+: batch already prepaired\n");
  b->prepared = 0, b->prim_type = GL_QUADS;
  EXPECT_EXIT(bgen_xpoly(&tex, m, b, whole), testing::ExitedWithCode(1), "error: bgen_xpoly#[0-9]+: invalid prim_type\n");
}

TEST(Batch, BoxIsKeptOnceComputedAndNormalizeUsesIt) {
  batch *b = fresh();
  b_add_vertex(b, 0, 0, 0), b_add_vertex(b, 3, 4, 0);
  aabb box;
  b_get_box(b, &box);
  b_add_vertex(b, 100, 100, 100); // not seen: the stored max corner is not at the origin
  b_normalize(b);
  EXPECT_TRUE(b->v[3] == 0.6f && b->v[4] == 0.8f && b->v[6] == 20); // divided by the stored box's diagonal
  batch *point = fresh();
  for (int i = 0; i < 3; i++) b_add_vertex(point, 1, 1, 1);
  b_normalize(point); // no extent: left alone rather than divided by zero
  EXPECT_FLOAT_EQ(point->v[0], 1);
}

namespace {
dds_info parse(std::string bytes) {
  FILE *fp = fmemopen(&bytes[0], bytes.size(), "rb");
  dds_info info;
  dds_parse(fp, &info);
  return fclose(fp), info;
}
dds_info parse(std::function<void(DdsFile &)> edit) {
  DdsFile d;
  edit(d);
  return parse(d.bytes());
}
const char *READ_FAILS = "expression '\\(r = fread\\(buf, 1, size, fp\\)\\) == size' is false";
} // namespace

TEST(DdsHeaderDeath, TheFirstFailedCheckIsReported) {
  const struct { std::function<void(DdsFile &)> edit; std::string message; } cases[] = {
      {[](DdsFile &d) { d.magic = "DDT "; }, "invalid magic 'DDT'"},
      {[](DdsFile &d) { d.size = 128; }, "size \\(128\\) != 124"},
      {[](DdsFile &d) { d.flags = 0; }, "expression 'flags & DDSD_CAPS' is false"},
      {[](DdsFile &d) { d.flags &= ~0x2u; }, "expression 'flags & DDSD_HEIGHT' is false"},
      {[](DdsFile &d) { d.flags &= ~0x4u; }, "expression 'flags & DDSD_WIDTH' is false"},
      {[](DdsFile &d) { d.flags &= ~0x1000u; }, "expression 'flags & DDSD_PIXELFORMAT' is false"},
      {[](DdsFile &d) { d.pf_size = 24; }, "expression 'readu\\(fp\\) == 32' is false"},
      // uncompressed: fails at the flags before its code is looked at
      {[](DdsFile &d) { d.pf_flags = 0x40, d.fourcc = "RGBA"; }, "expression 'readu\\(fp\\) & DDPF_FOURCC' is false"},
      {[](DdsFile &d) { d.fourcc = "ATI2"; }, "file is not a DXT1, 3 or 5 \\(ATI2\\)"},
      {[](DdsFile &d) { d.w = 8, d.mips = 2, d.data = std::string(31, 'x'); }, READ_FAILS},
      {[](DdsFile &d) { d.mips = 0, d.data = ""; }, READ_FAILS}, // a count of 0 is one level, which must be there
      // sizes and counts the header allows but no file can hold
      {[](DdsFile &d) { d.w = d.h = 0xFFFFFFFF; }, "invalid size 4294967295x4294967295 \\(1 to 65536 pixels per side\\)"},
      // levels declared past 1 x 1 must be in the file too, however many
      {[](DdsFile &d) { d.mips = 0xFFFFFFFF; }, READ_FAILS},
      // a level no upload takes: 4 GiB would wrap to 0 in 32 bits, 2 GiB is one byte too many
      {[](DdsFile &d) { d.w = d.h = 65536; }, "level 0 of 65536x65536 DXT5 is 4294967296 bytes, more than one upload takes \\(2147483647\\)"},
      {[](DdsFile &d) { d.w = d.h = 65536, d.fourcc = "DXT1"; }, "level 0 of 65536x65536 DXT1 is 2147483648 bytes, more than one upload takes \\(2147483647\\)"},
  };
  for (auto &c : cases) EXPECT_EXIT(parse(c.edit), testing::ExitedWithCode(1), "^error: load_dds#[0-9]+: " + c.message + "\n$");
  EXPECT_EXIT(parse("DD"), testing::ExitedWithCode(1), "^error: load_dds#[0-9]+: read error\n$");
  EXPECT_EXIT(parse(DdsFile().bytes().substr(0, 86)), testing::ExitedWithCode(1), "'fread\\(buf, 1, 4, fp\\) == 4' is false\n$");
  EXPECT_EXIT(parse(DdsFile().bytes().substr(0, 10)), testing::ExitedWithCode(1), "^error: readu#[0-9]+: read failed at 10\n$");
  EXPECT_EXIT(load_dds("/no/such.dds"), testing::ExitedWithCode(1), "^error: load_dds#[0-9]+: failed to open '/no/such.dds'\n$");
}

TEST(DdsLevels, ChainCountsAndBlockSizes) {
  dds_info i = parse([](DdsFile &d) { d.magic = "DDS\x7f", d.w = 256, d.h = 64, d.mips = 9, d.data = std::string(21904, 'x'); });
  const dds_level &top = i.levels[0], &last = i.levels[8]; // the GL upload test checks the levels of a short chain
  EXPECT_TRUE(i.nlevels == 9 && i.glformat == 0x83F3 && top.size == 16384 && last.w == 1 && last.h == 1 && last.size == 16);
  // DXT1: 8-byte blocks, a 1 x 1 or 2 x 2 level is one block
  i = parse([](DdsFile &d) { d.fourcc = "DXT1", d.w = 2, d.h = 2, d.mips = 2; });
  EXPECT_TRUE(i.glformat == 0x83F1 && i.levels[0].size + i.levels[1].size == 16);
  EXPECT_EQ(parse([](DdsFile &d) { d.fourcc = "DXT3"; }).glformat, 0x83F2u);
  // 64 x 64 DXT1 declaring 8 levels: the 7 down to 1 x 1 (2744 bytes) are read, the eighth (one
  // block) is only in the file
  i = parse([](DdsFile &d) { d.fourcc = "DXT1", d.w = d.h = 64, d.mips = 8, d.data = std::string(2752, 'x'); });
  EXPECT_TRUE(i.nlevels == 7 && i.nsurplus == 1 && i.levels[6].w == 1 && i.levels[6].size == 8);
  // one level without DDSD_MIPMAPCOUNT, whatever the field says, and with a count of 0
  EXPECT_EQ(parse([](DdsFile &d) { d.flags &= ~0x20000u, d.mips = 3; }).nlevels, 1u);
  i = parse([](DdsFile &d) { d.mips = 0; });
  EXPECT_TRUE(i.nlevels == 1 && i.levels[0].size == 16);
}
