// Fuzz harness helpers: a scratch data root, files written into it, the parameters reset, and the
// quiet recoverable scope every input runs in (a fault comes back here instead of ending the process).
#pragma once
#include "core/util.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// The scratch data root, made on first use, set as g_root and removed at exit.
const char *fuzz_root(void);
std::string fuzz_write(const char *name, const uint8_t *data, size_t size);
// Every parameter back to its value before the first input.
void fuzz_params_reset(void);
// True when f finished; a failure's message is dropped (the input failed as a bad file does).
template <typename F> bool fuzz_try(F &&f) { return utry(std::forward<F>(f), nullptr, true); }
// Call at the end of every input: aborts when the input left a file open (the C library keeps
// every open stream reachable, so the leak checker does not see them).
void fuzz_check_files(void);
// Image headers that declare more than this many pixels are skipped: the image library allocates
// and clears such a surface before it reads a pixel, which costs memory but is no fault of a reader.
enum { FUZZ_MAX_PIXELS = 1 << 24 };
// Declared width times height of a BMP or PNG header, 0 for anything else.
uint64_t fuzz_declared_pixels(const uint8_t *data, size_t size);
