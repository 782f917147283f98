// Key/value files and the parameter file: line rules, messages and partial values.
#include "core/cfg.h"
#include "core/file.h"
#include "core/params.h"
#include "tests/unit/testutil.h"
#include <gtest/gtest.h>

static cfg *read_text(TempDir &d, const std::string &text) {
  return cfg_read(d.write("f.cfg", text).c_str());
}

TEST(Cfg, LineRules) {
  TempDir d;
  cfg *c = read_text(d,
                     "a b\n"
                     "ab\n"
                     "a \n"
                     "# comment line\n"
                     "x = 3\n"
                     "  volume 5\n"
                     "delay 10 # ms\n"
                     "path\tsounds/step 1.wav  \r\n"
                     "v 1.5 2.5 extra\n"
                     "caf\xE9 \xE9t\xE9\n"
                     "a again\n");
  EXPECT_STREQ(cfg_get_string(c, "a"), "again"); // a later definition replaces the earlier one
  EXPECT_STREQ(cfg_get_string(c, "x"), "= 3");
  EXPECT_STREQ(cfg_get_string(c, ""), "volume 5");
  EXPECT_STREQ(cfg_get_string(c, "delay"), "10 # ms");
  EXPECT_EQ(cfg_get_int(c, "delay"), 10);
  EXPECT_STREQ(cfg_get_string(c, "path"), "sounds/step 1.wav  ");
  float v[2];
  cfg_get_vec2(c, "v", v);
  EXPECT_FLOAT_EQ(v[0], 1.5f);
  EXPECT_FLOAT_EQ(v[1], 2.5f);
  EXPECT_FLOAT_EQ(cfg_get_float(c, "v"), 1.5f);
  EXPECT_STREQ(cfg_get_string(c, "caf\xE9"), "\xE9t\xE9");
  EXPECT_EXIT(cfg_get_int(c, "x"), testing::ExitedWithCode(1), "^error: cfg_get_int#[0-9]+: x type error\n$");
  EXPECT_EXIT(cfg_get_vec2(c, "delay", v), testing::ExitedWithCode(1), "delay type error\n$");
  EXPECT_EXIT(cfg_get_float(c, "nope"), testing::ExitedWithCode(1),
              "^error: cfg_get_string#[0-9]+: nope doesn't exist\n$");
  cfg_free(c);
}

TEST(Cfg, FatalLinesCountEveryPhysicalLine) {
  TempDir d;
  EXPECT_EXIT(read_text(d, "# c\n\nname\n"), testing::ExitedWithCode(1),
              "^error: cfg_read#[0-9]+: #3: missing value\n$");
  EXPECT_EXIT(read_text(d, "ok 1\nname    \n"), testing::ExitedWithCode(1), "#2: missing value\n$");
  std::string n127(127, 'n'), n128(128, 'n');
  cfg *c = read_text(d, n127 + " 1\n");
  EXPECT_EQ(cfg_get_int(c, n127.c_str()), 1);
  cfg_free(c);
  EXPECT_EXIT(read_text(d, "a 1\n" + n128 + " 1\n"), testing::ExitedWithCode(1),
              "^error: cfg_read#[0-9]+: #2: variable name too long\n$");
  EXPECT_EXIT(cfg_read(d.path("missing").c_str()), testing::ExitedWithCode(1),
              "^error: ufopen#[0-9]+: failed to open .*/missing\n$");
}

TEST(Cfg, OverLongLinesArriveInCountedPieces) {
  TempDir d;
  // 1023 characters fill the buffer; the rest of the line is read, and numbered, as line 2
  std::string line = "k " + std::string(1021, 'v') + "tail more";
  cfg *c = read_text(d, line + "\n");
  EXPECT_EQ(strlen(cfg_get_string(c, "k")), 1021u);
  EXPECT_STREQ(cfg_get_string(c, "tail"), "more");
  cfg_free(c);
  EXPECT_EXIT(read_text(d, "k " + std::string(1021, 'v') + "tail\n"), testing::ExitedWithCode(1),
              "#2: missing value\n$");
  c = read_text(d, "");
  EXPECT_EXIT(cfg_get_string(c, "a"), testing::ExitedWithCode(1), "a doesn't exist");
  cfg_free(c);
}

// parse_cfg reads "param.cfg" under the data root into the globals.
static std::string parse_param(TempDir &d, const std::string &text) {
  d.write("param.cfg", text);
  usetroot(d.dir.c_str());
  testing::internal::CaptureStderr();
  parse_cfg();
  usetroot("data");
  return testing::internal::GetCapturedStderr();
}

TEST(Params, PrefixRuleUnknownWordsAndPartialValues) {
  TempDir d;
  int w = i_screen_w, h = i_screen_h, fog = b_fog_on;
  float fogc[3] = {v3_fog_color[0], v3_fog_color[1], v3_fog_color[2]};
  std::string err = parse_param(d,
                                "i_screen_width 1024\n"
                                "i_screen_h 720\r\n"
                                "v3_fog_color 1 0\n"
                                "b_fog_on yes\n"
                                " f_tn_sz 10\n"
                                "frobnicate 3 4\n"
                                "# i_screen_h 1\n"
                                "\n"
                                "s_ambient_loop " + std::string(100, 'a') + "\n");
  EXPECT_EQ(i_screen_w, 1024);
  EXPECT_EQ(i_screen_h, 720);
  EXPECT_FLOAT_EQ(v3_fog_color[0], 1);
  EXPECT_FLOAT_EQ(v3_fog_color[1], 0);
  EXPECT_FLOAT_EQ(v3_fog_color[2], 0.5f);
  EXPECT_EQ(b_fog_on, 1);
  EXPECT_EQ(std::string(s_ambient_loop), std::string(63, 'a'));
  EXPECT_EQ(err, "warning: parse_cfg#" + err.substr(19, err.find(':', 19) - 19) +
                     ": unknown param at #5: \n" + "warning: parse_cfg#" +
                     err.substr(19, err.find(':', 19) - 19) + ": unknown param at #6: frobnicate\n");
  i_screen_w = w, i_screen_h = h, b_fog_on = fog;
  memcpy(v3_fog_color, fogc, sizeof fogc);
  s_ambient_loop[0] = 0;
}

TEST(Params, HostileLinesStayInBounds) {
  TempDir d;
  // a name word longer than any buffer, a 600-character line read in pieces, high bytes
  std::string err = parse_param(d, "s_default_clut" + std::string(490, 'x') + " y\n" +
                                       std::string(600, '\xF0') + "\n" + "i_grass_ntufts 12abc\n");
  EXPECT_EQ(i_grass_ntufts, 12);
  EXPECT_STREQ(s_default_clut, "y"); // a 504-character name word still leaves its value readable
  EXPECT_NE(err.find("unknown param at #2: " + std::string(511, '\xF0') + "\n"), std::string::npos);
  EXPECT_NE(err.find("unknown param at #3: " + std::string(89, '\xF0') + "\n"), std::string::npos);
  i_grass_ntufts = 1500;
  s_default_clut[0] = 0;
  // a missing file is silent and leaves the defaults
  TempDir empty;
  usetroot(empty.dir.c_str());
  testing::internal::CaptureStderr();
  parse_cfg();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  usetroot("data");
  EXPECT_EQ(i_screen_w, 854);
  EXPECT_FLOAT_EQ(f_walk_speed, 2.8f);
  EXPECT_EQ(r.fps_min, 12345678u);
  EXPECT_STREQ(g_params[30].name, "s_default_clut");
  EXPECT_STREQ(g_stats[12].name, "r.grass_ntris");
}
