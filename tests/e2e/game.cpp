// Driving the real game for end-to-end tests: scratch folders, start, xdotool input, captures, bounded exits.
#include "game.h"
#include "proc.h"

#include <SDL.h>
#include <SDL_image.h>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

namespace fs = std::filesystem;

std::string g_e2e_display;
std::string g_e2e_run_dir = E2E_RUN_DIR;

static std::string win_arg(const game *g) { return std::to_string(g->win); }

// Generated worlds are made once per run (per set of options) and shared read-only through links.
static std::string world_dir(const std::string &options = "--preset tiny") {
  static std::map<std::string, std::string> made;
  auto it = made.find(options);
  if (it != made.end()) return it->second;
  std::string dir = g_e2e_run_dir + "/_world" + std::regex_replace(options, std::regex("[- ]+"), "-");
  std::error_code ec;
  fs::remove_all(dir, ec);
  std::string log;
  if (int code = proc_run({"sh", "-c", E2E_WORLDGEN " " + options + " '" + dir + "' 2>&1"}, 180000, &log)) {
    fprintf(stderr, "e2e: velder-worldgen %s failed (%d): %s\n", options.c_str(), code, log.c_str());
    dir.clear();
  }
  return made[options] = dir;
}

bool game_has_world(void) { return !world_dir().empty(); }

// Links the entries of a world folder into the data root; param.cfg gets test lines appended,
// so it is a copy.
static bool link_world(game *g, const std::string &world) {
  std::error_code ec;
  for (const fs::directory_entry &e : fs::directory_iterator(world, ec)) {
    std::string to = game_data_path(g, e.path().filename().string());
    if (e.path().filename() == "param.cfg") fs::copy_file(e.path(), to, ec);
    else fs::create_symlink(e.path(), to, ec);
    if (ec) return fprintf(stderr, "e2e: cannot link %s: %s\n", to.c_str(), ec.message().c_str()), false;
  }
  return !world.empty();
}

bool game_setup(game *g, const std::string &name) {
  std::error_code ec;
  *g = game();
  g->name = name;
  g->dir = g_e2e_run_dir + "/" + name;
  g->data = "data";
  g->args = {g->data};
  g->out_path = g->dir + "/stdout.txt";
  g->err_path = g->dir + "/stderr.txt";
  fs::remove_all(g->dir, ec);
  fs::create_directories(g->dir + "/data", ec);
  if (!ec) fs::copy(E2E_SHADER_DIR, g->dir + "/shader", fs::copy_options::recursive, ec);
  if (ec) return fprintf(stderr, "e2e: cannot prepare %s: %s\n", g->dir.c_str(), ec.message().c_str()), false;
  return link_world(g, world_dir());
}

bool game_use_world(game *g, const std::string &options) {
  std::string world = world_dir(options);
  std::error_code ec;
  if (world.empty()) return false;
  for (const fs::directory_entry &e : fs::directory_iterator(g->dir + "/data", ec)) fs::remove_all(e.path(), ec);
  return link_world(g, world);
}

std::string game_data_path(const game *g, const std::string &rel) { return g->dir + "/" + g->data + "/" + rel; }

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

bool game_edit(game *g, const std::string &rel, const std::string &from, const std::string &to) {
  if (!game_own_data(g, rel)) return false;
  std::string text = file_read(game_data_path(g, rel));
  size_t at = text.find(from), n = 0;
  for (; at != std::string::npos; at = text.find(from, at + to.size()), n++) text.replace(at, from.size(), to);
  return n && file_write(game_data_path(g, rel), text);
}

void game_param(game *g, const std::string &line) {
  std::string text = file_read(game_data_path(g, "param.cfg"));
  if (!text.empty() && text.back() != '\n') text += "\n";
  file_write(game_data_path(g, "param.cfg"), text + line + "\n");
}

std::string game_shader_path(const game *g, const std::string &file) { return g->dir + "/shader/" + file; }

bool game_start(game *g) {
  // stdbuf execs the game in place (same pid) with its stdout line-buffered
  std::vector<std::string> argv = {"/usr/bin/stdbuf", "-oL", E2E_VELDER};
  argv.insert(argv.end(), g->args.begin(), g->args.end());
  std::vector<std::string> env = {"DISPLAY=" + g_e2e_display};
  bool audio = false;
  for (const std::string &x : g->env) env.push_back(x), audio |= x.rfind("SDL_AUDIODRIVER=", 0) == 0;
  if (!audio) env.push_back("SDL_AUDIODRIVER=dummy");
  g->pid = proc_spawn(argv, g->dir, g->out_path, g->err_path, env);
  return g->pid > 0;
}

bool game_running(game *g) {
  int st;
  if (g->pid <= 0) return false;
  if (!proc_wait(g->pid, 0, &st)) return true;
  g->exit_code = proc_exit_code(st);
  g->pid = -1;
  return false;
}

bool game_wait_window(game *g, int timeout_ms) {
  return proc_until([g] { return !game_running(g) || (g->win = xw_find(g->pid)) != 0; }, timeout_ms) && g->win;
}

std::string game_title(const game *g) { return g->win ? xw_name(g->win) : ""; }

static bool xdotool(game *g, std::vector<std::string> args) {
  if (!g->win) return false;
  // the game only reads keys and grabs the mouse while its window has the input focus
  proc_run({"xdotool", "windowfocus", win_arg(g)}, 5000);
  args.insert(args.begin(), "xdotool");
  return proc_run(args, 5000) == 0;
}

bool game_key(game *g, const std::string &keysym) { return xdotool(g, {"key", "--window", win_arg(g), keysym}); }

bool game_click(game *g, int x, int y, int button, int hold_ms) {
  std::string b = std::to_string(button);
  if (!xdotool(g, {"mousemove", "--window", win_arg(g), std::to_string(x), std::to_string(y)}) ||
      proc_run({"xdotool", "mousedown", b}, 5000) != 0)
    return false;
  proc_sleep_ms(hold_ms);
  // The game reads the held button in its update step; on a loaded machine a step can come
  // long after the press, so a left click is held until the game has taken the mouse.
  if (button == 1) proc_until(xw_pointer_grabbed, 10000);
  return proc_run({"xdotool", "mouseup", b}, 5000) == 0;
}

bool game_resize(game *g, int w, int h) {
  int cw, ch;
  return xdotool(g, {"windowsize", win_arg(g), std::to_string(w), std::to_string(h)}) &&
         proc_until([&] { return xw_size(g->win, &cw, &ch) && cw == w && ch == h; }, 5000);
}

bool game_close(game *g) { return g->win && xw_send_delete(g->win); }

bool game_capture(game *g, const std::string &shot, image *img, std::string *saved) {
  if (!g->win || !xw_capture(g->win, img)) return false;
  std::string path = img_save(*img, g->dir + "/" + shot);
  if (saved) *saved = path;
  return !path.empty();
}

bool game_screenshot(game *g, image *img) {
  std::string path = g->dir + "/screenshot.bmp";
  fs::remove(path);
  // a file still being written is too short to load
  return game_key(g, "p") && proc_until([&] { return img_load_bmp(path, img); }, 15000);
}

xw_id error_box_wait(int timeout_ms) {
  xw_id box = 0;
  proc_until([&] { return (box = xw_find(0, "Error")) != 0; }, timeout_ms);
  return box;
}

bool error_box_close(xw_id box) {
  proc_run({"xdotool", "key", "--window", std::to_string(box), "Return"}, 5000);
  if (proc_until([box] { return xw_gone(box); }, 3000)) return true;
  xw_send_delete(box);
  return proc_until([box] { return xw_gone(box); }, 3000);
}

bool game_wait_exit(game *g, int timeout_ms) {
  int st;
  if (g->pid <= 0) return g->exit_code != -1;
  bool ended = proc_wait(g->pid, timeout_ms, &st);
  if (!ended) proc_kill_group(g->pid);
  g->exit_code = ended ? proc_exit_code(st) : -1;
  g->pid = -1;
  return ended;
}

void game_stop(game *g) {
  if (g->pid > 0) proc_kill_group(g->pid);
  g->pid = -1;
  // a box left by a failed test would be taken for the next test's
  if (xw_id box = xw_find(0, "Error")) xw_send_delete(box);
}

std::string game_stdout(const game *g) { return file_read(g->out_path); }
std::string game_stderr(const game *g) { return file_read(g->err_path); }

// The last six lines of text.
static std::string tail(const std::string &text) {
  size_t at = text.size();
  for (int i = 0; i < 7 && at != std::string::npos && at > 0; i++) at = text.rfind('\n', at - 1);
  return at == std::string::npos ? text : text.substr(at + 1);
}

std::string game_report(game *g) {
  std::string r = game_running(g) ? "still running" : "exit code " + std::to_string(g->exit_code);
  return r + " (" + g->dir + ")\nstdout ends:\n" + tail(game_stdout(g)) + "stderr ends:\n" + tail(game_stderr(g));
}

bool game_wait_output(game *g, const std::string &text, int timeout_ms, bool on_stderr) {
  auto has = [&] { return (on_stderr ? game_stderr(g) : game_stdout(g)).find(text) != std::string::npos; };
  // after the exit, the last lines written still count
  return proc_until([&] { return has() || !game_running(g); }, timeout_ms) && has();
}

std::map<std::string, double> game_stats(const game *g) {
  std::map<std::string, double> out;
  std::string text = game_stdout(g);
  // "stats_print: r.fps.min 12" or "...: pm.nobj 0": a dotted counter name, then a number
  std::regex re(R"((^|\n)\w+: ((?:r|pm)\.[\w.]+)\s+(-?[0-9.]+)\s*(?=\n|$))");
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
    out[(*it)[2]] = std::stod((*it)[3]);
  return out;
}

image img_make(int w, int h, const std::function<uint32_t(int x, int y)> &colour) {
  image img;
  img.w = w, img.h = h;
  img.rgb.resize((size_t)w * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < 3; c++) img.rgb[((size_t)y * w + x) * 3 + c] = (uint8_t)(colour(x, y) >> (16 - 8 * c));
  return img;
}

bool img_write(const image &img, const std::string &path) {
  bool bmp = path.size() > 4 && path.compare(path.size() - 4, 4, ".bmp") == 0;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, img.w, img.h, 32, bmp ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_RGBA32);
  if (!s) return false;
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++) {
      const uint8_t *p = &img.rgb[((size_t)y * img.w + x) * 3];
      uint8_t *o = (uint8_t *)s->pixels + y * s->pitch + x * (bmp ? 3 : 4);
      if (bmp) o[0] = p[2], o[1] = p[1], o[2] = p[0];
      else o[0] = p[0], o[1] = p[1], o[2] = p[2], o[3] = (p[0] | p[1] | p[2]) ? 255 : 0;
    }
  std::error_code ec;
  if (fs::is_symlink(path, ec)) fs::remove(path, ec); // a link into the shared world is replaced, not written through
  bool ok = (bmp ? SDL_SaveBMP(s, path.c_str()) : IMG_SavePNG(s, path.c_str())) == 0;
  SDL_FreeSurface(s);
  return ok;
}

bool img_load_bmp(const std::string &path, image *img) {
  SDL_Surface *s = SDL_LoadBMP(path.c_str()), *c = s ? SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0) : nullptr;
  if (c) {
    img->w = c->w, img->h = c->h;
    img->rgb.resize((size_t)c->w * c->h * 3);
    for (int y = 0; y < c->h; y++) memcpy(&img->rgb[(size_t)y * c->w * 3], (uint8_t *)c->pixels + y * c->pitch, c->w * 3);
  }
  SDL_FreeSurface(c);
  SDL_FreeSurface(s);
  return c != nullptr;
}

std::string img_save(const image &img, const std::string &base) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom((void *)img.rgb.data(), img.w, img.h, 24, img.w * 3, SDL_PIXELFORMAT_RGB24);
  bool ok = s && IMG_SavePNG(s, (base + ".png").c_str()) == 0;
  SDL_FreeSurface(s);
  return ok ? base + ".png" : "";
}

uint32_t img_pixel(const image &img, int x, int y) {
  const uint8_t *p = &img.rgb[((size_t)y * img.w + x) * 3];
  return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

double img_fraction(const image &img, int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)> &test) {
  long hit = 0, all = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, img.h); y++)
    for (int x = std::max(x0, 0); x < std::min(x1, img.w); x++, all++) {
      const uint8_t *p = &img.rgb[((size_t)y * img.w + x) * 3];
      hit += test(p[0], p[1], p[2]);
    }
  return all ? (double)hit / all : 0.0;
}

void img_mean(const image &img, int x0, int y0, int x1, int y1, double out[3]) {
  for (int c = 0; c < 3; c++) {
    double sum = 0;
    img_fraction(img, x0, y0, x1, y1, [&](int r, int g, int b) { return sum += c == 0 ? r : c == 1 ? g : b, false; });
    out[c] = sum / std::max(1, (std::min(x1, img.w) - x0) * (std::min(y1, img.h) - y0));
  }
}

int img_colour_count(const image &img) {
  std::set<int> seen;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    seen.insert((img.rgb[i] >> 4) << 8 | (img.rgb[i + 1] >> 4) << 4 | img.rgb[i + 2] >> 4);
  return (int)seen.size();
}
