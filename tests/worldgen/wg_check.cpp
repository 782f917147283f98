// World generator tests: process helpers and small readers for BMP, PNG, DDS and the world's text files.
#include "wg_check.h"

#include <SDL.h>
#include <SDL_image.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

int wg_run(const std::string &args, std::string *output) {
  std::string log = wg_tempdir() + "/out.txt";
  std::string cmd = std::string(WORLDGEN_EXE) + " " + args + " > " + log + " 2>&1";
  int rc = std::system(cmd.c_str());
  if (output) {
    auto b = wg_read(log);
    output->assign(b.begin(), b.end());
  }
  wg_rmtree(fs::path(log).parent_path().string());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
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

bool wg_exists(const std::string &path) { return fs::exists(path); }

std::vector<uint8_t> wg_read(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<std::string> wg_lines(const std::string &path) {
  std::vector<std::string> out;
  std::ifstream f(path);
  std::string l;
  while (std::getline(f, l)) {
    size_t cut = l.find_first_of("\r\n");
    if (cut != std::string::npos) l.resize(cut);
    out.push_back(l);
  }
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
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return b;
  uint32_t off = le32(&d[10]);
  b.w = (int32_t)le32(&d[18]);
  int32_t h = (int32_t)le32(&d[22]);
  b.h = h < 0 ? -h : h;
  b.bpp = d[28] | d[29] << 8;
  b.compression = (int)le32(&d[30]);
  if (b.bpp != 24 || b.w <= 0) return b;
  size_t stride = ((size_t)b.w * 3 + 3) & ~(size_t)3;
  if (off + stride * b.h > d.size()) return b;
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
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (d.size() < 33 || memcmp(d.data(), sig, 8) || memcmp(&d[12], "IHDR", 4)) return p;
  p.w = (int)be32(&d[16]);
  p.h = (int)be32(&d[20]);
  p.depth = d[24];
  p.colour_type = d[25];
  p.ok = true;
  return p;
}

std::vector<uint8_t> png_rgba(const std::string &path, int *w, int *h) {
  std::vector<uint8_t> out;
  SDL_Surface *s = IMG_Load(path.c_str());
  if (!s) return out;
  SDL_Surface *c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(s);
  if (!c) return out;
  *w = c->w, *h = c->h;
  out.resize((size_t)c->w * c->h * 4);
  for (int y = 0; y < c->h; y++) memcpy(&out[(size_t)y * c->w * 4], (uint8_t *)c->pixels + (size_t)y * c->pitch, c->w * 4);
  SDL_FreeSurface(c);
  return out;
}

dds_info dds_check(const std::string &path) {
  dds_info r;
  auto d = wg_read(path);
  if (d.size() < 128) return r.error = "shorter than a header", r;
  if (memcmp(d.data(), "DDS", 3)) return r.error = "bad magic", r;
  if (le32(&d[4]) != 124) return r.error = "header size not 124", r;
  uint32_t flags = le32(&d[8]);
  if ((flags & 0x1007) != 0x1007) return r.error = "caps/height/width/pixelformat flags missing", r;
  r.h = (int)le32(&d[12]);
  r.w = (int)le32(&d[16]);
  r.mips = (flags & 0x20000) ? (int)le32(&d[28]) : 1;
  if (le32(&d[76]) != 32) return r.error = "pixel format size not 32", r;
  if (!(le32(&d[80]) & 0x4)) return r.error = "no four-character code", r;
  r.fourcc.assign((const char *)&d[84], 4);
  int bs = r.fourcc == "DXT1" ? 8 : (r.fourcc == "DXT3" || r.fourcc == "DXT5") ? 16 : 0;
  if (!bs) return r.error = "unknown code " + r.fourcc, r;
  size_t total = 128;
  for (int l = 0, w = r.w, h = r.h; l < r.mips; l++, w = std::max(1, w / 2), h = std::max(1, h / 2))
    total += (size_t)((w + 3) / 4) * ((h + 3) / 4) * bs;
  if (total != d.size()) return r.error = "size does not match the declared levels", r;
  r.ok = true;
  return r;
}

std::map<std::string, std::string> kv_read(const std::string &path) {
  std::map<std::string, std::string> m;
  for (auto &l : wg_lines(path)) {
    if (l.size() < 3 || l[0] == '#') continue;
    size_t sp = 0;
    while (sp < l.size() && !isspace((unsigned char)l[sp])) sp++;
    size_t v = sp;
    while (v < l.size() && isspace((unsigned char)l[v])) v++;
    if (v >= l.size()) {
      m["<missing value>"] = l;
      continue;
    }
    m[l.substr(0, sp)] = l.substr(v);
  }
  return m;
}

static std::string after_blanks(const std::string &l, size_t from) {
  while (from < l.size() && isspace((unsigned char)l[from])) from++;
  return l.substr(from);
}

bool index_read(const std::string &root, std::vector<index_object> &out, std::string &err) {
  auto lines = wg_lines(root + "/index");
  if (lines.empty()) return err = "no index", false;
  size_t i = 0;
  auto next = [&](std::string &l) {
    while (i < lines.size()) {
      l = lines[i++];
      if (l.empty() || l[0] != '#') return true;
    }
    return false;
  };
  std::string l;
  while (next(l)) {
    if (l.empty()) continue;
    char kw[64], val[128];
    if (sscanf(l.c_str(), "%63s %127s", kw, val) != 2) return err = "parse error at #" + std::to_string(i), false;
    if (strcmp(kw, "object")) continue;
    index_object o;
    o.name = val;
    bool ended = false;
    while (next(l)) {
      if (l.empty()) {
        ended = true;
        break;
      }
      if (!l.compare(0, 4, "file")) {
        o.file = after_blanks(l, 4);
      } else if (!l.compare(0, 4, "type")) {
        char w[257], v[65];
        if (sscanf(l.c_str(), "%256s %64s", w, v) != 2) return err = "invalid 'type' in " + o.name, false;
        o.type = v;
        if (o.type != "mass" && o.type != "detail" && o.type != "grass" && o.type != "unique")
          return err = "invalid type value in " + o.name, false;
      } else if (!l.compare(0, 2, "pg")) {
        o.pg = after_blanks(l, 2);
      } else if (!l.compare(0, 4, "clip")) {
        int a, b, c, d;
        if (sscanf(l.c_str(), "%*s %d %d %d %d", &a, &b, &c, &d) != 4) return err = "bad clip in " + o.name, false;
      } else {
        char k[256];
        float f;
        if (sscanf(l.c_str(), "%255s %f", k, &f) != 2) return err = "bad line '" + l + "' in " + o.name, false;
        std::string key = k;
        if (key != "scale" && key != "scale_rnd" && key != "density" && key != "clumpiness" && key != "num_clumps")
          return err = "unknown specifier '" + key + "'", false;
        o.num[key] = f;
      }
    }
    if (!ended) return err = "EOF while parsing object '" + o.name + "'", false;
    out.push_back(o);
  }
  return true;
}

bool brushes_read(const std::string &root, std::vector<brush_def> &out, std::string &err) {
  auto lines = wg_lines(root + "/brushes");
  if (lines.empty()) return err = "no brushes", false;
  for (size_t i = 0; i < lines.size(); i++) {
    const std::string &l = lines[i];
    if (l.empty() || l[0] == '#') continue;
    if (!l.compare(0, 5, "brush")) {
      char w[129];
      unsigned c;
      if (sscanf(l.c_str(), "%128s %x", w, &c) != 2) return err = "invalid brush definition at #" + std::to_string(i + 1), false;
      out.push_back(brush_def());
      out.back().color = c;
    } else if (out.empty()) {
      return err = "object before brush at #" + std::to_string(i + 1), false;
    } else if (!l.compare(0, 10, "footsteps:")) {
      out.back().footsteps = l.substr(10);
    } else if (!l.compare(0, 5, "clut:")) {
      out.back().clut = l.substr(5);
    } else if (!l.compare(0, 8, "density:")) {
      sscanf(l.c_str() + 8, "%d", &out.back().density);
    } else {
      out.back().names.push_back(l);
    }
  }
  return true;
}
