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

static SDL_Surface *load_mem(const void *data, size_t size, const char *type, const char *name) {
  const uint8_t *d = (const uint8_t *)data;
  if (size >= 8 && memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0 && !png_whole(d, size, name)) return nullptr;
  if (size > (size_t)INT32_MAX) return SDL_SetError("image file too large"), nullptr;
  return IMG_LoadTyped_RW(SDL_RWFromConstMem(data, (int)size), 1, type);
}

SDL_Surface *img_load_mem(const void *data, size_t size, const char *type) { return load_mem(data, size, type, nullptr); }

SDL_Surface *img_load(const char *path) {
  FILE *fp = fopen(path, "rb");
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
