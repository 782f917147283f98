// Texture manager: 2D textures by file name, loaded once, cached by full path, reloadable.
#pragma once
#include <cstddef>
#include <cstdint>

struct SDL_Surface;

struct texture {
  int32_t w, h;   // pixels (of mip level 0 for DDS)
  uint32_t id;    // GL_TEXTURE_2D name; a reload keeps the name and the record
  uint8_t opaque; // every texel of every level has alpha 255: blending it changes nothing
};

void texmgr_init(const char *root);
// Never null: a file that cannot be loaded ends the program.
texture *texmgr_get(const char *name);
// File monitor callback: reloads the cached texture of path into the same record and GL name.
// The file is decoded whole before the GL texture is touched; a file that fails to load warns
// with its loader's message and the old texture stays. Images other than DDS are decoded on a
// thread of their own: texmgr_poll puts them in place.
void texmgr_reload(const char *path, void *arg);
// Between frames: uploads the reloaded images whose decoding is done, or warns for those that
// failed; with wait, first waits for every decoding under way. The number of textures replaced.
int texmgr_poll(bool wait);
// The general image loader (anything SDL_image reads) into a new record.
texture *load_something_else(const char *path);
// A DDS file (render/dds.h) into a new record.
texture *load_dds(const char *path);

// Whether the cached texture with GL name id is opaque (false for a name it does not hold).
bool tex_opaque(uint32_t id);

// Loader choice: the last three characters of the path are exactly "dds" (lower case).
bool texmgr_is_dds(const char *path);
// Raw pixel value (1 to 4 bytes per pixel); 0 outside the surface or for other sizes.
uint32_t surf_get_pixel(SDL_Surface *surf, int x, int y);
// Every pixel of any surface format through SDL_GetRGBA into tightly packed R, G, B, A bytes,
// row 0 first. The caller frees the result.
uint8_t *surf_to_rgba(SDL_Surface *surf);
// A decoded image: tightly packed R, G, B, A bytes, row 0 (the top) first.
struct tex_image {
  int32_t w, h;
  uint8_t *rgba;
};
// Reads and converts an image file; fails ("IMG_Load: %s") before anything is allocated. No OpenGL.
void image_decode(const char *path, tex_image *img);
// Mipmapped upload of a decoded image into t, reusing t->id as the GL name when it is non-zero;
// frees the pixels.
void image_upload(texture *t, tex_image *img);
// Loads an image into t, reusing t->id as the GL name when it is non-zero.
void image_load_into(texture *t, const char *path);
// The GL name for a (re)load, bound to GL_TEXTURE_2D: a new one when *id is 0, otherwise the old
// name emptied and bound afresh, so display lists and copies of the name stay valid.
void tex_bind_fresh(uint32_t *id);
