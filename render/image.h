// Image files through SDL_image, with the structure checks SDL_image leaves out.
#pragma once
#include <cstddef>
#include <cstdint>

struct SDL_Surface;

// Loads an image as IMG_Load does (the type from the name's extension, or from its first bytes),
// or returns null with the reason in SDL_GetError. A PNG must hold each chunk it declares and end
// with IEND: SDL_image ignores short reads, and libpng then re-reads a stale chunk for ever.
SDL_Surface *img_load(const char *path);
// The same from bytes in memory; type is the extension without its dot ("png"), or null.
SDL_Surface *img_load_mem(const void *data, size_t size, const char *type);
// Whether every alpha byte of n tightly packed RGBA texels is 255.
bool rgba_opaque(const uint8_t *rgba, size_t n);
