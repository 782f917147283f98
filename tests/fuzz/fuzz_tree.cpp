// Fuzz target: a tree parameter file read as a catalogue entry reads it, then the tree built from
// it without OpenGL (trunk, sections of leaf cards, the unit diagonal).
#include "core/util.h"
#include "render/batch.h"
#include "tests/fuzz/fuzz.h"
#include "world/object.h"
#include "world/tree.h"
#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string path = fuzz_write("f.pg", data, size);
  pg_params p = {};
  p.texw = 256, p.texh = 128;
  p.path = (char *)path.c_str();
  if (fuzz_try([&] { pg_read(path.c_str(), &p); })) {
    usrand(1);
    batch *b = b_create();
    if (fuzz_try([&] { tree_build(b, &p); })) {
      // a built tree is every card's four corners and two triangles, scaled to a unit diagonal
      uint32_t nv = b->v.count / 3;
      if (b->tc.count != 2 * nv || b->idx.count != nv / 4 * 6 || nv % 4 != 0) abort();
      for (uint32_t i = 0; i < b->idx.count; i++)
        if (b->idx.items[i] >= nv) abort();
      aabb box;
      b_get_box(b, &box);
      float dx = box.max[0] - box.min[0], dy = box.max[1] - box.min[1], dz = box.max[2] - box.min[2];
      if (!(fabsf(sqrtf(dx * dx + dy * dy + dz * dz) - 1) < 1e-3f)) abort();
    }
    b_free(b);
  }
  fuzz_check_files();
  return 0;
}
