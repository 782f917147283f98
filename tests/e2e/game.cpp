// Driving the real game for end-to-end tests: scratch folders, start, xdotool input, bounded exits.
#include "game.h"
#include "proc.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

std::string g_e2e_display;
std::string g_e2e_run_dir = E2E_RUN_DIR;

static std::string win_arg(const game *g) { return std::to_string(g->win); }

// Generated worlds are made once per run (per preset) and shared read-only through links.
static std::string world_dir(const std::string &preset = "tiny") {
#ifdef E2E_WORLDGEN
  static std::map<std::string, std::string> made;
  auto it = made.find(preset);
  if (it != made.end()) return it->second;
  std::string dir = g_e2e_run_dir + "/_world-" + preset;
  std::error_code ec;
  fs::remove_all(dir, ec);
  std::string log;
  int code = proc_run({E2E_WORLDGEN, "--preset", preset, dir}, 180000, &log);
  if (code != 0) {
    fprintf(stderr, "e2e: velder-worldgen failed (%d): %s\n", code, log.c_str());
    dir.clear();
  }
  return made[preset] = dir;
#else
  return "";
#endif
}

bool game_has_world(void) { return !world_dir().empty(); }

bool game_setup(game *g, const std::string &name) {
  std::error_code ec;
  g->name = name;
  g->dir = g_e2e_run_dir + "/" + name;
  g->data = "data";
  g->args = {g->data};
  g->env.clear();
  g->out_path = g->dir + "/stdout.txt";
  g->err_path = g->dir + "/stderr.txt";
  g->pid = -1;
  g->win = 0;
  g->exit_code = -1;
  fs::remove_all(g->dir, ec);
  fs::create_directories(g->dir + "/data", ec);
  if (!ec) fs::copy(E2E_SHADER_DIR, g->dir + "/shader", fs::copy_options::recursive, ec);
  if (ec) {
    fprintf(stderr, "e2e: cannot prepare %s: %s\n", g->dir.c_str(), ec.message().c_str());
    return false;
  }
  return game_link_world(g, world_dir());
}

bool game_use_preset(game *g, const std::string &preset) {
  std::string world = world_dir(preset);
  if (world.empty()) return false;
  std::error_code ec;
  for (const fs::directory_entry &e : fs::directory_iterator(g->dir + "/data", ec)) fs::remove_all(e.path(), ec);
  return game_link_world(g, world);
}

bool game_link_world(game *g, const std::string &world) {
  std::error_code ec;
  if (!world.empty()) {
    // the world's entries are linked; param.cfg gets test lines appended, so it is a copy
    for (const fs::directory_entry &e : fs::directory_iterator(world, ec)) {
      std::string to = g->dir + "/data/" + e.path().filename().string();
      if (e.path().filename() == "param.cfg")
        fs::copy_file(e.path(), to, ec);
      else if (e.is_directory())
        fs::create_directory_symlink(e.path(), to, ec);
      else
        fs::create_symlink(e.path(), to, ec);
      if (ec) {
        fprintf(stderr, "e2e: cannot link %s: %s\n", to.c_str(), ec.message().c_str());
        return false;
      }
    }
  }
  return true;
}

std::string game_data_path(const game *g, const std::string &rel) {
  return g->dir + "/" + g->data + "/" + rel;
}

bool game_own_data(game *g, const std::string &rel) {
  // a file inside a linked folder: the folder becomes a copy first
  size_t slash = rel.rfind('/');
  if (slash != std::string::npos && !game_own_data(g, rel.substr(0, slash))) return false;
  std::string p = game_data_path(g, rel);
  std::error_code ec;
  if (!fs::is_symlink(p, ec)) return true;
  std::string from = fs::read_symlink(p, ec).string();
  fs::remove(p, ec);
  fs::copy(from, p, fs::copy_options::recursive, ec);
  return !ec;
}

void game_param(game *g, const std::string &line) {
  std::string cfg = g->dir + "/" + g->data + "/param.cfg";
  std::string text = file_read(cfg);
  if (!text.empty() && text.back() != '\n') text += "\n";
  file_write(cfg, text + line + "\n");
}

void game_param_drop(game *g, const std::string &prefix) {
  std::string cfg = g->dir + "/" + g->data + "/param.cfg";
  std::istringstream in(file_read(cfg));
  std::string line, kept;
  while (std::getline(in, line))
    if (line.compare(0, prefix.size(), prefix) != 0) kept += line + "\n";
  file_write(cfg, kept);
}

std::string game_shader_path(const game *g, const std::string &file) {
  return g->dir + "/shader/" + file;
}

bool game_start(game *g) {
  // stdbuf execs the game in place (same pid) with its stdout line-buffered
  std::vector<std::string> argv = {"/usr/bin/stdbuf", "-oL", E2E_VELDER};
  argv.insert(argv.end(), g->args.begin(), g->args.end());
  std::vector<std::string> env = {"DISPLAY=" + g_e2e_display, "SDL_AUDIODRIVER=dummy"};
  for (const std::string &x : g->env) {
    std::string name = x.substr(0, x.find('=') + 1);
    for (std::string &e : env)
      if (e.compare(0, name.size(), name) == 0) e.clear();
    env.push_back(x);
  }
  env.erase(std::remove(env.begin(), env.end(), std::string()), env.end());
  g->pid = proc_spawn(argv, g->dir, g->out_path, g->err_path, env);
  return g->pid > 0;
}

bool game_running(game *g) {
  if (g->pid <= 0) return false;
  int st;
  if (proc_wait(g->pid, 0, &st)) {
    g->exit_code = proc_exit_code(st);
    g->pid = -1;
    return false;
  }
  return true;
}

bool game_wait_window(game *g, int timeout_ms) {
  long long deadline = proc_now_ms() + timeout_ms;
  while (proc_now_ms() < deadline) {
    if (!game_running(g)) return false;
    g->win = xw_find_pid(g->pid);
    if (g->win) return true;
    proc_sleep_ms(50);
  }
  return false;
}

std::string game_title(const game *g) { return g->win ? xw_name(g->win) : ""; }

bool game_wait_title(game *g, const std::string &title, int timeout_ms) {
  long long deadline = proc_now_ms() + timeout_ms;
  while (proc_now_ms() < deadline) {
    if (game_title(g) == title) return true;
    if (!game_running(g)) return false;
    proc_sleep_ms(50);
  }
  return false;
}

bool game_key(game *g, const std::string &keysym) {
  if (!g->win) return false;
  proc_run({"xdotool", "windowfocus", win_arg(g)}, 5000);
  return proc_run({"xdotool", "key", "--window", win_arg(g), keysym}, 5000) == 0;
}

bool game_key_down(game *g, const std::string &keysym) {
  if (!g->win) return false;
  proc_run({"xdotool", "windowfocus", win_arg(g)}, 5000);
  return proc_run({"xdotool", "keydown", "--window", win_arg(g), keysym}, 5000) == 0;
}

bool game_key_up(game *g, const std::string &keysym) {
  if (!g->win) return false;
  return proc_run({"xdotool", "keyup", "--window", win_arg(g), keysym}, 5000) == 0;
}

bool game_click(game *g, int x, int y, int button, int hold_ms) {
  if (!g->win) return false;
  std::string b = std::to_string(button);
  // the game only grabs the mouse while its window has the input focus
  proc_run({"xdotool", "windowfocus", win_arg(g)}, 5000);
  if (proc_run({"xdotool", "mousemove", "--window", win_arg(g), std::to_string(x),
                std::to_string(y)},
               5000) != 0)
    return false;
  if (proc_run({"xdotool", "mousedown", b}, 5000) != 0) return false;
  proc_sleep_ms(hold_ms);
  // The game reads the held button in its update step; on a loaded machine a step can come
  // long after the press, so a left click is held until the game has taken the mouse.
  for (long long end = proc_now_ms() + 10000; button == 1 && !xw_pointer_grabbed() && proc_now_ms() < end;)
    proc_sleep_ms(20);
  return proc_run({"xdotool", "mouseup", b}, 5000) == 0;
}

bool game_mouse_move(game *g, int dx, int dy) {
  if (!g->win) return false;
  return proc_run({"xdotool", "mousemove_relative", "--", std::to_string(dx), std::to_string(dy)},
                  5000) == 0;
}

bool game_resize(game *g, int w, int h) {
  if (!g->win) return false;
  return proc_run({"xdotool", "windowsize", win_arg(g), std::to_string(w), std::to_string(h)},
                  5000) == 0;
}

bool game_wait_size(game *g, int w, int h, int timeout_ms) {
  long long deadline = proc_now_ms() + timeout_ms;
  while (proc_now_ms() < deadline) {
    int cw, ch;
    if (g->win && xw_size(g->win, &cw, &ch) && cw == w && ch == h) return true;
    proc_sleep_ms(50);
  }
  return false;
}

bool game_close(game *g) { return g->win && xw_send_delete(g->win); }

bool game_capture(game *g, const std::string &shot, image *img, std::string *saved) {
  if (!g->win || !xw_capture(g->win, img)) return false;
  std::string path = img_save(*img, g->dir + "/" + shot);
  if (saved) *saved = path;
  return !path.empty();
}

xw_id error_box_wait(int timeout_ms) {
  long long deadline = proc_now_ms() + timeout_ms;
  while (proc_now_ms() < deadline) {
    xw_id box = xw_find_named("Error");
    if (box) return box;
    proc_sleep_ms(50);
  }
  return 0;
}

static bool gone(xw_id box, int timeout_ms) {
  long long deadline = proc_now_ms() + timeout_ms;
  while (proc_now_ms() < deadline) {
    if (!xw_exists(box) || !xw_viewable(box)) return true;
    proc_sleep_ms(50);
  }
  return false;
}

bool error_box_close(xw_id box) {
  proc_run({"xdotool", "key", "--window", std::to_string(box), "Return"}, 5000);
  if (gone(box, 3000)) return true;
  xw_send_delete(box);
  return gone(box, 3000);
}

bool game_wait_exit(game *g, int timeout_ms) {
  if (g->pid <= 0) return g->exit_code != -1;
  int st;
  if (proc_wait(g->pid, timeout_ms, &st)) {
    g->exit_code = proc_exit_code(st);
    g->pid = -1;
    return true;
  }
  proc_kill_group(g->pid);
  g->pid = -1;
  g->exit_code = -1;
  return false;
}

void game_stop(game *g) {
  if (g->pid > 0) proc_kill_group(g->pid);
  g->pid = -1;
  // a box left by a failed test would be taken for the next test's
  if (xw_id box = xw_find_named("Error")) xw_send_delete(box);
}

std::string game_stdout(const game *g) { return file_read(g->out_path); }
std::string game_stderr(const game *g) { return file_read(g->err_path); }

static std::string tail(const std::string &text, int lines) {
  size_t at = text.size();
  if (at > 0 && text[at - 1] == '\n') at--;
  while (lines-- > 0) {
    size_t nl = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
    if (nl == std::string::npos) return text;
    at = nl;
  }
  return text.substr(at + 1);
}

std::string game_report(game *g) {
  bool running = game_running(g);
  std::string r = running ? "still running" : "exit code " + std::to_string(g->exit_code);
  r += " (" + g->dir + ")\nstdout ends:\n" + tail(game_stdout(g), 6);
  r += "stderr ends:\n" + tail(game_stderr(g), 6);
  return r;
}

bool game_wait_output(game *g, const std::string &text, int timeout_ms, bool on_stderr) {
  long long deadline = proc_now_ms() + timeout_ms;
  for (;;) {
    std::string got = on_stderr ? game_stderr(g) : game_stdout(g);
    if (got.find(text) != std::string::npos) return true;
    if (proc_now_ms() >= deadline || (!game_running(g) && got.find(text) == std::string::npos)) {
      got = on_stderr ? game_stderr(g) : game_stdout(g); // the last lines before the exit
      return got.find(text) != std::string::npos;
    }
    proc_sleep_ms(50);
  }
}

std::map<std::string, double> game_stats(const game *g) {
  std::map<std::string, double> out;
  std::istringstream in(game_stdout(g));
  std::string line;
  // "stats_print: r.fps.min 12" or "...: pm.nobj 0": a dotted counter name, then a number
  std::regex re(R"(^\w+: ((?:r|pm)\.[\w.]+)\s+(-?[0-9.]+)\s*$)");
  std::smatch m;
  while (std::getline(in, line))
    if (std::regex_search(line, m, re)) out[m[1]] = std::stod(m[2]);
  return out;
}
