// Object catalogue: line rules, prefixes, defaults, limits and the messages of "index".
#include "tests/unit/testutil.h"

namespace {
std::string g_last_texture;
texture *named_texture(const char *name) { return g_last_texture = name, &g_fake_tex; }

struct Catalogue : WorldRoot {
  float old_scale = f_texture_scale;
  void TearDown() override { f_texture_scale = old_scale, WorldRoot::TearDown(); }
};
} // namespace

TEST_F(Catalogue, BlocksTakeDefaultsFromTheirFileLine) {
  f_texture_scale = 0.5f;
  g_wobj_texture_get = named_texture;
  dir.write("tree.cfg", tree_file({{"tr_height", "1"}}));
  std::string out = catalogue("# comment\n\nversion 3\nobject bush\r\n"
                              "density 5\nfile plants/bush.png\n# not the end\ntype detail\n"
                              "scale 1.5\nnum_clumps 2.9\n\n"
                              "object rock\nfilename.png\nclip 10 20 31 64\npgtree.cfg\ntype unique\n\n");
  EXPECT_TRUE(out.find("parse_object: bush\n") != std::string::npos && out.find("parse_index: 2 objects loaded\n") != std::string::npos);
  ASSERT_EQ(g_nwobjs, 2u);
  const wobj &b = g_wobjs[0], &r = g_wobjs[1];
  // the "file" line after "density 5" reset it
  EXPECT_TRUE(b.type == WOBJ_DETAIL && b.density == 1.0f && b.clip[3] == 128 && b.scale == 1.5f && b.num_clumps == 2);
  // prefixes: "filename.png" names "name.png", "pgtree.cfg" the file "tree.cfg", read at once
  EXPECT_EQ(g_last_texture, "name.png");
  EXPECT_EQ(std::string(r.pg.path), dir.dir + "/tree.cfg");
  EXPECT_TRUE(r.is_tree == 1 && r.pg.tr_height == 1 && r.type == WOBJ_UNIQUE);
  EXPECT_TRUE(r.clip[0] == 5 && r.clip[1] == 10 && r.clip[2] == 15 && r.clip[3] == 32);
}

TEST_F(Catalogue, EveryBadLineEndsTheLoadWithItsMessage) {
  EXPECT_EXIT(parse_index(), testing::ExitedWithCode(1), "error: parse_index#[0-9]+: failed to open .*/index\n");
  std::string n127(127, 'n'), many;
  for (int i = 0; i < WOBJ_MAX; i++) many += "object o" + std::to_string(i) + "\n\n";
  const std::string files[][2] = {
      {"# c\nfoo bar\nobject\n", "parse_index#[0-9]+: parse error at #3\n"},
      {"object last\nscale 1\n", "parse_object#[0-9]+: EOF while parsing object 'last' at #2\n"},
      {"\nobject " + n127 + "x\n\n", "parse_index#[0-9]+: object name longer than 127 characters at #2\n"},
      {many + "object extra\n\n", "parse_object#[0-9]+: too many objects: 'extra' at #2049 is past the limit of 1024\n"},
  };
  for (auto &c : files) EXPECT_EXIT(catalogue(c[0]), testing::ExitedWithCode(1), "^error: " + c[1]) << c[1];
  const std::string lines[][2] = {
      {"type", "invalid 'type' at 3\n"},
      {"type Mass", "invalid type value at 3\n"},
      {"height 3", "unknown specifier 'height'\n"},
      {"scale", "'scale' without a number at #3\n"},
      {"scale inf", "'scale' needs a finite number at #3\n"},
      {"clip 1 2 3", "invalid 'clip' at #3: four numbers expected"},
      {"   ", "line of blanks in object 'o' at #3"},
      {"file   ", "missing texture name in object 'o' at #3"},
      {std::string(300, 'k') + " 1", "unknown specifier 'k{255}'\n"}, // read in part: still unknown
      {"clip 0 0 2147483647 1", "'clip' value out of range at #3\n"},
      {"num_clumps 3e9", "'num_clumps' out of range at #3\n"},
  };
  for (auto &c : lines)
    EXPECT_EXIT(catalogue("object o\nscale 1\n" + c[0] + "\n\n"), testing::ExitedWithCode(1),
                "error: parse_object#[0-9]+: " + c[1])
        << c[0];
  // a name is kept whole, as the brush file spells it, and the table holds 1024
  catalogue("object " + n127 + "\t\n\n" + many.substr(many.find("object o1\n")));
  EXPECT_EQ(wobj_find(n127.c_str()), &g_wobjs[0]);
  EXPECT_EQ(g_nwobjs, (size_t)WOBJ_MAX);
}
