// Shader warm-up: a relinked program is drawn once on a context of its own, on a thread of its own,
// under each state the program it replaces was drawn in. The driver compiles a program's machine
// code at its first draw in each state and keeps it in its shader cache; after the warm-up the
// game's own first draw finds it there instead of compiling in the middle of a frame.
#pragma once
#include <cstdint>

enum { WARM_MAX_STATES = 8, WARM_MAX_UNITS = 4, WARM_MAX_SOURCES = 8 };

// What the compiled code depends on: the target's formats, the fragment tests and blending, and
// the texture behind each sampler the program reads.
struct warm_sampler {
  char name[32];     // the sampler uniform
  int32_t unit;      // texture unit it reads
  uint32_t target;   // GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or GL_TEXTURE_3D
  int32_t format;    // internal format of level 0
  uint8_t npot[3];   // width, height, depth not a power of two
  uint8_t levels;    // more than one mipmap level
  int32_t filter[2]; // min, mag
  int32_t wrap[3];   // s, t, r
};
// A client array as the draw had it: size, type, stride, its offset in its buffer, and the first
// array (0 to 3) that reads the same buffer (-1: client memory).
struct warm_array {
  int32_t size, type, stride, offset, group;
};
enum { WARM_ARRAY_VERTEX, WARM_ARRAY_NORMAL, WARM_ARRAY_COLOR, WARM_ARRAY_TEXCOORD, WARM_ARRAYS };
struct warm_state {
  // the vertices: the immediate-mode calls per vertex ("t2v3": glTexCoord2f then glVertex3f; with
  // "L" first, made so in a display list), or, when empty, the enabled client arrays (size 0: off)
  char vertex[8];
  warm_array arrays[WARM_ARRAYS];
  int32_t colour_format, depth_format; // of a frame buffer object; both 0: the window
  int32_t depth_func, alpha_func, blend_func[4], blend_eq;
  uint8_t depth_test, depth_mask, alpha_test, blend, colour_mask[4];
  warm_sampler samplers[WARM_MAX_UNITS];
  int32_t nsamplers;
};
struct warm_list {
  warm_state states[WARM_MAX_STATES];
  int32_t count;
};

// After the main context exists (it stays current): the hidden window and the second context.
// False when they cannot be made; programs are then switched without a warm-up.
bool warm_init(void);
bool warm_available(void);
// Appends the current state of the main context, with the current program's samplers and the
// vertices as described (see warm_state::vertex; null for client arrays), unless the list holds it
// already or is full.
void warm_note(warm_list *l, const char *vertex);
// Starts the warm-up of a program made of these sources (types GL_VERTEX_SHADER or
// GL_FRAGMENT_SHADER) under the listed states; the texts and list are copied. False while a
// warm-up runs.
bool warm_start(const char *const *sources, const uint32_t *types, int n, const warm_list *l);
// Whether a warm-up runs; with wait, first waits until it has ended.
bool warm_busy(bool wait);
