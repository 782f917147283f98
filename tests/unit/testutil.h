// Test helpers: a temporary folder, surfaces painted by a function, a scratch data root with a
// catalogue, brushes, an object map and a flat terrain, and buffer calls without a context.
#pragma once
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "render/batch.h"
#include "render/texture.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/terrain.h"
#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

struct TempDir {
  std::string dir;
  TempDir() {
    char t[] = "/tmp/velder-test-XXXXXX";
    dir = mkdtemp(t);
  }
  ~TempDir() { (void)!system(("rm -rf '" + dir + "'").c_str()); }
  std::string path(const std::string &name) const { return dir + "/" + name; }
  std::string write(const std::string &name, const std::string &text) const {
    std::string p = path(name);
    FILE *fp = fopen(p.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), fp);
    fclose(fp);
    return p;
  }
};

// What f printed on standard output, or on standard error.
inline std::string stdout_of(const std::function<void()> &f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}
inline std::string stderr_of(const std::function<void()> &f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

// A w x h surface whose pixel (x, y), row 0 at the top, is colour(x, y) = 0xRRGGBB (depth 24
// or 32), or palette index colour(x, y) (depth 8).
inline SDL_Surface *paint(int w, int h, std::function<uint32_t(int, int)> colour, int depth = 24) {
  Uint32 format = depth == 8 ? SDL_PIXELFORMAT_INDEX8 : depth == 24 ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_ARGB8888;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, format);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint8_t *p = (uint8_t *)s->pixels + y * s->pitch + x * depth / 8;
      uint32_t c = colour(x, y);
      p[0] = c & 0xFF;
      if (depth > 8) p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
      if (depth == 32) p[3] = 0xFF;
    }
  return s;
}
inline void save_bmp(const std::string &path, int w, int h, std::function<uint32_t(int, int)> colour, int depth = 24) {
  SDL_Surface *s = paint(w, h, colour, depth);
  EXPECT_EQ(SDL_SaveBMP(s, path.c_str()), 0) << SDL_GetError();
  SDL_FreeSurface(s);
}

// What the stand-in texture loader hands out (64 x 128 unless a test says otherwise).
inline texture g_fake_tex;
inline texture *fake_texture(const char *) { return &g_fake_tex; }

// A scratch data root; the terrain square (and the object map over it) is 400 units wide.
// Everything a test changes here is put back afterwards.
struct WorldRoot : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  float old_sz = f_tn_sz, old_r = f_veg_pos_r;
  terrain *old_terrain = g_terrain;
  char old_clut[PARAM_STRING_SIZE];
  void SetUp() override {
    memcpy(old_clut, s_default_clut, sizeof old_clut);
    usetroot(dir.dir.c_str());
    g_fake_tex = {64, 128, 2, 0}, g_wobj_texture_get = fake_texture, f_tn_sz = 400, f_veg_pos_r = 200;
  }
  void TearDown() override {
    usetroot(old_root.c_str());
    memcpy(s_default_clut, old_clut, sizeof old_clut);
    f_tn_sz = old_sz, f_veg_pos_r = old_r, g_terrain = old_terrain, g_wobj_texture_get = texmgr_get;
    brush_clear(), wobj_clear();
  }
  // Writes and reads "index"; what the reader printed.
  std::string catalogue(const std::string &text) {
    dir.write("index", text), wobj_clear();
    return stdout_of(parse_index);
  }
  void brushes(const std::string &text) { dir.write("brushes", text), brush_clear(), brush_read_file(); }
  void objmap(int w, int h, std::function<uint32_t(int, int)> colour, float extent = 400) { objmap_set(paint(w, h, colour), extent); }
  void flat_terrain(float y) {
    g_terrain = tn_alloc();
    for (int r = 0; r <= g_terrain->ndivs; r++)
      for (int c = 0; c <= g_terrain->ndivs; c++) g_terrain->verts[r][c].y = y;
  }
};

// A DDS file: the 128-byte header built from fields, then the level bytes.
struct DdsFile {
  std::string magic = "DDS ", fourcc = "DXT5", data = std::string(16, 'x');
  uint32_t size = 124, flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000, w = 4, h = 4, mips = 1, pf_size = 32, pf_flags = 4;
  std::string bytes() const {
    std::string s = magic;
    auto put = [&s](uint32_t v) { s.append((const char *)&v, 4); }; // little-endian host
    put(size), put(flags), put(h), put(w), put(0), put(0), put(mips);
    s.append(44, '\0');
    put(pf_size), put(pf_flags);
    return s + fourcc + std::string(40, '\0') + data;
  }
};

// A tree file: its 17 keys in file order, values replaced by `change` ("" drops the key).
inline std::string tree_file(std::map<std::string, std::string> change = {}) {
  static const char *const keys[17][2] = {
      {"tr_height", "4"}, {"tr_branch_start_height", "1"}, {"tr_branch_end_height", "3"}, {"tr_section_count", "4"},
      {"tr_top_section_scale", "1"}, {"tr_bottom_section_scale", "2"}, {"tr_texture_rect_top", "0 0"},
      {"tr_texture_rect_bottom", "0.25 1"}, {"br_count", "3"}, {"br_length", "0.5"}, {"br_length_variance", "0.2"},
      {"br_start_angle", "30"}, {"br_end_angle", "80"}, {"br_leaf_width", "1.5"}, {"br_leaf_height", "1.2"},
      {"br_texture_rect_top", "0.5 0"}, {"br_texture_rect_bottom", "1 1"}};
  std::string s = "# a tree\n";
  for (auto &k : keys) {
    auto c = change.find(k[0]);
    if (c == change.end() || !c->second.empty()) s += std::string(k[0]) + " " + (c == change.end() ? k[1] : c->second) + "\n";
  }
  return s;
}

// The draws of the shared generator made since usrand(seed).
inline int draws_since(uint32_t seed) {
  int next = urand();
  usrand(seed);
  for (int n = 0; n < 100000; n++)
    if (urand() == next) return n;
  return -1;
}

// While one exists, glGenBuffers hands out names, glDeleteBuffers takes them back and binds and
// uploads do nothing; the previous entry points come back when it goes.
struct FakeBuffers {
  static inline int live = 0;
  static inline GLuint next = 1, array_bound = 0, element_bound = 0; // the last two: what glBindBuffer left bound
  PFNGLGENBUFFERSPROC gen = __glewGenBuffers;
  PFNGLDELETEBUFFERSPROC del = __glewDeleteBuffers;
  PFNGLBINDBUFFERPROC bind = __glewBindBuffer;
  PFNGLBUFFERDATAPROC data = __glewBufferData;
  FakeBuffers() {
    live = 0;
    __glewGenBuffers = [](GLsizei n, GLuint *ids) { for (GLsizei i = 0; i < n; i++) ids[i] = next++, live++; };
    __glewDeleteBuffers = [](GLsizei n, const GLuint *) { live -= n; };
    __glewBindBuffer = [](GLenum target, GLuint id) { (target == GL_ARRAY_BUFFER ? array_bound : element_bound) = id; };
    __glewBufferData = [](GLenum, GLsizeiptr, const void *, GLenum) {};
  }
  ~FakeBuffers() { __glewGenBuffers = gen, __glewDeleteBuffers = del, __glewBindBuffer = bind, __glewBufferData = data; }
};
