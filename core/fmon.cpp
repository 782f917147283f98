// File monitor: a fixed table of files with the operation that reloads each, and the poll.
#include "core/fmon.h"
#include "core/file.h"
#include "core/util.h"
#include <sys/stat.h>
#include <chrono>
#include <cstring>

static fmon_entry *ftab[FMON_MAX];

void fmon_init(void) { memset(ftab, 0, sizeof ftab); }

// The stamp of path now; false (and time -1) when it cannot be queried. Quiet.
static bool fmon_stamp_of(const char *path, fmon_stamp *out) {
  struct stat st;
  if (stat(path, &st) != 0) {
    *out = {0, -1};
    return false;
  }
  out->size = (int64_t)st.st_size;
  out->mtime_ns = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

static bool same(const fmon_stamp &a, const fmon_stamp &b) { return a.size == b.size && a.mtime_ns == b.mtime_ns; }

static int32_t add(const char *path, fmon_callback callback, void *arg, bool quiet) {
  int32_t slot = 0;
  while (slot < FMON_MAX && ftab[slot]) slot++;
  if (slot == FMON_MAX) uerror_at("fmon_register", __LINE__, "ftab overflow (%d)", FMON_MAX);
  fmon_entry *e = (fmon_entry *)umalloc(sizeof *e);
  size_t n = strlen(path) + 1;
  e->path = (char *)umalloc(n);
  memcpy(e->path, path, n);
  bool there = fmon_stamp_of(path, &e->seen);
  e->mtime = there || !quiet ? ufmodtime(path) : -1;
  e->has_pending = 0;
  e->callback = callback;
  e->arg = arg;
  ftab[slot] = e;
  return slot;
}

int32_t fmon_register(const char *path, fmon_callback callback, void *arg) { return add(path, callback, arg, false); }

int32_t fmon_watch(const char *path, fmon_callback callback, void *arg) {
  for (int32_t i = 0; i < FMON_MAX && ftab[i]; i++)
    if (ftab[i]->callback == callback && strcmp(ftab[i]->path, path) == 0) return i;
  return add(path, callback, arg, true);
}

const fmon_entry *fmon_get(int32_t slot) {
  return slot >= 0 && slot < FMON_MAX ? ftab[slot] : nullptr;
}

static void reload(fmon_entry *e) {
  auto t0 = std::chrono::steady_clock::now();
  // the callbacks keep the old state when they fail; this scope only makes sure that nothing a
  // reload runs into ends the game
  utry([&] { e->callback(e->path, e->arg); });
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  uinfo_at("fmon_poll", "%s changed: reload took %.0f ms", e->path, ms);
}

// A file that is missing is left alone (no warning flood) until it is back with a new stamp;
// an editor that replaces a file by renaming it shows the new one a poll later.
int fmon_poll(void) {
  int n = 0;
  for (int i = 0; i < FMON_MAX && ftab[i]; i++) {
    fmon_entry *e = ftab[i];
    fmon_stamp now;
    if (!fmon_stamp_of(e->path, &now) || same(now, e->seen)) {
      e->has_pending = 0;
      continue;
    }
    if (!e->has_pending || !same(now, e->pending)) {
      e->pending = now; // changed since the last look: maybe still being written
      e->has_pending = 1;
      continue;
    }
    e->seen = now; // a failing reload is not retried until the file changes again
    e->has_pending = 0;
    reload(e);
    n++;
  }
  return n;
}
