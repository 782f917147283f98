// Readers failing inside a recoverable scope (a file edited while the game runs, a world checker)
// leave no file open behind them.
#include "core/cfg.h"
#include "render/dds.h"
#include "tests/unit/testutil.h"
#include <unistd.h>

struct Recover : WorldRoot {};

TEST_F(Recover, ReadersLeaveNoFileOpenWhenAFailureUnwinds) {
  auto lowest_free_fd = [] {
    int fd = dup(0);
    return close(fd), fd;
  };
  dir.write("index", "object o\nscale\n\n");
  dir.write("brushes", "brush 00ff00\nnot_an_object\n");
  std::string cfg = dir.write("bad.cfg", "ok 1\nname\n"), dds = dir.write("bad.dds", "DDS \x7c");
  const std::function<void()> reads[] = {
      [&] { cfg_read(cfg.c_str()); }, [&] { load_dds(dds.c_str()); }, [] { parse_index(); }, [] { brush_read_file(); }};
  int before = lowest_free_fd(), n = 0;
  for (auto &read : reads) {
    EXPECT_FALSE(utry(read, nullptr, true)) << n;
    EXPECT_EQ(lowest_free_fd(), before) << "reader " << n++ << " left its file open";
  }
}
