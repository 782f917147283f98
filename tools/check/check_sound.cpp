// velder-check, sound: the ambient loop and the footstep definitions of the brushes, each sound
// file decoded by the game's mixer on a device that plays nothing.
#include "check.h"
#include "core/cfg.h"
#include "core/file.h"
#include "core/params.h"
#include "core/strmap.h"
#include "sound/sound.h"
#include "world/brush.h"
#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <string>

static bool device;

// def and key: the definition line that names the file, if one does.
static void check_file(const char *path, const std::string &user, const char *def = nullptr, const char *key = nullptr) {
  if (!device || chk_seen("sound", path)) return;
  ufault f;
  if (utry([&] { snd_load(path); }, &f, true)) return;
  std::string blank = chk_blank_hint(path);
  if (def && !blank.empty()) chk_fault(def, chk_key_line(def, key), "%s (%s)%s", f.msg, key, blank.c_str());
  else chk_fault(path, 0, "%s (%s)", f.msg, user.c_str());
}

// sound1, sound2, ... are read up to the first missing number: the ones after a gap are lost.
static void check_gaps(const char *def, uint32_t nread) {
  cfg *c = nullptr;
  if (!utry([&] { c = cfg_read(def); }, nullptr, true)) return;
  for (int n = (int)nread + 2; n <= SND_DEF_MAX_SOUNDS; n++) {
    char key[32];
    snprintf(key, sizeof key, "sound%d", n);
    if (sm_get(c->map, key)) {
      chk_warn(def, 0, "sound%d is never played: the game reads sound1, sound2, ... up to the first missing one, sound%u",
               n, nread + 1);
      break;
    }
  }
  cfg_free(c);
}

static void check_definition(size_t b) {
  const char *def = g_brushes[b].footsteps;
  if (!def[0] || chk_seen("definition", def)) return;
  char user[96];
  snprintf(user, sizeof user, "footsteps: of brush %.6x, brushes line %zu", g_brushes[b].color, chk_steps_line(b));
  chk_lines(def, 1024);
  snd_def *d = nullptr;
  ufault f;
  if (!utry([&] { d = snd_def_read(def); }, &f, true)) {
    size_t line = strcmp(f.func, "cfg_read") == 0 ? chk_phys_line(def, 1024, chk_msg_line(f.msg)) : 0;
    std::string blank = chk_blank_hint(def);
    if (strcmp(f.func, "ufopen") == 0 && !blank.empty())
      chk_fault(std::string(g_root).append("/brushes").c_str(), chk_steps_line(b), "%s (footsteps: of brush %.6x)%s",
                f.msg, g_brushes[b].color, blank.c_str());
    else chk_fault(def, line, "%s (%s)", f.msg, user);
    return;
  }
  chk_unknown_keys(def, false);
  if (d->sounds.count == 0) chk_warn(def, 0, "no sound1: the ground of brush %.6x makes no footsteps", g_brushes[b].color);
  check_gaps(def, d->sounds.count);
  for (uint32_t i = 0; i < d->sounds.count; i++)
    check_file(d->sounds[i], "sound" + std::to_string(i + 1) + " of " + def, def, ("sound" + std::to_string(i + 1)).c_str());
  snd_def_free(d);
}

void chk_sound(void) {
  // the device's complaints are said once, below, as the reason nothing was decoded
  uwarn_set_sink(nullptr);
  utry([] { device = snd_init() == 0; }, nullptr, true);
  chk_report_init();
  if (!device) chk_warn(g_root, 0, "sound files not decoded: the mixer does not open (%s)", SDL_GetError());
  if (s_ambient_loop[0]) {
    char path[sizeof g_root + PARAM_STRING_SIZE + 1];
    snprintf(path, sizeof path, "%s/%s", g_root, s_ambient_loop);
    check_file(path, "s_ambient_loop, param.cfg line " + std::to_string(chk_param_line("s_ambient_loop")));
  }
  for (size_t b = 0; b < g_nbrushes; b++) check_definition(b);
}
