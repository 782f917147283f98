// Fuzz harness helpers: scratch root, files, parameter reset and the declared size of images.
#include "tests/fuzz/fuzz.h"
#include "core/file.h"
#include "core/params.h"
#include <dirent.h>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static char root[64];

static void remove_root(void) {
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}

const char *fuzz_root(void) {
  if (!root[0]) {
    snprintf(root, sizeof root, "%s/velder-fuzz-XXXXXX", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    if (!mkdtemp(root)) abort();
    atexit(remove_root);
  }
  usetroot(root);
  return root;
}

std::string fuzz_write(const char *name, const uint8_t *data, size_t size) {
  std::string path = std::string(fuzz_root()) + "/" + name;
  FILE *fp = fopen(path.c_str(), "wb");
  if (!fp) abort();
  fwrite(data, 1, size, fp);
  fclose(fp);
  return path;
}

void fuzz_check_files(void) {
  // only files under the scratch root count: the sanitizers keep pipes to their symbolizer open
  DIR *d = root[0] ? opendir("/proc/self/fd") : nullptr;
  if (!d) return;
  while (struct dirent *e = readdir(d)) {
    char link[300], target[512];
    snprintf(link, sizeof link, "/proc/self/fd/%s", e->d_name);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    if (strncmp(target, root, strlen(root)) == 0) {
      fprintf(stderr, "fuzz: the input left a file open: %s\n", target);
      abort();
    }
  }
  closedir(d);
}

void fuzz_params_reset(void) {
  static unsigned char saved[NPARAMS][PARAM_STRING_SIZE];
  static bool have;
  for (int i = 0; i < NPARAMS; i++) {
    const param_row &p = g_params[i];
    size_t n = p.type == PT_STRING ? PARAM_STRING_SIZE : p.type == PT_VEC3 ? 3 * sizeof(float) : 4;
    if (have) memcpy(p.ptr, saved[i], n);
    else memcpy(saved[i], p.ptr, n);
  }
  have = true;
}

static uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
static uint32_t be32(const uint8_t *p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

uint64_t fuzz_declared_pixels(const uint8_t *d, size_t n) {
  if (n >= 26 && d[0] == 'B' && d[1] == 'M') {
    if (le32(d + 14) == 12) return (uint64_t)(d[18] | d[19] << 8) * (d[20] | d[21] << 8); // OS/2 header
    int32_t w = (int32_t)le32(d + 18), h = (int32_t)le32(d + 22);
    return (uint64_t)(w < 0 ? -(int64_t)w : w) * (uint64_t)(h < 0 ? -(int64_t)h : h);
  }
  if (n >= 24 && memcmp(d, "\x89PNG", 4) == 0) return (uint64_t)be32(d + 16) * be32(d + 20);
  return 0;
}
