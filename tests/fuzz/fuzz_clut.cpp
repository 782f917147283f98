// Fuzz target: a colour table image (a BMP) read into a table, blended and made into an image.
#include "fx/postproc.h"
#include "tests/fuzz/fuzz.h"
#include <SDL.h>
#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (fuzz_declared_pixels(data, size) > FUZZ_MAX_PIXELS) return 0;
  std::string path = fuzz_write("f.bmp", data, size);
  static clut t, id, mid;
  if (fuzz_try([&] { clut_load(path.c_str(), &t); })) {
    for (auto &e : t.e)
      for (float v : e)
        if (!(v >= 0 && v <= 1)) abort();
    clut_identity(&id);
    clut_lerp(&mid, &id, &t, 0.5f);
    SDL_FreeSurface(clut_surface_make(&mid));
  }
  fuzz_check_files();
  return 0;
}
