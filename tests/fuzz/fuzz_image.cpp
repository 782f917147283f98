// Fuzz target: the image path of textures and sky faces for PNG files: the structure check and
// SDL_image (libpng), then the conversion of whatever surface comes out to RGBA.
#include "render/image.h"
#include "render/texture.h"
#include "tests/fuzz/fuzz.h"
#include <SDL.h>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (fuzz_declared_pixels(data, size) > FUZZ_MAX_PIXELS) return 0;
  // PNG data only, the format of a world's textures and sky faces: SDL_image also takes any other
  // format it knows by its first bytes, whatever the name, and some of its readers have faults of
  // their own (the XCF reader allocates gigabytes and spins on a 43-byte file, the SVG reader
  // leaks 16 bytes of a document it cannot parse)
  if (size < 8 || memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0) return 0;
  SDL_Surface *s = img_load_mem(data, size, "png");
  if (!s) return 0;
  uint8_t *rgba = nullptr;
  fuzz_try([&] { rgba = surf_to_rgba(s); });
  free(rgba);
  SDL_FreeSurface(s);
  fuzz_check_files();
  return 0;
}
