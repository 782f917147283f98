// Procedural trees: the parameter file and its messages, sections, vertex counts, the unit
// diagonal, the refused tree without extent, the reload that keeps the old tree on a failure.
#include "core/file.h"
#include "core/fmon.h"
#include "render/batch.h"
#include "render/texture.h"
#include "tests/unit/fakegl.h"
#include "tests/unit/testutil.h"
#include "world/object.h"
#include "world/tree.h"
#include <gtest/gtest.h>
#include <cmath>
#include <map>
#include <string>

namespace {
texture g_tex = {512, 256, 3};
texture *fake_texture(const char *) { return &g_tex; }

// The 17 keys of a tree file, in file order; a test changes or drops some.
const char *const KEYS[17][2] = {
    {"tr_height", "4"},          {"tr_branch_start_height", "1"}, {"tr_branch_end_height", "3"},
    {"tr_section_count", "4"},   {"tr_top_section_scale", "1"},   {"tr_bottom_section_scale", "2"},
    {"tr_texture_rect_top", "0 0"}, {"tr_texture_rect_bottom", "0.25 1"}, {"br_count", "3"},
    {"br_length", "0.5"},        {"br_length_variance", "0.2"},   {"br_start_angle", "30"},
    {"br_end_angle", "80"},      {"br_leaf_width", "1.5"},        {"br_leaf_height", "1.2"},
    {"br_texture_rect_top", "0.5 0"}, {"br_texture_rect_bottom", "1 1"}};

struct TreeFile : testing::Test {
  TempDir dir;
  FakeBuffers gl;
  std::string old_root = g_root;
  void SetUp() override {
    usetroot(dir.dir.c_str());
    g_wobj_texture_get = fake_texture;
    fmon_init();
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    g_wobj_texture_get = texmgr_get;
    wobj_clear();
    fmon_init();
  }
  // Writes tree.pg with the keys, values replaced by `change` ("" drops the key).
  std::string write(std::map<std::string, std::string> change = {}) {
    std::string s = "# a tree\n";
    for (auto &k : KEYS) {
      auto c = change.find(k[0]);
      if (c == change.end()) s += std::string(k[0]) + " " + k[1] + "\n";
      else if (!c->second.empty()) s += std::string(k[0]) + " " + c->second + "\n";
    }
    return dir.write("tree.pg", s);
  }
  pg_params read(std::map<std::string, std::string> change = {}) {
    pg_params p = {};
    pg_read(write(change).c_str(), &p);
    p.texw = 512, p.texh = 256;
    return p;
  }
  wobj *load_tree(const std::string &object_lines = "file t.png\npg tree.pg\n") {
    dir.write("index", "object oak\n" + object_lines + "scale 10\n\n");
    testing::internal::CaptureStdout();
    parse_index();
    testing::internal::GetCapturedStdout();
    return &g_wobjs[0];
  }
};
} // namespace

TEST_F(TreeFile, TheFileNamesEveryKeyOrTheLoadEnds) {
  pg_params p = read();
  EXPECT_FLOAT_EQ(p.tr_height, 4);
  EXPECT_EQ(p.tr_section_count, 4);
  EXPECT_FLOAT_EQ(p.tr_texture_rect_bottom[0], 0.25f);
  EXPECT_EQ(p.br_count, 3);
  EXPECT_FLOAT_EQ(p.br_leaf_height, 1.2f);
  EXPECT_FLOAT_EQ(p.br_texture_rect_top[0], 0.5f);
  const char *cases[][3] = {
      {"br_count", "", "cfg_get_string#[0-9]+: br_count doesn't exist\n"},
      {"br_count", "many", "cfg_get_int#[0-9]+: br_count type error\n"},
      {"tr_height", "tall", "cfg_get_float#[0-9]+: tr_height type error\n"},
      {"br_texture_rect_top", "0.5", "cfg_get_vec2#[0-9]+: br_texture_rect_top type error\n"},
  };
  for (auto &c : cases) EXPECT_EXIT(read({{c[0], c[1]}}), testing::ExitedWithCode(1), std::string("^error: ") + c[2]) << c[0];
}

TEST_F(TreeFile, SectionsRunFromTheBottomTowardTheTop) {
  pg_params p = read();
  const float want[4][2] = {{1, 2}, {1.5f, 1.75f}, {2, 1.5f}, {2.5f, 1.25f}};
  for (int i = 0; i < 4; i++) {
    float h, s;
    tree_section(&p, i, &h, &s);
    EXPECT_FLOAT_EQ(h, want[i][0]) << i;
    EXPECT_FLOAT_EQ(s, want[i][1]) << i;
  }
}

TEST_F(TreeFile, ATrunkAndFourVerticesPerCardScaledToAUnitDiagonal) {
  const struct {
    const char *sections, *count;
    uint32_t verts;
  } cases[] = {{"4", "3", 8 + 4 * 12}, {"0", "3", 8}, {"4", "0", 8}, {"1", "5", 8 + 4 * 5}};
  for (auto &c : cases) {
    pg_params p = read({{"tr_section_count", c.sections}, {"br_count", c.count}});
    batch *b = b_create();
    usrand(1);
    tree_build(b, &p);
    int draws = 0, next = urand();
    usrand(1);
    while (urand() != next) draws++;
    EXPECT_EQ(b_nverts(b), c.verts) << c.sections << " x " << c.count;
    EXPECT_EQ(b->idx.count / 3, 4 + (c.verts - 8) / 2);
    EXPECT_EQ(draws, 3 * (int)(c.verts - 8) / 4); // tilt, turn and distance per card
    aabb box;
    b_get_box(b, &box);
    float dx = box.max[0] - box.min[0], dy = box.max[1] - box.min[1], dz = box.max[2] - box.min[2];
    EXPECT_NEAR(sqrtf(dx * dx + dy * dy + dz * dz), 1, 1e-5);
    EXPECT_FLOAT_EQ(b->v[1], 0); // the trunk stands on the origin
    b_free(b);
  }
  // the trunk alone: 4 high, its width the rectangle's pixel proportions (128 x 256 pixels)
  pg_params p = read({{"tr_section_count", "0"}});
  batch *b = b_create();
  tree_build(b, &p);
  EXPECT_NEAR(b->v[4] / (b->v[6] - b->v[0]), 2, 1e-5);
  p.tr_height = 0;
  EXPECT_EXIT(tree_build(b, &p), testing::ExitedWithCode(1), "^error: tree_build#[0-9]+: tree .* has no size");
  // sections without cards are nothing to walk through; more cards than the limit are refused
  p = read({{"tr_section_count", "2147483647"}, {"br_count", "0"}});
  tree_build(b, &p);
  EXPECT_EQ(b_nverts(b), 8u);
  for (const char *n : {"257", "2147483647"})
    EXPECT_EXIT((p = read({{"tr_section_count", n}, {"br_count", "256"}}), tree_build(b, &p)), testing::ExitedWithCode(1),
                std::string("^error: tree_build#[0-9]+: tree .* has [0-9]+ leaf cards \\(tr_section_count ") + n +
                    " x br_count 256\\), more than 65536\n");
  b_free(b);
}

TEST_F(TreeFile, CatalogueReadsTheFileAtOnceAndReloadKeepsTheOldTreeOnAFailure) {
  write();
  wobj *o = load_tree();
  EXPECT_EQ(o->is_tree, 1);
  EXPECT_EQ(o->pg.br_count, 3);
  const fmon_entry *e = fmon_get(0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::string(e->path), dir.path("tree.pg"));
  EXPECT_EQ(e->callback, pg_reload);
  EXPECT_EQ(e->arg, o);
  process_pgparam();
  batch *first = o->pg.batch;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(b_nverts(first), 8u + 4 * 12);
  int buffers = FakeBuffers::live;
  // a key removed: warned with the reader's own message, the old tree stays
  write({{"br_count", ""}});
  testing::internal::CaptureStderr();
  pg_reload(e->path, o);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("warning: cfg_get_string#"), std::string::npos) << err;
  EXPECT_NE(err.find(": br_count doesn't exist\n"), std::string::npos) << err;
  EXPECT_EQ(o->pg.batch, first);
  EXPECT_EQ(o->pg.br_count, 3);
  EXPECT_EQ(FakeBuffers::live, buffers);
  // a tree without extent is refused the same way
  write({{"tr_height", "0"}, {"tr_section_count", "0"}});
  testing::internal::CaptureStderr();
  pg_reload(e->path, o);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("has no size"), std::string::npos);
  EXPECT_EQ(o->pg.batch, first);
  EXPECT_EQ(FakeBuffers::live, buffers); // the half-built batch went again
  // a good edit replaces block and batch
  write({{"br_count", "5"}});
  testing::internal::CaptureStdout();
  pg_reload(e->path, o);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(o->pg.br_count, 5);
  EXPECT_EQ(b_nverts(o->pg.batch), 8u + 4 * 20);
  EXPECT_EQ(FakeBuffers::live, buffers);
}

TEST_F(TreeFile, LoadingFailsWithTheExactMessages) {
  write();
  EXPECT_EXIT(
      {
        load_tree("pg tree.pg\n");
        process_pgparam();
      },
      testing::ExitedWithCode(1), "^error: process_pgparam#[0-9]+: missing texture\n");
  EXPECT_EXIT(load_tree("file t.png\npg other.pg\n"), testing::ExitedWithCode(1), "^error: ufopen#[0-9]+: failed to open .*other.pg\n");
}
