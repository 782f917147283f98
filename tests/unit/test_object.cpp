// Object catalogue: line rules, prefixes, defaults, limits and every message of "index".
#include "core/file.h"
#include "core/params.h"
#include "render/texture.h"
#include "world/object.h"
#include "tests/unit/testutil.h"
#include <gtest/gtest.h>
#include <string>

namespace {

std::string g_last_texture;
texture g_fake_tex = {64, 128, 5};
texture *fake_texture(const char *name) {
  g_last_texture = name;
  return &g_fake_tex;
}

// A data root holding "index" with the given text; the catalogue reads it without OpenGL.
struct Catalogue : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  float old_scale = f_texture_scale;
  void SetUp() override {
    usetroot(dir.dir.c_str());
    g_wobj_texture_get = fake_texture;
    wobj_clear();
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    f_texture_scale = old_scale;
    g_wobj_texture_get = texmgr_get;
    wobj_clear();
  }
  void load(const std::string &text) {
    dir.write("index", text);
    wobj_clear();
    parse_index();
  }
};
using CatalogueDeath = Catalogue;

} // namespace

TEST_F(Catalogue, ReadsBlocksWithDefaultsAndOverrides) {
  testing::internal::CaptureStdout();
  load("# comment\n"
       "\n"
       "version 3\n"
       "object bush\r\n"
       "density 5\n"
       "file plants/bush.png\n"
       "# a comment does not end the block\n"
       "type detail\n"
       "scale 1.5\n"
       "scale_rnd 0.25\n"
       "num_clumps 2.9\n"
       "clumpiness 0.5\n"
       "\n"
       "object rock\n"
       "clip 1 2 3 4\n"
       "\n");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("parse_object: bush\n"), std::string::npos);
  EXPECT_NE(out.find("parse_index: 2 objects loaded\n"), std::string::npos);
  ASSERT_EQ(g_nwobjs, 2u);
  const wobj &b = g_wobjs[0];
  EXPECT_STREQ(b.name, "bush");
  EXPECT_EQ(g_last_texture, "plants/bush.png");
  EXPECT_EQ(b.tex, &g_fake_tex);
  EXPECT_EQ(b.type, WOBJ_DETAIL);
  // the "file" line came after "density 5" and reset it
  EXPECT_FLOAT_EQ(b.density, 1.0f);
  EXPECT_EQ(b.clip[2], 64);
  EXPECT_EQ(b.clip[3], 128);
  EXPECT_FLOAT_EQ(b.scale, 1.5f);
  EXPECT_FLOAT_EQ(b.scale_rnd, 0.25f);
  EXPECT_EQ(b.num_clumps, 2);
  EXPECT_FLOAT_EQ(b.clumpiness, 0.5f);
  const wobj &r = g_wobjs[1];
  EXPECT_EQ(r.type, WOBJ_MASS);
  EXPECT_EQ(r.tex, nullptr);
  EXPECT_EQ(r.density, 0);
  EXPECT_EQ(r.clip[0], 1);
  EXPECT_EQ(r.clip[3], 4);
  EXPECT_EQ(wobj_find("rock"), &g_wobjs[1]);
  EXPECT_EQ(wobj_find("roc"), nullptr);
}

TEST_F(Catalogue, PrefixesMatchTheStartOfTheLineOnly) {
  f_texture_scale = 0.5f;
  load("object a\n"
       "filename.png\n"
       "clip 10 20 31 64\n"
       "pgtree.cfg\n"
       "type unique\n"
       "\n"
       "object b\n"
       "pg   trees/oak.cfg\n"
       "\n");
  EXPECT_EQ(g_last_texture, "name.png");
  const wobj &a = g_wobjs[0];
  EXPECT_EQ(a.clip[0], 5);
  EXPECT_EQ(a.clip[1], 10);
  EXPECT_EQ(a.clip[2], 15);
  EXPECT_EQ(a.clip[3], 32);
  EXPECT_EQ(a.type, WOBJ_UNIQUE);
  EXPECT_EQ(a.is_tree, 1);
  EXPECT_EQ(std::string(a.pg.path), dir.dir + "/tree.cfg");
  EXPECT_EQ(std::string(g_wobjs[1].pg.path), dir.dir + "/trees/oak.cfg");
}

TEST_F(Catalogue, LongLinesArriveInCountedPieces) {
  // 1100 characters: the first 1023 are one line, the rest the next; then an error names line 3
  std::string longline(1100, 'x');
  dir.write("index", longline.substr(0, 1030) + "\n");
  FILE *fp = fopen(dir.path("index").c_str(), "r");
  char buf[WOBJ_LINE_SIZE];
  size_t n = 0;
  ASSERT_NE(wobj_read_line(fp, buf, &n), nullptr);
  EXPECT_EQ(strlen(buf), 1023u);
  ASSERT_NE(wobj_read_line(fp, buf, &n), nullptr);
  EXPECT_STREQ(buf, "xxxxxxx");
  EXPECT_EQ(wobj_read_line(fp, buf, &n), nullptr);
  EXPECT_EQ(n, 2u);
  fclose(fp);
}

TEST_F(CatalogueDeath, CatalogueLevelMessages) {
  EXPECT_EXIT(parse_index(), testing::ExitedWithCode(1), "error: parse_index#[0-9]+: failed to open .*/index\n");
  EXPECT_EXIT(load("# c\nfoo bar\nobject\n"), testing::ExitedWithCode(1), "error: parse_index#[0-9]+: parse error at #3\n");
  EXPECT_EXIT(load("object last\nscale 1\n"), testing::ExitedWithCode(1),
              "error: parse_object#[0-9]+: EOF while parsing object 'last' at #2\n");
}

TEST_F(CatalogueDeath, BlockLineMessagesNameTheLine) {
  struct {
    const char *line, *message;
  } cases[] = {
      {"type", "error: parse_object#[0-9]+: invalid 'type' at 3\n"},
      {"type tree", "error: parse_object#[0-9]+: invalid type value at 3\n"},
      {"type Mass", "error: parse_object#[0-9]+: invalid type value at 3\n"},
      {"height 3", "error: parse_object#[0-9]+: unknown specifier 'height'\n"},
      {"scale", "error: parse_object#[0-9]+: 'scale' without a number at #3\n"},
      {"density x", "error: parse_object#[0-9]+: 'density' without a number at #3\n"},
      {"scale nan", "error: parse_object#[0-9]+: 'scale' needs a finite number at #3\n"},
      {"clip 1 2 3", "error: parse_object#[0-9]+: invalid 'clip' at #3: four numbers expected"},
      {"   ", "error: parse_object#[0-9]+: line of blanks in object 'o' at #3"},
      {"file   ", "error: parse_object#[0-9]+: missing texture name in object 'o' at #3"},
  };
  for (auto &c : cases)
    EXPECT_EXIT(load(std::string("object o\nscale 1\n") + c.line + "\n\n"), testing::ExitedWithCode(1), c.message) << c.line;
  // a key word longer than the scan bound is read in part and is still unknown
  std::string key(300, 'k');
  EXPECT_EXIT(load("object o\n" + key + " 1\n\n"), testing::ExitedWithCode(1), "unknown specifier 'k{255}'\n");
}

TEST_F(CatalogueDeath, TheTableHoldsAtMost1024Objects) {
  std::string text;
  for (int i = 0; i < WOBJ_MAX; i++) text += "object o" + std::to_string(i) + "\n\n";
  testing::internal::CaptureStdout();
  load(text);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_nwobjs, (size_t)WOBJ_MAX);
  EXPECT_EXIT(load(text + "object extra\n\n"), testing::ExitedWithCode(1),
              "error: parse_object#[0-9]+: too many objects: 'extra' at #2049 is past the limit of 1024\n");
}
