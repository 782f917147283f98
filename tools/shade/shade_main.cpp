// velder-shade: bakes the light of a world's height map into a terrain texture a world maker
// painted, and writes the lit texture as a new PNG. The game does not light its ground.
// Usage: velder-shade [--sky S] DIR PAINTED OUT. Exit status 0 when OUT is written, 1 when a file
// cannot be read or written, 2 on misuse.
#include "shade.h"
#include "core/file.h"
#include "core/params.h"
#include "core/util.h"
#include "render/image.h"
#include "world/terrain.h"
#include <SDL.h>
#include <SDL_image.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

static void usage(void) {
  fprintf(stderr, "usage: velder-shade [--sky S] DIR PAINTED OUT\n"
                  "  lights PAINTED (the ground as painted, unlit) with the height map of the world DIR\n"
                  "  (hm.bmp, f_tn_sz and f_tn_hm_maxy of its param.cfg) and writes OUT as a PNG: slopes\n"
                  "  toward the sun (high in the north, -z, as the sky shows it) brighter, slopes away\n"
                  "  from it darker; flat ground keeps its colours. S: the sky's share of the light, what\n"
                  "  a slope turned away from the sun keeps (0 to 1, default %.2f)\n",
          SHADE_SKY_DEFAULT);
  exit(2);
}

struct hm_ctx {
  SDL_Surface *hm;
};

// Heights as the game reads them from the height map.
static float hm_height(float u, float v, void *p) {
  SDL_Surface *s = ((hm_ctx *)p)->hm;
  u = u < 0 ? 0 : u > 1 ? 1 : u;
  v = v < 0 ? 0 : v > 1 ? 1 : v;
  return (float)(hm_sample(s, u, v, 1.0f) / 16777215.0 * f_tn_hm_maxy);
}

static void shade(const char *painted, const char *out, float sky) {
  parse_cfg();
  if (!(f_tn_sz > 0)) uerror("f_tn_sz (%g) must be a positive size", f_tn_sz);
  SDL_Surface *hm = img_load_bmp(ufmt("%s/hm.bmp", g_root));
  if (!hm) uerror("%s", SDL_GetError());
  SDL_Surface *in = img_load(painted);
  if (!in) uerror("%s", SDL_GetError());
  bool alpha = in->format->Amask != 0 || in->format->palette;
  SDL_Surface *rgba = SDL_ConvertSurfaceFormat(in, SDL_PIXELFORMAT_RGBA32, 0);
  if (!rgba) uerror("%s: %s", painted, SDL_GetError());
  int w = rgba->w, h = rgba->h;
  // the slope over one step of the finer of the two pictures would follow the height map's
  // pixels as facets: one step of the coarser either way
  int steps = std::min(std::min(w, h), std::max(std::min(hm->w, hm->h) - 1, 1));
  float step = f_tn_sz / (float)steps;
  std::vector<float> light((size_t)w * h);
  hm_ctx c{hm};
  shade_field(hm_height, &c, f_tn_sz, w, h, step, sky, light.data());
  float lo = 2, hi = 0;
  for (int y = 0; y < h; y++) {
    uint8_t *row = (uint8_t *)rgba->pixels + (size_t)y * rgba->pitch;
    for (int x = 0; x < w; x++) {
      float l = light[(size_t)y * w + x];
      lo = std::fmin(lo, l), hi = std::fmax(hi, l);
      for (int k = 0; k < 3; k++) {
        float v = row[x * 4 + k] * l + 0.5f;
        row[x * 4 + k] = (uint8_t)(v > 255 ? 255 : v);
      }
    }
  }
  SDL_Surface *save = alpha ? rgba : SDL_ConvertSurfaceFormat(rgba, SDL_PIXELFORMAT_RGB24, 0);
  if (!save || IMG_SavePNG(save, out) != 0) uerror("cannot write %s: %s", out, SDL_GetError());
  printf("velder-shade: %s: %d x %d %s, lit by the height map of %s (%g units, %g high): light %.2f to %.2f, "
         "the sky's share %.2f\n",
         out, w, h, alpha ? "RGBA" : "RGB", g_root, f_tn_sz, f_tn_hm_maxy, lo, hi, sky);
  if (save != rgba) SDL_FreeSurface(save);
  SDL_FreeSurface(rgba);
  SDL_FreeSurface(in);
  SDL_FreeSurface(hm);
}

int main(int argc, char **argv) {
  float sky = SHADE_SKY_DEFAULT;
  const char *args[3];
  int n = 0;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--sky") == 0 && i + 1 < argc) {
      char *end;
      sky = strtof(argv[++i], &end);
      if (*end || !(sky >= 0 && sky <= 1)) usage();
    } else if (argv[i][0] == '-' || n == 3) {
      usage();
    } else {
      args[n++] = argv[i];
    }
  }
  if (n != 3) usage();
  std::error_code ec;
  if (std::filesystem::equivalent(args[1], args[2], ec)) {
    fprintf(stderr, "velder-shade: %s would be written over: keep the painted texture to light it again after the "
                    "height map changes, and write the lit one under another name (terraintexture.png)\n",
            args[1]);
    return 2;
  }
  if (strlen(args[0]) > sizeof g_root - 1) {
    fprintf(stderr, "velder-shade: %s: the folder's name is too long\n", args[0]);
    return 1;
  }
  usetroot(args[0]);
  IMG_Init(IMG_INIT_PNG);
  ufault f;
  if (!utry([&] { shade(args[1], args[2], sky); }, &f, true)) {
    fprintf(stderr, "velder-shade: %s\n", f.msg);
    return 1;
  }
  return 0;
}
