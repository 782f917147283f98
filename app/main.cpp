// Entry: fix the data root, start up, run the game, shut down.
#include "app/app.h"
#include "core/file.h"
#include <SDL.h>

int main(int argc, char **argv) {
  usetroot(argc == 2 ? argv[1] : "data");
  init();
  game_main();
  if (g_controller) SDL_GameControllerClose(g_controller);
  SDL_GL_DeleteContext(g_gl_context);
  SDL_Quit();
  return 0;
}
