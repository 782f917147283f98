// Image files through SDL_image, after a structure check of PNG chunks.
#include "render/image.h"
#include "core/file.h"
#include "core/util.h"
#include <SDL.h>
#include <SDL_image.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static uint32_t be32(const uint8_t *p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Walks the chunks: 4 bytes of length, 4 of type, the data, 4 of CRC, up to IEND.
// name: the file, put before the reason (a file being written is caught while the game runs, and
// the warning must say which).
static bool png_whole(const uint8_t *d, size_t n, const char *name) {
  const char *sep = name ? ": " : "";
  if (!name) name = "";
  size_t at = 8;
  for (;;) {
    if (n - at < 12) return SDL_SetError("%s%sPNG ends before its IEND chunk, at byte %zu", name, sep, at), false;
    size_t len = be32(d + at);
    if (len > n - at - 12)
      return SDL_SetError("%s%sPNG chunk '%.4s' at byte %zu declares %zu bytes past the end of the file", name, sep,
                          (const char *)d + at + 4, at, len),
             false;
    if (memcmp(d + at + 4, "IEND", 4) == 0) return true;
    at += 12 + len;
  }
}

static uint32_t le32(const uint8_t *p) { return (uint32_t)p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

bool img_declared_size(const void *head, size_t n, int *w, int *h) {
  const uint8_t *d = (const uint8_t *)head;
  int64_t x, y;
  if (n >= 24 && memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) x = be32(d + 16), y = be32(d + 20);
  else if (n >= 26 && d[0] == 'B' && d[1] == 'M') x = (int32_t)le32(d + 18), y = (int32_t)le32(d + 22);
  else return false;
  // a BMP stored top row first gives a negative height
  x = x < 0 ? -x : x, y = y < 0 ? -y : y;
  *w = x > INT32_MAX ? INT32_MAX : (int)x;
  *h = y > INT32_MAX ? INT32_MAX : (int)y;
  return true;
}

// False, with the reason set, when the image declares more than IMG_MAX_SIDE either way.
static bool size_allowed(const void *head, size_t n, const char *name) {
  int w, h;
  if (!img_declared_size(head, n, &w, &h) || (w <= IMG_MAX_SIDE && h <= IMG_MAX_SIDE)) return true;
  SDL_SetError("%s%sis %dx%d pixels, more than the %dx%d an image may have", name ? name : "", name ? " " : "", w, h,
               IMG_MAX_SIDE, IMG_MAX_SIDE);
  return false;
}

SDL_Surface *img_load_bmp(const char *path) {
  SDL_RWops *rw = ufile_rw(path);
  if (!rw) return nullptr;
  uint8_t head[26];
  size_t n = SDL_RWread(rw, head, 1, sizeof head);
  if (!size_allowed(head, n, path)) return SDL_RWclose(rw), nullptr;
  SDL_RWseek(rw, 0, RW_SEEK_SET);
  return SDL_LoadBMP_RW(rw, 1);
}

static SDL_Surface *load_mem(const void *data, size_t size, const char *type, const char *name) {
  const uint8_t *d = (const uint8_t *)data;
  if (!size_allowed(data, size, name)) return nullptr;
  if (size >= 8 && memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0 && !png_whole(d, size, name)) return nullptr;
  if (size > (size_t)INT32_MAX) return SDL_SetError("image file too large"), nullptr;
  return IMG_LoadTyped_RW(SDL_RWFromConstMem(data, (int)size), 1, type);
}

SDL_Surface *img_load_mem(const void *data, size_t size, const char *type) { return load_mem(data, size, type, nullptr); }

SDL_Surface *img_load(const char *path) {
  FILE *fp = ufile_open(path, "rb");
  if (!fp) return SDL_SetError("Couldn't open %s", path), nullptr;
  ufile_guard held{fp};
  // the whole file: images are read once, at load
  size_t cap = 1 << 16, n = 0;
  umem_guard buf{umalloc(cap)};
  for (size_t got; (got = fread((uint8_t *)buf.p + n, 1, cap - n, fp)) > 0;) {
    n += got;
    if (n == cap) buf.p = urealloc(buf.p, cap *= 2);
  }
  const char *dot = strrchr(path, '.');
  return load_mem(buf.p, n, dot ? dot + 1 : nullptr, path);
}

bool rgba_opaque(const uint8_t *rgba, size_t n) {
  for (size_t i = 0; i < n; i++)
    if (rgba[4 * i + 3] != 255) return false;
  return true;
}
