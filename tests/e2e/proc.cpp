// Child processes for the end-to-end tests: fork/exec with a process group, bounded waits.
#include "proc.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

long long proc_now_ms(void) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void proc_sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

static void redirect(const std::string &path, int fd) {
  if (path.empty()) return;
  int f = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (f < 0) _exit(126);
  dup2(f, fd);
  close(f);
}

pid_t proc_spawn(const std::vector<std::string> &argv, const std::string &dir,
                 const std::string &out_path, const std::string &err_path,
                 const std::vector<std::string> &env) {
  if (argv.empty()) return -1;
  // Everything the child needs is built before fork: only async-signal-safe calls after it.
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  // The environment: the extra entries before ours, so that getenv finds them first.
  std::vector<char *> envp;
  for (const std::string &x : env) envp.push_back(const_cast<char *>(x.c_str()));
  for (char **e = environ; *e; e++) envp.push_back(*e);
  envp.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    setpgid(0, 0);
    // A test binary killed by a ctest timeout must not leave games or servers behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    redirect(out_path, 1);
    redirect(err_path, 2);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  setpgid(pid, pid); // both sides set it, so a kill right after spawn reaches the group
  return pid;
}

int proc_wait(pid_t pid, int timeout_ms, int *status) {
  long long deadline = proc_now_ms() + timeout_ms;
  for (;;) {
    int st = 0;
    pid_t r = waitpid(pid, &st, WNOHANG);
    if (r == pid) {
      if (status) *status = st;
      return 1;
    }
    if (r < 0 && errno != EINTR) {
      if (status) *status = -1;
      return 1; // not our child any more: nothing left to wait for
    }
    if (proc_now_ms() >= deadline) return 0;
    proc_sleep_ms(10);
  }
}

void proc_kill_group(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  int st;
  proc_wait(pid, 5000, &st);
}

int proc_exit_code(int status) {
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int proc_run(const std::vector<std::string> &argv, int timeout_ms, std::string *out) {
  char tmpl[] = "/tmp/velder-e2e-cmd-XXXXXX";
  int fd = mkstemp(tmpl);
  if (fd < 0) return -1;
  close(fd);
  std::string path = tmpl;
  pid_t pid = proc_spawn(argv, "", path, "", {});
  int status = 0, code = -1;
  if (pid > 0) {
    if (proc_wait(pid, timeout_ms, &status))
      code = proc_exit_code(status);
    else
      proc_kill_group(pid);
  }
  if (out) *out = file_read(path);
  unlink(path.c_str());
  return code;
}

std::string file_read(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool file_write(const std::string &path, const std::string &text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return bool(f);
}

bool proc_until(const std::function<bool()> &cond, int timeout_ms) {
  for (long long end = proc_now_ms() + timeout_ms;; proc_sleep_ms(50)) {
    if (cond()) return true;
    if (proc_now_ms() >= end) return false;
  }
}
