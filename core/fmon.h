// File monitor: files that can be reloaded, with the operation that reloads them.
#pragma once
#include <cstdint>

enum { FMON_MAX = 1024 };
typedef void (*fmon_callback)(const char *path, void *arg);

struct fmon_entry {
  char *path;
  int64_t mtime;
  fmon_callback callback;
  void *arg;
};

void fmon_init(void);
int32_t fmon_register(const char *path, fmon_callback callback, void *arg);
// Calls the callback of every entry whose file changed since it was registered or last seen.
void fmon_poll(void);
const fmon_entry *fmon_get(int32_t slot);
