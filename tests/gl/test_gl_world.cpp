// Terrain display list and drawing, sky cube maps and the sky box, against a real GL context.
#include "core/file.h"
#include "core/params.h"
#include "fx/skybox.h"
#include "render/shader.h"
#include "render/texture.h"
#include "tests/gl/gltest.h"
#include "tests/unit/testutil.h"
#include "world/terrain.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

namespace {

// Perspective of the game (60 degrees, near 0.1) on a square target, model-view left current.
struct Camera3d {
  Camera3d() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(60, 1, 0.1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
  }
  ~Camera3d() {
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
  }
};

struct Params {
  int ndivs = i_tn_ndivs;
  float sz = f_tn_sz;
  ~Params() { i_tn_ndivs = ndivs, f_tn_sz = sz; }
};

bool red(uint32_t p) { return (p >> 24) > 200 && (p >> 8 & 0xFF) < 60; }
bool blue(uint32_t p) { return (p >> 8 & 0xFF) > 200 && (p >> 24) < 60; }

// Sky faces of one solid colour each, in cube map order: -Z, +X, +Z, -X, +Y, -Y.
const uint32_t face_colors[6] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFF00FF, 0x00FFFFFF, 0xFF00FFFF};
const GLenum face_targets[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                                GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
                                GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y};

// A data root holding both face sets; the right face is 24-bit and the back one palettised.
uint32_t sky_root_cubemap(TempDir &d, const char *const faces[6]) {
  mkdir(d.path("skybox").c_str(), 0755);
  for (int i = 0; i < 6; i++) save_solid_png(d.path(faces[i]), 8, 8, face_colors[i], i == 1 ? 24 : 32);
  SDL_Surface *pal = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Color blue = {0, 0, 255, 255};
  SDL_SetPaletteColors(pal->format->palette, &blue, 0, 1);
  SDL_FillRect(pal, nullptr, 0);
  IMG_SavePNG(pal, d.path(faces[2]).c_str());
  SDL_FreeSurface(pal);
  usetroot(d.dir.c_str());
  return load_cubemap(faces);
}

} // namespace

TEST(TerrainList, RebuildReplacesTheList) {
  Params keep;
  i_tn_ndivs = 4, f_tn_sz = 40;
  terrain *t = tn_create();
  EXPECT_EQ(g_terrain, t);
  ASSERT_NE(t->dlist, 0u);
  EXPECT_TRUE(glIsList(t->dlist));
  uint32_t first = t->dlist;
  tn_build(t);
  EXPECT_TRUE(glIsList(t->dlist));
  // glGenLists hands out unused names only, so getting the first name again proves it was deleted
  if (t->dlist != first) {
    EXPECT_FALSE(glIsList(first));
  }
}

TEST(TerrainDraw, SeenFromAboveWithTheImageTopToTheNorth) {
  Params keep;
  i_tn_ndivs = 4, f_tn_sz = 40;
  terrain *t = tn_create();
  // texture: top half red, bottom half blue
  TempDir d;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 4, 4, 32, SDL_PIXELFORMAT_ABGR8888);
  SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, 0, 0, 255, 255));
  SDL_Rect top = {0, 0, 4, 2};
  SDL_FillRect(s, &top, SDL_MapRGBA(s->format, 255, 0, 0, 255));
  IMG_SavePNG(s, d.path("ground.png").c_str());
  SDL_FreeSurface(s);
  texture *tex = load_something_else(d.path("ground.png").c_str());
  t->tex = tex->id;
  tn_build(t);
  // a white height map lifts the ground to maxy
  SDL_Surface *hm = SDL_CreateRGBSurfaceWithFormat(0, 4, 4, 24, SDL_PIXELFORMAT_BGR24);
  SDL_FillRect(hm, nullptr, SDL_MapRGB(hm->format, 255, 255, 255));
  t->hm = new heightmap{hm, 20};
  tn_build(t);
  EXPECT_FLOAT_EQ(tn_height(t, 3, -7), 20);

  GlTarget target(64);
  Camera3d cam;
  glRotatef(90, 1, 0, 0); // look straight down, -z at the top of the picture
  glTranslatef(0, -50, 0);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  tn_draw();
  // culling is on with clockwise fronts: a wrong winding would leave the picture black
  EXPECT_TRUE(red(target.pixel(32, 56))) << std::hex << target.pixel(32, 56);
  EXPECT_TRUE(blue(target.pixel(32, 8))) << std::hex << target.pixel(32, 8);
  // the state between passes is back
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
  GLint func = 0, prog = -1;
  GLfloat ref = 0;
  glGetIntegerv(GL_ALPHA_TEST_FUNC, &func);
  glGetFloatv(GL_ALPHA_TEST_REF, &ref);
  glGetIntegerv(GL_CURRENT_PROGRAM, &prog);
  EXPECT_EQ(func, GL_GREATER);
  EXPECT_FLOAT_EQ(ref, 0.5f);
  EXPECT_EQ(prog, 0);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
}

TEST(SkyCubemap, FacesLandOnTheirTargetsAsRgba) {
  TempDir d;
  uint32_t id = sky_root_cubemap(d, g_sky_faces);
  ASSERT_NE(id, 0u);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP, &bound);
  EXPECT_EQ(bound, 0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, id);
  for (int i = 0; i < 6; i++) {
    std::vector<uint32_t> p = tex_level_rgba(face_targets[i], 0);
    ASSERT_EQ(p.size(), 64u) << i;
    EXPECT_EQ(p[27], face_colors[i]) << g_sky_faces[i];
    GLint w = 0;
    glGetTexLevelParameteriv(face_targets[i], 3, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 1) << "mip chain of " << g_sky_faces[i];
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

TEST(SkyDraw, FrontRightAndTopFaces) {
  TempDir d;
  skybox sky = {sky_root_cubemap(d, g_sky_faces), 0, nullptr};
  g_skybox = &sky;
  GlTarget target(32);
  Camera3d cam;
  glUseProgram(0);
  glEnable(GL_TEXTURE_CUBE_MAP); // fixed-function stand-in for the sky shader
  glEnable(GL_DEPTH_TEST);
  const float pos[3] = {5, 6, 7}, dir[3] = {0, 0, -1};
  struct {
    float angle, x, y;
    uint32_t color;
  } views[] = {{0, 0, 1, face_colors[0]}, {90, 0, 1, face_colors[1]}, {-90, 1, 0, face_colors[4]}};
  for (auto &v : views) {
    glLoadIdentity();
    glRotatef(v.angle, v.x, v.y, 0);
    glTranslatef(-pos[0], -pos[1], -pos[2]);
    skybox_draw(dir, pos);
    EXPECT_EQ(target.pixel(16, 16), v.color) << v.angle << " about " << v.x << "," << v.y;
  }
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glDisable(GL_TEXTURE_CUBE_MAP);
  g_skybox = nullptr;
}

TEST(SkyDraw, SetsItsUniforms) {
  const char *vs = "void main() { gl_Position = ftransform(); }";
  const char *fs = "uniform float time; uniform vec3 camdir; uniform vec3 sundir;\n"
                   "void main() { gl_FragColor = vec4(camdir + sundir, time); }";
  GLuint prog = glCreateProgram();
  for (int i = 0; i < 2; i++) {
    GLuint sh = glCreateShader(i ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
    glShaderSource(sh, 1, i ? &fs : &vs, nullptr);
    glCompileShader(sh);
    glAttachShader(prog, sh);
  }
  glLinkProgram(prog);
  GLint ok = 0;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  ASSERT_TRUE(ok);
  prg record = {};
  record.id = prog;
  skybox sky = {0, 0, &record};
  g_skybox = &sky;
  const float pos[3] = {0, 0, 0}, dir[3] = {0.6f, 0, -0.8f};
  uint32_t before = SDL_GetTicks();
  skybox_draw(dir, pos);
  g_skybox = nullptr;
  GLint cur = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &cur);
  EXPECT_EQ((GLuint)cur, prog);
  float t = -1, c[3], sun[3];
  glGetUniformfv(prog, glGetUniformLocation(prog, "time"), &t);
  glGetUniformfv(prog, glGetUniformLocation(prog, "camdir"), c);
  glGetUniformfv(prog, glGetUniformLocation(prog, "sundir"), sun);
  EXPECT_NEAR(t, before / 1000.0f, 0.5f);
  EXPECT_FLOAT_EQ(c[0], 0.6f);
  EXPECT_FLOAT_EQ(c[2], -0.8f);
  EXPECT_NEAR(sun[1], -0.39401f, 1e-5);
  EXPECT_NEAR(sun[2], 0.30783f, 1e-5);
  glUseProgram(0);
  glDeleteProgram(prog);
}
