// Start-up: parameters, SDL, window, context, controller, GLEW, projection, shaders and registries.
#include "app/app.h"
#include "core/timer.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "fx/postproc.h"
#include "render/overlay.h"
#include "render/shader.h"
#include "render/texture.h"
#include "core/file.h"
#include "sound/sound.h"
#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <ctime>

SDL_GLContext g_gl_context;
SDL_GameController *g_controller;

// Start-up lines carry the name "init", these too.
void open_controller(void) {
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    if (!SDL_IsGameController(i)) continue;
    g_controller = SDL_GameControllerOpen(i);
    if (g_controller) {
      uinfo_at("init", "Gamecontroller '%s' attached.", SDL_GameControllerName(g_controller));
      return;
    }
    uwarn_at("init", __LINE__, "SDL_GameControllerOpen(%d): %s", i, SDL_GetError());
  }
}

void init(void) {
  parse_cfg();
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) != 0) uerror("SDL_Init: %s", SDL_GetError());
  SDL_version v;
  SDL_GetVersion(&v);
  uinfo("using SDL %d.%d.%d", v.major, v.minor, v.patch);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  g_window = SDL_CreateWindow("Game 0.0", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, i_screen_w, i_screen_h,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
  if (!g_window) uerror("SDL_CreateWindow: %s", SDL_GetError());
  g_gl_context = SDL_GL_CreateContext(g_window);
  if (!g_gl_context) uerror("SDL_GL_CreateContext: %s", SDL_GetError());
  open_controller();
  GLenum err = glewInit();
  if (err != GLEW_OK) uerror("GLEW init: %s", (const char *)glewGetErrorString(err));
  uinfo("using GLEW v %s", (const char *)glewGetString(GLEW_VERSION));
  resize(i_screen_w, i_screen_h);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  if (!(IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG)) uerror("IMG_Init: %s", SDL_GetError());
  usrand((uint32_t)time(nullptr));
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(g_window);
  fmon_init();
  timer_init();
  prg_create();
  snd_init();
  snd_events_init();
  texmgr_init(g_root);
  postproc_init();
}

void resize(int w, int h) {
  i_screen_w = w;
  i_screen_h = h;
  glViewport(0, 0, w, h);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60, screen_aspect(w, h), (double)0.1f, f_camera_zfar);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
  SDL_SetWindowSize(g_window, w, h);
}
