// File monitor: a fixed table of files with the operation that reloads each.
#include "core/fmon.h"
#include "core/file.h"
#include "core/util.h"
#include <sys/stat.h>
#include <cstring>

static fmon_entry *ftab[FMON_MAX];

void fmon_init(void) { memset(ftab, 0, sizeof ftab); }

int32_t fmon_register(const char *path, fmon_callback callback, void *arg) {
  int32_t slot = 0;
  while (slot < FMON_MAX && ftab[slot]) slot++;
  if (slot == FMON_MAX) uerror("ftab overflow (%d)", FMON_MAX);
  fmon_entry *e = (fmon_entry *)umalloc(sizeof *e);
  size_t n = strlen(path) + 1;
  e->path = (char *)umalloc(n);
  memcpy(e->path, path, n);
  e->mtime = ufmodtime(path);
  e->callback = callback;
  e->arg = arg;
  ftab[slot] = e;
  return slot;
}

const fmon_entry *fmon_get(int32_t slot) {
  return slot >= 0 && slot < FMON_MAX ? ftab[slot] : nullptr;
}

// Once per main-loop pass, between frames: reload what changed on disk. A file that vanished is
// left alone (no warning flood) until it appears again with a new time.
void fmon_poll(void) {
  for (int i = 0; i < FMON_MAX && ftab[i]; i++) {
    fmon_entry *e = ftab[i];
    struct stat st;
    if (stat(e->path, &st) != 0) continue;
    int64_t t = (int64_t)st.st_mtime;
    if (t == e->mtime) continue;
    e->mtime = t;
    e->callback(e->path, e->arg);
  }
}
