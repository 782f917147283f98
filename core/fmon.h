// File monitor: files that can be reloaded, with the operation that reloads them.
#pragma once
#include <cstdint>

enum { FMON_MAX = 1024 };
typedef void (*fmon_callback)(const char *path, void *arg);

// What a poll sees of a file: size and modification time in nanoseconds; time -1 when missing.
struct fmon_stamp {
  int64_t size, mtime_ns;
};

struct fmon_entry {
  char *path;
  int64_t mtime; // seconds, at registration; -1 if the file could not be queried
  fmon_callback callback;
  void *arg;
  fmon_stamp seen;    // the file as last loaded (registration or the last reload)
  fmon_stamp pending; // a change the last poll saw, waiting to hold still
  int has_pending;
};

void fmon_init(void);
int32_t fmon_register(const char *path, fmon_callback callback, void *arg);
// fmon_register unless the path is registered with that callback already (readers that run again
// at a reload register their files once); the slot either way. A missing file is watched quietly
// (an optional file that may appear later).
int32_t fmon_watch(const char *path, fmon_callback callback, void *arg);
// Once a second, between frames. A changed file is reloaded once its size and time have held
// still across one poll, so a file still being written is not read half way. Every reload runs
// in a recoverable scope: a failing one warns, and the callbacks keep what was loaded before.
// The number of reloads run.
int fmon_poll(void);
const fmon_entry *fmon_get(int32_t slot);
