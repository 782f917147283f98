// Entry of the end-to-end suite: one Xvfb serves every test of the run.
#include "game.h"
#include "proc.h"
#include "xwin.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

// Starts Xvfb on a display of its own choosing (-displayfd) and points DISPLAY at it, for
// this process (the shader test opens a context here) and for every game it starts.
class xvfb_env : public ::testing::Environment {
 public:
  void SetUp() override {
    take_run_dir();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_ = proc_spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1600x1200x24", "-nolisten", "tcp"},
                      "", g_e2e_run_dir + "/xvfb.log", g_e2e_run_dir + "/xvfb.log", {});
    close(fds[1]);
    ASSERT_GT(pid_, 0) << "cannot start Xvfb";
    std::string num;
    char c;
    for (pollfd p = {fds[0], POLLIN, 0}; (num.empty() || num.back() != '\n') && poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1;)
      num += c;
    close(fds[0]);
    ASSERT_FALSE(num.empty() || num.back() != '\n') << "Xvfb reported no display";
    num.pop_back();
    g_e2e_display = ":" + num;
    setenv("DISPLAY", g_e2e_display.c_str(), 1);
    ASSERT_TRUE(xw_open(g_e2e_display)) << "cannot open " << g_e2e_display;
  }
  void TearDown() override {
    xw_close();
    if (pid_ > 0) proc_kill_group(pid_);
    // a private folder is kept only when something failed, for inspection
    if (g_e2e_run_dir != E2E_RUN_DIR && ::testing::UnitTest::GetInstance()->Passed()) {
      std::error_code ec;
      std::filesystem::remove_all(g_e2e_run_dir, ec);
    }
  }

 private:
  // Two suites at once (a developer's run beside a CTest run) would wipe each other's
  // scratch folders: the first takes runs/, a second one works in /tmp.
  static void take_run_dir() {
    std::filesystem::create_directories(E2E_RUN_DIR);
    int fd = open((std::string(E2E_RUN_DIR) + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) return; // held until the process ends
    char tmpl[] = "/tmp/velder-e2e-runs-XXXXXX";
    if (mkdtemp(tmpl)) g_e2e_run_dir = tmpl;
    std::printf("note: %s is in use; this run works in %s\n", E2E_RUN_DIR, g_e2e_run_dir.c_str());
  }

  pid_t pid_ = -1;
};

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new xvfb_env);
  return RUN_ALL_TESTS();
}
