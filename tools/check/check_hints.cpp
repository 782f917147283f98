// velder-check, beginners' mistakes: what the game reads differently from what a world maker
// meant, said with how to mend it. A byte order mark, an image under another kind's name, a
// blank at the end of a path, and keys of tree files and sound definitions the game ignores.
#include "check.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

void chk_bom(const char *path) {
  FILE *fp = fopen(path, "rb");
  if (!fp) return;
  unsigned char b[3] = {0, 0, 0};
  size_t n = fread(b, 1, 3, fp);
  fclose(fp);
  if (n == 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
    chk_warn(path, 1,
             "the file starts with a UTF-8 byte order mark (bytes EF BB BF), which the game reads as part of the "
             "first line: save it as plain text (UTF-8 without a byte order mark)");
}

// The kind of image a file holds, by its first bytes, or null.
static const char *held_kind(const char *path) {
  FILE *fp = fopen(path, "rb");
  if (!fp) return nullptr;
  unsigned char b[12] = {0};
  size_t n = fread(b, 1, sizeof b, fp);
  fclose(fp);
  if (n >= 8 && memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return "PNG";
  if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "JPEG";
  if (n >= 4 && memcmp(b, "GIF8", 4) == 0) return "GIF";
  if (n >= 4 && memcmp(b, "DDS ", 4) == 0) return "DDS";
  if (n >= 12 && memcmp(b, "RIFF", 4) == 0 && memcmp(b + 8, "WEBP", 4) == 0) return "WebP";
  if (n >= 4 && (memcmp(b, "II*\0", 4) == 0 || memcmp(b, "MM\0*", 4) == 0)) return "TIFF";
  if (n >= 2 && b[0] == 'B' && b[1] == 'M') return "BMP";
  return nullptr;
}

std::string chk_kind_hint(const char *path) {
  const char *dot = strrchr(path, '.'), *slash = strrchr(path, '/');
  if (!dot || (slash && dot < slash)) return "";
  std::string ext(dot + 1);
  for (char &c : ext) c = (char)tolower((unsigned char)c);
  const char *named = ext == "bmp" ? "BMP" : ext == "png" ? "PNG" : ext == "dds" ? "DDS" : ext == "gif" ? "GIF"
                      : ext == "jpg" || ext == "jpeg" ? "JPEG" : nullptr;
  const char *held = held_kind(path);
  if (!named || !held || strcmp(named, held) == 0) return "";
  std::string mend = ext == "bmp" ? "save it as a 24-bit BMP"
                     : ext == "dds" ? "save it as a DXT1, DXT3 or DXT5 DDS, or give it the ." + std::string(held) +
                                          " name its content has (and the catalogue too)"
                                    : std::string("save it as a ") + named;
  return std::string(": the file holds a ") + held + " image under a ." + ext + " name; " + mend;
}

std::string chk_blank_hint(const char *name) {
  size_t n = strlen(name);
  if (n == 0 || !isspace((unsigned char)name[n - 1])) return "";
  return "; '" + std::string(name) + "' ends in a blank, which the game takes as part of the name: remove it";
}

size_t chk_key_line(const char *path, const char *key) {
  FILE *fp = fopen(path, "r");
  if (!fp) return 0;
  char buf[1024];
  size_t line = 0, at = 0, klen = strlen(key);
  while (fgets(buf, sizeof buf, fp)) {
    line++;
    if (strncmp(buf, key, klen) == 0 && isspace((unsigned char)buf[klen])) at = line;
  }
  fclose(fp);
  return at;
}

// Edits that turn a into b, a swap of two neighbours counted as one.
static size_t distance(const std::string &a, const std::string &b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); i++) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); j++) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); i++)
    for (size_t j = 1; j <= b.size(); j++) {
      size_t sub = d[i - 1][j - 1] + (a[i - 1] != b[j - 1]);
      d[i][j] = std::min(std::min(d[i - 1][j] + 1, d[i][j - 1] + 1), sub);
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

static const char *const tree_keys[] = {
    "tr_height", "tr_branch_start_height", "tr_branch_end_height", "tr_section_count", "tr_top_section_scale",
    "tr_bottom_section_scale", "tr_texture_rect_top", "tr_texture_rect_bottom", "br_count", "br_length",
    "br_length_variance", "br_start_angle", "br_end_angle", "br_leaf_width", "br_leaf_height",
    "br_texture_rect_top", "br_texture_rect_bottom"};
static const char *const sound_keys[] = {"sound1", "volume", "delay", "cutoff"};

// A definition's sound keys are sound1 ... sound128.
static bool sound_number(const std::string &k) {
  if (k.compare(0, 5, "sound") != 0 || k.size() < 6 || k.size() > 8 || k[5] == '0') return false;
  for (size_t i = 5; i < k.size(); i++)
    if (!isdigit((unsigned char)k[i])) return false;
  int n = atoi(k.c_str() + 5);
  return n >= 1 && n <= 128;
}

void chk_unknown_keys(const char *path, bool tree) {
  FILE *fp = fopen(path, "r");
  if (!fp) return;
  const char *const *known = tree ? tree_keys : sound_keys;
  size_t nknown = tree ? sizeof tree_keys / sizeof *tree_keys : sizeof sound_keys / sizeof *sound_keys;
  // lines as the game's key/value reader takes them: pieces of 1023 characters, short lines and
  // comments skipped, the key up to the first blank
  char buf[1024];
  size_t piece = 0;
  while (fgets(buf, sizeof buf, fp)) {
    piece++;
    buf[strcspn(buf, "\r\n")] = 0;
    if (strlen(buf) < 3 || buf[0] == '#') continue;
    std::string key(buf, strcspn(buf, " \t\v\f"));
    // a byte order mark is said once, for the file
    if (piece == 1 && key.compare(0, 3, "\xEF\xBB\xBF") == 0) key.erase(0, 3);
    if (key.empty()) continue;
    bool ok = tree ? false : sound_number(key);
    for (size_t i = 0; i < nknown && !ok; i++) ok = key == known[i];
    if (ok) continue;
    const char *best = nullptr;
    size_t best_d = 4; // further off, a guess would mislead
    for (size_t i = 0; i < nknown; i++) {
      size_t d = distance(key, known[i]);
      if (d < best_d) best = known[i], best_d = d;
    }
    size_t at = chk_phys_line(path, 1024, piece);
    if (best)
      chk_warn(path, at, "unknown key '%s': the game ignores it; did you mean %s?", key.c_str(), best);
    else
      chk_warn(path, at, "unknown key '%s': the game ignores it (the keys of a %s are listed in docs/worlds.md)",
               key.c_str(), tree ? "tree file" : "sound definition");
  }
  fclose(fp);
}
