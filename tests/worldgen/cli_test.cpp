// World generator tests: options, determinism, failures and how a finished world lands in its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "wg_check.h"

namespace fs = std::filesystem;

static std::string param_value(const std::string &root, const std::string &name) {
  for (auto &l : wg_lines(root + "/param.cfg"))
    if (l.compare(0, name.size() + 1, name + " ") == 0) return l.substr(name.size() + 1);
  return "";
}

static bool only_entry(const std::string &dir, const std::string &name) {
  int n = 0;
  bool found = false;
  for (auto &e : fs::directory_iterator(dir)) n++, found |= e.path().filename() == name;
  return n == 1 && found;
}

TEST(WorldgenCli, SameOptionsGiveTheSameBytes) {
  std::string top = wg_tempdir();
  ASSERT_EQ(wg_run("--preset tiny --seed 7 " + top + "/a"), 0);
  ASSERT_EQ(wg_run("--seed=7 --preset=tiny " + top + "/b"), 0);
  ASSERT_EQ(wg_run("--preset tiny --seed 8 " + top + "/c"), 0);
  auto files = wg_list_files(top + "/a");
  EXPECT_EQ(files, wg_list_files(top + "/b"));
  EXPECT_GT(files.size(), 50u);
  for (auto &f : files) EXPECT_TRUE(wg_read(top + "/a/" + f) == wg_read(top + "/b/" + f)) << f;
  // another seed grows another land
  EXPECT_FALSE(wg_read(top + "/a/hm.bmp") == wg_read(top + "/c/hm.bmp"));
  EXPECT_FALSE(wg_read(top + "/a/objmap.bmp") == wg_read(top + "/c/objmap.bmp"));
  wg_rmtree(top);
}

TEST(WorldgenCli, BadOptionsFailWithoutWritingAnything) {
  std::string top = wg_tempdir();
  const char *bad[] = {"--preset huge", "--weather hail", "--seed abc", "--seed -3", "--frobnicate", ""};
  for (const char *opt : bad) {
    std::string out;
    int rc = wg_run(std::string(opt) + (*opt ? " " : "") + (strcmp(opt, "") ? top + "/w" : ""), &out);
    EXPECT_NE(rc, 0) << opt;
    EXPECT_NE(out.find("usage:"), std::string::npos) << opt << ": " << out;
    EXPECT_FALSE(fs::exists(top + "/w")) << opt;
  }
  EXPECT_NE(wg_run("--preset tiny " + top + "/one " + top + "/two"), 0);
  EXPECT_TRUE(fs::is_empty(top));
  wg_rmtree(top);
}

TEST(WorldgenCli, UnwritableFolderIsAClearFailure) {
  std::string top = wg_tempdir();
  std::ofstream(top + "/plainfile") << "not a folder";
  std::string out;
  EXPECT_NE(wg_run("--preset tiny " + top + "/plainfile/world", &out), 0);
  EXPECT_NE(out.find("plainfile"), std::string::npos) << out;
  // a file where the world folder should go is refused too, and nothing is left behind
  EXPECT_NE(wg_run("--preset tiny " + top + "/plainfile", &out), 0);
  EXPECT_NE(out.find("not a folder"), std::string::npos) << out;
  EXPECT_TRUE(only_entry(top, "plainfile")) << "temporary folder left behind";
  wg_rmtree(top);
}

TEST(WorldgenCli, ExistingFolderKeepsForeignFilesAndGetsNewOnes) {
  std::string top = wg_tempdir(), dir = top + "/data";
  fs::create_directories(dir + "/skybox");
  std::ofstream(dir + "/notes.txt") << "mine";
  std::ofstream(dir + "/index") << "stale";
  std::ofstream(dir + "/skybox/front.png") << "stale";
  std::string out;
  ASSERT_EQ(wg_run("--preset tiny " + dir, &out), 0) << out;
  EXPECT_TRUE(fs::exists(dir + "/notes.txt"));
  EXPECT_NE(wg_lines(dir + "/index")[0], "stale");
  EXPECT_TRUE(png_header(dir + "/skybox/front.png").colour_type == 6);
  EXPECT_TRUE(only_entry(top, "data"));
  EXPECT_NE(out.find("terraintexture.png"), std::string::npos) << "reports what it writes";
  wg_rmtree(top);
}

TEST(WorldgenCli, WeatherSetsTheCounts) {
  std::string top = wg_tempdir();
  ASSERT_EQ(wg_run("--preset tiny --weather rain " + top + "/rain"), 0);
  ASSERT_EQ(wg_run("--preset tiny --weather snow " + top + "/snow"), 0);
  ASSERT_EQ(wg_run("--preset tiny " + top + "/dry"), 0);
  EXPECT_GT(std::stoi(param_value(top + "/rain", "i_rain_ndroplets")), 0);
  EXPECT_EQ(std::stoi(param_value(top + "/rain", "i_snow_nflakes")), 0);
  EXPECT_EQ(std::stoi(param_value(top + "/snow", "i_rain_ndroplets")), 0);
  EXPECT_GT(std::stoi(param_value(top + "/snow", "i_snow_nflakes")), 0);
  EXPECT_EQ(std::stoi(param_value(top + "/dry", "i_rain_ndroplets")), 0);
  EXPECT_EQ(std::stoi(param_value(top + "/dry", "i_snow_nflakes")), 0);
  // weather touches nothing but the counts
  EXPECT_TRUE(wg_read(top + "/rain/hm.bmp") == wg_read(top + "/dry/hm.bmp"));
  wg_rmtree(top);
}
