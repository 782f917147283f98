// Procedural trees: the parameter file and its messages, sections, vertex counts, the unit
// diagonal, the refused tree without extent, the reload that keeps the old tree on a failure.
#include "core/fmon.h"
#include "tests/unit/testutil.h"
#include "world/tree.h"

namespace {
struct TreeFile : WorldRoot {
  FakeBuffers gl;
  void SetUp() override { WorldRoot::SetUp(), g_fake_tex = {512, 256, 3, 0}, fmon_init(); }
  void TearDown() override { WorldRoot::TearDown(), fmon_init(); }
  std::string write(std::map<std::string, std::string> change = {}) { return dir.write("tree.pg", tree_file(change)); }
  pg_params read(std::map<std::string, std::string> change = {}) {
    pg_params p = {};
    pg_read(write(change).c_str(), &p);
    return p.texw = 512, p.texh = 256, p;
  }
  // A string from a reload, what it wrote to one stream.
  std::string reload(wobj *o, bool out = false) {
    auto f = [o] { pg_reload(fmon_get(0)->path, o); };
    return out ? stdout_of(f) : stderr_of(f);
  }
};
} // namespace

TEST_F(TreeFile, TheFileNamesEveryKeyAndSectionsRunFromTheBottomUp) {
  pg_params p = read();
  EXPECT_TRUE(p.tr_height == 4 && p.tr_section_count == 4 && p.tr_texture_rect_bottom[0] == 0.25f && p.br_count == 3 &&
              p.br_leaf_height == 1.2f && p.br_texture_rect_top[0] == 0.5f);
  const float want[4][2] = {{1, 2}, {1.5f, 1.75f}, {2, 1.5f}, {2.5f, 1.25f}};
  for (int i = 0; i < 4; i++) {
    float h, s;
    tree_section(&p, i, &h, &s);
    EXPECT_TRUE(h == want[i][0] && s == want[i][1]) << i;
  }
  const char *cases[][3] = {
      {"br_count", "", "cfg_get_string#[0-9]+: br_count doesn't exist\n"},
      {"br_count", "many", "cfg_get_int#[0-9]+: br_count type error\n"},
      {"tr_height", "tall", "cfg_get_float#[0-9]+: tr_height type error\n"},
      {"br_texture_rect_top", "0.5", "cfg_get_vec2#[0-9]+: br_texture_rect_top type error\n"},
  };
  for (auto &c : cases) EXPECT_EXIT(read({{c[0], c[1]}}), testing::ExitedWithCode(1), std::string("^error: ") + c[2]) << c[0];
}

TEST_F(TreeFile, ATrunkAndFourVerticesPerCardScaledToAUnitDiagonal) {
  const struct {
    const char *sections, *count;
    uint32_t verts;
  } cases[] = {{"4", "3", 8 + 4 * 12}, {"0", "3", 8}, {"4", "0", 8}, {"1", "5", 8 + 4 * 5}, {"2147483647", "0", 8}};
  for (auto &c : cases) {
    pg_params p = read({{"tr_section_count", c.sections}, {"br_count", c.count}});
    batch *b = b_create();
    usrand(1), tree_build(b, &p);
    EXPECT_EQ(draws_since(1), 3 * (int)(c.verts - 8) / 4); // tilt, turn and distance per card
    EXPECT_TRUE(b_nverts(b) == c.verts && b->idx.count / 3 == 4 + (c.verts - 8) / 2) << c.sections << " x " << c.count;
    aabb box;
    b_get_box(b, &box);
    float dx = box.max[0] - box.min[0], dy = box.max[1] - box.min[1], dz = box.max[2] - box.min[2];
    EXPECT_TRUE(fabsf(sqrtf(dx * dx + dy * dy + dz * dz) - 1) < 1e-5 && b->v[1] == 0); // the trunk stands on the origin
    b_free(b);
  }
  // the trunk alone: 4 high, its width the rectangle's pixel proportions (128 x 256 pixels)
  pg_params p = read({{"tr_section_count", "0"}});
  batch *b = b_create();
  tree_build(b, &p);
  EXPECT_NEAR(b->v[4] / (b->v[6] - b->v[0]), 2, 1e-5);
  p.tr_height = 0;
  EXPECT_EXIT(tree_build(b, &p), testing::ExitedWithCode(1), "^error: tree_build#[0-9]+: tree .* has no size");
  for (const char *n : {"257", "2147483647"}) // more cards than the limit are refused
    EXPECT_EXIT((p = read({{"tr_section_count", n}, {"br_count", "256"}}), tree_build(b, &p)), testing::ExitedWithCode(1),
                std::string("^error: tree_build#[0-9]+: tree .* has [0-9]+ leaf cards \\(tr_section_count ") + n +
                    " x br_count 256\\), more than 65536\n");
  b_free(b);
}

TEST_F(TreeFile, CatalogueReadsTheFileAtOnceAndReloadKeepsTheOldTreeOnAFailure) {
  write();
  catalogue("object oak\nfile t.png\npg tree.pg\nscale 10\n\n");
  wobj *o = &g_wobjs[0];
  EXPECT_TRUE(o->is_tree == 1 && o->pg.br_count == 3);
  const fmon_entry *e = fmon_get(0);
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(std::string(e->path) == dir.path("tree.pg") && e->callback == pg_reload);
  process_pgparam();
  batch *first = o->pg.batch;
  ASSERT_TRUE(first && b_nverts(first) == 8 + 4 * 12);
  int buffers = FakeBuffers::live;
  // a key removed: warned with the reader's own message; a tree without extent likewise; the
  // old tree stays and the half-built batch goes again
  write({{"br_count", ""}});
  EXPECT_TRUE(std::regex_search(reload(o), std::regex("warning: cfg_get_string#[0-9]+: br_count doesn't exist\n")));
  write({{"tr_height", "0"}, {"tr_section_count", "0"}});
  EXPECT_NE(reload(o).find("has no size"), std::string::npos);
  EXPECT_TRUE(o->pg.batch == first && o->pg.br_count == 3 && FakeBuffers::live == buffers);
  write({{"br_count", "5"}});
  reload(o, true);
  EXPECT_TRUE(o->pg.br_count == 5 && b_nverts(o->pg.batch) == 8 + 4 * 20 && FakeBuffers::live == buffers);
  EXPECT_EXIT((catalogue("object oak\npg tree.pg\n\n"), process_pgparam()), testing::ExitedWithCode(1),
              "^error: process_pgparam#[0-9]+: missing texture\n");
  EXPECT_EXIT(catalogue("object oak\nfile t.png\npg other.pg\n\n"), testing::ExitedWithCode(1),
              "^error: ufopen#[0-9]+: failed to open .*other.pg\n");
}
