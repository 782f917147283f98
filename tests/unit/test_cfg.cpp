// Key/value files and the parameter file: line rules, messages and partial values.
#include "core/cfg.h"
#include "tests/unit/testutil.h"

TEST(Cfg, LineRulesTypesAndFatalLines) {
  TempDir d;
  cfg *c = cfg_read(d.write("f.cfg", "a b\nab\na \n# comment line\nx = 3\n  volume 5\ndelay 10 # ms\n"
                                     "path\tsounds/step 1.wav  \r\nv 1.5 2.5 extra\ncaf\xE9 \xE9t\xE9\na again\n").c_str());
  EXPECT_STREQ(cfg_get_string(c, "a"), "again"); // a later definition replaces the earlier one
  EXPECT_STREQ(cfg_get_string(c, "x"), "= 3");
  EXPECT_STREQ(cfg_get_string(c, ""), "volume 5");
  EXPECT_TRUE(std::string(cfg_get_string(c, "delay")) == "10 # ms" && cfg_get_int(c, "delay") == 10);
  EXPECT_STREQ(cfg_get_string(c, "path"), "sounds/step 1.wav  ");
  float v[2];
  EXPECT_TRUE((cfg_get_vec2(c, "v", v), v[0] == 1.5f && v[1] == 2.5f && cfg_get_float(c, "v") == 1.5f));
  EXPECT_STREQ(cfg_get_string(c, "caf\xE9"), "\xE9t\xE9");
  EXPECT_EXIT(cfg_get_int(c, "x"), testing::ExitedWithCode(1), "^error: cfg_get_int#[0-9]+: x type error\n$");
  EXPECT_EXIT(cfg_get_vec2(c, "delay", v), testing::ExitedWithCode(1), "delay type error\n$");
  EXPECT_EXIT(cfg_get_float(c, "nope"), testing::ExitedWithCode(1), "^error: cfg_get_string#[0-9]+: nope doesn't exist\n$");
  cfg_free(c);
  c = cfg_read(d.write("f.cfg", "f inf\nv 1 nan\n").c_str());
  EXPECT_EXIT(cfg_get_float(c, "f"), testing::ExitedWithCode(1), "^error: cfg_get_float#[0-9]+: f is not a finite number\n$");
  EXPECT_EXIT(cfg_get_vec2(c, "v", v), testing::ExitedWithCode(1), "^error: cfg_get_vec2#[0-9]+: v is not a finite number\n$");
  cfg_free(c);
  // fatal lines count every physical line; 1023 characters fill the buffer and the rest of a
  // longer line is read, and numbered, as the next line
  std::string n127(127, 'n'), v1021 = std::string(1021, 'v');
  c = cfg_read(d.write("f.cfg", n127 + " 1\nk " + v1021 + "tail more\n").c_str());
  EXPECT_EQ(cfg_get_int(c, n127.c_str()), 1);
  EXPECT_TRUE(strlen(cfg_get_string(c, "k")) == 1021 && std::string(cfg_get_string(c, "tail")) == "more");
  cfg_free(c);
  const std::string cases[][2] = {
      {"# c\n\nname\n", "#3: missing value"},
      {"ok 1\nname    \n", "#2: missing value"},
      {"a 1\n" + std::string(128, 'n') + " 1\n", "#2: variable name too long"},
      {"k " + v1021 + "tail\n", "#2: missing value"},
  };
  for (auto &t : cases)
    EXPECT_EXIT(cfg_read(d.write("f.cfg", t[0]).c_str()), testing::ExitedWithCode(1), "^error: cfg_read#[0-9]+: " + t[1] + "\n$");
}

// parse_cfg reads "param.cfg" under the data root into the globals.
static std::string parse_param(TempDir &d, const char *text) {
  if (text) d.write("param.cfg", text);
  usetroot(d.dir.c_str());
  std::string err = stderr_of(parse_cfg);
  return usetroot("data"), err;
}

TEST(Params, PrefixRuleUnknownWordsPartialValuesAndHostileLines) {
  TempDir d, empty;
  int w = i_screen_w, h = i_screen_h, fog = b_fog_on;
  float fogc[3] = {v3_fog_color[0], v3_fog_color[1], v3_fog_color[2]};
  std::string err = parse_param(d, ("i_screen_width 1024\ni_screen_h 720\r\nv3_fog_color 1 0\nb_fog_on yes\n f_tn_sz 10\n"
                                    "frobnicate 3 4\n# i_screen_h 1\n\ns_ambient_loop " + std::string(100, 'a') + "\n").c_str());
  EXPECT_TRUE(i_screen_w == 1024 && i_screen_h == 720 && b_fog_on == 1);
  EXPECT_TRUE(v3_fog_color[0] == 1 && v3_fog_color[1] == 0 && v3_fog_color[2] == 0.5f);
  EXPECT_EQ(std::string(s_ambient_loop), std::string(63, 'a'));
  std::string at = "warning: parse_cfg#" + err.substr(19, err.find(':', 19) - 19) + ": unknown param at #";
  EXPECT_EQ(err, at + "5: \n" + at + "6: frobnicate\n");
  i_screen_w = w, i_screen_h = h, b_fog_on = fog;
  memcpy(v3_fog_color, fogc, sizeof fogc);
  // a name word longer than any buffer, a 600-character line read in pieces, high bytes
  err = parse_param(d, ("s_default_clut" + std::string(490, 'x') + " y\n" + std::string(600, '\xF0') + "\ni_grass_ntufts 12abc\n").c_str());
  EXPECT_EQ(i_grass_ntufts, 12);
  EXPECT_STREQ(s_default_clut, "y"); // a 504-character name word still leaves its value readable
  EXPECT_NE(err.find("unknown param at #2: " + std::string(511, '\xF0') + "\n"), std::string::npos);
  EXPECT_NE(err.find("unknown param at #3: " + std::string(89, '\xF0') + "\n"), std::string::npos);
  i_grass_ntufts = 1500;
  s_default_clut[0] = s_ambient_loop[0] = 0;
  // a number that is not finite is refused, and the parameter keeps its value
  float speed = f_walk_speed;
  err = parse_param(d, "f_walk_speed inf\nv3_fog_color 1 nan 1\n");
  EXPECT_TRUE(f_walk_speed == speed && v3_fog_color[0] == fogc[0]);
  EXPECT_NE(err.find("f_walk_speed at #1 is not a finite number: f_walk_speed keeps its value\n"), std::string::npos) << err;
  EXPECT_NE(err.find("v3_fog_color at #2 is not a finite number"), std::string::npos) << err;
  EXPECT_EQ(parse_param(empty, nullptr), ""); // a missing file is silent and leaves the defaults
  EXPECT_EQ(i_screen_w, w);
}
