// Data root, paths and whole-file helpers.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstddef>

extern char g_root[256]; // the data root as given; written once at start

// Closes a file when its holder's block ends, also when a failure unwinds out of a recoverable
// scope (utry) half way through a reader. Set fp to null to keep the file open.
struct ufile_guard {
  FILE *fp;
  ~ufile_guard() {
    if (fp) fclose(fp);
  }
};

// Opens a file for reading only when it is a regular file (a link to one counts). A directory, a
// pipe, a device or a link loop gives null with errno set, as a missing file does: no reader
// blocks on a pipe or reads a device for ever. Every path asked for goes to this thread's read
// hook first, opened or not.
FILE *ufile_open(const char *path, const char *mode);
// The same as an SDL stream (binary), or null with SDL's "Couldn't open PATH" as the error.
struct SDL_RWops;
SDL_RWops *ufile_rw(const char *path);
// Called with every path this thread's readers ask ufile_open for (null: none). The world's
// rebuild collects the files it read with it.
typedef void (*ufile_hook)(const char *path);
void ufile_set_read_hook(ufile_hook hook);

void usetroot(const char *root);
void umakepath(char *out, size_t size, const char *name);
FILE *ufopen(const char *path, const char *mode);
int32_t fsz(FILE *fp);
char *ureadf(const char *path, size_t *size);
int64_t ufmodtime(const char *path);
