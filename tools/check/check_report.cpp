// velder-check reporting: fault and warning lines, the game's warnings taken in, files counted,
// and the line numbers of readers that read long lines in pieces.
#include "check.h"
#include "core/file.h"
#include "render/image.h"
#include <SDL.h>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

unsigned chk_nfaults, chk_nwarnings, chk_nfiles;

static void report(const char *kind, const char *path, size_t line, const char *fmt, va_list ap) {
  if (line) printf("%s:%zu: %s: ", path, line, kind);
  else printf("%s: %s: ", path, kind);
  vprintf(fmt, ap);
  printf("\n");
  fflush(stdout);
}

void chk_fault(const char *path, size_t line, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  report("fault", path, line, fmt, ap);
  va_end(ap);
  chk_nfaults++;
}

void chk_warn(const char *path, size_t line, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  report("warning", path, line, fmt, ap);
  va_end(ap);
  chk_nwarnings++;
}

size_t chk_msg_line(const char *msg) {
  for (const char *p = msg; (p = strchr(p, '#')); p++)
    if ((p == msg || p[-1] == ' ') && isdigit((unsigned char)p[1])) return strtoul(p + 1, nullptr, 10);
  return 0;
}

static std::string warn_path;
static size_t warn_line;
static bool warn_from_msg;

void chk_warn_context(const char *path, size_t line, bool from_msg) {
  warn_path = path;
  warn_line = line;
  warn_from_msg = from_msg;
}

// The game's own warnings, said against the file being read.
static void take_warning(const char *func, unsigned line, const char *msg) {
  size_t at = warn_line;
  if (!at && warn_from_msg) at = chk_msg_line(msg);
  chk_warn(warn_path.c_str(), at, "%s", msg);
}

void chk_report_init(void) {
  chk_warn_context(g_root, 0, false);
  uwarn_set_sink(take_warning);
}

static std::set<std::string> seen, files;

bool chk_seen(const char *kind, const char *path) {
  if (!seen.insert(std::string(kind) + '\n' + path).second) return true;
  if (files.insert(path).second) chk_nfiles++;
  return false;
}

// Physical line of every piece (index: piece number - 1), kept only for files that have a line
// read in pieces; elsewhere the two numbers agree.
static std::map<std::string, std::vector<uint32_t>> piece_lines;

static void warn_split(const char *path, size_t line, size_t len, int bufsize, size_t pieces) {
  chk_warn(path, line, "line of %zu characters: the game reads at most %d at a time and takes the rest as %zu more line%s",
           len, bufsize - 1, pieces - 1, pieces > 2 ? "s" : "");
}

bool chk_lines(const char *path, int bufsize) {
  if (chk_seen("lines", path)) return true;
  FILE *fp = fopen(path, "r");
  if (!fp) return false;
  chk_bom(path);
  std::vector<uint32_t> phys;
  std::vector<char> buf((size_t)bufsize);
  uint32_t line = 1;
  size_t len = 0, pieces = 0;
  bool in_text = true, split = false; // the line end (CR or LF) has not been reached
  while (fgets(buf.data(), bufsize, fp)) {
    phys.push_back(line);
    pieces++;
    size_t n = strlen(buf.data());
    // the game cuts a line at its first CR or LF: what follows it is not part of the line
    size_t text = strcspn(buf.data(), "\r\n");
    if (in_text) len += text;
    if (text < n) in_text = false;
    if (n == 0 || buf[n - 1] != '\n') continue;
    if (pieces > 1) {
      split = true;
      warn_split(path, line, len, bufsize, pieces);
    }
    line++;
    len = pieces = 0;
    in_text = true;
  }
  if (pieces > 1) {
    split = true;
    warn_split(path, line, len, bufsize, pieces);
  }
  fclose(fp);
  if (split) piece_lines[path] = phys;
  return true;
}

size_t chk_phys_line(const char *path, int bufsize, size_t piece) {
  chk_lines(path, bufsize);
  auto it = piece_lines.find(path);
  if (it == piece_lines.end() || piece == 0) return piece;
  const std::vector<uint32_t> &v = it->second;
  // past the last piece (the end of the file): the last line
  return piece <= v.size() ? v[piece - 1] : (v.empty() ? piece : v.back());
}

SDL_Surface *chk_load_bmp(const char *name, char *path, size_t size, const char *prefix) {
  snprintf(path, size, "%s/%s", g_root, name);
  chk_seen("image", path);
  SDL_Surface *s = img_load_bmp(path);
  if (!s) chk_fault(path, 0, "%s%s%s", prefix, SDL_GetError(), chk_kind_hint(path).c_str());
  return s;
}
