// Ambience and footsteps: the ambient loop of the world, and a step of the ground underfoot at
// the walking pace.
#include "core/file.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/util.h"
#include "render/camera.h"
#include "sound/sound.h"
#include "world/brush.h"
#include <SDL_mixer.h>

static uint32_t next_step; // tick count before which no step sounds
static int ambient_channel = -1;

void snd_ambient_start(void) {
  if (!s_ambient_loop[0]) return;
  char path[sizeof g_root + PARAM_STRING_SIZE + 1];
  usnprintf(path, sizeof path, "%s/%s", g_root, s_ambient_loop);
  ambient_channel = snd_play(path, 1, 0.7f); // stopped only when param.cfg names another
}

void snd_ambient_restart(void) {
  if (ambient_channel >= 0 && snd_ready()) Mix_HaltChannel(ambient_channel);
  ambient_channel = -1;
  snd_ambient_start();
}

void footsteps_step(uint32_t now, bool moving, float jump_offset, int32_t period) {
  brush *b = objmap_get_brush(g_cam.pos[0], g_cam.pos[2]);
  if (!b->footsteps[0]) return;
  if (!moving) return;
  if (jump_offset >= 0.01f) return; // no steps in the air
  if (next_step >= now) return;
  // The first read of a definition is fatal when it does not read, as for a world as it was
  // started; after a save it warns once (the reader's words) and that ground steps silently until
  // its file is saved again.
  if (!snd_def_get(b->footsteps)) {
    if (!fmon_after_save(b->footsteps)) snd_def_load(b->footsteps);
    else if (!utry([&] { snd_def_load(b->footsteps); })) snd_def_silence(b->footsteps);
  }
  snd_event_start(b->footsteps, 0, nullptr);
  next_step = now + (uint32_t)period;
}

void footsteps_reset(void) { next_step = 0; }
