// Camera: the one camera record and its orientation vectors.
#include "render/camera.h"
#include <cmath>

camera g_cam;

static const float DEG2RAD = 0.01745329238474369f;

void cam_update_vectors(camera *cam) {
  float d[3] = {sinf(cam->yaw * DEG2RAD), -sinf(cam->pitch * DEG2RAD), -cosf(cam->yaw * DEG2RAD)};
  float len = sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  for (int k = 0; k < 3; k++) cam->dir[k] = d[k] / len;
  cam->right[0] = -cam->dir[2];
  cam->right[1] = 0;
  cam->right[2] = cam->dir[0];
  const float *a = cam->right, *b = cam->dir;
  cam->up[0] = a[1] * b[2] - a[2] * b[1];
  cam->up[1] = a[2] * b[0] - a[0] * b[2];
  cam->up[2] = a[0] * b[1] - a[1] * b[0];
}

void cam_add_pitch(camera *cam, float delta) {
  float p = cam->pitch + delta;
  cam->pitch = p < -45 ? -45 : p > 45 ? 45 : p;
  cam_update_vectors(cam);
}
