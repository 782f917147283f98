// Image files through SDL_image, read so that a file cut short fails instead of hanging.
#pragma once
#include <cstddef>
#include <cstdint>

struct SDL_Surface;

// Loads an image as IMG_Load does (the type from the name's extension, or from its first bytes),
// or returns null with the reason in SDL_GetError: what SDL_image reads loads. Reads past the end
// of the file see zero bytes (SDL_image ignores short reads, and libpng would re-read a stale
// chunk for ever), so a file cut short fails as SDL_image fails it, at once.
SDL_Surface *img_load(const char *path);
// The same from bytes in memory; type is the extension without its dot ("png"), or null.
SDL_Surface *img_load_mem(const void *data, size_t size, const char *type);

// The largest image a world may hold, either way: 64 MB once decoded, a second or so to build
// its mip maps. PNG and BMP files that declare more are refused before they are decoded.
enum { IMG_MAX_SIDE = 4096 };
// Width and height a PNG or BMP file declares in its header; false for other files.
bool img_declared_size(const void *head, size_t n, int *w, int *h);
// A BMP as SDL's reader loads it (the height map, the object map, colour tables), or null with
// the reason in SDL_GetError; one that declares more than IMG_MAX_SIDE is not read.
SDL_Surface *img_load_bmp(const char *path);
// Whether every alpha byte of n tightly packed RGBA texels is 255.
bool rgba_opaque(const uint8_t *rgba, size_t n);
