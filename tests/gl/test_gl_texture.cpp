// Texture manager and DDS upload against a real GL context.
#include "core/fmon.h"
#include "render/dds.h"
#include "render/texture.h"
#include "tests/gl/gltest.h"
#include <fstream>
#include <sstream>

namespace {
TempDir &root() { // the manager keeps its root by pointer: one for the whole binary
  static TempDir d;
  static bool once = (texmgr_init(d.dir.c_str()), true);
  return (void)once, d;
}

// DXT1 of 8 x 4 declaring `levels` levels (past 4, 1 x 1 again), every block solid opaque red
// (colour 0 = 0xF800, indices 0)
std::string dxt1_red(uint32_t levels) {
  DdsFile f;
  f.fourcc = "DXT1", f.w = 8, f.mips = levels, f.data = "";
  for (uint32_t b = 0; b < levels + 1; b++) f.data += std::string("\0\xF8\0\0\0\0\0\0", 8);
  return f.bytes();
}

GLint level_param(int level, GLenum pname) {
  GLint v = 0;
  return glGetTexLevelParameteriv(GL_TEXTURE_2D, level, pname, &v), v;
}
// Texel (x, y) of level 0 of t, 0xRRGGBBAA.
uint32_t texel_of(const texture *t, int x, int y) {
  glBindTexture(GL_TEXTURE_2D, t->id);
  GLint w = level_param(0, GL_TEXTURE_WIDTH), h = level_param(0, GL_TEXTURE_HEIGHT);
  std::vector<uint8_t> p((size_t)w * h * 4 + 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  const uint8_t *q = &p[((size_t)y * w + x) * 4];
  return uint32_t(q[0]) << 24 | q[1] << 16 | q[2] << 8 | q[3];
}
// A w x h PNG of one colour (0xRRGGBBAA); depth 8 is palettised.
void save_png(const std::string &path, int w, int h, uint32_t c, int depth = 32) {
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, depth == 8 ? SDL_PIXELFORMAT_INDEX8 : SDL_PIXELFORMAT_ABGR8888);
  SDL_Color one = {Uint8(c >> 24), Uint8(c >> 16), Uint8(c >> 8), Uint8(c)};
  if (depth == 8) SDL_SetPaletteColors(s->format->palette, &one, 0, 1);
  SDL_FillRect(s, nullptr, depth == 8 ? 0 : SDL_MapRGBA(s->format, one.r, one.g, one.b, one.a));
  IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
}
} // namespace

// One load per path, watched once; each save in turn, as a maker edits while the game runs: good
// ones refill the same record and GL name; broken ones warn once and leave the texture as it was.
TEST(Texmgr, OneLoadPerPathAndReloadRefillsTheRecordOrWarnsAndKeepsTheOld) {
  TempDir &d = root();
  save_png(d.path("sign.png"), 3, 5, 0xC86432FF, 8); // palettised, not a power of two
  d.write("bark2.dds", dxt1_red(1));
  save_png(d.path("blue.png"), 4, 8, 0x0000FFFF);
  std::stringstream blue_bytes;
  blue_bytes << std::ifstream(d.path("blue.png"), std::ios::binary).rdbuf();
  std::string blue = blue_bytes.str();
  DdsFile bad_magic, cut;
  bad_magic.magic = "XDS ", cut.fourcc = "DXT1", cut.w = 8, cut.data = std::string(8, 0); // 16 bytes needed
  // bytes: empty deletes the file; w and px: the record's width and texel (0, 0) afterwards
  const struct { std::string name, bytes; const char *warning; int w; uint32_t px; } saves[] = {
      {"sign.png", blue, nullptr, 4, 0x0000FFFF},
      {"sign.png", blue.substr(0, blue.size() / 2), "load_something_else#[0-9]+: IMG_Load: Error reading the PNG file\\. \\(.*sign.png\\)", 4, 0x0000FFFF},
      {"sign.png", "", "load_something_else#[0-9]+: IMG_Load: Couldn't open .*sign.png", 4, 0x0000FFFF},
      {"bark2.dds", bad_magic.bytes(), "load_dds#[0-9]+: invalid magic 'XDS'", 8, 0xFF0000FF},
      {"bark2.dds", cut.bytes(), "load_dds#[0-9]+: expression '.*' is false", 8, 0xFF0000FF},
      {"bark2.dds", "", "load_dds#[0-9]+: failed to open '.*bark2.dds'", 8, 0xFF0000FF},
  };
  uint32_t before = r.texmgr_ntex;
  texture *t = texmgr_get("sign.png"), *b = texmgr_get("bark2.dds");
  int registered = 0;
  for (int i = 0; i < FMON_MAX; i++) registered += fmon_get(i) && d.path("sign.png") == fmon_get(i)->path;
  // GLU rescales the chain, the record keeps the image size
  EXPECT_TRUE(texmgr_get("sign.png") == t && r.texmgr_ntex == before + 2 && registered == 1 && t->w == 3 && t->h == 5);
  EXPECT_TRUE(texel_of(t, 1, 1) == 0xC86432FF && texel_of(b, 7, 3) == 0xFF0000FF);
  uint32_t ids[2] = {t->id, b->id};
  for (auto &s : saves) {
    SCOPED_TRACE(s.name + (s.warning ? s.warning : " good"));
    remove(d.path(s.name).c_str());
    if (!s.bytes.empty()) d.write(s.name, s.bytes);
    std::string err = stderr_of([&] {
      texmgr_reload(d.path(s.name).c_str(), nullptr);
      texmgr_poll(true);
    });
    EXPECT_TRUE(s.warning ? std::regex_match(err, std::regex(std::string("^(libpng .*\n)*warning: ") + s.warning + "\n$")) : err.empty()) << err;
    texture *r = texmgr_get(s.name.c_str());
    EXPECT_TRUE(r == (s.name == "sign.png" ? t : b) && t->id == ids[0] && b->id == ids[1]);
    EXPECT_TRUE(r->w == s.w && texel_of(r, 0, 0) == s.px);
  }
}

// The stored levels end up decoded (plain RGBA samples faster), each as the driver decodes it;
// a count of 0 is one level; levels past 1 x 1 are skipped; a short chain still samples;
// oversize is refused.
TEST(DdsUpload, LevelsAsStoredDecodedShortChainsAndOversize) {
  TempDir d;
  std::string red = dxt1_red(4), zero = dxt1_red(1);
  // level 1 (4 x 2, one block): colour 0 white, colour 1 black, index 2 = 2/3 white + 1/3 black
  red.replace(128 + 16, 8, std::string("\xFF\xFF\0\0\xAA\xAA\xAA\xAA", 8));
  zero[28] = 0; // mip map count 0, with its flag set
  texture *t = load_dds(d.write("red.dds", red).c_str());
  EXPECT_EQ(texel_of(t, 5, 3), 0xFF0000FFu);
  for (int l = 0; l < 4; l++)
    EXPECT_TRUE(level_param(l, GL_TEXTURE_WIDTH) == 8 >> l && level_param(l, GL_TEXTURE_HEIGHT) == std::max(4 >> l, 1) &&
                level_param(l, GL_TEXTURE_INTERNAL_FORMAT) == GL_RGBA8) << l;
  uint8_t l1[4 * 2 * 4];
  glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, l1);
  EXPECT_TRUE(l1[0] == 170 && l1[1] == 170 && l1[2] == 170 && l1[3] == 255) << (int)l1[0];
  EXPECT_TRUE(texel_of(load_dds(d.write("zero.dds", zero).c_str()), 5, 3) == 0xFF0000FF && level_param(0, GL_TEXTURE_WIDTH) == 8);
  // six levels declared where the chain has four: the two past 1 x 1 are in the file, and skipped
  EXPECT_TRUE(texel_of(load_dds(d.write("more.dds", dxt1_red(6)).c_str()), 5, 3) == 0xFF0000FF && level_param(3, GL_TEXTURE_WIDTH) == 1);
  // one stored level drawn minified: the mipmap filter must not meet an incomplete texture
  GlTarget target(8);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, load_dds(d.write("one.dds", dxt1_red(1)).c_str())->id);
  glBegin(GL_QUADS); // 2 x 2 pixels in the middle
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const float *c : corners) glTexCoord2f(c[0], c[1]), glVertex3f(c[0] * 0.1f - 0.05f, c[1] * 0.1f - 0.05f, -0.2f);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  EXPECT_EQ(target.pixel(4, 4), 0xFF0000FFu);
  // wider than the driver takes: said at once instead of an empty texture
  GLint max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  DdsFile wide;
  wide.fourcc = "DXT1", wide.w = (uint32_t)max * 2, wide.data = std::string((size_t)max * 4, '\0');
  std::string path = d.write("wide.dds", wide.bytes());
  ufault f;
  EXPECT_FALSE(utry([&] { load_dds(path.c_str()); }, &f, true));
  EXPECT_TRUE(std::string(f.msg) == ufmt("%dx4 is larger than the %d pixels per side this OpenGL takes", max * 2, max) &&
              std::string(f.func) == "load_dds") << f.func << ": " << f.msg;
}
