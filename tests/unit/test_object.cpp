// Object catalogue: line rules, prefixes, defaults, limits and the messages of "index".
#include "core/file.h"
#include "core/params.h"
#include "render/texture.h"
#include "world/object.h"
#include "tests/unit/testutil.h"
#include <gtest/gtest.h>
#include <string>

namespace {
std::string g_last_texture;
texture g_tex = {64, 128, 5};
texture *fake_texture(const char *name) {
  g_last_texture = name;
  return &g_tex;
}

// A data root holding "index"; textures come from the fake loader, so no context is needed.
struct Catalogue : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  float old_scale = f_texture_scale;
  void SetUp() override {
    usetroot(dir.dir.c_str());
    g_wobj_texture_get = fake_texture;
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    f_texture_scale = old_scale;
    g_wobj_texture_get = texmgr_get;
    wobj_clear();
  }
  std::string load(const std::string &text) {
    dir.write("index", text);
    dir.write("tree.cfg", "tr_height 1\ntr_branch_start_height 1\ntr_branch_end_height 1\ntr_section_count 0\n"
                          "tr_top_section_scale 1\ntr_bottom_section_scale 1\ntr_texture_rect_top 0 0\n"
                          "tr_texture_rect_bottom 1 1\nbr_count 0\nbr_length 1\nbr_length_variance 0\n"
                          "br_start_angle 0\nbr_end_angle 0\nbr_leaf_width 1\nbr_leaf_height 1\n"
                          "br_texture_rect_top 0 0\nbr_texture_rect_bottom 1 1\n");
    wobj_clear();
    testing::internal::CaptureStdout();
    parse_index();
    return testing::internal::GetCapturedStdout();
  }
};
} // namespace

TEST_F(Catalogue, BlocksTakeDefaultsFromTheirFileLine) {
  f_texture_scale = 0.5f;
  std::string out = load("# comment\n\nversion 3\nobject bush\r\n"
                         "density 5\nfile plants/bush.png\n# not the end\ntype detail\n"
                         "scale 1.5\nnum_clumps 2.9\n\n"
                         "object rock\nfilename.png\nclip 10 20 31 64\npgtree.cfg\ntype unique\n\n");
  EXPECT_NE(out.find("parse_object: bush\n"), std::string::npos);
  EXPECT_NE(out.find("parse_index: 2 objects loaded\n"), std::string::npos);
  ASSERT_EQ(g_nwobjs, 2u);
  const wobj &b = g_wobjs[0], &r = g_wobjs[1];
  EXPECT_EQ(b.type, WOBJ_DETAIL);
  EXPECT_FLOAT_EQ(b.density, 1.0f); // the "file" line after "density 5" reset it
  EXPECT_EQ(b.clip[3], 128);
  EXPECT_FLOAT_EQ(b.scale, 1.5f);
  EXPECT_EQ(b.num_clumps, 2);
  // prefixes: "filename.png" names "name.png", "pgtree.cfg" the file "tree.cfg"
  EXPECT_EQ(g_last_texture, "name.png");
  EXPECT_EQ(std::string(r.pg.path), dir.dir + "/tree.cfg");
  EXPECT_EQ(r.is_tree, 1);
  EXPECT_FLOAT_EQ(r.pg.tr_height, 1); // read at once
  EXPECT_EQ(r.type, WOBJ_UNIQUE);
  const int clip[4] = {5, 10, 15, 32};
  for (int i = 0; i < 4; i++) EXPECT_EQ(r.clip[i], clip[i]);
  EXPECT_EQ(wobj_find("rock"), &g_wobjs[1]);
}

TEST_F(Catalogue, EveryBadLineEndsTheLoadWithItsMessage) {
  EXPECT_EXIT(parse_index(), testing::ExitedWithCode(1), "error: parse_index#[0-9]+: failed to open .*/index\n");
  EXPECT_EXIT(load("# c\nfoo bar\nobject\n"), testing::ExitedWithCode(1), "error: parse_index#[0-9]+: parse error at #3\n");
  EXPECT_EXIT(load("object last\nscale 1\n"), testing::ExitedWithCode(1),
              "error: parse_object#[0-9]+: EOF while parsing object 'last' at #2\n");
  std::string long_key = std::string(300, 'k') + " 1"; // read in part: still unknown
  const char *cases[][2] = {
      {"type", "invalid 'type' at 3\n"},
      {"type Mass", "invalid type value at 3\n"},
      {"height 3", "unknown specifier 'height'\n"},
      {"scale", "'scale' without a number at #3\n"},
      {"scale inf", "'scale' needs a finite number at #3\n"},
      {"clip 1 2 3", "invalid 'clip' at #3: four numbers expected"},
      {"   ", "line of blanks in object 'o' at #3"},
      {"file   ", "missing texture name in object 'o' at #3"},
      {long_key.c_str(), "unknown specifier 'k{255}'\n"},
      {"clip 0 0 2147483647 1", "'clip' value out of range at #3\n"},
      {"num_clumps 3e9", "'num_clumps' out of range at #3\n"},
  };
  for (auto &c : cases)
    EXPECT_EXIT(load(std::string("object o\nscale 1\n") + c[0] + "\n\n"), testing::ExitedWithCode(1),
                std::string("error: parse_object#[0-9]+: ") + c[1])
        << c[0];
}

// A name is kept whole, as the brush file spells it, or refused at its line: never cut.
TEST_F(Catalogue, NamesAreKeptWholeOrRefused) {
  std::string n127(127, 'n');
  load("object " + n127 + "\t\n\n");
  EXPECT_EQ(wobj_find(n127.c_str()), &g_wobjs[0]);
  EXPECT_EXIT(load("\nobject " + n127 + "x\n\n"), testing::ExitedWithCode(1),
              "^error: parse_index#[0-9]+: object name longer than 127 characters at #2\n$");
}

TEST_F(Catalogue, TheTableHoldsAtMost1024Objects) {
  std::string text;
  for (int i = 0; i < WOBJ_MAX; i++) text += "object o" + std::to_string(i) + "\n\n";
  load(text);
  EXPECT_EQ(g_nwobjs, (size_t)WOBJ_MAX);
  EXPECT_EXIT(load(text + "object extra\n\n"), testing::ExitedWithCode(1),
              "error: parse_object#[0-9]+: too many objects: 'extra' at #2049 is past the limit of 1024\n");
}
