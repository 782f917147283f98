// Foundation: reports, allocation, formatting, paths, files, the file monitor and the generator.
#include "core/file.h"
#include "core/fmon.h"
#include "core/util.h"
#include "tests/unit/testutil.h"
#include <gtest/gtest.h>
#include <string>

TEST(Format, UfmtCutsAt2047Characters) {
  std::string big(3000, 'x');
  const char *s = ufmt("%s", big.c_str());
  EXPECT_EQ(strlen(s), 2047u);
  EXPECT_STREQ(ufmt("%s/%s", "data", "brushes"), "data/brushes");
}

TEST(Format, UsnprintfAlwaysTerminates) {
  char buf[16];
  memset(buf, 'z', sizeof buf);
  usnprintf(buf, sizeof buf, "%s", "abcdefghijklmnopqrst");
  EXPECT_STREQ(buf, "abcdefghijklmno");
}

TEST(Report, FormsWriteExactLines) {
  testing::internal::CaptureStderr();
  uwarn_at("somefunc", 42, "careful %d", 7);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: somefunc#42: careful 7\n");
  testing::internal::CaptureStdout();
  uinfo_at("init", "using SDL %d.%d.%d", 2, 26, 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "init: using SDL 2.26.5\n");
}

// Inside utry an error is a warning with the same line, and the scope unwinds; nested scopes
// and a quiet scope behave alike; outside any scope errors are fatal again.
TEST(Report, RecoverableScopeTurnsErrorsIntoWarnings) {
  ufault f;
  int after = 0;
  testing::internal::CaptureStderr();
  bool ok = utry([&] { uerror_at("cfg_read", 12, "#%u: missing value", 3u); after = 1; }, &f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: cfg_read#12: #3: missing value\n");
  EXPECT_FALSE(ok);
  EXPECT_EQ(after, 0);
  EXPECT_STREQ(f.func, "cfg_read");
  EXPECT_EQ(f.line, 12u);
  EXPECT_STREQ(f.msg, "#3: missing value");
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  bool inner = true;
  EXPECT_TRUE(utry([&] { inner = utry([] { uinfo("x"); uwarn("y"); uerror("z"); }); }, nullptr, true));
  EXPECT_FALSE(inner);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(uin_try());
  EXPECT_TRUE(utry([] {}));
}

TEST(ReportDeath, ErrorAndCheckEndWithStatus1) {
  EXPECT_EXIT(uerror_at("cfg_read", 9, "#%u: missing value", 3u), testing::ExitedWithCode(1),
              "^error: cfg_read#9: #3: missing value\n$");
  int x = 3;
  EXPECT_EXIT(ucheck(x == 4), testing::ExitedWithCode(1), "expression 'x == 4' is false\n$");
  // an over-long message still ends the program with its full line on standard error
  std::string big(6000, 'm');
  EXPECT_EXIT(uerror_at("f", 1, "%s", big.c_str()), testing::ExitedWithCode(1), "m{6000}\n$");
}

// (a checked build writes its allocator's warning first)
TEST(ReportDeath, AllocatorsReportUnderTheirOwnNames) {
  EXPECT_EXIT(umalloc(SIZE_MAX / 2), testing::ExitedWithCode(1),
              "(^|\n)error: umalloc#[0-9]+: failed to allocate [0-9]+ bytes\n$");
  EXPECT_EXIT(ucalloc(SIZE_MAX / 8, 4), testing::ExitedWithCode(1),
              "(^|\n)error: ucalloc#[0-9]+: failed to allocate memory: nmemb [0-9]+, sz: 4\n$");
  EXPECT_EXIT(urealloc(nullptr, SIZE_MAX / 2), testing::ExitedWithCode(1),
              "(^|\n)error: urealloc#[0-9]+: failed to reallocate [0-9]+ bytes\n$");
  void *p = urealloc(nullptr, 16); // a null pointer is an allocation
  ASSERT_NE(p, nullptr);
  free(p);
}

TEST(Paths, RootAndMakepath) {
  usetroot("data");
  char out[16];
  umakepath(out, sizeof out, "0123456789"); // 4 + 1 + 10 characters and the NUL fill 16 bytes
  EXPECT_STREQ(out, "data/0123456789");
  EXPECT_EXIT(umakepath(out, sizeof out, "0123456789a"), testing::ExitedWithCode(1),
              "^error: umakepath#[0-9]+: path too long for 0123456789a\n$");
  usetroot("data/");
  char p[64];
  umakepath(p, sizeof p, "brushes");
  EXPECT_STREQ(p, "data//brushes");
  std::string r255(255, 'r'), r256(256, 'r');
  usetroot(r255.c_str());
  EXPECT_EQ(strlen(g_root), 255u);
  EXPECT_EXIT(usetroot(r256.c_str()), testing::ExitedWithCode(1), "^error: usetroot#[0-9]+: path too long\n$");
  usetroot("data");
}

TEST(Files, ReadSizeAndModTime) {
  TempDir d;
  std::string empty = d.write("empty", "");
  size_t n = 99;
  char *b = ureadf(empty.c_str(), &n);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(b[0], 0);
  free(b);
  std::string ten = d.write("ten", "0123456789");
  FILE *fp = fopen(ten.c_str(), "r");
  fseek(fp, 4, SEEK_SET);
  EXPECT_EQ(fsz(fp), 10);
  EXPECT_EQ(ftell(fp), 4);
  fclose(fp);
  EXPECT_GT(ufmodtime(ten.c_str()), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ufmodtime(d.path("missing").c_str()), -1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("warning: ufmodtime#", 0), 0u);
  EXPECT_NE(err.find("_stat(\"" + d.path("missing") + "\"): No such file or directory (2)\n"), std::string::npos);
  EXPECT_EXIT(ureadf(d.path("missing").c_str(), &n), testing::ExitedWithCode(1),
              "^error: ureadf#[0-9]+: failed to open .*missing\n$");
  EXPECT_EXIT(ufopen("/nonexistent/x", "r"), testing::ExitedWithCode(1),
              "^error: ufopen#[0-9]+: failed to open /nonexistent/x\n$");
  // a size the signed 32-bit result cannot hold (a sparse file: no disk space used)
  std::string big = d.write("big", "");
  ASSERT_EQ(truncate(big.c_str(), 2147483649LL), 0);
  EXPECT_EXIT(ureadf(big.c_str(), &n), testing::ExitedWithCode(1), "^error: fsz#[0-9]+: file too large \\(2147483649 bytes\\)\n$");
}

static void noop(const char *, void *) {}

TEST(FileMonitor, SlotsFillUpwardAndOverflowIsFatal) {
  TempDir d;
  std::string f = d.write("f", "x");
  fmon_init();
  for (int i = 0; i < FMON_MAX; i++) ASSERT_EQ(fmon_register(f.c_str(), noop, nullptr), i);
  EXPECT_EQ(fmon_get(1023)->mtime, ufmodtime(f.c_str()));
  EXPECT_EXIT(fmon_register(f.c_str(), noop, nullptr), testing::ExitedWithCode(1),
              "^error: fmon_register#[0-9]+: ftab overflow \\(1024\\)\n$");
  fmon_init();
  testing::internal::CaptureStderr();
  EXPECT_EQ(fmon_register(d.path("nope").c_str(), noop, nullptr), 0); // a missing file still registers
  EXPECT_NE(testing::internal::GetCapturedStderr().find("_stat("), std::string::npos);
  EXPECT_EQ(fmon_get(0)->mtime, -1);
}

static int polled;
static void count_poll(const char *, void *arg) {
  polled++;
  if (arg) uerror("broken %s", (const char *)arg); // a reload that fails
}
static const unsigned broken_line = __LINE__ - 2;

// A change is acted on once the file has held still across one poll; a failing reload warns once,
// does not end the program, and is not retried until the file changes again.
TEST(FileMonitor, ActsOnceAChangeHoldsStillAndSurvivesFailingReloads) {
  TempDir d;
  std::string f = d.write("shader.fs", "a"), g = d.write("tree.pg", "b");
  fmon_init();
  fmon_register(f.c_str(), count_poll, nullptr);
  fmon_register(g.c_str(), count_poll, (void *)"tree");
  auto touch = [](const std::string &p, const char *text, int when) {
    FILE *fp = fopen(p.c_str(), "w");
    fputs(text, fp);
    fclose(fp);
    struct timespec ts[2] = {{0, UTIME_OMIT}, {time(nullptr) + when, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, 0);
  };
  const struct {
    const char *step;
    int touch_f, touch_g; // 0: leave; >0: rewrite, time this many seconds ahead; -1: f grows
    int calls;            // callbacks made by the poll after the step
  } steps[] = {
      {"nothing changed", 0, 0, 0},
      {"both changed: wait until they hold still", 5, 5, 0},
      {"f still being written; g held still and fails", -1, 0, 1},
      {"f held still", 0, 0, 1},
      {"a failed reload is not retried", 0, 0, 0},
      {"the next save of g", 0, 9, 0},
      {"is picked up (and fails again)", 0, 0, 1},
  };
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
  std::string err = testing::internal::GetCapturedStderr(), out = testing::internal::GetCapturedStdout();
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

TEST(Random, RangeAndRepeatability) {
  usrand(7);
  int a[64], lo = 32767, hi = 0;
  for (int &x : a) x = urand();
  usrand(7);
  for (int x : a) EXPECT_EQ(urand(), x);
  for (int i = 0; i < 200000; i++) {
    int x = urand();
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, URAND_MAX);
}
