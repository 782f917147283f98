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

void usetroot(const char *root);
void umakepath(char *out, size_t size, const char *name);
FILE *ufopen(const char *path, const char *mode);
int32_t fsz(FILE *fp);
char *ureadf(const char *path, size_t *size);
int64_t ufmodtime(const char *path);
