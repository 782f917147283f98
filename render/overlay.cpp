// 2D overlay: the logo and credits drawn over the finished frame until the player first moves.
#include "render/overlay.h"
#include "core/params.h"
#include "render/shader.h"
#include "render/texture.h"
#include <GL/glew.h>
#include <climits>
#include <cstdint>

texture *overlay_logo, *overlay_credits;
float g_overlay_alpha = 0.3f;

void ortho_begin(void) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, i_screen_w, i_screen_h, 0, 1, 0);
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_DEPTH_TEST);
}

void ortho_end(void) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60, screen_aspect(i_screen_w, i_screen_h), (double)0.1f, f_camera_zfar);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
}

double screen_aspect(int w, int h) { return h != 0 ? (double)w / (double)h : 1.0; }

void draw_image(const texture *tex, int x, int y) {
  prg_use(PRG_FLAT_IMAGE);
  glBindTexture(GL_TEXTURE_2D, tex->id);
  glPushMatrix();
  glLoadIdentity();
  glBegin(GL_TRIANGLE_STRIP);
  // corners in float: a corner past the int range is only far off screen
  float x0 = (float)x, y0 = (float)y, x1 = x0 + (float)tex->w, y1 = y0 + (float)tex->h;
  glTexCoord2f(0, 1);
  glVertex2f(x0, y1);
  glTexCoord2f(0, 0);
  glVertex2f(x0, y0);
  glTexCoord2f(1, 1);
  glVertex2f(x1, y1);
  glTexCoord2f(1, 0);
  glVertex2f(x1, y0);
  glEnd();
  glPopMatrix();
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
}

void overlay_logo_pos(int logo_w, int *x, int *y) {
  *x = i_screen_w / 2 - logo_w / 2;
  *y = 50;
}

// A window size is taken as written, whatever "param.cfg" said: the corner is computed wide and
// held to the int range, where it is far off screen anyway.
static int corner(int screen, int size) {
  int64_t v = (int64_t)screen - size - 20;
  return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : (int)v;
}

void overlay_credits_pos(int credits_w, int credits_h, int *x, int *y) {
  *x = corner(i_screen_w, credits_w);
  *y = corner(i_screen_h, credits_h);
}

void overlay_draw(void) {
  if (!(g_overlay_alpha > 0) || !overlay_logo || !overlay_credits) return;
  prg_use(PRG_FLAT_IMAGE);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, g_overlay_alpha);
  ortho_begin();
  int x, y;
  overlay_logo_pos(overlay_logo->w, &x, &y);
  draw_image(overlay_logo, x, y);
  overlay_credits_pos(overlay_credits->w, overlay_credits->h, &x, &y);
  draw_image(overlay_credits, x, y);
  ortho_end();
  glColor4f(1, 1, 1, 1);
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
}
