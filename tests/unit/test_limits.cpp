// The limits of what a world sets: each count or size just past its limit fails with a message
// that names the parameter or file, the value and the limit; a count at its limit passes.
#include "fx/postproc.h"
#include "fx/skybox.h"
#include "render/image.h"
#include "sound/sound.h"
#include "tests/unit/testutil.h"
#include "world/grass.h"
#include "world/spawn.h"
#include "world/tree.h"
#include <unistd.h>

namespace {
struct Limits : WorldRoot {
  int old_ntufts = i_grass_ntufts, old_res = i_grass_cell_sample_res;
  void TearDown() override { i_grass_ntufts = old_ntufts, i_grass_cell_sample_res = old_res, WorldRoot::TearDown(); }
  // The catalogue read quietly (catalogue() captures what it prints, which a fault would cut short).
  void index(const std::string &text) { dir.write("index", text), wobj_clear(), parse_index(); }
  // The fault act raised (its message), or "" when it ran through.
  static std::string fault_of(const std::function<void()> &act) {
    ufault f;
    return utry(act, &f, true) ? "" : f.msg;
  }
};

// A file of n bytes, holding head at its start.
void sized_file(const std::string &path, const std::string &head, off_t n) {
  FILE *fp = fopen(path.c_str(), "wb");
  fwrite(head.data(), 1, head.size(), fp);
  fclose(fp);
  ASSERT_EQ(truncate(path.c_str(), n), 0);
}
std::string be32(uint32_t v) { return {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; }
std::string le32(uint32_t v) { return {(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; }
} // namespace

TEST_F(Limits, EachCountPastItsLimitSaysItsName) {
  for (const param_limit &l : g_param_limits) {
    int *v = const_cast<int *>(l.value), old = *v;
    *v = l.hi;
    EXPECT_EQ(fault_of(params_check_limits), "") << l.name;
    *v = l.hi + 1;
    EXPECT_EQ(fault_of(params_check_limits), std::string(l.name) + " (" + std::to_string(l.hi + 1) + ") must be at most " + std::to_string(l.hi));
    *v = -1; // none, as always
    EXPECT_EQ(fault_of(params_check_limits), "") << l.name;
    *v = old;
  }
  const struct {
    const char *name;
    std::function<void(Limits *)> act;
    const char *message; // a regular expression for the whole message
  } cases[] = {
      {"clumps", [](Limits *t) { t->index("object g\nfile g.png\ntype grass\nnum_clumps 1001\n\n"); },
       "'num_clumps' \\(1001\\) at #4 is more than 1000"},
      {"grass", [](Limits *t) {
         t->index("object g\nfile g.png\ntype grass\ndensity 60\n\nobject h\nfile g.png\ntype grass\ndensity 40\n\n");
         t->brushes("brush 112233\ng\nh\n");
         i_grass_cell_sample_res = 8, i_grass_ntufts = 100;
         grass_check_budget();
       },
       "grass of brush 112233: i_grass_cell_sample_res 8 x i_grass_ntufts 100 x 100 \\(the density of its grass objects, "
       "added up\\) is 80000 tufts a patch, more than 50000"},
      {"spawning", [](Limits *t) {
         t->index("object rock\nfile r.png\n\n");
         t->brushes("brush 112233\ndensity:1000\nrock\n");
         t->objmap(32, 32, [](int, int) { return 0x112233u; });
         spawn_check_budget();
       },
       "objmap.bmp \\(32x32 pixels\\) with the density: of its brushes asks for 1024000 spawn attempts, more than 500000"},
      {"trees", [](Limits *) {
         for (int i = 0; i < 5; i++) g_wobjs[i].is_tree = 1, g_wobjs[i].pg.tr_section_count = 64, g_wobjs[i].pg.br_count = 1024;
         g_nwobjs = 5;
         tree_check_total(nullptr, nullptr);
       },
       "the trees of the catalogue have 327680 leaf cards in all, more than 262144 .*"},
      {"bmp", [](Limits *t) {
         sized_file(t->dir.path("big.bmp"), "BM" + std::string(16, '\0') + le32(4097) + le32((uint32_t)-16), 4096);
         static clut c;
         clut_load(t->dir.path("big.bmp").c_str(), &c);
       },
       "/tmp/.*/big.bmp is 4097x16 pixels, more than the 4096x4096 an image may have"},
      {"png", [](Limits *t) {
         sized_file(t->dir.path("big.png"), "\x89PNG\r\n\x1a\n" + be32(13) + "IHDR" + be32(5000) + be32(5000), 4096);
         if (!img_load(t->dir.path("big.png").c_str())) uerror("%s", SDL_GetError());
       },
       "/tmp/.*/big.png is 5000x5000 pixels, more than the 4096x4096 an image may have"},
      {"sky", [](Limits *) { sky_check_face("skybox/top.png", 2049, 2049); },
       "cube map face skybox/top.png is 2049x2049, larger than 2048x2048"},
      {"sound", [](Limits *t) {
         sized_file(t->dir.path("long.ogg"), "OggS", SND_MAX_FILE_BYTES + 1);
         snd_load(t->dir.path("long.ogg").c_str());
       },
       "sound file /tmp/.*/long.ogg is 16777217 bytes, more than 16777216"},
  };
  for (const auto &c : cases) {
    std::string msg = fault_of([&] { c.act(this); });
    EXPECT_TRUE(std::regex_match(msg, std::regex(c.message))) << c.name << ": " << msg;
  }
}
