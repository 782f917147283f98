// Fuzz target: the brush file, against the default world's catalogue.
#include "core/params.h"
#include "render/texture.h"
#include "tests/fuzz/fuzz.h"
#include "world/brush.h"
#include "world/object.h"
#include <cstring>

static texture *stand_in(const char *) {
  static texture t = {64, 32, 1};
  return &t;
}

// The object names of the default world, of every kind, one without a texture.
static const char catalogue[] =
    "object pine\nfile t.png\n\nobject oak\nfile t.png\n\nobject rock_grey\nfile t.dds\n\n"
    "object heather\nfile t.png\ntype detail\n\nobject grass_meadow\nfile t.png\ntype grass\n\n"
    "object flowers\nfile t.png\ntype grass\n\nobject Runestone\nfile t.png\ntype unique\n\n"
    "object Old_Watchtower\ntype unique\n\nobject bare\n\n";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = [] {
    g_wobj_texture_get = stand_in;
    fuzz_write("index", (const uint8_t *)catalogue, sizeof catalogue - 1);
    parse_index();
    return true;
  }();
  (void)ready;
  fuzz_params_reset();
  strcpy(s_default_clut, "clut/default.bmp");
  fuzz_write("brushes", data, size);
  brush_clear();
  fuzz_try([] { brush_read_file(); });
  brush_clear();
  fuzz_check_files();
  return 0;
}
