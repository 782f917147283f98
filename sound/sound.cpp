// Sound: not built yet; every play is refused.
#include "sound/sound.h"

int snd_init(void) { return -1; }
int snd_play(const char *path, int loop, float volume) { return -1; }
void snd_events_init(void) {}
void snd_ambient_start(void) {}
void snd_listener_update(const float pos[3], float yaw) {}
void footsteps_update(void) {}
