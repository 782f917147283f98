// Readers failing inside a recoverable scope (a file edited while the game runs, a world checker)
// leave no file open behind them.
#include "core/cfg.h"
#include "core/file.h"
#include "core/util.h"
#include "render/dds.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/object.h"
#include "tests/unit/testutil.h"
#include <gtest/gtest.h>
#include <functional>
#include <string>

namespace {
int lowest_free_fd() {
  int fd = dup(0);
  close(fd);
  return fd;
}
texture g_tex = {8, 8, 1};
texture *fake_texture(const char *) { return &g_tex; }
} // namespace

TEST(Recover, ReadersLeaveNoFileOpenWhenAFailureUnwinds) {
  TempDir d;
  std::string old_root = g_root;
  usetroot(d.dir.c_str());
  g_wobj_texture_get = fake_texture;
  d.write("bad.cfg", "ok 1\nname\n");
  d.write("bad.dds", "DDS \x7c");
  d.write("index", "object o\nscale\n\n");
  d.write("brushes", "brush 00ff00\nnot_an_object\n");
  const std::function<void()> reads[] = {
      [&] { cfg_read(d.path("bad.cfg").c_str()); },
      [&] { load_dds(d.path("bad.dds").c_str()); },
      [] { parse_index(); },
      [] { brush_read_file(); },
  };
  int before = lowest_free_fd(), n = 0;
  for (auto &read : reads) {
    EXPECT_FALSE(utry(read, nullptr, true)) << n;
    EXPECT_EQ(lowest_free_fd(), before) << "reader " << n++ << " left its file open";
  }
  brush_clear();
  wobj_clear();
  g_wobj_texture_get = texmgr_get;
  usetroot(old_root.c_str());
}
