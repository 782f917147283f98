// Colour tables: the identity, table images read and made, the blend that follows the brush under
// the camera, and the check of every table a world names.
#include "fx/postproc.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/strmap.h"
#include "core/util.h"
#include "render/image.h"
#include <SDL.h>
#include <cstring>

clut clut_cur, clut_target;
char clut_name[CLUT_NAME_SIZE];
float clut_time;
int clut_off;

// The masks of every image this module makes: 0xAARRGGBB.
static SDL_Surface *argb_surface(int w, int h) {
  SDL_Surface *s = SDL_CreateRGBSurface(0, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
  if (!s) uerror("%s", SDL_GetError());
  return s;
}

// Truncation, as the table images have always been written; the clamp only guards the byte.
static uint32_t to_byte(float v) {
  double d = (double)v * 255;
  return d <= 0 ? 0 : d >= 255 ? 255 : (uint32_t)d;
}

void clut_identity(clut *t) {
  for (int b = 0; b < CLUT_N; b++)
    for (int g = 0; g < CLUT_N; g++)
      for (int r = 0; r < CLUT_N; r++) {
        float *e = t->e[(b * CLUT_N + g) * CLUT_N + r];
        e[0] = (float)(r / 15.0), e[1] = (float)(g / 15.0), e[2] = (float)(b / 15.0);
      }
}

// Image column x, row y holds the entry r = x % 16, g = y, b = x / 16: tile k is blue level k.
// Walking tiles, then rows, then columns visits the entries in index order.
void clut_load(const char *path, clut *t) {
  // a missing file keeps SDL's "Couldn't open ...", which names it
  SDL_Surface *s = img_load_bmp(path);
  if (!s) uerror("%s", SDL_GetError());
  if (s->format->BitsPerPixel != 24) {
    SDL_FreeSurface(s);
    uerror("image must be 24 bpp");
  }
  if (s->w < CLUT_IMAGE_W || s->h < CLUT_IMAGE_H) {
    SDL_FreeSurface(s);
    uerror("image is too small to fully contain a clut");
  }
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  float(*e)[3] = t->e;
  for (int k = 0; k < CLUT_N; k++)
    for (int y = 0; y < CLUT_N; y++)
      for (int i = 0; i < CLUT_N; i++, e++) {
        const uint8_t *p = (const uint8_t *)s->pixels + y * s->pitch + (CLUT_N * k + i) * 3;
        (*e)[0] = p[2] / 255.0f, (*e)[1] = p[1] / 255.0f, (*e)[2] = p[0] / 255.0f;
      }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
}

void clut_lerp(clut *out, const clut *a, const clut *b, float t) {
  for (int i = 0; i < CLUT_ENTRIES; i++)
    for (int c = 0; c < 3; c++) out->e[i][c] = a->e[i][c] + (b->e[i][c] - a->e[i][c]) * t;
}

SDL_Surface *clut_surface_make(const clut *t) {
  SDL_Surface *s = argb_surface(CLUT_IMAGE_W, CLUT_IMAGE_H);
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  const float(*e)[3] = t->e;
  for (int k = 0; k < CLUT_N; k++)
    for (int y = 0; y < CLUT_N; y++)
      for (int i = 0; i < CLUT_N; i++, e++) {
        uint32_t *p = (uint32_t *)((uint8_t *)s->pixels + y * s->pitch) + CLUT_N * k + i;
        *p = 0xFF000000u | to_byte((*e)[0]) << 16 | to_byte((*e)[1]) << 8 | to_byte((*e)[2]);
      }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  return s;
}

SDL_Surface *screenshot_surface_make(const uint8_t *rgb, int w, int h) {
  SDL_Surface *s = argb_surface(w, h);
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  for (int y = 0; y < h; y++) {
    const uint8_t *src = rgb + (size_t)(h - 1 - y) * w * 3;
    uint32_t *dst = (uint32_t *)((uint8_t *)s->pixels + (size_t)y * s->pitch);
    for (int x = 0; x < w; x++, src += 3) dst[x] = 0xFF000000u | src[0] << 16 | src[1] << 8 | src[2];
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  return s;
}

// The tables the world names, as last read well: read when the world loads (every one is checked
// then) and again when a file is saved, so walking into a region never reads a file and a table
// broken by a save leaves the good one in use.
static strmap *tables; // path -> clut

static void table_keep(const char *path, const clut *t) {
  if (!tables) tables = sm_create();
  clut *kept = (clut *)sm_get(tables, path);
  if (!kept) kept = (clut *)umalloc(sizeof *kept), sm_set(tables, path, (uintptr_t)kept);
  *kept = *t;
}

bool clut_blend(const char *want, float dt) {
  if (strcmp(want, clut_name) != 0) {
    const clut *kept = tables && want[0] ? (const clut *)sm_get(tables, want) : nullptr;
    if (!want[0]) {
      clut_name[0] = 0;
      clut_identity(&clut_target);
    } else if (kept) {
      usnprintf(clut_name, sizeof clut_name, "%s", want);
      clut_target = *kept;
    } else {
      usnprintf(clut_name, sizeof clut_name, "%s", want);
      clut_load(clut_name, &clut_target);
    }
    clut_time = 0;
  } else if (clut_time >= CLUT_BLEND_SECONDS) {
    return false; // settled: nothing changes until the table does
  }
  // an exponential approach: each step covers the fraction dt of what is left
  clut_lerp(&clut_cur, &clut_cur, &clut_target, (float)(dt * 0.2 * 5.0));
  clut_time += dt;
  return true;
}

void clut_check_tables(const char *const *paths, size_t n) {
  static clut scratch;
  for (size_t i = 0; i < n; i++) {
    if (!paths[i][0]) continue;
    bool seen = false;
    for (size_t j = 0; j < i && !seen; j++) seen = strcmp(paths[j], paths[i]) == 0;
    if (seen) continue;
    clut_load(paths[i], &scratch);
    table_keep(paths[i], &scratch);
    fmon_watch(paths[i], clut_reload, nullptr);
  }
}

void clut_reload(const char *path, void *) {
  static clut scratch;
  clut_load(path, &scratch); // a broken save warns here, and the table kept stays
  table_keep(path, &scratch);
  // the table being shown or blended to comes again from the file: the next step blends to it
  if (strcmp(path, clut_name) == 0) clut_name[0] = 0;
}

void clut_reset(void) {
  clut_name[0] = 0;
  memset(&clut_cur, 0, sizeof clut_cur);
  memset(&clut_target, 0, sizeof clut_target);
  clut_time = 0;
  clut_off = 0;
  if (!s_default_clut[0]) {
    clut_identity(&clut_cur);
    clut_identity(&clut_target);
  } else {
    char path[512];
    usnprintf(path, sizeof path, "%s/%s", g_root, s_default_clut);
    clut_load(path, &clut_cur);
    clut_load(path, &clut_target);
  }
  clut_time = CLUT_BLEND_SECONDS;
}

void clut_update(const char *want, float dt) {
  if (clut_off) return;
  if (clut_blend(want, dt)) postproc_load_clut(&clut_cur);
}

void clut_toggle(void) {
  clut_off = !clut_off;
  if (clut_off) {
    static clut identity;
    clut_identity(&identity);
    postproc_load_clut(&identity);
  } else {
    clut_time = 0; // the next update blends and uploads clut_cur again
  }
}
