// Fuzz target: "param.cfg", then what the game computes from the window size it sets.
#include "core/params.h"
#include "render/overlay.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_params_reset();
  fuzz_write("param.cfg", data, size);
  fuzz_try([] { parse_cfg(); });
  int x, y;
  for (int w : {0, 1, 512, 2147483647, -2147483647 - 1}) {
    overlay_logo_pos(w, &x, &y);
    overlay_credits_pos(w, w, &x, &y);
  }
  volatile double aspect = screen_aspect(i_screen_w, i_screen_h);
  (void)aspect;
  fuzz_check_files();
  return 0;
}
