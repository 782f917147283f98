// Data root, paths and whole-file helpers.
#include "core/file.h"
#include "core/util.h"
#include <sys/stat.h>
#include <cerrno>
#include <cstring>

char g_root[256];

void usetroot(const char *root) {
  if (strlen(root) > 255) uerror("path too long");
  usnprintf(g_root, sizeof g_root, "%s", root);
}

void umakepath(char *out, size_t size, const char *name) {
  if (strlen(g_root) + strlen(name) >= size - 1) uerror("path too long for %s", name);
  usnprintf(out, size, "%s/%s", g_root, name);
}

FILE *ufopen(const char *path, const char *mode) {
  FILE *fp = fopen(path, mode);
  if (!fp) uerror("failed to open %s", path);
  return fp;
}

int32_t fsz(FILE *fp) {
  long pos = ftell(fp);
  if (pos == -1) uerror("ftell failed");
  if (fseek(fp, 0, SEEK_END) == -1) uerror("fseek failed");
  long size = ftell(fp);
  if (size == -1) uerror("ftell failed");
  if (fseek(fp, pos, SEEK_SET) == -1) uerror("fseek failed");
  // a size that does not fit the signed 32-bit result is no file this game can read
  if (size > INT32_MAX) uerror("file too large (%ld bytes)", size);
  return (int32_t)size;
}

char *ureadf(const char *path, size_t *size) {
  FILE *fp = fopen(path, "r");
  if (!fp) uerror("failed to open %s", path);
  ufile_guard held{fp};
  size_t n = (size_t)fsz(fp);
  *size = n;
  char *buf = (char *)umalloc(n + 1);
  size_t got = fread(buf, 1, n, fp);
  buf[got] = 0;
  return buf;
}

int64_t ufmodtime(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0) {
    int e = errno;
    uwarn("_stat(\"%s\"): %s (%d)", path, strerror(e), e);
    return -1;
  }
  return (int64_t)st.st_mtime;
}
