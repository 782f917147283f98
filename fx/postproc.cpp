// Post-processing: the off-screen frame the scene is drawn into, the full-screen pass that draws
// it to the window through the 3D colour table, and the colour-table screenshot.
#include "fx/postproc.h"
#include "core/params.h"
#include "core/util.h"
#include "render/overlay.h"
#include "render/shader.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>
#include <cstdlib>

static GLuint fb, fb_tex, fb_rb;
static int fb_w, fb_h;
static prg *postproc_prg;
static GLuint clut_tex;
static SDL_Surface *clut_surface;

// The frame buffer set-up; its reports carry the name "init".
// A minimised or zero-high window still gets a frame of at least one pixel.
static int fb_size(int n) { return n > 1 ? n : 1; }

static void init(void) {
  fb_w = fb_size(i_screen_w), fb_h = fb_size(i_screen_h);
  glGenFramebuffers(1, &fb);
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glGenTextures(1, &fb_tex);
  glBindTexture(GL_TEXTURE_2D, fb_tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  // one texel per pixel: nearest is exact and the cheapest fetch there is
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, fb_w, fb_h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fb_tex, 0);
  glGenRenderbuffers(1, &fb_rb);
  glBindRenderbuffer(GL_RENDERBUFFER, fb_rb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, fb_w, fb_h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, fb_rb);
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    // GLU has words only for GL errors; the frame buffer states get their number
    const char *why = (const char *)gluErrorString(status);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (why) uerror_at("init", __LINE__, "%s", why);
    uerror_at("init", __LINE__, "frame buffer incomplete (status 0x%x)", status);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

static void fb_delete(void) {
  glDeleteTextures(1, &fb_tex);
  glDeleteRenderbuffers(1, &fb_rb);
  glDeleteFramebuffers(1, &fb);
  fb = fb_tex = fb_rb = 0;
}

void postproc_init(void) {
  if (fb) fb_delete();
  init();
  postproc_prg = g_shader_table[PRG_POSTPROC].program;
  static clut identity;
  clut_identity(&identity);
  postproc_load_clut(&identity);
}

void postproc_begin(void) {
  if (fb_w != fb_size(i_screen_w) || fb_h != fb_size(i_screen_h)) {
    fb_delete();
    init();
  }
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glViewport(0, 0, fb_w, fb_h);
}

void postproc_draw(void) {
  glEnable(GL_TEXTURE_3D);
  GLuint id = postproc_prg ? postproc_prg->id : 0;
  glUseProgram(id);
  if (id) {
    glUniform1i(glGetUniformLocation(id, "framebuffer"), 0);
    glUniform1i(glGetUniformLocation(id, "clut"), 1);
  }
  glPushMatrix();
  glLoadIdentity();
  ortho_begin();
  glColor3f(1, 1, 1);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, fb_tex);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_3D, clut_tex);
  float w = (float)i_screen_w, h = (float)i_screen_h;
  // the bottom of the screen takes t = 0: frame buffer textures are stored bottom-up
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0), glVertex3f(0, h, 0);
  glTexCoord2f(0, 1), glVertex3f(0, 0, 0);
  glTexCoord2f(1, 0), glVertex3f(w, h, 0);
  glTexCoord2f(1, 1), glVertex3f(w, 0, 0);
  glEnd();
  glPopMatrix();
  ortho_end();
  glActiveTexture(GL_TEXTURE0);
  glDisable(GL_TEXTURE_3D);
}

void postproc_load_clut(const clut *t) {
  if (clut_tex) glDeleteTextures(1, &clut_tex);
  glGenTextures(1, &clut_tex);
  glBindTexture(GL_TEXTURE_3D, clut_tex);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGB8, CLUT_N, CLUT_N, CLUT_N, 0, GL_RGB, GL_FLOAT, t->e);
  glBindTexture(GL_TEXTURE_3D, 0);
  SDL_Surface *s = clut_surface_make(t);
  if (clut_surface) SDL_FreeSurface(clut_surface);
  clut_surface = s;
}

void postproc_save_clut_screenshot(void) {
  int w = i_screen_w, h = i_screen_h;
  if (w < CLUT_IMAGE_W || h < CLUT_IMAGE_H) {
    uwarn("clut doesn't fit in the screeshot");
    return;
  }
  uint8_t *rgb = (uint8_t *)umalloc((size_t)w * h * 3);
  // rows of exactly w * 3 bytes, whatever the width
  GLint align = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &align);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  glPixelStorei(GL_PACK_ALIGNMENT, align);
  SDL_Surface *s = screenshot_surface_make(rgb, w, h);
  free(rgb);
  if (clut_surface) SDL_UpperBlit(clut_surface, nullptr, s, nullptr);
  SDL_RWops *out = SDL_RWFromFile("screenshot.bmp", "wb");
  // a screenshot that silently goes nowhere looks like a key that does nothing
  if (!out || SDL_SaveBMP_RW(s, out, 1) != 0) uwarn("failed to save screenshot.bmp: %s", SDL_GetError());
  SDL_FreeSurface(s);
}
