// Texture manager and DDS upload against a real GL context.
#include "core/fmon.h"
#include "core/params.h"
#include "render/dds.h"
#include "render/texture.h"
#include "tests/gl/gltest.h"
#include "tests/unit/testutil.h"
#include <GL/glew.h>
#include <gtest/gtest.h>
#include <cstring>

namespace {

// One data root for the whole binary: the manager keeps its root by pointer.
TempDir &root() {
  static TempDir d;
  static bool once = (texmgr_init(d.dir.c_str()), true);
  (void)once;
  return d;
}

int registrations(const std::string &path) {
  int n = 0;
  for (int i = 0; i < FMON_MAX; i++) {
    const fmon_entry *e = fmon_get(i);
    if (e && path == e->path) n++;
  }
  return n;
}

// DXT1 file of w x h with the given levels, every block solid opaque red (colour0 = 0xF800).
std::string dxt1_red(int w, int h, int levels, int drop = 0) {
  std::string s = "DDS ";
  auto put = [&s](uint32_t v) {
    for (int i = 0; i < 4; i++) s += char(v >> (8 * i) & 0xFF);
  };
  put(124), put(0x1 | 0x2 | 0x4 | 0x1000 | 0x20000), put(h), put(w), put(0), put(0), put(levels);
  for (int i = 0; i < 11; i++) put(0);
  put(32), put(0x4);
  s += "DXT1";
  for (int i = 0; i < 10; i++) put(0);
  for (int l = 0; l < levels; l++) {
    for (int b = 0; b < (w + 3) / 4 * ((h + 3) / 4); b++) s += std::string("\x00\xF8\x00\x00\x00\x00\x00\x00", 8);
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  return s.substr(0, s.size() - drop);
}

GLint level_param(int level, GLenum pname) {
  GLint v = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, pname, &v);
  return v;
}

} // namespace

TEST(TexmgrCache, OneLoadPerPath) {
  TempDir &d = root();
  save_solid_png(d.path("logo.png"), 4, 4, 0x11223344);
  uint32_t before = r.texmgr_ntex;
  texture *a = texmgr_get("logo.png");
  texture *b = texmgr_get("logo.png");
  EXPECT_EQ(a, b);
  EXPECT_EQ(r.texmgr_ntex, before + 1);
  EXPECT_EQ(registrations(d.path("logo.png")), 1);
  EXPECT_TRUE(glIsTexture(a->id));
  // another spelling of the same file is another key
  texture *c = texmgr_get("./logo.png");
  EXPECT_NE(c, a);
  EXPECT_NE(c->id, a->id);
  EXPECT_EQ(r.texmgr_ntex, before + 2);
}

TEST(TexmgrCache, UpperCaseDdsGoesToTheImageLoader) {
  TempDir &d = root();
  save_solid_png(d.path("stone.DDS"), 8, 2, 0x00FF00FF); // a PNG in disguise
  texture *t = texmgr_get("stone.DDS");
  EXPECT_EQ(t->w, 8);
  EXPECT_EQ(t->h, 2);
  // a real DDS under the lower-case ending goes to the DDS loader
  d.write("bark.dds", dxt1_red(8, 4, 4));
  texture *dds = texmgr_get("bark.dds");
  EXPECT_EQ(dds->w, 8);
  EXPECT_EQ(dds->h, 4);
  glBindTexture(GL_TEXTURE_2D, dds->id);
  EXPECT_EQ(level_param(0, GL_TEXTURE_COMPRESSED), GL_TRUE);
}

TEST(ImageLoader, PalettisedAnd24BitBecomeRgba) {
  TempDir &d = root();
  SDL_Surface *pal = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Color colors[3] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {0, 200, 0, 255}};
  SDL_SetPaletteColors(pal->format->palette, colors, 0, 3);
  uint8_t *px = (uint8_t *)pal->pixels;
  px[0] = 0, px[1] = 1, px[pal->pitch] = 2, px[pal->pitch + 1] = 0;
  IMG_SavePNG(pal, d.path("pal.png").c_str());
  SDL_FreeSurface(pal);
  SDL_Surface *check = IMG_Load(d.path("pal.png").c_str());
  ASSERT_NE(check, nullptr);
  ASSERT_EQ(check->format->BytesPerPixel, 1) << "fixture is not palettised";
  SDL_FreeSurface(check);

  texture *t = texmgr_get("pal.png");
  glBindTexture(GL_TEXTURE_2D, t->id);
  std::vector<uint32_t> p = tex_level_rgba(GL_TEXTURE_2D, 0);
  ASSERT_EQ(p.size(), 4u);
  // row 0 of the image is row 0 of the texture (t = 0 is the top)
  EXPECT_EQ(p[0], 0xFF0000FFu);
  EXPECT_EQ(p[1], 0x0000FFFFu);
  EXPECT_EQ(p[2], 0x00C800FFu);

  save_solid_png(d.path("rgb.png"), 2, 2, 0x80402000, 24);
  texture *rgb = texmgr_get("rgb.png");
  glBindTexture(GL_TEXTURE_2D, rgb->id);
  EXPECT_EQ(tex_level_rgba(GL_TEXTURE_2D, 0)[3], 0x804020FFu); // alpha 255 without an alpha channel
}

TEST(ImageLoader, OddSizesKeepTheirSizeAndGetAFullChain) {
  TempDir &d = root();
  save_solid_png(d.path("odd.png"), 3, 5, 0xFFFFFFFF);
  texture *t = texmgr_get("odd.png");
  EXPECT_EQ(t->w, 3);
  EXPECT_EQ(t->h, 5);
  glBindTexture(GL_TEXTURE_2D, t->id);
  GLint w = level_param(0, GL_TEXTURE_WIDTH), h = level_param(0, GL_TEXTURE_HEIGHT);
  EXPECT_EQ(w & (w - 1), 0) << w;
  EXPECT_EQ(h & (h - 1), 0) << h;
  int levels = 0;
  while (level_param(levels, GL_TEXTURE_WIDTH) > 0) levels++;
  EXPECT_GT(levels, 1);
  EXPECT_EQ(level_param(levels - 1, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(level_param(levels - 1, GL_TEXTURE_HEIGHT), 1);
}

TEST(TexmgrReload, RefillsTheSameRecordAndName) {
  TempDir &d = root();
  save_solid_png(d.path("sign.png"), 2, 2, 0xFF0000FF);
  texture *t = texmgr_get("sign.png");
  uint32_t id = t->id, count = r.texmgr_ntex;
  save_solid_png(d.path("sign.png"), 4, 8, 0x0000FFFF);
  texmgr_reload(d.path("sign.png").c_str(), nullptr);
  EXPECT_EQ(texmgr_get("sign.png"), t);
  EXPECT_EQ(t->id, id); // display lists and copies of the name see the new image
  EXPECT_EQ(t->w, 4);
  EXPECT_EQ(t->h, 8);
  EXPECT_EQ(r.texmgr_ntex, count);
  EXPECT_EQ(registrations(d.path("sign.png")), 1);
  glBindTexture(GL_TEXTURE_2D, id);
  EXPECT_EQ(level_param(0, GL_TEXTURE_WIDTH), 4);
  EXPECT_EQ(tex_level_rgba(GL_TEXTURE_2D, 0)[0], 0x0000FFFFu);

  // a path the manager never loaded is ignored, without the wait
  uint32_t start = SDL_GetTicks();
  texmgr_reload(d.path("never.png").c_str(), nullptr);
  EXPECT_LT(SDL_GetTicks() - start, 1000u);
}

TEST(DdsUpload, LevelsGoUpAsStored) {
  TempDir d;
  d.write("red.dds", dxt1_red(8, 4, 4));
  texture *t = load_dds(d.path("red.dds").c_str());
  EXPECT_EQ(t->w, 8);
  EXPECT_EQ(t->h, 4);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
  glBindTexture(GL_TEXTURE_2D, t->id);
  EXPECT_EQ(level_param(0, GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
  const int w[] = {8, 4, 2, 1}, h[] = {4, 2, 1, 1}, size[] = {16, 8, 8, 8};
  for (int l = 0; l < 4; l++) {
    EXPECT_EQ(level_param(l, GL_TEXTURE_WIDTH), w[l]) << l;
    EXPECT_EQ(level_param(l, GL_TEXTURE_HEIGHT), h[l]) << l;
    EXPECT_EQ(level_param(l, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), size[l]) << l;
  }
  EXPECT_EQ(tex_level_rgba(GL_TEXTURE_2D, 0)[5], 0xFF0000FFu);
}

TEST(DdsUpload, PartialChainStillSamples) {
  // one level of 8 x 4, drawn minified: the mipmap filter must not find an incomplete texture
  TempDir d;
  d.write("one.dds", dxt1_red(8, 4, 1));
  texture *t = load_dds(d.path("one.dds").c_str());
  GlTarget target(8);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glUseProgram(0);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, t->id);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS); // 2 x 2 pixels in the middle of the 8 x 8 target
  glTexCoord2f(0, 0), glVertex2f(-0.25f, -0.25f);
  glTexCoord2f(1, 0), glVertex2f(0.25f, -0.25f);
  glTexCoord2f(1, 1), glVertex2f(0.25f, 0.25f);
  glTexCoord2f(0, 1), glVertex2f(-0.25f, 0.25f);
  glEnd();
  EXPECT_EQ(target.pixel(4, 4), 0xFF0000FFu);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}
