// Fuzz target: the object catalogue "index", with textures from a stand-in loader.
#include "core/util.h"
#include "render/texture.h"
#include "tests/fuzz/fuzz.h"
#include "world/object.h"

static texture *stand_in(const char *name) {
  static texture t = {64, 32, 1};
  return &t;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  g_wobj_texture_get = stand_in;
  fuzz_params_reset();
  fuzz_write("index", data, size);
  wobj_clear();
  fuzz_try([] { parse_index(); });
  for (size_t i = 0; i < g_nwobjs; i++) wobj_find(g_wobjs[i].name);
  fuzz_check_files();
  return 0;
}
