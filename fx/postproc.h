// Post-processing and colour grading: the off-screen frame, the 3D colour table it is drawn
// through, the blend between regions' tables, and colour-table screenshots.
#pragma once
#include <cstddef>
#include <cstdint>

struct SDL_Surface;

enum {
  CLUT_N = 16,                          // lattice points per channel
  CLUT_ENTRIES = CLUT_N * CLUT_N * CLUT_N,
  CLUT_IMAGE_W = 256, CLUT_IMAGE_H = 16, // a table as an image: 16 tiles of 16 x 16
  CLUT_NAME_SIZE = 256,
};
// Seconds of update time a blend towards a new table runs.
#define CLUT_BLEND_SECONDS 5.0f

// Output colour (0..1) of the input colour (r, g, b), each 0..15, at e[(b * 16 + g) * 16 + r]:
// red fastest, the texel order of the 3D texture (width red, height green, depth blue).
struct clut {
  float e[CLUT_ENTRIES][3];
};

// The grading state; written by the clut_ functions only.
extern clut clut_cur;                 // displayed (blended) table
extern clut clut_target;              // table being blended towards
extern char clut_name[CLUT_NAME_SIZE]; // path clut_target came from; empty for the identity
extern float clut_time;               // update time since clut_target last changed
extern int clut_off;                  // key 0: the identity is displayed, nothing blends

// ---- tables and their images (no OpenGL)
void clut_identity(clut *t);
// Top-left 256 x 16 pixels of a 24-bit BMP; anything else is fatal.
void clut_load(const char *path, clut *t);
// out = a + (b - a) * t, entry by entry; out may be a or b.
void clut_lerp(clut *out, const clut *a, const clut *b, float t);
// The table as a 256 x 16 ARGB image (bytes truncated from value * 255); the caller frees it.
SDL_Surface *clut_surface_make(const clut *t);
// A w x h ARGB image of w x h tightly packed RGB pixels whose rows run bottom-up (as OpenGL
// reads them back): image row y is buffer row h - 1 - y. The caller frees it.
SDL_Surface *screenshot_surface_make(const uint8_t *rgb, int w, int h);
// One step of the blend towards the table want (a path, empty for the identity): a new want
// takes its table (as checked or last saved well, else read now) and restarts the count; the displayed table then moves by dt of the
// remaining difference until CLUT_BLEND_SECONDS have passed. True when clut_cur changed and
// must be uploaded. clut_update is this plus the upload.
bool clut_blend(const char *want, float dt);
// Every distinct table of the list (empty names skipped), read as at run time, so that a broken
// one fails while the world loads instead of when the player first walks into its region. They
// are kept for the blend and watched for changes from then on.
void clut_check_tables(const char *const *paths, size_t n);
// File monitor callback of a table: a good save is kept and blended to from the next step where
// the player stands in its region; a broken one warns and changes nothing.
void clut_reload(const char *path, void *arg);

// ---- the pass and the grading (OpenGL)
// Initialisation and the end of world loading: frame buffer and the identity table.
void postproc_init(void);
// First step of every frame: rebuild on resize, bind the off-screen target.
void postproc_begin(void);
// The graded image to the window (default frame buffer bound, viewport set).
void postproc_draw(void);
// "screenshot.bmp" with the displayed table in its top-left corner.
void postproc_save_clut_screenshot(void);
// Uploads a table to the 3D texture and remakes the image pasted into screenshots.
void postproc_load_clut(const clut *t);
// End of world loading: the default table, settled.
void clut_reset(void);
// Every update step: follow want, the table of the brush under the camera (empty: the identity).
void clut_update(const char *want, float dt);
// Key 0: grading off and on.
void clut_toggle(void);
