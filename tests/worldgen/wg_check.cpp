// World generator tests: process helpers and small readers for BMP, PNG, DDS and the world's text files.
#include "wg_check.h"

#include <SDL.h>
#include <SDL_image.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

static std::string run(const std::string &cmd, int *status) {
  std::string out;
  FILE *p = popen((cmd + " 2>&1").c_str(), "r");
  char buf[4096];
  while (p && fgets(buf, sizeof buf, p)) out += buf;
  int rc = p ? pclose(p) : -1;
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

int wg_run(const std::string &args, std::string *output) {
  int status;
  std::string out = run(std::string(WORLDGEN_EXE) + " " + args, &status);
  if (output) *output = out;
  return status;
}

std::string wg_tempdir() {
  char tmpl[] = "/tmp/velder-wgtest-XXXXXX";
  char *d = mkdtemp(tmpl);
  return d ? d : "";
}

void wg_rmtree(const std::string &dir) {
  std::error_code ec;
  if (dir.size() > 5) fs::remove_all(dir, ec);
}

std::vector<uint8_t> wg_read(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<std::string> wg_lines(const std::string &path) {
  std::vector<std::string> out;
  std::ifstream f(path);
  for (std::string l; std::getline(f, l);) out.push_back(l.substr(0, l.find_first_of("\r\n")));
  return out;
}

std::vector<std::string> wg_list_files(const std::string &dir) {
  std::vector<std::string> out;
  for (auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), dir).string());
  std::sort(out.begin(), out.end());
  return out;
}

static uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
static uint32_t be32(const uint8_t *p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

bmp_info bmp_load(const std::string &path) {
  bmp_info b;
  auto d = wg_read(path);
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || (d[28] | d[29] << 8) != 24 || le32(&d[30]) != 0) return b;
  uint32_t off = le32(&d[10]);
  b.w = (int32_t)le32(&d[18]);
  int32_t h = (int32_t)le32(&d[22]);
  b.h = h < 0 ? -h : h;
  size_t stride = ((size_t)b.w * 3 + 3) & ~(size_t)3;
  if (b.w <= 0 || off + stride * b.h > d.size()) return b;
  b.rgb.resize((size_t)b.w * b.h * 3);
  for (int y = 0; y < b.h; y++) {
    const uint8_t *row = &d[off + stride * (h < 0 ? y : b.h - 1 - y)];
    for (int x = 0; x < b.w; x++)
      for (int c = 0; c < 3; c++) b.rgb[((size_t)y * b.w + x) * 3 + c] = row[x * 3 + 2 - c];
  }
  b.ok = true;
  return b;
}

png_info png_header(const std::string &path) {
  png_info p;
  auto d = wg_read(path);
  if (d.size() < 33 || memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8) || memcmp(&d[12], "IHDR", 4)) return p;
  p.w = (int)be32(&d[16]), p.h = (int)be32(&d[20]), p.depth = d[24], p.colour_type = d[25];
  return p;
}

std::vector<uint8_t> png_rgba(const std::string &path, int *w, int *h) {
  std::vector<uint8_t> out;
  SDL_Surface *s = IMG_Load(path.c_str()), *c = s ? SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGBA32, 0) : nullptr;
  if (c) {
    *w = c->w, *h = c->h;
    out.resize((size_t)c->w * c->h * 4);
    for (int y = 0; y < c->h; y++) memcpy(&out[(size_t)y * c->w * 4], (uint8_t *)c->pixels + (size_t)y * c->pitch, c->w * 4);
  }
  SDL_FreeSurface(c);
  SDL_FreeSurface(s);
  return out;
}

dds_info dds_header(const std::string &path) {
  dds_info r;
  auto d = wg_read(path);
  if (d.size() < 128 || memcmp(d.data(), "DDS ", 4)) return r;
  r.h = (int)le32(&d[12]), r.w = (int)le32(&d[16]);
  r.mips = (le32(&d[8]) & 0x20000) ? (int)le32(&d[28]) : 1;
  r.fourcc.assign((const char *)&d[84], 4);
  return r;
}

std::map<std::string, std::string> kv_read(const std::string &path) {
  std::map<std::string, std::string> m;
  for (auto &l : wg_lines(path)) {
    size_t sp = l.find_first_of(" \t"), v = l.find_first_not_of(" \t", sp);
    if (!l.empty() && l[0] != '#' && v != std::string::npos) m[l.substr(0, sp)] = l.substr(v);
  }
  return m;
}

std::vector<index_object> index_read(const std::string &root) {
  std::vector<index_object> out;
  for (auto &l : wg_lines(root + "/index")) {
    std::string key = l.substr(0, l.find(' ')), val = l.size() > key.size() ? l.substr(key.size() + 1) : "";
    if (key == "object") out.push_back({val, "mass", "", ""});
    else if (out.empty()) continue;
    else if (key == "type") out.back().type = val;
    else if (key == "file") out.back().file = val;
    else if (key == "pg") out.back().pg = val;
  }
  return out;
}

std::vector<brush_def> brushes_read(const std::string &root) {
  std::vector<brush_def> out;
  for (auto &l : wg_lines(root + "/brushes")) {
    if (l.empty() || l[0] == '#') continue;
    if (!l.compare(0, 6, "brush ")) out.push_back(brush_def()), out.back().color = std::stoul(l.substr(6), nullptr, 16);
    else if (out.empty()) continue;
    else if (!l.compare(0, 10, "footsteps:")) out.back().footsteps = l.substr(10);
    else if (!l.compare(0, 5, "clut:")) out.back().clut = l.substr(5);
    else if (!l.compare(0, 8, "density:")) out.back().density = std::stoi(l.substr(8));
    else out.back().names.push_back(l);
  }
  return out;
}
