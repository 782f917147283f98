// Camera matrix, frustum planes and box culling, and the small matrix and box helpers.
#include "render/frustum.h"
#include "render/camera.h"
#include <GL/glew.h>
#include <cmath>
#include <cstring>

plane g_frustum[6];

void mat4_identity(float m[16]) {
  memset(m, 0, 16 * sizeof(float));
  m[0] = m[5] = m[10] = m[15] = 1;
}

void mat4_mul(float out[16], const float a[16], const float b[16]) {
  float t[16];
  for (int c = 0; c < 4; c++)
    for (int r = 0; r < 4; r++) {
      float s = 0;
      for (int k = 0; k < 4; k++) s += a[4 * k + r] * b[4 * c + k];
      t[4 * c + r] = s;
    }
  memcpy(out, t, sizeof t);
}

void mat4_translate(float m[16], float x, float y, float z) {
  float t[16];
  mat4_identity(t);
  t[12] = x, t[13] = y, t[14] = z;
  mat4_mul(m, m, t);
}

void mat4_scale(float m[16], float x, float y, float z) {
  float t[16];
  mat4_identity(t);
  t[0] = x, t[5] = y, t[10] = z;
  mat4_mul(m, m, t);
}

static const float DEG2RAD = 0.01745329238474369f;

void mat4_rotate_x(float m[16], float deg) {
  float t[16], s = sinf(deg * DEG2RAD), c = cosf(deg * DEG2RAD);
  mat4_identity(t);
  t[5] = c, t[6] = s, t[9] = -s, t[10] = c;
  mat4_mul(m, m, t);
}

void mat4_rotate_y(float m[16], float deg) {
  float t[16], s = sinf(deg * DEG2RAD), c = cosf(deg * DEG2RAD);
  mat4_identity(t);
  t[0] = c, t[2] = -s, t[8] = s, t[10] = c;
  mat4_mul(m, m, t);
}

void cam_load_matrix(const camera *cam) {
  glLoadIdentity();
  glRotatef(cam->pitch, 1, 0, 0);
  glRotatef(cam->yaw, 0, 1, 0);
  glTranslatef(-cam->pos[0], -cam->pos[1], -cam->pos[2]);
  float mv[16], pr[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, mv);
  glGetFloatv(GL_PROJECTION_MATRIX, pr);
  frustum_update(mv, pr);
}

void frustum_update(const float modelview[16], const float projection[16]) {
  float c[16];
  mat4_mul(c, projection, modelview);
  auto row = [&](int i, float s, int j, float t) {
    return plane{s * c[i] + t * c[j], s * c[4 + i] + t * c[4 + j], s * c[8 + i] + t * c[8 + j],
                 s * c[12 + i] + t * c[12 + j]};
  };
  g_frustum[FRUSTUM_RIGHT] = row(0, 1, 3, -1);
  g_frustum[FRUSTUM_LEFT] = row(0, -1, 3, -1);
  g_frustum[FRUSTUM_TOP] = row(1, 1, 3, -1);
  g_frustum[FRUSTUM_BOTTOM] = row(1, -1, 3, -1);
  g_frustum[FRUSTUM_FAR] = row(2, 1, 3, -1);
  g_frustum[FRUSTUM_NEAR] = row(2, -1, 3, -1);
  for (plane &p : g_frustum) {
    float len = sqrtf(p.a * p.a + p.b * p.b + p.c * p.c);
    p.a /= len, p.b /= len, p.c /= len, p.d /= len;
  }
}

int frustum_test_box(const aabb *box, const plane planes[6]) {
  float cx = (box->min[0] + box->max[0]) * 0.5f, cy = (box->min[1] + box->max[1]) * 0.5f,
        cz = (box->min[2] + box->max[2]) * 0.5f;
  float ex = (box->max[0] - box->min[0]) * 0.5f, ey = (box->max[1] - box->min[1]) * 0.5f,
        ez = (box->max[2] - box->min[2]) * 0.5f;
  int crossed = 0;
  for (int i = 0; i < 6; i++) {
    const plane &p = planes[i];
    float dist = p.a * cx + p.b * cy + p.c * cz + p.d;
    float rad = fabsf(p.a) * ex + fabsf(p.b) * ey + fabsf(p.c) * ez;
    if (dist - rad > 0) return FRUSTUM_OUTSIDE;
    if (dist + rad >= 0) crossed = 1;
  }
  return crossed ? FRUSTUM_INTERSECT : FRUSTUM_INSIDE;
}

void box_from_points(unsigned n, const float *points, aabb *box) {
  for (int k = 0; k < 3; k++) {
    box->min[k] = 3.4028235e38f;
    box->max[k] = -3.4028235e38f;
  }
  for (unsigned i = 0; i < n; i++)
    for (int k = 0; k < 3; k++) {
      float v = points[3 * i + k];
      if (v < box->min[k]) box->min[k] = v;
      if (v > box->max[k]) box->max[k] = v;
    }
}
