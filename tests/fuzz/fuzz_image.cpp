// Fuzz target: the image path of textures and sky faces, as for a ".png" name: SDL_image, then
// the conversion of whatever surface it gives to RGBA.
#include "render/texture.h"
#include "tests/fuzz/fuzz.h"
#include <SDL.h>
#include <SDL_image.h>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (fuzz_declared_pixels(data, size) > FUZZ_MAX_PIXELS) return 0;
  SDL_Surface *s = IMG_LoadTyped_RW(SDL_RWFromConstMem(data, (int)size), 1, "png");
  if (!s) return 0;
  uint8_t *rgba = nullptr;
  fuzz_try([&] { rgba = surf_to_rgba(s); });
  free(rgba);
  SDL_FreeSurface(s);
  fuzz_check_files();
  return 0;
}
