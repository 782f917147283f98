// Sound: the mixer device with loading and playback, and the event layer above it with sound
// definitions, the ambient loop and footsteps.
#pragma once

// Opens the audio device: 0 on success or when already open, -1 (with a warning) on failure.
int snd_init(void);
// Plays a file on the first free channel: the channel, or -1 when the play was refused.
int snd_play(const char *path, int loop, float volume);
// Initialisation, right after snd_init: the definition registry and the channel notification.
void snd_events_init(void);
// The ambient loop of s_ambient_loop, first thing of world loading.
void snd_ambient_start(void);
// Every update step, after the grass field: the listener follows the camera.
void snd_listener_update(const float pos[3], float yaw);
// Every update step, right after the listener: a footstep at the walking pace.
void footsteps_update(void);
