// Sky box: two cube maps from the sky faces and a camera-centred unit cube drawn each frame.
#pragma once
#include <cstdint>

struct prg;

struct skybox {
  uint32_t sky; // cube map of the plain faces, drawn by skybox_draw
  uint32_t env; // cube map of the "s_" faces, sampled by the world item shader on unit 1
  prg *program; // the sky program record; null draws with program 0
};

extern skybox *g_skybox; // null until world loading creates it

// Relative face paths in cube map order: -Z, +X, +Z, -X, +Y, -Y.
extern const char *const g_sky_faces[6];
extern const char *const g_sky_env_faces[6];
// The 24 vertices of the sky cube as GL_QUADS: position x, y, z then texture coordinate s, t, r.
extern const float g_sky_cube[24][6];

// The largest sky face: twelve faces of it and their mip maps build in a few seconds.
enum { SKY_MAX_SIDE = 2048 };
// Raises "cube map face NAME is WxH, larger than SxS" for a face beyond SKY_MAX_SIDE.
void sky_check_face(const char *face, int w, int h);
// Faces that keep a cube map from being complete, as bits 1 << face: those not square or not of
// the side most faces share (*side; the earliest face's on a tie).
uint32_t sky_odd_faces(const int w[6], const int h[6], int *side);
// New cube map from six faces under the data root; a face that cannot be loaded is fatal
// ("failed to open %s"). Faces of any pixel format are converted to RGBA. Faces that do not make a
// complete cube map (not square, or of another side than most) warn; strict (a face saved while
// the game runs): they fail instead, as the whole sky would change.
uint32_t load_cubemap(const char *const faces[6], bool strict);
// Both cube maps and the sky program, stored in g_skybox; the faces are watched for changes.
skybox *skybox_create(void);
// File monitor callback of the faces: the cube map of the changed face's set is made anew from
// its six faces; when one fails to load or no longer fits the others, a warning says why and the
// old cube map stays.
void skybox_reload(const char *path, void *arg);
// The fixed sun direction: (0, 0, 0.5) turned 52 degrees about x. No OpenGL.
void skybox_sundir(float out[3]);
// behind: drawn after everything opaque, at the far end of the depth range and depth-tested, so
// that it shades only the pixels nothing covers, and not at all in the bottom rows hidden rows
// (sky_rows_hidden); otherwise over every pixel, untested.
void skybox_draw(const float camdir[3], const float campos[3], bool behind, int hidden_rows = 0);
// Rows of an h-row picture, counted from the bottom, in which every pixel surely shows ground: the
// camera (unit view direction dir, up vector up, no roll, 60-degree vertical field of view, aspect
// w / h, far plane zfar) stands height above the lowest ground, and ground lies in every direction
// out to the horizontal distance reach. A ray sees ground when it has sunk below the lowest ground
// before it leaves that disc or passes the far plane. No OpenGL.
int sky_rows_hidden(const float dir[3], const float up[3], float height, float reach, float zfar, int w, int h);
