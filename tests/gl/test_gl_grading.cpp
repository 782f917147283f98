// Grading, screenshots and weather under a real context: the identity pass gives back every
// lattice colour, the read-back for odd widths, the frame buffer's failure, the weather passes.
#include "fx/postproc.h"
#include "fx/weather.h"
#include "render/shader.h"
#include "tests/gl/gltest.h"
#include <sys/stat.h>
#include <unistd.h>

namespace {
// w x h RGB pixels, bottom row first, written into the bound frame buffer bypassing every pass,
// and read back.
void put_pixels(int w, int h, const std::vector<uint8_t> &rgb) {
  glUseProgram(0), glDisable(GL_DEPTH_TEST), glDisable(GL_TEXTURE_2D), glDisable(GL_FOG);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1), glWindowPos2i(0, 0);
  glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

std::vector<uint8_t> read_rgb(int w, int h) {
  std::vector<uint8_t> px((size_t)w * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1), glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
  return glPixelStorei(GL_PACK_ALIGNMENT, 4), px;
}

// The game's programs, built once from the source tree's shader/.
void build_programs(void) {
  static bool built = false;
  char cwd[1024];
  if (built || !getcwd(cwd, sizeof cwd) || chdir(VELDER_SOURCE_DIR) != 0) return;
  prg_create();
  built = chdir(cwd) == 0;
}
} // namespace

TEST(Grading, TheIdentityPassGivesBackEveryLatticeColourAndAnIncompleteFrameBufferIsFatal) {
  build_programs();
  GlTarget window(64); // the window size the off-screen frame follows
  postproc_init();     // identity
  std::vector<uint8_t> in(CLUT_ENTRIES * 3); // the 4096 lattice colours, one per pixel, red fastest
  for (int i = 0; i < CLUT_ENTRIES * 3; i++) in[i] = (uint8_t)(i / 3 >> 4 * (i % 3) & 15) * 17;
  postproc_begin();
  put_pixels(64, 64, in);
  glBindFramebuffer(GL_FRAMEBUFFER, window.fbo);
  glViewport(0, 0, 64, 64);
  postproc_draw();
  std::vector<uint8_t> out = read_rgb(64, 64);
  int worst = 0, at = 0;
  for (int i = 0; i < CLUT_ENTRIES * 3; i++)
    if (abs(out[i] - in[i]) > worst) worst = abs(out[i] - in[i]), at = i / 3;
  // half-texel mistakes lift the blacks or dim the whites by several levels
  EXPECT_LE(worst, 1) << "lattice colour " << at << " (r " << at % 16 << ", g " << at / 16 % 16 << ", b " << at / 256
                      << ") is off by " << worst;
  GLint unit = 0, bound = -1;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
  EXPECT_TRUE(unit == GL_TEXTURE0 && !glIsEnabled(GL_TEXTURE_3D) && glIsEnabled(GL_DEPTH_TEST));
  glUseProgram(0);
  i_screen_w = 0; // a zero-wide window still gets a frame of one pixel
  postproc_init();
  i_screen_w = 1 << 20; // beyond any texture size: a colour attachment without pixels
  ufault f;
  EXPECT_FALSE(utry([] { postproc_init(); }, &f, true));
  EXPECT_STREQ(f.func, "init");
  // GLU has no words for frame buffer states: the status is named by its number
  EXPECT_TRUE(std::regex_match(f.msg, std::regex("frame buffer incomplete \\(status 0x8c[0-9a-f]{2}\\)"))) << f.msg;
  i_screen_w = 64;
  postproc_init();
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0);
}

// 259 pixels of three bytes make rows that a 4-byte pack alignment would pad.
TEST(Screenshot, OddWidthsReadBackUprightWithTheTableInTheCorner) {
  const int w = 259, h = 17;
  GlTarget window(w, h);
  std::vector<uint8_t> scene((size_t)w * h * 3);
  for (size_t i = 0; i < scene.size(); i++) { // y counts up from the bottom, as OpenGL does
    int x = (int)(i / 3 % w), y = (int)(i / 3 / w);
    scene[i] = (uint8_t)(i % 3 == 0 ? x : i % 3 == 1 ? y * 15 : 255 - x);
  }
  put_pixels(w, h, scene);
  clut id;
  clut_identity(&id), postproc_load_clut(&id);
  TempDir d;
  char cwd[1024];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd) && chdir(d.dir.c_str()) == 0);
  postproc_save_clut_screenshot();
  ASSERT_TRUE(rename("screenshot.bmp", "shot.bmp") == 0 && mkdir("screenshot.bmp", 0755) == 0);
  std::string err = stderr_of(postproc_save_clut_screenshot);
  EXPECT_NE(err.find(": failed to save screenshot.bmp: "), std::string::npos) << err;
  ASSERT_EQ(chdir(cwd), 0);
  GLint align = 0;
  glGetIntegerv(GL_PACK_ALIGNMENT, &align);
  EXPECT_EQ(align, 4);
  SDL_Surface *bmp = SDL_LoadBMP(d.path("shot.bmp").c_str()), *s = bmp ? SDL_ConvertSurfaceFormat(bmp, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
  ASSERT_TRUE(s && s->w == w && s->h == h) << SDL_GetError();
  SDL_FreeSurface(bmp);
  auto at = [&](int x, int y) { return ((uint32_t *)((uint8_t *)s->pixels + y * s->pitch))[x] & 0xFFFFFF; };
  for (int y = 0; y < h; y++)
    for (int x = CLUT_IMAGE_W * (y < CLUT_IMAGE_H); x < w; x++) {
      const uint8_t *p = &scene[((size_t)(h - 1 - y) * w + x) * 3];
      ASSERT_EQ(at(x, y), (uint32_t)p[0] << 16 | p[1] << 8 | p[2]) << x << "," << y;
    }
  EXPECT_TRUE(at(0, 0) == 0 && at(15, 0) == 0xFF0000 && at(240, 0) == 0x0000FF && at(255, 15) == 0xFFFFFF);
  SDL_FreeSurface(s);
}

// Both passes draw something into a dark frame in front of the camera and hand the scene state back.
TEST(Weather, RainAndSnowDrawAndRestoreTheSceneState) {
  build_programs();
  int nrain = i_rain_ndroplets, nsnow = i_snow_nflakes;
  i_rain_ndroplets = 3000, i_snow_nflakes = 20000;
  static const float white[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
  usrand(3), rain_init(8), snow_init(white), snow_update(origin);
  i_rain_ndroplets = nrain, i_snow_nflakes = nsnow;
  const std::pair<const char *, void (*)(void)> passes[] = {{"rain", [] { rain_draw(origin, 0); }}, {"snow", [] { snow_draw(); }}};
  for (auto &p : passes) {
    GlTarget target(64); // the camera at the origin, looking along -z
    glEnable(GL_ALPHA_TEST), glAlphaFunc(GL_GREATER, 0.5f), prg_use(PRG_FLAT_COLOR), p.second();
    int lit = 0;
    for (int i = 0; i < 64 * 64; i++) lit += (target.pixel(i % 64, i / 64) >> 24) > 0;
    EXPECT_GT(lit, 20) << p.first;
    GLint func = 0, buffer = -1;
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &func), glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    EXPECT_TRUE(!glIsEnabled(GL_BLEND) && glIsEnabled(GL_ALPHA_TEST) && func == GL_GREATER) << p.first;
    EXPECT_TRUE(buffer == 0 && !glIsEnabled(GL_VERTEX_ARRAY)) << p.first << ": client arrays of later passes would read the flakes";
  }
  glDisable(GL_ALPHA_TEST), glUseProgram(0);
}
