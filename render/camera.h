// Camera: the one eye of the game, its orientation vectors and pitch clamp.
#pragma once

struct camera {
  float pos[3];
  float pitch, yaw, roll; // degrees; pitch in [-45, 45], positive looks down; yaw 0 looks along -z
  float up[3];
  float dir[3];
  float right[3];
};
extern camera g_cam; // the one camera; written by the update step and world loading

// dir, right and up from pitch and yaw.
void cam_update_vectors(camera *cam);
// pitch + delta, clamped to [-45, 45], then the vectors.
void cam_add_pitch(camera *cam, float delta);
