// File monitor: files that can be reloaded, with the operation that reloads them.
#pragma once
#include <cstdint>

enum { FMON_MAX = 1024 };
typedef void (*fmon_callback)(const char *path, void *arg);

// A registration: the fixed table of start-up's registrations (shaders, textures, tree files).
struct fmon_entry {
  char *path;
  int64_t mtime; // seconds, at registration; -1 if the file could not be queried
  fmon_callback callback;
  void *arg;
};

// Empties the table and the watch list.
void fmon_init(void);
// A slot of the table, from 0 upward, and the file watched; a full table ends the program with
// "ftab overflow (1024)". Once the world is loaded (fmon_close_table) the table holds what
// start-up registered, and later registrations (a catalogue read again while the game runs) are
// only watched, with -1 for their slot.
int32_t fmon_register(const char *path, fmon_callback callback, void *arg);
void fmon_close_table(void);
// Watches a file for the live reload without a slot: the world's own files, sky faces, colour
// tables, sound files and definitions. The same path, callback and argument are watched once.
// A missing file is watched quietly (one that may appear later).
void fmon_watch(const char *path, fmon_callback callback, void *arg);
// Once a second, between frames. A changed file is reloaded once its size and time have held
// still across one poll, so a file still being written is not read half way; a path that is then
// no regular file (a directory, a pipe, a device) is not read: a warning says so once, and the
// next change is waited for. Each watched path and callback reloads once per change, however
// often it was registered. Every reload runs in a recoverable scope: a failing one warns, and
// the callbacks keep what was loaded before. The number of reloads run.
int fmon_poll(void);
const fmon_entry *fmon_get(int32_t slot);
// Whether a read of path comes after a save while the game runs: the file is newer than the
// table's start (fmon_init), or the poll has seen a watched file change since. Files read at
// first use (a footstep definition, a sound file) follow their first-read rules otherwise, fatal
// where those say so; after a save a failure only warns, as no save may end the game.
bool fmon_after_save(const char *path);
// Watches, for tests: how many there are.
uint32_t fmon_nwatched(void);
