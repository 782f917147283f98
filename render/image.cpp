// Image files through SDL_image, read from memory that ends in zeros.
#include "render/image.h"
#include "core/file.h"
#include "core/util.h"
#include <SDL.h>
#include <SDL_image.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static uint32_t be32(const uint8_t *p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// The bytes of an image file as SDL_image reads them. SDL_image does not look at how much a read
// returned, and libpng then goes on with whatever its buffer held before: for a PNG that ends
// before its image data, that is the last chunk again, for ever. Here a read past the end gets
// zero bytes instead, which no chunk type is, so such a file fails at the next chunk; what
// SDL_image reads within the data is unchanged.
struct img_src {
  const uint8_t *d;
  size_t n, at;
};

static img_src *src_of(SDL_RWops *rw) { return (img_src *)rw->hidden.unknown.data1; }

static size_t src_read(SDL_RWops *rw, void *p, size_t size, size_t num) {
  img_src *s = src_of(rw);
  if (size == 0 || num > SIZE_MAX / size) return 0;
  size_t want = size * num, got = s->n - s->at < want ? s->n - s->at : want;
  memcpy(p, s->d + s->at, got);
  memset((uint8_t *)p + got, 0, want - got);
  s->at += got;
  return got / size;
}

// As SDL's memory reader seeks: the position stays within the data.
static Sint64 src_seek(SDL_RWops *rw, Sint64 offset, int whence) {
  img_src *s = src_of(rw);
  Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? (Sint64)s->at : (Sint64)s->n;
  Sint64 n = (Sint64)s->n;
  s->at = offset < -base ? 0 : offset > n - base ? s->n : (size_t)(base + offset);
  return (Sint64)s->at;
}

static Sint64 src_size(SDL_RWops *rw) { return (Sint64)src_of(rw)->n; }
static size_t src_write(SDL_RWops *, const void *, size_t, size_t) { return SDL_SetError("images are read only"), 0; }
static int src_close(SDL_RWops *rw) { return SDL_FreeRW(rw), 0; }

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
  if (!size_allowed(data, size, name)) return nullptr;
  img_src src = {(const uint8_t *)data, size, 0};
  SDL_RWops *rw = SDL_AllocRW();
  if (!rw) return nullptr;
  rw->type = SDL_RWOPS_UNKNOWN;
  rw->size = src_size, rw->seek = src_seek, rw->read = src_read, rw->write = src_write, rw->close = src_close;
  rw->hidden.unknown.data1 = &src;
  return IMG_LoadTyped_RW(rw, 1, type);
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
