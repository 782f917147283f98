// Camera matrix, frustum culling and the small matrix and box helpers.
#pragma once

struct camera;

struct aabb {
  float min[3];
  float max[3];
};
struct plane {
  float a, b, c, d;
};
enum { FRUSTUM_OUTSIDE = 0, FRUSTUM_INSIDE = 1, FRUSTUM_INTERSECT = 2 };
enum { FRUSTUM_RIGHT, FRUSTUM_LEFT, FRUSTUM_TOP, FRUSTUM_BOTTOM, FRUSTUM_FAR, FRUSTUM_NEAR };

extern plane g_frustum[6]; // planes of the current frame, normals pointing out; written by cam_load_matrix

// Matrices are 16 floats, column-major: row r, column c at index 4 * c + r.
void mat4_identity(float m[16]);
void mat4_mul(float out[16], const float a[16], const float b[16]); // out = a x b; out may alias
void mat4_translate(float m[16], float x, float y, float z);       // m = m x T
void mat4_scale(float m[16], float x, float y, float z);           // m = m x S
void mat4_rotate_x(float m[16], float deg);                        // m = m x Rx
void mat4_rotate_y(float m[16], float deg);                        // m = m x Ry

void cam_load_matrix(const camera *cam);
void frustum_update(const float modelview[16], const float projection[16]);
int frustum_test_box(const aabb *box, const plane planes[6]);
void box_from_points(unsigned n, const float *points, aabb *box);
