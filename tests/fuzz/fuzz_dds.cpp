// Fuzz target: the DDS header checks and level layout.
#include "render/dds.h"
#include "tests/fuzz/fuzz.h"
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0; // fmemopen takes no empty buffer
  FILE *fp = fmemopen((void *)data, size, "rb");
  dds_info info;
  fuzz_try([&] { dds_parse(fp, &info); });
  fclose(fp);
  fuzz_check_files();
  return 0;
}
