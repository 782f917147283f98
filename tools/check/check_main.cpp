// velder-check: checks a world without opening a window, with the game's own readers, and reports
// every fault (and what the game lets pass quietly, as warnings), one line each, then a summary.
// Usage: velder-check DIR. Exit status 0 when the world has no fault, 1 when it has, 2 on misuse.
#include "check.h"
#include "core/file.h"
#include <SDL.h>
#include <SDL_image.h>
#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
  if (argc != 2 || argv[1][0] == '-') {
    fprintf(stderr, "usage: velder-check DIR\n");
    return 2;
  }
  const char *dir = argv[1];
  struct stat st;
  if (strlen(dir) > sizeof g_root - 1 || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) {
    printf("%s: fault: not a folder that the game can take as its data root\n", dir);
    printf("velder-check: %s: 0 files, 1 fault, 0 warnings\n", dir);
    return 1;
  }
  usetroot(dir);
  // the mixer decodes on a device that plays nothing; no window, no sound
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  IMG_Init(IMG_INIT_PNG);
  chk_report_init();

  // the order of the game's loading
  chk_params();
  chk_terrain();
  chk_sky();
  bool catalogue = chk_catalogue();
  chk_brushes(catalogue);
  chk_overlay();
  chk_sound();
  chk_hold();

  printf("velder-check: %s: %u files, %u fault%s, %u warning%s\n", dir, chk_nfiles, chk_nfaults,
         chk_nfaults == 1 ? "" : "s", chk_nwarnings, chk_nwarnings == 1 ? "" : "s");
  fflush(stdout);
  // the mixer's audio thread ends before the process does
  SDL_Quit();
  return chk_nfaults ? 1 : 0;
}
