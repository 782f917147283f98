// The guide to making a world (docs/worlds.md) kept true: its parameter table against the game's
// own table, every message it quotes against the formats the code prints, and its first world,
// built from its own text, checked by velder-check and loaded by the game.
#include "../e2e/proc.h"
#include "core/params.h"
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> guide_lines(void) {
  std::istringstream in(file_read(SOURCE_DIR "/docs/worlds.md"));
  std::vector<std::string> v;
  for (std::string l; std::getline(in, l);) v.push_back(l);
  return v;
}

// The lines from the heading that starts with `from` to the next heading of its level or above.
std::vector<std::string> section(const std::string &from) {
  std::vector<std::string> all = guide_lines(), out;
  size_t level = 0;
  bool fenced = false; // "# comment" lines of file blocks are no headings
  for (const std::string &l : all) {
    if (l.rfind("```", 0) == 0) fenced = !fenced;
    size_t h = l.find_first_not_of('#');
    bool heading = !fenced && h > 0 && h != std::string::npos && l[h] == ' ';
    if (level && heading && h <= level) break;
    if (level) out.push_back(l);
    if (heading && l.compare(h + 1, from.size(), from) == 0) level = h;
  }
  return out;
}

// The cells of a table row ("| a | b |"), trimmed; empty for other lines.
std::vector<std::string> cells(const std::string &l) {
  std::vector<std::string> v;
  if (l.size() < 2 || l[0] != '|') return v;
  std::string cell;
  for (size_t i = 1; i < l.size(); i++) {
    if (l[i] != '|') {
      cell += l[i];
      continue;
    }
    size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
    v.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
    cell.clear();
  }
  return v;
}

// The text between the first pair of backticks of s, or "".
std::string ticked(const std::string &s) {
  size_t a = s.find('`'), b = a == std::string::npos ? a : s.find('`', a + 1);
  return b == std::string::npos ? "" : s.substr(a + 1, b - a - 1);
}

std::string param_default(const param_row &p) {
  char v[128];
  const float *f = (const float *)p.ptr;
  switch (p.type) {
  case PT_INT:
  case PT_BOOL: snprintf(v, sizeof v, "%d", *(const int *)p.ptr); break;
  case PT_FLOAT: snprintf(v, sizeof v, "%g", f[0]); break;
  case PT_VEC3: snprintf(v, sizeof v, "%g %g %g", f[0], f[1], f[2]); break;
  default: return *(const char *)p.ptr ? (const char *)p.ptr : "(empty)";
  }
  return v;
}

// Every string literal of the game's and the checker's sources (adjacent ones joined), as a
// regular expression for what it prints: conversions match what they can print. Formats with
// fewer than eight characters of their own ("%s", "init") would match anything and are left out.
std::vector<std::regex> message_formats(void) {
  std::vector<std::regex> out;
  static const std::regex conv("%[-+ #0]*[0-9]*(\\.[0-9]+)?(hh|h|ll|l|z|j|t)?([diouxXfeEgGcsp%])");
  for (const char *dir : {"core", "render", "world", "fx", "sound", "app", "tools/check"})
    for (const auto &e : fs::directory_iterator(std::string(SOURCE_DIR) + "/" + dir)) {
      if (e.path().extension() != ".cpp") continue;
      std::string src = file_read(e.path().string()), lit;
      bool in = false, joined = false;
      for (size_t i = 0; i < src.size(); i++) {
        char c = src[i];
        if (!in && c == '\'' ) { i += src[i + 1] == '\\' ? 3 : 2; continue; } // a character literal
        if (!in && c == '"') { in = true; if (!joined) lit.clear(); continue; }
        if (in && c == '\\' && i + 1 < src.size()) { lit += src[++i] == 'n' ? '\n' : src[i]; continue; }
        if (in && c == '"') {
          in = false;
          size_t n = src.find_first_not_of(" \t\r\n", i + 1);
          joined = n != std::string::npos && src[n] == '"';
          if (joined) continue;
          std::string re, plain;
          std::sregex_iterator it(lit.begin(), lit.end(), conv), end;
          size_t at = 0;
          for (; it != end; ++it) {
            std::string text = lit.substr(at, it->position() - at);
            plain += text;
            for (char t : text) re += std::string(strchr("\\^$.|?*+()[]{}", t) ? "\\" : "") + t;
            char k = (*it)[3].str()[0];
            re += k == 's' ? ".*" : k == 'c' ? "." : k == '%' ? "%" : strchr("di", k) ? "-?[0-9]+"
                : strchr("xXp", k) ? "[0-9a-fA-F]+" : k == 'u' || k == 'o' ? "[0-9]+" : "[-+0-9.a-zA-Z]+";
            at = it->position() + it->length();
          }
          std::string tail = lit.substr(at);
          plain += tail;
          for (char t : tail) re += std::string(strchr("\\^$.|?*+()[]{}", t) ? "\\" : "") + t;
          if (plain.size() >= 8 && lit.find('\n') == std::string::npos) out.emplace_back(re);
          continue;
        }
        if (in) lit += c;
      }
    }
  return out;
}

} // namespace

TEST(guide, ParameterTableIsTheGames) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string &l : section("Parameters")) {
    std::vector<std::string> c = cells(l);
    if (c.size() == 7 && !ticked(c[0]).empty()) rows.push_back(c);
  }
  static const char *const types[] = {"int", "bool", "float", "string", "vec3"};
  ASSERT_EQ(rows.size(), (size_t)NPARAMS);
  for (int i = 0; i < NPARAMS; i++) {
    const param_row &p = g_params[i];
    EXPECT_EQ(ticked(rows[i][0]), p.name);
    EXPECT_EQ(rows[i][1], types[p.type]) << p.name;
    EXPECT_EQ(rows[i][2], param_default(p)) << p.name;
  }
}

TEST(guide, EveryQuotedMessageIsOneTheCodePrints) {
  std::vector<std::regex> formats = message_formats();
  ASSERT_GT(formats.size(), 100u);
  int quoted = 0;
  for (const std::string &l : section("When something is wrong")) {
    std::vector<std::string> c = cells(l);
    std::string msg = c.size() == 5 ? ticked(c[0]) : "";
    if (msg.empty()) continue;
    quoted++;
    // the box names no file: the table does
    EXPECT_TRUE(c[1] != "error" || !c[2].empty()) << msg;
    bool found = false;
    for (const std::regex &f : formats) found = found || std::regex_match(msg, f);
    EXPECT_TRUE(found) << msg;
  }
  EXPECT_GT(quoted, 60);
}

// The tutorial's files as its text gives them (a later block of a file replaces the earlier
// one), its images painted as its tables say, then velder-check and the game on the result.
TEST(guide, FirstWorldIsBuiltFromTheGuideChecksAndLoads) {
  char tmpl[] = "/tmp/velder-guide-XXXXXX";
  std::string top = mkdtemp(tmpl), w = top + "/mine";
  std::map<std::string, std::string> files;
  std::vector<std::vector<std::string>> images;
  std::vector<std::string> lines = section("A first world");
  for (size_t i = 0; i < lines.size(); i++) {
    const std::string &l = lines[i];
    if (l.rfind("```text file=", 0) == 0) {
      std::string text;
      while (++i < lines.size() && lines[i] != "```") text += lines[i] + "\n";
      files[l.substr(13)] = text;
    }
    std::vector<std::string> c = cells(l);
    if (c.size() == 4 && !ticked(c[0]).empty() && c[1].find(" x ") != std::string::npos) images.push_back(c);
  }
  ASSERT_TRUE(files.count("param.cfg") && files.count("brushes") && files.count("index")) << "file blocks";
  ASSERT_GE(images.size(), 17u);
  for (auto &f : files) {
    fs::create_directories(fs::path(w + "/" + f.first).parent_path());
    ASSERT_TRUE(file_write(w + "/" + f.first, f.second));
  }
  for (auto &im : images) {
    std::string name = ticked(im[0]), path = w + "/" + name;
    int iw = 0, ih = 0;
    ASSERT_EQ(sscanf(im[1].c_str(), "%d x %d", &iw, &ih), 2) << name;
    bool clear = im[3] == "clear", rgba = im[2] == "RGBA PNG", bmp = im[2] == "24-bit BMP";
    uint32_t rgb = clear ? 0 : (uint32_t)std::stoul(im[3], nullptr, 16);
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, iw, ih, rgba ? 32 : 24, rgba ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24);
    SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, rgb >> 16, rgb >> 8 & 255, rgb & 255, clear ? 0 : 255));
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_EQ(bmp ? SDL_SaveBMP(s, path.c_str()) : IMG_SavePNG(s, path.c_str()), 0) << name << ": " << SDL_GetError();
    SDL_FreeSurface(s);
  }

  std::string out;
  EXPECT_EQ(proc_run({"sh", "-c", "cd '" + top + "' && " CHECK_EXE " mine"}, 120000, &out), 0) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("velder-check: mine: [0-9]+ files, 0 faults, 0 warnings\n$"))) << out;
  // what it will hold, as step 5 quotes it
  EXPECT_TRUE(std::regex_search(out, std::regex("\n  brush 60a040 \\(brushes line 2\\): 256 pixels, density:2, 512 items: bush [0-9]+, tree [0-9]+\n"))) << out;

  // the game, on a display of its own, until its world is loaded and it has drawn for a while
  std::string log = top + "/out.txt", err = top + "/err.txt";
  pid_t pid = proc_spawn({"xvfb-run", "-a", "stdbuf", "-oL", VELDER_EXE, w}, SOURCE_DIR, log, err, {"SDL_AUDIODRIVER=dummy"});
  ASSERT_GT(pid, 0);
  bool loaded = proc_until([&] { return file_read(log).find("num items") != std::string::npos; }, 60000);
  proc_sleep_ms(3000);
  // the game itself is asked to quit (xvfb-run then closes its display)
  pid_t game = 0;
  std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  for (pid_t c; children >> c;)
    if (file_read("/proc/" + std::to_string(c) + "/comm") == "velder\n") game = c;
  EXPECT_GT(game, 0) << "the game is not running\n" << file_read(err);
  if (game > 0) kill(game, SIGTERM);
  int status = 0;
  if (!proc_wait(pid, 20000, &status)) proc_kill_group(pid);
  std::string printed = file_read(log), complained = file_read(err);
  EXPECT_TRUE(loaded) << printed << complained;
  EXPECT_NE(printed.find("parse_index: 2 objects loaded"), std::string::npos) << printed;
  // bushes and trees stand in the world: the quadtree holds them
  EXPECT_TRUE(std::regex_search(printed, std::regex("num items [1-9][0-9]+\n"))) << printed;
  EXPECT_NE(printed.find("game_main: exit"), std::string::npos) << printed << complained;
  EXPECT_EQ(complained.find("error:"), std::string::npos) << complained;
  EXPECT_EQ(complained.find("warning:"), std::string::npos) << complained;

  // its map, as the guide shows it (tools/guide_pictures.sh keeps the world to draw it)
  EXPECT_EQ(proc_run({"sh", "-c", "cd '" SOURCE_DIR "' && SDL_AUDIODRIVER=dummy xvfb-run -a " FLY_EXE " --map '" + top +
                                      "/map.png' '" + w + "' 2>&1"},
                     120000, &out),
            0)
      << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\nmap: .*/map.png, seed 1: [1-9][0-9]+ world items, 0 landmarks"))) << out;
  if (const char *keep = getenv("VELDER_GUIDE_WORLD")) fs::copy(w, keep, fs::copy_options::recursive);
  fs::remove_all(top);
}
