// Foundation: reports, allocation, formatting, paths, files, the file monitor,
// the string map, and readers that unwind without leaving files open.
#include "core/cfg.h"
#include "core/fmon.h"
#include "core/strmap.h"
#include "render/dds.h"
#include "render/texture.h"
#include "tests/unit/testutil.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(Format, CutsAndTerminates) {
  std::string big(3000, 'x');
  EXPECT_TRUE(strlen(ufmt("%s", big.c_str())) == 2047 && std::string(ufmt("%s/%s", "data", "brushes")) == "data/brushes");
  char buf[16];
  memset(buf, 'z', sizeof buf);
  usnprintf(buf, sizeof buf, "%s", "abcdefghijklmnopqrst");
  EXPECT_STREQ(buf, "abcdefghijklmno");
}

// Inside utry an error is a warning with the same line, and the scope unwinds; nested scopes
// and a quiet scope behave alike; outside any scope errors are fatal again.
TEST(Report, ExactLinesAndTheRecoverableScope) {
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  uwarn_at("somefunc", 42, "careful %d", 7);
  uinfo_at("init", "using SDL %d.%d.%d", 2, 26, 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "init: using SDL 2.26.5\n");
  ufault f;
  int after = 0;
  bool ok = utry([&] { uerror_at("cfg_read", 12, "#%u: missing value", 3u); after = 1; }, &f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: somefunc#42: careful 7\nwarning: cfg_read#12: #3: missing value\n");
  EXPECT_TRUE(!ok && after == 0 && std::string(f.func) == "cfg_read" && f.line == 12 && std::string(f.msg) == "#3: missing value");
  bool inner = true;
  auto quiet = [&] { EXPECT_TRUE(utry([&] { inner = utry([] { uinfo("x"); uwarn("y"); uerror("z"); }); }, nullptr, true)); };
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(stdout_of(quiet), ""); }), "");
  EXPECT_FALSE(inner);
  EXPECT_TRUE(!uin_try() && utry([] {}));
  int x = 3;
  const std::pair<std::function<void()>, std::string> deaths[] = {
      {[&] { ucheck(x == 4); }, "expression 'x == 4' is false\n$"},
      // an over-long message still ends the program with its full line on standard error
      {[] { uerror_at("f", 1, "%s", std::string(6000, 'm').c_str()); }, "m{6000}\n$"},
      // (a checked build writes its allocator's warning first)
      {[] { umalloc(SIZE_MAX / 2); }, "(^|\n)error: umalloc#[0-9]+: failed to allocate [0-9]+ bytes\n$"},
      {[] { ucalloc(SIZE_MAX / 8, 4); }, "(^|\n)error: ucalloc#[0-9]+: failed to allocate memory: nmemb [0-9]+, sz: 4\n$"},
      {[] { urealloc(nullptr, SIZE_MAX / 2); }, "(^|\n)error: urealloc#[0-9]+: failed to reallocate [0-9]+ bytes\n$"},
  };
  for (auto &d : deaths) EXPECT_EXIT(d.first(), testing::ExitedWithCode(1), d.second);
  void *p = urealloc(nullptr, 16); // a null pointer is an allocation
  ASSERT_NE(p, nullptr);
  free(p);
}

TEST(Paths, RootMakepathAndFiles) {
  usetroot("data");
  char out[16];
  umakepath(out, sizeof out, "0123456789"); // 4 + 1 + 10 characters and the NUL fill 16 bytes
  EXPECT_STREQ(out, "data/0123456789");
  usetroot(std::string(255, 'r').c_str());
  EXPECT_EQ(strlen(g_root), 255u);
  usetroot("data");
  TempDir d;
  size_t n = 99;
  char *b = ureadf(d.write("empty", "").c_str(), &n);
  EXPECT_TRUE(n == 0 && b[0] == 0);
  free(b);
  std::string ten = d.write("ten", "0123456789"), big = d.write("big", "");
  FILE *fp = fopen(ten.c_str(), "r");
  fseek(fp, 4, SEEK_SET);
  EXPECT_TRUE(fsz(fp) == 10 && ftell(fp) == 4);
  fclose(fp);
  EXPECT_GT(ufmodtime(ten.c_str()), 0);
  // a size the signed 32-bit result cannot hold (a sparse file: no disk space used)
  ASSERT_EQ(truncate(big.c_str(), 2147483649LL), 0);
  const std::pair<std::function<void()>, std::string> deaths[] = {
      {[&] { umakepath(out, sizeof out, "0123456789a"); }, "umakepath#[0-9]+: path too long for 0123456789a"},
      {[] { usetroot(std::string(256, 'r').c_str()); }, "usetroot#[0-9]+: path too long"},
      {[&] { ureadf(d.path("missing").c_str(), &n); }, "ureadf#[0-9]+: failed to open .*missing"},
      {[&] { ureadf(big.c_str(), &n); }, "fsz#[0-9]+: file too large \\(2147483649 bytes\\)"}};
  for (auto &c : deaths) EXPECT_EXIT(c.first(), testing::ExitedWithCode(1), "^error: " + c.second + "\n$");
}

static int polled;
static void count_poll(const char *, void *arg) {
  polled++;
  if (arg) uerror("broken %s", (const char *)arg); // a reload that fails
}
static const unsigned broken_line = __LINE__ - 2;

// Slots fill upward (a missing file registers too) with start-up's registrations only: the 1024th
// fits, the 1025th ends the program, while the files watched for the live reload take no slot,
// and nor do registrations once the world is loaded. A change is acted on once the file has held
// still across one poll, once however often the file was registered; a failing reload warns once,
// does not end the program, and is not retried until the file changes again.
TEST(FileMonitor, SlotsAndChangesThatHoldStillAndFailingReloads) {
  TempDir d;
  std::string f = d.write("shader.fs", "a"), g = d.write("tree.pg", "b");
  fmon_init();
  for (int i = 0; i < 100; i++) fmon_watch(d.path("sounds/step" + std::to_string(i) + ".def").c_str(), count_poll, nullptr);
  for (int i = 0; i < FMON_MAX; i++) ASSERT_EQ(fmon_register(f.c_str(), count_poll, nullptr), i);
  EXPECT_EQ(fmon_get(1023)->mtime, ufmodtime(f.c_str()));
  fmon_watch(d.path("clut/warm.bmp").c_str(), count_poll, nullptr);
  EXPECT_EXIT(fmon_register(f.c_str(), count_poll, nullptr), testing::ExitedWithCode(1),
              "^error: fmon_register#[0-9]+: ftab overflow \\(1024\\)\n$");
  fmon_close_table();
  EXPECT_EQ(fmon_register(g.c_str(), count_poll, nullptr), -1);
  EXPECT_EQ(fmon_nwatched(), 100u + 1 + 1 + 1);
  polled = 0;
  d.write("shader.fs", "changed"), fmon_poll(), fmon_poll();
  EXPECT_EQ(polled, 1) << "1024 registrations of one file, one reload";
  fmon_init();
  std::string err = stderr_of([&] { EXPECT_EQ(fmon_register(d.path("nope").c_str(), count_poll, nullptr), 0); });
  EXPECT_TRUE(std::regex_match(err, std::regex("warning: ufmodtime#[0-9]+: _stat\\(\".*/nope\"\\): No such file or directory \\(2\\)\n"))) << err;
  EXPECT_EQ(fmon_get(0)->mtime, -1);
  fmon_init();
  fmon_register(f.c_str(), count_poll, nullptr), fmon_register(g.c_str(), count_poll, (void *)"tree");
  auto touch = [&d](const std::string &p, const char *text, int when) {
    d.write(p.substr(d.dir.size() + 1), text);
    struct timespec ts[2] = {{0, UTIME_OMIT}, {time(nullptr) + when, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, 0);
  };
  // touch: 0 leave, > 0 rewrite with a time this many seconds ahead, -1 f grows; calls: callbacks
  // made by the poll after the step
  const struct { const char *step; int touch_f, touch_g, calls; } steps[] = {
      {"nothing changed", 0, 0, 0}, {"both changed: wait until they hold still", 5, 5, 0},
      {"f still being written; g held still and fails", -1, 0, 1}, {"f held still", 0, 0, 1},
      {"a failed reload is not retried", 0, 0, 0}, {"the next save of g", 0, 9, 0}, {"is picked up (and fails again)", 0, 0, 1}};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (auto &s : steps) {
    if (s.touch_f > 0) touch(f, "aa", s.touch_f);
    if (s.touch_f < 0) touch(f, "aaa", 5);
    if (s.touch_g) touch(g, "bb", s.touch_g);
    polled = 0;
    fmon_poll();
    EXPECT_EQ(polled, s.calls) << s.step;
  }
  err = testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  std::string warning = "warning: count_poll#" + std::to_string(broken_line) + ": broken tree\n";
  EXPECT_EQ(err, warning + warning); // one per failed save
  EXPECT_NE(out.find("fmon_poll: " + g + " changed: reload took "), std::string::npos) << out;
  remove(f.c_str()); // a vanished file is left alone
  polled = 0;
  fmon_poll();
  fmon_poll();
  EXPECT_EQ(polled, 0);
  fmon_init();
}

TEST(StrMap, ReplaceCaseCollisionsAndWalk) {
  strmap *m = sm_create();
  EXPECT_EQ(sm_get(m, "logo.png"), 0u);
  // "Aa" and "BB" collide (65*31+97 == 66*31+66)
  const std::pair<const char *, uint32_t> sets[] = {{"BB", 1}, {"Key", 5}, {"key", 2}, {"key", 3}, {"Aa", 2}, {"caf\xE9", 4}, {"b", 3}};
  for (auto &s : sets) sm_set(m, s.first, s.second);
  EXPECT_TRUE(sm_get(m, "Key") == 5 && sm_get(m, "key") == 3 && sm_get(m, "caf\xE9") == 4);
  std::vector<std::string> keys;
  sm_walk_begin(m);
  while (sm_entry *e = sm_walk_next(m)) keys.push_back(e->key);
  EXPECT_EQ(keys.size(), 6u); // "key" replaced, not added
  sm_destroy(m);
}

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
