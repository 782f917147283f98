// World generator tests: each preset's world holds what the game needs to look and sound alive
// (that the game's readers take its files is velder-check's test) (its own look per region, landmarks ahead and on the map, trees that read apart).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "wg_check.h"

static const char *PARAMS[31] = {
    "b_fog_on", "v3_fog_color", "f_fog_density", "f_fog_start", "f_fog_end", "v3_sky_color", "v3_alpha_color",
    "i_screen_w", "i_screen_h", "b_camera_clamp_y", "f_camera_zfar", "v3_camera_start_pos", "v3_camera_start_rot",
    "i_veg_mass_count", "i_veg_detail_count", "f_veg_pos_r", "b_veg_patch_on", "i_veg_patch_mapsz",
    "i_veg_patch_blocksz", "b_frustum_cull", "s_ambient_loop", "i_rain_ndroplets", "i_snow_nflakes", "i_tn_ndivs",
    "f_tn_sz", "f_tn_hm_maxy", "f_walk_speed", "f_texture_scale", "i_grass_ntufts", "i_grass_cell_sample_res",
    "s_default_clut"};

struct world {
  std::map<std::string, std::string> param; // first word -> rest of the line
  std::vector<index_object> objects;
  std::vector<brush_def> brushes;
  bmp_info objmap, hm;
  float p(const char *name, int i = 0) const {
    float v[3] = {0, 0, 0};
    auto it = param.find(name);
    if (it != param.end()) sscanf(it->second.c_str(), "%f %f %f", &v[0], &v[1], &v[2]);
    return v[i];
  }
  const index_object *object(const std::string &name) const {
    for (auto &o : objects)
      if (o.name == name) return &o;
    return nullptr;
  }
  const brush_def *brush_at(float x, float z) const { // the lookup the game makes
    float ext = 2 * p("f_veg_pos_r");
    int c = std::clamp((int)((x + ext * 0.5f) / ext * objmap.w), 0, objmap.w - 1);
    int r = std::clamp((int)((z + ext * 0.5f) / ext * objmap.h), 0, objmap.h - 1);
    const uint8_t *px = &objmap.rgb[((size_t)r * objmap.w + c) * 3];
    for (auto &b : brushes)
      if (b.color == (uint32_t)(px[0] << 16 | px[1] << 8 | px[2])) return &b;
    return nullptr;
  }
  bool unique_at(const brush_def *b) const {
    for (auto &n : b->names)
      if (object(n) && object(n)->type == "unique") return true;
    return false;
  }
};

// Reads the world and checks everything that holds for every preset.
static void check_world(const std::string &root, world &w) {
  SCOPED_TRACE(root);

  // param.cfg: every parameter once
  std::map<std::string, int> seen;
  for (auto &l : wg_lines(root + "/param.cfg")) {
    if (l.empty() || l[0] == '#') continue;
    std::string name = l.substr(0, l.find(' '));
    seen[name]++;
    w.param[name] = l.substr(name.size() < l.size() ? name.size() + 1 : l.size());
  }
  for (const char *n : PARAMS) EXPECT_EQ(seen[n], 1) << n;
  EXPECT_EQ(seen.size(), 31u);
  EXPECT_FLOAT_EQ(w.p("f_veg_pos_r") * 2, w.p("f_tn_sz"));
  EXPECT_EQ(w.p("i_screen_w"), 854);
  EXPECT_EQ(w.p("i_screen_h"), 480);
  EXPECT_LE(w.p("f_fog_end"), w.p("f_camera_zfar"));
  float half = w.p("f_tn_sz") / 2;
  EXPECT_LT(std::fabs(w.p("v3_camera_start_pos", 0)), half);
  EXPECT_LT(std::fabs(w.p("v3_camera_start_pos", 2)), half);

  // height map: square, with the fine channels in use
  w.hm = bmp_load(root + "/hm.bmp");
  ASSERT_TRUE(w.hm.ok) << "hm.bmp is not a 24-bit BMP";
  EXPECT_EQ(w.hm.w, w.hm.h);
  std::set<uint32_t> heights;
  for (size_t i = 0; i < w.hm.rgb.size(); i += 3) heights.insert(w.hm.rgb[i] << 16 | w.hm.rgb[i + 1] << 8 | w.hm.rgb[i + 2]);
  EXPECT_GT(heights.size(), 256u) << "more height steps than 8 bits hold";

  // every region its footsteps and its own look, every landmark a plot on the map
  w.objects = index_read(root);
  w.brushes = brushes_read(root);
  w.objmap = bmp_load(root + "/objmap.bmp");
  ASSERT_TRUE(w.objmap.ok) << "objmap.bmp is not a 24-bit BMP";
  EXPECT_EQ(w.objmap.w, w.objmap.h);
  std::set<uint32_t> colours;
  for (size_t i = 0; i < w.objmap.rgb.size(); i += 3) colours.insert(w.objmap.rgb[i] << 16 | w.objmap.rgb[i + 1] << 8 | w.objmap.rgb[i + 2]);
  EXPECT_GE(colours.size(), 6u);
  std::set<std::string> uniques_placed, footsteps, cluts = {w.param["s_default_clut"]}, region_cluts;
  for (auto &b : w.brushes) {
    EXPECT_FALSE(b.footsteps.empty()) << std::hex << b.color;
    EXPECT_FALSE(b.clut.empty()) << std::hex << b.color;
    footsteps.insert(b.footsteps), cluts.insert(b.clut), region_cluts.insert(b.clut);
    bool has_mass = false;
    for (auto &n : b.names) {
      has_mass |= w.object(n) && w.object(n)->type == "mass";
      if (w.object(n) && w.object(n)->type == "unique" && colours.count(b.color)) uniques_placed.insert(n);
    }
    EXPECT_TRUE(has_mass || b.density <= 0) << std::hex << b.color; // attempts need mass objects
  }
  EXPECT_GE(footsteps.size(), 4u);
  EXPECT_GE(region_cluts.size(), 6u);

  // objects: kinds, cut-out textures, full mip chains
  int trees = 0, billboards = 0, grass = 0, uniques = 0, dxt1 = 0, dxt5 = 0;
  for (auto &o : w.objects) {
    SCOPED_TRACE(o.name);
    std::string tex = root + "/" + o.file;
    if (o.file.size() > 3 && o.file.compare(o.file.size() - 3, 3, "dds") == 0) {
      dds_info d = dds_header(tex);
      EXPECT_EQ(d.mips, (int)std::log2(std::max(d.w, d.h)) + 1) << "full mip chain";
      dxt1 += d.fourcc == "DXT1", dxt5 += d.fourcc == "DXT5";
    } else {
      EXPECT_EQ(png_header(tex).colour_type, 6) << "textures carry alpha";
      int tw = 0, th = 0, clear = 0, solid = 0;
      auto px = png_rgba(tex, &tw, &th);
      for (size_t i = 3; i < px.size(); i += 4) clear += px[i] == 0, solid += px[i] == 255;
      EXPECT_GT(clear, 0) << "cut-out shape";
      EXPECT_GT(solid, 0);
    }
    EXPECT_EQ(o.pg.empty() ? 17u : kv_read(root + "/" + o.pg).size(), 17u);
    trees += o.type == "mass" && !o.pg.empty();
    billboards += o.type == "mass" && o.pg.empty();
    grass += o.type == "grass";
    uniques += o.type == "unique";
  }
  EXPECT_GE(trees, 3);
  EXPECT_GE(billboards, 4);
  EXPECT_GE(grass, 3);
  EXPECT_GE(uniques, 3);
  EXPECT_GE((int)uniques_placed.size(), uniques) << "every landmark has a plot on the map";
  // The spawn pass looks a pixel's brush up at its low corner in single precision, which can land
  // in the neighbouring pixel; every plot must still get attempts.
  std::set<std::string> attempted;
  float cell = w.p("f_tn_sz") / (float)w.objmap.w;
  for (int r = 0; r < w.objmap.h; r++)
    for (int c = 0; c < w.objmap.w; c++) {
      const brush_def *b = w.brush_at((c - w.objmap.w * 0.5f) * cell, (r - w.objmap.h * 0.5f) * cell);
      if (b && b->density > 0)
        for (auto &n : b->names)
          if (w.object(n) && w.object(n)->type == "unique") attempted.insert(n);
    }
  EXPECT_EQ(attempted.size(), uniques_placed.size()) << "a landmark plot gets no spawn attempt";
  EXPECT_GE(dxt1, 1);
  EXPECT_GE(dxt5, 1);

  // colour tables: white stays bright, black dark, each a look of its own the player notices
  // (on average several levels away from the identity)
  std::set<std::vector<uint8_t>> looks;
  for (auto &c : cluts) {
    bmp_info t = bmp_load(root + "/" + c);
    ASSERT_TRUE(t.ok) << c;
    EXPECT_GT(t.rgb[((size_t)15 * t.w + 255) * 3 + 1], 200) << c;
    EXPECT_LT(t.rgb[1], 60) << c;
    double moved = 0;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 256; x++)
        for (int k = 0; k < 3; k++) moved += std::abs(t.rgb[((size_t)y * t.w + x) * 3 + k] - (k == 0 ? x % 16 : k == 1 ? y : x / 16) * 17);
    EXPECT_GT(moved / (256 * 16 * 3), 6) << c;
    looks.insert(t.rgb);
  }
  EXPECT_EQ(looks.size(), cluts.size());

  // sky: RGBA faces, horizon in the fog colour
  for (const char *f : {"front", "right", "back", "left", "top", "bottom", "s_front", "s_top"})
    EXPECT_EQ(png_header(root + "/skybox/" + f + ".png").colour_type, 6) << f;
  int fw = 0, fh = 0;
  auto front = png_rgba(root + "/skybox/front.png", &fw, &fh);
  ASSERT_FALSE(front.empty());
  const uint8_t *mid = &front[((size_t)(fh / 2) * fw + fw / 2) * 4];
  for (int c = 0; c < 3; c++) EXPECT_NEAR(mid[c] / 255.0, w.p("v3_fog_color", c), 0.06) << "horizon channel " << c;

  // overlay images: letters on transparency
  for (const char *f : {"logo.png", "credits.png"}) {
    int iw = 0, ih = 0, clear = 0, solid = 0;
    auto px = png_rgba(root + "/" + f, &iw, &ih);
    ASSERT_FALSE(px.empty()) << f;
    for (size_t i = 3; i < px.size(); i += 4) clear += px[i] == 0, solid += px[i] == 255;
    EXPECT_GT(clear, iw * ih / 5) << f;
    EXPECT_GT(solid, iw * ih / 20) << f;
  }
}

static size_t spawn_attempts(const world &w) {
  size_t n = 0;
  for (size_t i = 0; i < w.objmap.rgb.size(); i += 3)
    for (auto &b : w.brushes)
      if (b.color == (uint32_t)(w.objmap.rgb[i] << 16 | w.objmap.rgb[i + 1] << 8 | w.objmap.rgb[i + 2])) {
        n += std::max(b.density, 0);
        break;
      }
  return n;
}

// The tiny world's start stands on open ground with footsteps, a landmark plot 4 to 10 units ahead.
TEST(WorldPresets, TinyHasALandmarkStraightAheadOfTheStart) {
  std::string top = wg_tempdir(), dir = top + "/tiny";
  ASSERT_EQ(wg_run("--preset tiny " + dir), 0);
  world w;
  check_world(dir, w);
  if (HasFatalFailure()) return;
  float sx = w.p("v3_camera_start_pos", 0), sz = w.p("v3_camera_start_pos", 2);
  float yaw = w.p("v3_camera_start_rot", 1) * 3.14159265f / 180;
  float fx = std::sin(yaw), fz = -std::cos(yaw); // yaw 0 looks along -z
  float ext = 2 * w.p("f_veg_pos_r"), cell = ext / w.objmap.w;
  EXPECT_LE(cell, 2.0f) << "a plot pixel is small enough to pin the landmark";
  bool ahead = false;
  for (int r = 0; r < w.objmap.h; r++)
    for (int c = 0; c < w.objmap.w; c++) {
      float x = (c + 0.5f) * cell - ext / 2, z = (r + 0.5f) * cell - ext / 2;
      const brush_def *b = w.brush_at(x, z);
      ASSERT_NE(b, nullptr);
      float dx = x - sx, dz = z - sz, d = std::sqrt(dx * dx + dz * dz);
      ahead |= w.unique_at(b) && d >= 4 && d <= 10 && dx * fx + dz * fz > 0 && std::fabs(dx * fz - dz * fx) < 1.5f;
    }
  EXPECT_TRUE(ahead) << "no landmark plot 4 to 10 units in front of the start";
  const brush_def *b = w.brush_at(sx, sz);
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->footsteps.empty());
  wg_rmtree(top);
}

TEST(WorldPresets, DefaultIsALivingLandscape) {
  std::string top = wg_tempdir(), dir = top + "/data";
  ASSERT_EQ(wg_run(dir), 0);
  world w;
  check_world(dir, w);
  if (HasFatalFailure()) return;
  EXPECT_EQ(w.hm.w, 513);
  EXPECT_EQ(w.objmap.w, 256);
  EXPECT_GE(png_header(dir + "/terraintexture.png").w, 2048);
  EXPECT_EQ(png_header(dir + "/skybox/front.png").w, 512);
  EXPECT_GE(w.p("i_tn_ndivs"), 100);
  size_t n = spawn_attempts(w);
  EXPECT_GT(n, 1500u); // thinned to keep software rendering above 30 frames a second
  EXPECT_LT(n, 30000u);
  std::set<uint32_t> growing;
  for (auto &b : w.brushes)
    if (b.density > 0) growing.insert(b.color);
  EXPECT_GE(growing.size(), 6u + 4u) << "six regions and the landmark plots";
  // three tree species that read apart: crown width over crown top, from the widest ring
  std::map<std::string, std::map<std::string, std::string>> pg;
  for (const char *t : {"pine", "oak", "birch"}) pg[t] = kv_read(dir + "/" + w.object(t)->pg);
  auto num = [&](const char *t, const char *k) { return std::stod(pg[t][k]); };
  auto breadth = [&](const char *t) {
    return std::max(num(t, "tr_bottom_section_scale"), num(t, "tr_top_section_scale")) * num(t, "br_leaf_width") /
           num(t, "tr_branch_end_height");
  };
  EXPECT_GE(num("pine", "tr_bottom_section_scale"), 3 * num("pine", "tr_top_section_scale")) << "a cone";
  EXPECT_GT(breadth("oak"), 1.3 * std::max(breadth("pine"), breadth("birch"))) << "a broad oak";
  EXPECT_LT(breadth("birch"), breadth("pine")) << "a slender birch";
  EXPECT_GT(num("birch", "tr_branch_start_height"), 2 * num("pine", "tr_branch_start_height")) << "bare birch trunk";
  // grass of at least three kinds, with their own textures, in the meadow, flowers and woods
  std::set<std::string> kinds, textures;
  for (uint32_t c : {0x7FBF3Fu, 0xD8B0E0u, 0x2F8F2Fu})
    for (auto &b : w.brushes)
      if (b.color == c) {
        int k = 0;
        for (auto &name : b.names)
          if (w.object(name)->type == "grass") k++, kinds.insert(name), textures.insert(w.object(name)->file);
        EXPECT_GE(k, 1) << std::hex << c;
      }
  EXPECT_GE(kinds.size(), 3u);
  EXPECT_GE(textures.size(), 3u);
  wg_rmtree(top);
}

TEST(WorldPresets, DenseHoldsTensOfThousandsOfItems) {
  std::string top = wg_tempdir(), dir = top + "/dense";
  ASSERT_EQ(wg_run("--preset dense " + dir), 0);
  world w;
  check_world(dir, w);
  EXPECT_GT(spawn_attempts(w), 40000u);
  wg_rmtree(top);
}
