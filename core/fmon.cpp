// File monitor: the table of start-up's registrations, the watch list the poll walks, and the poll.
#include "core/fmon.h"
#include "core/array.h"
#include "core/file.h"
#include "core/util.h"
#include <sys/stat.h>
#include <chrono>
#include <cstring>
#include <ctime>

static fmon_entry *ftab[FMON_MAX];
static bool table_closed;
static int64_t start_ns; // wall clock at fmon_init
static bool saw_change;  // the poll acted on a change since

// What a poll sees of a file: size and modification time in nanoseconds; time -1 when missing.
struct fmon_stamp {
  int64_t size, mtime_ns;
  int regular; // a regular file (a link to one counts); 0 for a directory, a pipe, a device
};

// One watched path and the operation that reloads it.
struct watch {
  char *path;
  fmon_callback callback;
  void *arg;
  fmon_stamp seen;    // the file as last loaded (when watched, or at the last reload)
  fmon_stamp pending; // a change the last poll saw, waiting to hold still
  int has_pending;
};
static uarray<watch *> watches;

static char *copy_string(const char *s) {
  size_t n = strlen(s) + 1;
  return (char *)memcpy(umalloc(n), s, n);
}

void fmon_init(void) {
  for (fmon_entry *&e : ftab) {
    if (e) free(e->path), free(e);
    e = nullptr;
  }
  for (watch *w : watches) free(w->path), free(w);
  ua_free(watches);
  table_closed = false;
  saw_change = false;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  start_ns = (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

// The stamp of path now; false (and time -1) when there is nothing at the path. A link that leads
// nowhere (to a missing file, or round in a loop) is there, but no regular file. Quiet.
static bool stamp_of(const char *path, fmon_stamp *out) {
  struct stat st;
  if (stat(path, &st) != 0 && lstat(path, &st) != 0) {
    *out = {0, -1, 0};
    return false;
  }
  out->size = (int64_t)st.st_size;
  out->mtime_ns = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
  out->regular = S_ISREG(st.st_mode) ? 1 : 0;
  return true;
}

static bool same(const fmon_stamp &a, const fmon_stamp &b) {
  return a.size == b.size && a.mtime_ns == b.mtime_ns && a.regular == b.regular;
}

void fmon_watch(const char *path, fmon_callback callback, void *arg) {
  for (watch *w : watches)
    if (w->callback == callback && w->arg == arg && strcmp(w->path, path) == 0) return;
  watch *w = (watch *)ucalloc(1, sizeof *w);
  w->path = copy_string(path);
  w->callback = callback;
  w->arg = arg;
  stamp_of(path, &w->seen);
  ua_push(watches, w);
}

int32_t fmon_register(const char *path, fmon_callback callback, void *arg) {
  fmon_watch(path, callback, arg);
  if (table_closed) return -1;
  int32_t slot = 0;
  while (slot < FMON_MAX && ftab[slot]) slot++;
  if (slot == FMON_MAX) uerror("ftab overflow (%d)", FMON_MAX);
  fmon_entry *e = (fmon_entry *)umalloc(sizeof *e);
  e->path = copy_string(path);
  e->mtime = ufmodtime(path);
  e->callback = callback;
  e->arg = arg;
  ftab[slot] = e;
  return slot;
}

void fmon_close_table(void) { table_closed = true; }

const fmon_entry *fmon_get(int32_t slot) { return slot >= 0 && slot < FMON_MAX ? ftab[slot] : nullptr; }

uint32_t fmon_nwatched(void) { return watches.count; }

bool fmon_after_save(const char *path) {
  fmon_stamp st;
  return saw_change || (stamp_of(path, &st) && st.mtime_ns > start_ns);
}

static void reload(watch *w) {
  auto t0 = std::chrono::steady_clock::now();
  // the callbacks keep the old state when they fail; this scope only makes sure that nothing a
  // reload runs into ends the game
  utry([&] { w->callback(w->path, w->arg); });
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  uinfo_at("fmon_poll", "%s changed: reload took %.0f ms", w->path, ms);
}

// A file that is missing is left alone (no warning flood) until it is back with a new stamp;
// an editor that replaces a file by renaming it shows the new one a poll later.
int fmon_poll(void) {
  int n = 0;
  // a reload may watch more files (they are appended): indices, not iterators
  for (uint32_t i = 0; i < watches.count; i++) {
    watch *w = watches[i];
    fmon_stamp now;
    if (!stamp_of(w->path, &now) || same(now, w->seen)) {
      w->has_pending = 0;
      continue;
    }
    if (!w->has_pending || !same(now, w->pending)) {
      w->pending = now; // changed since the last look: maybe still being written
      w->has_pending = 1;
      continue;
    }
    w->seen = now; // a failing reload is not retried until the file changes again
    w->has_pending = 0;
    saw_change = true;
    if (!now.regular) {
      // said once per path, however many operations watch it
      bool told = false;
      for (uint32_t k = 0; k < i && !told; k++) told = strcmp(watches[k]->path, w->path) == 0 && same(watches[k]->seen, now);
      if (!told)
        uwarn_at("fmon_poll", __LINE__, "%s is not a regular file: it is not read until it is saved again", w->path);
      continue;
    }
    reload(w);
    n++;
  }
  return n;
}
