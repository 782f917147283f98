// Fuzz target: the key/value reader and every getter on what it read (tree files, sound definitions).
#include "core/cfg.h"
#include "core/strmap.h"
#include "tests/fuzz/fuzz.h"
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string path = fuzz_write("f.cfg", data, size);
  cfg *c = nullptr;
  if (fuzz_try([&] { c = cfg_read(path.c_str()); })) {
    std::vector<std::string> names = {"absent"};
    sm_walk_begin(c->map);
    while (sm_entry *e = sm_walk_next(c->map)) names.push_back(e->key);
    for (const std::string &n : names) {
      float v[2];
      fuzz_try([&] { cfg_get_string(c, n.c_str()); });
      fuzz_try([&] { cfg_get_int(c, n.c_str()); });
      fuzz_try([&] { cfg_get_float(c, n.c_str()); });
      fuzz_try([&] { cfg_get_vec2(c, n.c_str(), v); });
    }
    cfg_free(c);
  }
  fuzz_check_files();
  return 0;
}
