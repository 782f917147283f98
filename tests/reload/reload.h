// Saves while the game runs, in one process: the world loaded once by the real start-up, files
// saved into its data root, and the file monitor polled as the main loop does once a second.
#pragma once
#include "tests/unit/testutil.h"
#include <string>

// The data root, relative to the working directory the suite runs in.
const std::string RL_DATA = "data";

struct rl_output {
  std::string out, err;
};
// The bytes of a file.
std::string rl_read(const std::string &path);
// A file of the data root as it was when the world was loaded.
std::string rl_original(const std::string &rel);
// Saves bytes as an editor does: written beside, then renamed over the file (the original is kept
// for rl_restore).
void rl_save(const std::string &rel, const std::string &bytes);
// Replaces every occurrence of from in a file of the data root; false without one.
bool rl_edit(const std::string &rel, const std::string &from, const std::string &to);
// Remembers a file's original before a test replaces it by other means (a pipe, a folder).
void rl_keep(const std::string &rel);
// Two polls, the second after the file held still: what the reloads printed.
rl_output rl_settle(void);
// Every file saved since the start back as it was, settled: the world of the start again.
rl_output rl_restore(void);
// The heap's blocks in use in KiB, and the GL buffer and texture objects alive.
long rl_heap_kib(void);
void rl_gl_objects(int *buffers, int *textures);
// A 24-bit BMP of w x h pixels of colour(x, y) = 0xRRGGBB.
std::string rl_bmp(int w, int h, const std::function<uint32_t(int, int)> &colour);
