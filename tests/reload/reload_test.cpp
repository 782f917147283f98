// Saves while the game runs, as a clumsy editor, a crashing editor and a sync tool make them: each
// is taken whole or not at all, never hangs, never ends the game, and leaves nothing behind.
#include "tests/reload/reload.h"
#include "app/app.h"
#include "core/fmon.h"
#include "fx/postproc.h"
#include "fx/skybox.h"
#include "fx/weather.h"
#include "world/grass.h"
#include "world/quadtree.h"
#include "sound/sound.h"
#include "world/spawn.h"
#include <SDL_image.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string path_of(const std::string &rel) { return RL_DATA + "/" + rel; }

// Puts something that is no regular file where a world file was.
void replace_by(const std::string &rel, const std::function<void(const char *)> &make) {
  rl_keep(rel);
  std::string p = path_of(rel);
  (void)!system(("rm -rf '" + p + "'").c_str());
  make(p.c_str());
}

// What the live world is made of, to tell a rebuild from none.
struct world_print {
  terrain *tn;
  quadtree *qt;
  grass_field *grass;
  size_t nwobjs, nbrushes;
  int objmap_w;
  float fog_start, walk_speed, zfar, maxy;
  uint32_t sky;
  bool operator==(const world_print &o) const {
    return tn == o.tn && qt == o.qt && grass == o.grass && nwobjs == o.nwobjs && nbrushes == o.nbrushes &&
           objmap_w == o.objmap_w && fog_start == o.fog_start && walk_speed == o.walk_speed && zfar == o.zfar &&
           maxy == o.maxy && sky == o.sky;
  }
};
world_print print_now(void) {
  return {g_terrain, g_quadtree, g_grass, g_nwobjs, g_nbrushes, g_objmap->w, f_fog_start, f_walk_speed, f_camera_zfar,
          f_tn_hm_maxy, g_skybox->sky};
}

std::string cfg_plus(const std::string &lines) { return rl_original("param.cfg") + lines; }

enum outcome { APPLIED, REFUSED, NOT_READY, NOT_A_FILE, UNCHANGED };

struct hostile_save {
  const char *what;
  std::function<void()> act;
  outcome result;
  const char *out, *err; // regular expressions searched for in what the save printed ("": nothing on err)
};

// A zero-byte, binary or missing param.cfg, a folder, a pipe or a device in a file's place, numbers
// that are not finite, and good saves that must be taken as at start.
TEST(Saves, EachHostileSaveIsTakenWholeOrNotAtAll) {
  const hostile_save saves[] = {
      {"param.cfg of zero bytes", [] { rl_save("param.cfg", ""); }, NOT_READY, "param.cfg: not ready \\(it is empty\\)", ""},
      {"param.cfg of random bytes", [] {
         std::string s;
         for (int i = 0; i < 3000; i++) s += (char)(i * 7919 % 251);
         rl_save("param.cfg", s);
       }, NOT_READY, "not ready \\(it holds a NUL byte\\)", ""},
      {"param.cfg of text that is no parameter", [] { rl_save("param.cfg", "<html>\n<body>saved by the wrong tool</body>\n"); },
       NOT_READY, "not ready \\(no line of it is a parameter or a comment\\)", "unknown param at #1: <html>"},
      {"param.cfg a folder", [] { replace_by("param.cfg", [](const char *p) { mkdir(p, 0755); }); }, NOT_A_FILE, "",
       "data/param.cfg is not a regular file"},
      {"param.cfg a link to /dev/zero", [] { replace_by("param.cfg", [](const char *p) { (void)!symlink("/dev/zero", p); }); },
       NOT_A_FILE, "", "data/param.cfg is not a regular file"},
      {"param.cfg a link loop", [] { replace_by("param.cfg", [](const char *p) { (void)!symlink("param.cfg", p); }); },
       NOT_A_FILE, "", "data/param.cfg is not a regular file"},
      {"objmap.bmp a named pipe", [] { replace_by("objmap.bmp", [](const char *p) { mkfifo(p, 0644); }); }, NOT_A_FILE,
       "", "data/objmap.bmp is not a regular file"},
      {"inf, nan and -nan", [] { rl_save("param.cfg", cfg_plus("f_walk_speed inf\nf_camera_zfar nan\nf_tn_hm_maxy -nan\n")); },
       UNCHANGED, "", "f_walk_speed at #[0-9]+ is not a finite number: f_walk_speed keeps its value\n.*f_camera_zfar at #[0-9]+ "
                      "is not a finite number.*\n.*f_tn_hm_maxy at #[0-9]+ is not a finite number"},
      {"fog moved and a grid past its limit", [] { rl_save("param.cfg", cfg_plus("f_fog_start 3\ni_tn_ndivs 100000\n")); },
       REFUSED, "data/param.cfg: the world stays as it was \\(data/param.cfg: tn_alloc: i_tn_ndivs \\(100000\\) must be between 1 and 2048\\)",
       "warning: tn_alloc#[0-9]+: i_tn_ndivs"},
      {"a brush naming nothing", [] { rl_save("brushes", rl_original("brushes") + "\nno_such_bush\n"); }, REFUSED,
       "data/brushes: the world stays as it was \\(data/brushes: parse_brushes: undefined name 'no_such_bush'\\)", "undefined name"},
      {"a texture that does not load", [] { rl_edit("index", "file textures/heather.png", "file textures/missing.png"); }, REFUSED,
       "\\(data/textures/missing.png: load_something_else: IMG_Load: Couldn't open data/textures/missing.png\\)", "IMG_Load"},
      // taken as at start: the landmarks warn that they found no place, the world loads
      {"an object map of another size", [] { rl_save("objmap.bmp", rl_bmp(16, 16, [](int, int) { return 0x7fbf3fu; })); },
       APPLIED, "quadtree_print_debug", "unique 'Runestone' of brush ff2020: the brush has no spawn attempt to place it at"},
      {"a footstep definition that does not exist yet", [] { rl_edit("brushes", "sounds/steps_grass.def", "sounds/new.def"); },
       APPLIED, "quadtree_print_debug", ""},
      {"a sky face saved empty", [] { rl_save("skybox/top.png", ""); }, UNCHANGED, "", "failed to open skybox/top.png"},
  };
  // a face of its own size: square, but not the others' side
  SDL_Surface *face = paint(8, 8, [](int, int) { return 0x336699u; }, 32);
  TempDir d;
  IMG_SavePNG(face, d.path("face.png").c_str());
  SDL_FreeSurface(face);
  for (const hostile_save &s : saves) {
    SCOPED_TRACE(s.what);
    world_print before = print_now();
    s.act();
    rl_output o = rl_settle();
    world_print after = print_now();
    EXPECT_EQ(after == before, s.result != APPLIED) << o.out << o.err;
    if (s.out[0]) {
      EXPECT_TRUE(std::regex_search(o.out, std::regex(s.out))) << o.out;
    }
    if (s.err[0]) {
      EXPECT_TRUE(std::regex_search(o.err, std::regex(s.err))) << o.err;
    } else {
      EXPECT_EQ(o.err, "");
    }
    if (s.result == REFUSED || s.result == NOT_READY || s.result == NOT_A_FILE) {
      EXPECT_EQ(o.out.find("quadtree_print_debug"), std::string::npos) << "nothing is built: " << o.out;
    }
    rl_output back = rl_restore();
    EXPECT_EQ(back.err, "") << "the files as they were load again";
  }
  uint32_t sky = g_skybox->sky;
  rl_save("skybox/top.png", rl_read(d.path("face.png")));
  rl_output o = rl_settle();
  EXPECT_EQ(g_skybox->sky, sky) << "the whole sky would change";
  EXPECT_TRUE(std::regex_search(o.err, std::regex("cube map face skybox/top.png is 8x8, expected [0-9]+x[0-9]+"))) << o.err;
  rl_restore();
}

// A save that needs another file mended waits for it: the table that blocks an object map, the
// object map that blocks a param.cfg change. Mending the blocking file brings the waiting save in.
TEST(Saves, ARefusedSaveIsTakenUpWhenTheFileThatBlockedItIsMended) {
  std::string map = rl_bmp(64, 64, [](int, int) { return 0xd8b0e0u; }); // all flower field: bloom.bmp
  rl_save("clut/bloom.bmp", "not a table");
  rl_output o = rl_settle();
  EXPECT_TRUE(std::regex_search(o.err, std::regex("clut_load#[0-9]+: File is not a Windows BMP file"))) << o.err;
  rl_save("objmap.bmp", map);
  o = rl_settle();
  EXPECT_NE(o.out.find("data/objmap.bmp: the world stays as it was (data/clut/bloom.bmp: clut_load: "), std::string::npos) << o.out;
  EXPECT_NE(objmap_get_brush(0, 0)->color, 0xd8b0e0u) << "the old map stays";
  // the region's table broken by a save: walking into it keeps the good one and ends nothing
  clut_update("data/clut/bloom.bmp", 1 / 30.0f);
  rl_save("clut/bloom.bmp", rl_original("clut/bloom.bmp"));
  o = rl_settle();
  EXPECT_NE(o.out.find("data/clut/bloom.bmp changed: reload took"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("quadtree_print_debug"), std::string::npos) << "the waiting object map comes in: " << o.out;
  EXPECT_EQ(objmap_get_brush(0, 0)->color, 0xd8b0e0u);
  rl_restore();

  rl_save("objmap.bmp", "BM half a file");
  rl_settle();
  rl_save("param.cfg", cfg_plus("f_fog_start 7\n"));
  o = rl_settle();
  EXPECT_NE(o.out.find("data/param.cfg: the world stays as it was (data/objmap.bmp: parse_brushes: "), std::string::npos)
      << "the object map owed is built with it: " << o.out;
  EXPECT_NE(f_fog_start, 7.0f);
  rl_save("objmap.bmp", rl_original("objmap.bmp"));
  rl_settle();
  EXPECT_EQ(f_fog_start, 7.0f) << "the change waiting in param.cfg is applied with the mended map";
  rl_restore();
}

// Counts of 0 or less mean none, whatever reads them; a save that turns fog off takes it out of
// the picture, not only out of the fixed-function state.
TEST(Saves, NegativeCountsMeanNoneAndFogTurnsOff) {
  rl_save("param.cfg", cfg_plus("i_rain_ndroplets -1\ni_snow_nflakes -5\ni_grass_cell_sample_res -1\nb_fog_on 0\n"));
  rl_output o = rl_settle();
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(i_grass_cell_sample_res, -1);
  render_frame();
  EXPECT_EQ(r.grass_ntris, 0u);
  float fog[4];
  glGetFloatv(GL_FOG_COLOR, fog);
  EXPECT_EQ(fog[3], 0.0f) << "the shaders fog while the fog colour's alpha is not 0";
  rl_save("param.cfg", cfg_plus("i_grass_ntufts -1\n"));
  rl_settle();
  render_frame();
  EXPECT_EQ(r.grass_ntris, 0u);
  rl_restore();
  render_frame();
  EXPECT_GT(r.grass_ntris, 0u);
}

// A hundred broken and a hundred good saves of each world file leave the memory and the GL
// objects where the first few left them.
TEST(Saves, NothingGrowsWithSaves) {
  const struct {
    const char *file;
    std::function<void(int)> good, broken;
  } files[] = {
      {"brushes", [](int i) { rl_save("brushes", rl_original("brushes") + "# save " + std::to_string(i) + "\n"); },
       [](int) { rl_save("brushes", rl_original("brushes") + "\nno_such_bush\n"); }},
      {"index", [](int i) { rl_save("index", rl_original("index") + "# save " + std::to_string(i) + "\n"); },
       [](int) { rl_save("index", rl_original("index") + "\nobject x\nfile missing.png\n\n"); }},
      {"objmap.bmp", [](int i) { rl_save("objmap.bmp", rl_original("objmap.bmp") + std::string(i % 2, '\0')); },
       [](int) { rl_save("objmap.bmp", rl_original("objmap.bmp").substr(0, 100)); }},
      {"hm.bmp", [](int i) { rl_save("hm.bmp", rl_original("hm.bmp") + std::string(i % 2, '\0')); },
       [](int) { rl_save("hm.bmp", "BM broken"); }},
      {"param.cfg", [](int i) { rl_save("param.cfg", cfg_plus("i_grass_ntufts " + std::to_string(60 + i % 2) + "\nf_tn_hm_maxy " + std::to_string(6 + i % 2) + "\n")); },
       [](int) { rl_save("param.cfg", cfg_plus("i_grass_ntufts 1000000\n")); }},
  };
  // the driver's pools grow by a megabyte now and then until a few hundred builds have run
  for (int i = 0; i < 40; i++)
    for (auto &f : files) f.broken(i), rl_settle(), f.good(i), rl_settle(), render_frame();
  for (auto &f : files) {
    SCOPED_TRACE(f.file);
    long heap0 = rl_heap_kib();
    int buffers0 = 0, textures0 = 0, buffers, textures;
    rl_gl_objects(&buffers0, &textures0);
    for (int i = 0; i < 100; i++) {
      f.broken(i), rl_settle();
      f.good(i), rl_settle();
      render_frame();
    }
    rl_gl_objects(&buffers, &textures);
    fprintf(stderr, "%s grew %ld KiB\n", f.file, rl_heap_kib() - heap0);
    EXPECT_LT(rl_heap_kib() - heap0, 512) << "KiB grown over 100 broken and 100 good saves";
    EXPECT_EQ(buffers, buffers0);
    EXPECT_EQ(textures, textures0);
  }
  rl_restore();
}

// A save that takes seconds to build (a grid of 2048 cells a side) stops at a quit request: the
// player who presses Escape is not kept waiting for a world they are leaving.
TEST(Saves, EscapeStopsALongRebuild) {
  rl_save("param.cfg", cfg_plus("i_tn_ndivs 2048\n"));
  SDL_Event esc = {};
  esc.type = SDL_KEYDOWN;
  esc.key.keysym.sym = SDLK_ESCAPE;
  SDL_PushEvent(&esc);
  uint32_t t0 = SDL_GetTicks();
  rl_output o = rl_settle();
  EXPECT_LT(SDL_GetTicks() - t0, 1000u);
  EXPECT_TRUE(std::regex_search(o.out, std::regex("data/param.cfg: the world stays as it was \\(.*quit_check: stopped by a quit request\\)"))) << o.out;
  EXPECT_EQ(g_terrain->ndivs, 32);
  SDL_Event ev;
  bool left = false;
  while (SDL_PollEvent(&ev)) left = left || (ev.type == SDL_KEYDOWN && ev.key.keysym.sym == SDLK_ESCAPE);
  EXPECT_TRUE(left) << "the request is left for the main loop";
  rl_restore();
}

// A footstep definition read for the first time after a save warns and leaves its ground silent,
// where the same file unsaved would have ended the game at that first step.
TEST(Saves, AFootstepDefinitionBrokenByASaveWarnsAtItsFirstStep) {
  float x = 0, z = 0;
  bool found = false;
  for (int i = -30; i <= 30 && !found; i += 2)
    for (int k = -30; k <= 30 && !found; k += 2)
      if (strstr(objmap_get_brush((float)i, (float)k)->footsteps, "steps_snow")) x = (float)i, z = (float)k, found = true;
  ASSERT_TRUE(found) << "the tiny world has a snowfield";
  ASSERT_EQ(snd_def_get("data/sounds/steps_snow.def"), nullptr) << "not walked on yet";
  rl_save("sounds/steps_snow.def", "volume loud\n");
  rl_settle();
  float keep[3] = {g_cam.pos[0], g_cam.pos[1], g_cam.pos[2]};
  g_cam.pos[0] = x, g_cam.pos[2] = z;
  footsteps_reset();
  std::string err = stderr_of([] { footsteps_step(SDL_GetTicks() + 1000, true, 0, 600); });
  EXPECT_TRUE(std::regex_match(err, std::regex("warning: cfg_get_vec2#[0-9]+: volume type error\n"))) << err;
  err = stderr_of([] { footsteps_step(SDL_GetTicks() + 5000, true, 0, 600); });
  EXPECT_EQ(err, "") << "once";
  memcpy(g_cam.pos, keep, sizeof keep);
  rl_restore();
}

} // namespace
