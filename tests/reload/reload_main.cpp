// Entry of the reload suite: a generated tiny world loaded by the game's own start-up.
#include "tests/reload/reload.h"
#include "app/app.h"
#include "core/fmon.h"
#include "sound/sound.h"
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <map>
#include <sstream>

static std::map<std::string, std::string> originals; // rel -> bytes at load

std::string rl_read(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

static void write_all(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void rl_keep(const std::string &rel) {
  if (!originals.count(rel)) originals[rel] = rl_read(RL_DATA + "/" + rel);
}

std::string rl_original(const std::string &rel) {
  rl_keep(rel);
  return originals[rel];
}

void rl_save(const std::string &rel, const std::string &bytes) {
  rl_keep(rel);
  std::string path = RL_DATA + "/" + rel, tmp = path + ".saving";
  write_all(tmp, bytes);
  (void)!system(("rm -rf '" + path + "'").c_str()); // a folder or a pipe in its place goes too
  rename(tmp.c_str(), path.c_str());
}

bool rl_edit(const std::string &rel, const std::string &from, const std::string &to) {
  std::string s = rl_read(RL_DATA + "/" + rel);
  size_t at = s.find(from);
  if (from.empty() || at == std::string::npos) return false;
  for (; at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  rl_save(rel, s);
  return true;
}

rl_output rl_settle(void) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  fmon_poll();
  fmon_poll();
  rl_output o;
  o.err = testing::internal::GetCapturedStderr();
  o.out = testing::internal::GetCapturedStdout();
  return o;
}

rl_output rl_restore(void) {
  for (auto &f : originals) rl_save(f.first, f.second);
  originals.clear();
  return rl_settle();
}

long rl_heap_kib(void) { return (long)(mallinfo2().uordblks / 1024); }

void rl_gl_objects(int *buffers, int *textures) {
  *buffers = *textures = 0;
  for (GLuint n = 1; n <= 1u << 20; n++) *buffers += glIsBuffer(n), *textures += glIsTexture(n);
}

std::string rl_bmp(int w, int h, const std::function<uint32_t(int, int)> &colour) {
  TempDir d;
  save_bmp(d.path("x.bmp"), w, h, colour);
  return rl_read(d.path("x.bmp"));
}

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  TempDir run;
  // the tiny world, or the options in VELDER_RELOAD_WORLD ("--preset default --weather snow") for a
  // measurement by hand
  const char *options = getenv("VELDER_RELOAD_WORLD");
  std::string gen = std::string(RELOAD_WORLDGEN) + " " + (options ? options : "--preset tiny") + " '" + run.path(RL_DATA) + "' >/dev/null";
  if (system(gen.c_str()) != 0) return fprintf(stderr, "velder-worldgen failed\n"), 1;
  if (symlink(VELDER_SOURCE_DIR "/shader", run.path("shader").c_str()) != 0 || chdir(run.dir.c_str()) != 0) return 1;
  usetroot(RL_DATA.c_str());
  init();
  usrand(7);
  snd_ambient_start();
  world_load();
  resize(i_screen_w, i_screen_h);
  render_frame();
  int status = RUN_ALL_TESTS();
  (void)!chdir("/");
  return status;
}
