// Child processes for the end-to-end tests: start, bounded waits, process-group kill, helper commands.
#pragma once
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts argv in its own process group, in dir, stdout and stderr to the files (empty: as ours),
// with extra "NAME=value" entries in its environment; it dies with us. Returns the pid, or -1.
pid_t proc_spawn(const std::vector<std::string> &argv, const std::string &dir,
                 const std::string &out_path, const std::string &err_path,
                 const std::vector<std::string> &env);
// Waits up to timeout_ms for pid to end: 1 with its raw wait status, 0 on timeout.
int proc_wait(pid_t pid, int timeout_ms, int *status);
// SIGKILL to the child's whole process group, then reaps it (bounded).
void proc_kill_group(pid_t pid);
// Exit code of a wait status; 128 + signal number when the child was killed.
int proc_exit_code(int status);
// Runs a short helper command with a deadline, its output to *out: its exit code, -1 if killed.
int proc_run(const std::vector<std::string> &argv, int timeout_ms, std::string *out = nullptr);
long long proc_now_ms(void); // monotonic
void proc_sleep_ms(int ms);
// Polls cond every 50 ms until it holds (true) or timeout_ms have passed (false).
bool proc_until(const std::function<bool()> &cond, int timeout_ms);

std::string file_read(const std::string &path);
bool file_write(const std::string &path, const std::string &text);
