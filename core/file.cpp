// Data root, paths and whole-file helpers.
#include "core/file.h"
#include "core/util.h"
#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

char g_root[256];

static thread_local ufile_hook read_hook;

void ufile_set_read_hook(ufile_hook hook) { read_hook = hook; }

FILE *ufile_open(const char *path, const char *mode) {
  if (read_hook) read_hook(path);
  // opened without waiting (a pipe would wait for a writer), then looked at before any read
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  bool known = fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    int e = known && S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = e;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE *fp = fdopen(fd, mode);
  if (!fp) close(fd);
  return fp;
}

SDL_RWops *ufile_rw(const char *path) {
  FILE *fp = ufile_open(path, "rb");
  if (!fp) return SDL_SetError("Couldn't open %s", path), nullptr;
  SDL_RWops *rw = SDL_RWFromFP(fp, SDL_TRUE);
  if (!rw) fclose(fp);
  return rw;
}

void usetroot(const char *root) {
  if (strlen(root) > 255) uerror("path too long");
  usnprintf(g_root, sizeof g_root, "%s", root);
}

void umakepath(char *out, size_t size, const char *name) {
  if (strlen(g_root) + strlen(name) >= size - 1) uerror("path too long for %s", name);
  usnprintf(out, size, "%s/%s", g_root, name);
}

FILE *ufopen(const char *path, const char *mode) {
  FILE *fp = ufile_open(path, mode);
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
  FILE *fp = ufile_open(path, "r");
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
