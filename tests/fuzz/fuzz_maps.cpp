// Fuzz target: a BMP as the height map (check, samples, vertex heights, ground queries) and as the
// object map (a brush for its colours, then lookups everywhere).
#include "core/params.h"
#include "render/texture.h"
#include "tests/fuzz/fuzz.h"
#include "world/brush.h"
#include "world/terrain.h"
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <string>

static const float coords[] = {-1e30f, -0.01f, 0, 0.125f, 0.5f, 0.999f, 1, 1.01f, NAN, INFINITY};

static void as_height_map(SDL_Surface *s) {
  static terrain *t = [] {
    i_tn_ndivs = 8, f_tn_sz = 100;
    return tn_alloc();
  }();
  hm_check(s);
  for (float u : coords)
    for (float v : coords) hm_sample(s, u, v, 1);
  heightmap hm = {s, 20};
  t->hm = &hm;
  tn_sample_heights(t);
  for (float x : coords)
    for (float z : coords) tn_height(t, x * 60, z * 60);
  t->hm = nullptr;
}

// Brushes for the first colours met (one left out when the input's last byte is odd, so a map
// colour without a brush is met too), then lookups inside, on the edges and far outside.
static void as_object_map(SDL_Surface *s, const uint8_t *data, size_t size) {
  std::string text;
  uint32_t seen[16];
  int n = 0;
  SDL_LockSurface(s);
  for (int y = 0; y < s->h && n < 16; y++)
    for (int x = 0; x < s->w && n < 16; x++) {
      uint32_t c = surf_get_pixel(s, x, y);
      if (std::find(seen, seen + n, c) == seen + n) seen[n++] = c;
    }
  SDL_UnlockSurface(s);
  for (int i = (data[size - 1] & 1) ? 1 : 0; i < n; i++) text += std::string("brush ") + ufmt("%x", seen[i]) + "\n";
  fuzz_write("brushes", (const uint8_t *)text.data(), text.size());
  brush_clear();
  if (fuzz_try([&] {
        brush_read_file();
        objmap_set(s, 120);
      }))
    for (float x : coords)
      for (float z : coords) fuzz_try([&] { objmap_get_brush(x * 60, z * 60); });
  brush_clear();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_root();
  if (size == 0 || fuzz_declared_pixels(data, size) > FUZZ_MAX_PIXELS) return 0;
  SDL_Surface *s = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, (int)size), 1);
  if (!s) return 0;
  as_height_map(s);
  as_object_map(s, data, size);
  SDL_FreeSurface(s);
  fuzz_check_files();
  return 0;
}
