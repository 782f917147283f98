// velder-worldgen: writes a complete data root (terrain, objects, sky, sounds, text files) from a seed.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "wg_world.h"

namespace fs = std::filesystem;

static const char *USAGE =
    "usage: velder-worldgen [--preset default|tiny|dense] [--seed N] [--weather none|rain|snow] DIR\n";

void wg_progress(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vprintf(fmt, ap);
  va_end(ap);
  printf("\n");
  fflush(stdout);
}

std::string wg_path(const wg_world &w, const std::string &rel) {
  fs::path p = fs::path(w.root) / rel;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  return p.string();
}

static bool saved(wg_world &w, bool ok, const std::string &rel) {
  if (!ok) return false;
  std::error_code ec;
  auto sz = fs::file_size(fs::path(w.root) / rel, ec);
  w.files++;
  w.bytes += ec ? 0 : (size_t)sz;
  wg_progress("  %-28s %8zu bytes", rel.c_str(), ec ? (size_t)0 : (size_t)sz);
  return true;
}

bool wg_save_png(wg_world &w, const image &im, const std::string &rel, bool alpha) {
  return saved(w, write_png(im, wg_path(w, rel), alpha), rel);
}
bool wg_save_dds(wg_world &w, const image &im, const std::string &rel, bool dxt5) {
  return saved(w, write_dds(im, wg_path(w, rel), dxt5), rel);
}
bool wg_save_text(wg_world &w, const std::string &rel, const std::string &text) {
  return saved(w, write_text(wg_path(w, rel), text), rel);
}
bool wg_save_bytes(wg_world &w, const std::string &rel, const std::vector<uint8_t> &bytes) {
  return saved(w, write_file(wg_path(w, rel), bytes), rel);
}
bool wg_save_bmp(wg_world &w, int width, int height, const std::vector<uint8_t> &rgb, const std::string &rel) {
  return saved(w, write_bmp24_raw(width, height, rgb, wg_path(w, rel)), rel);
}

static int fail_usage(const char *msg, const char *arg) {
  fprintf(stderr, "velder-worldgen: %s%s%s\n%s", msg, arg ? ": " : "", arg ? arg : "", USAGE);
  return 2;
}

// Moves the finished world into place: a new folder is renamed whole; into an existing one the
// generated files are renamed one by one, the catalogue last, so a world never looks complete early.
static bool move_into(const fs::path &from, const fs::path &to, std::string &err) {
  std::error_code ec;
  if (!fs::exists(to, ec)) {
    fs::rename(from, to, ec);
    if (!ec) return true;
    // another run may have put its world there meanwhile: then merge into it below
    if (!fs::is_directory(to)) {
      err = "cannot move the world to " + to.string() + ": " + ec.message();
      return false;
    }
  }
  if (!fs::is_directory(to, ec)) {
    err = to.string() + " exists and is not a folder";
    return false;
  }
  std::vector<fs::path> entries;
  for (auto &e : fs::directory_iterator(from, ec)) entries.push_back(e.path());
  std::sort(entries.begin(), entries.end(), [](const fs::path &a, const fs::path &b) {
    bool ai = a.filename() == "index", bi = b.filename() == "index";
    return ai != bi ? bi : a < b;
  });
  for (auto &e : entries) {
    fs::path dst = to / e.filename();
    if (fs::is_directory(e, ec) && fs::is_directory(dst, ec)) {
      if (!move_into(e, dst, err)) return false;
      continue;
    }
    fs::rename(e, dst, ec);
    if (ec) {
      err = "cannot move " + e.filename().string() + " into " + to.string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

int main(int argc, char **argv) {
  const char *preset = "default", *weather = "none", *dir = nullptr;
  uint64_t seed = 1;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto value = [&](const char *opt) -> const char * {
      size_t n = strlen(opt);
      if (a.size() > n && a.compare(0, n, opt) == 0 && a[n] == '=') return argv[i] + n + 1;
      if (a == opt) return i + 1 < argc ? argv[++i] : "";
      return nullptr;
    };
    const char *v;
    if (a == "-h" || a == "--help") {
      printf("%s", USAGE);
      return 0;
    } else if ((v = value("--preset"))) {
      preset = v;
    } else if ((v = value("--weather"))) {
      weather = v;
    } else if ((v = value("--seed"))) {
      char *end = nullptr;
      errno = 0;
      unsigned long long s = strtoull(v, &end, 10);
      if (!*v || *end || errno || *v == '-') return fail_usage("--seed needs a non-negative integer", v);
      seed = s;
    } else if (a.size() > 1 && a[0] == '-') {
      return fail_usage("unknown option", argv[i]);
    } else if (dir) {
      return fail_usage("more than one output folder given", argv[i]);
    } else {
      dir = argv[i];
    }
  }
  const wg_preset *P = preset_find(preset);
  if (!P) return fail_usage("unknown preset (default, tiny or dense)", preset);
  if (strcmp(weather, "none") && strcmp(weather, "rain") && strcmp(weather, "snow"))
    return fail_usage("unknown weather (none, rain or snow)", weather);
  if (!dir || !*dir) return fail_usage("no output folder given", nullptr);

  fs::path target = fs::path(dir).lexically_normal();
  if (target.filename().empty()) target = target.parent_path();
  fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  fs::create_directories(parent, ec);
  fs::path tmp = parent / ("." + target.filename().string() + ".worldgen-" + std::to_string(getpid()));
  fs::remove_all(tmp, ec);
  if (!fs::create_directory(tmp, ec)) {
    fprintf(stderr, "velder-worldgen: cannot write into %s: %s\n", parent.string().c_str(),
            ec ? ec.message().c_str() : "cannot create a folder there");
    return 1;
  }

  IMG_Init(IMG_INIT_PNG);
  if (TTF_Init() != 0) {
    fprintf(stderr, "velder-worldgen: TTF_Init: %s\n", SDL_GetError());
    fs::remove_all(tmp, ec);
    return 1;
  }
  wg_world w;
  w.P = P;
  w.seed = seed;
  w.weather = weather;
  w.root = tmp.string();
  printf("velder-worldgen: preset %s, seed %llu, weather %s -> %s\n", P->name, (unsigned long long)seed, weather,
         target.string().c_str());
  struct step {
    const char *what;
    bool (*run)(wg_world &);
  } steps[] = {
      {"landscape", terrain_generate},   {"height and object maps", terrain_write},
      {"terrain texture", terrain_texture_write}, {"object textures", textures_write},
      {"sky", sky_write},                {"logo and credits", overlay_write},
      {"colour tables", cluts_write},    {"sounds", sounds_write},
      {"catalogue and parameters", catalog_write},
  };
  auto t0 = std::chrono::steady_clock::now();
  for (auto &s : steps) {
    auto ts = std::chrono::steady_clock::now();
    wg_progress("%s...", s.what);
    if (!s.run(w)) {
      fprintf(stderr, "velder-worldgen: %s: %s\n", s.what, wg_error.c_str());
      fs::remove_all(tmp, ec);
      return 1;
    }
    double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - ts).count();
    wg_progress("%s done in %.2f s", s.what, dt);
  }
  TTF_Quit();
  IMG_Quit();
  std::string err;
  if (!move_into(tmp, target, err)) {
    fprintf(stderr, "velder-worldgen: %s\n", err.c_str());
    fs::remove_all(tmp, ec);
    return 1;
  }
  fs::remove_all(tmp, ec);
  double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  printf("velder-worldgen: wrote %zu files, %.1f MB, in %.2f s to %s\n", w.files, w.bytes / 1048576.0, total,
         target.string().c_str());
  return 0;
}
