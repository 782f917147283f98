// Sound: the mixer device with loading and playback, and the event layer above it with sound
// definitions, the ambient loop and footsteps.
#pragma once
#include <cstdint>
#include "core/array.h"

struct Mix_Chunk;

enum {
  SND_NCHANNELS = 32,      // mixing channels
  SND_DEF_MAX_SOUNDS = 128, // sound1 ... sound128
  SND_PATH_SIZE = 1024,    // a definition's sound paths, data root included
  // the largest sound file: decoded whole at its first playback, a minute of compressed sound
  // becomes some tens of megabytes
  SND_MAX_FILE_BYTES = 16 << 20,
};

// ---- mixer (mixer.cpp)

// Opens the audio device: 0 on success or when already open, -1 on failure (a machine without
// sound is told so once: "no audio device: the game runs silent (...)").
int snd_init(void);
// Whether the device is open.
int snd_ready(void);
// Decodes a WAV or Ogg Vorbis file into the cache; a file that does not decode is fatal.
Mix_Chunk *snd_load(const char *path);
// The cached chunk of path, loaded on first use; null while the device is not open.
Mix_Chunk *snd_chunk(const char *path);
// Plays of that file are refused quietly until it is saved again (it failed to load while the
// game ran).
void snd_refuse(const char *path);
// Plays a file on the first free channel at volume 0..1 (the volume belongs to the file's chunk):
// the channel, or -1 when the play was refused: with a warning when no channel is free, quietly
// without a device or for a file refused before.
int snd_play(const char *path, int loop, float volume);

// ---- sound events (events.cpp)

// One definition file: alternative sounds, random start delay and volume, cutoff distance.
struct snd_def {
  uarray<char *> sounds; // full paths, in key order
  float delay_min, delay_max; // seconds
  float volume_min, volume_max;
  float cutoff; // distance of full attenuation; 0 or less: none
};

enum { SND_REPEAT = 1, SND_PLACED = 2 };

// One playing or waiting sound.
struct snd_event {
  uint32_t id;
  char *name;      // its definition, for repeating
  char *path;      // the file picked
  int32_t channel; // -1 until the playback starts
  uint32_t seq;    // which play on that channel this is (0 for the channel's first)
  float volume;
  float range;     // the definition's cutoff
  uint32_t flags;  // SND_REPEAT, SND_PLACED
  float pos[3];    // world position of a placed event
};

// Initialisation, right after snd_init: the definition registry and the channel notification.
void snd_events_init(void);
// Reads a definition file (a path under the data root) into the registry under its path.
void snd_def_load(const char *name);
// An empty definition (no sounds) under that name, its file watched: a ground whose definition
// failed to read steps silently until the file is saved again.
void snd_def_silence(const char *name);
// File monitor callback of a loaded definition: read again; a broken save warns and the old stays.
void snd_def_reload(const char *path, void *arg);
// Reads a definition file into a new definition, outside the registry; no device needed.
snd_def *snd_def_read(const char *name);
void snd_def_free(snd_def *d);
// The loaded definition of name, or null.
snd_def *snd_def_get(const char *name);
// Starts one sound of a loaded definition, after its random delay; pos is null for a sound
// that is not placed in the world.
void snd_event_start(const char *name, int repeat, const float *pos);
// Timer callback of a delayed start: arg is a heap block holding the event id.
void snd_event_delayed(void *arg);
// Every successful play on a channel is counted, so that each finished notification can be
// matched with the play it ends (a channel plays one sound at a time, so the k-th notification
// of a channel ends its k-th play). Returns the play's number on the channel.
uint32_t snd_channel_started(int channel);
// The mixer's channel-finished notification. It arrives on the audio thread, so it only
// counts the channel; the main thread handles it in snd_events_poll.
void snd_channel_finished(int channel);
// Main thread: removes the events whose channels finished and restarts the repeating ones.
// Runs every update step (from the listener update) and before every event playback.
void snd_events_poll(void);
// Pans and attenuates a placed event's channel relative to the listener.
void snd_event_place(snd_event *e);
// The angle (0 ahead, 90 right, 180 behind) and distance (0..255) placement gives an event.
void snd_event_position(const snd_event *e, int16_t *angle, uint8_t *distance);
// Every update step, after the grass field: the listener follows the camera.
void snd_listener_update(const float pos[3], float yaw);
// The events playing or waiting, in creation order (main thread).
const uarray<snd_event *> &snd_event_list(void);

// Tests put their own playback and placement in place of the mixer's (null: the mixer again).
struct snd_test_mixer {
  int (*play)(const char *path, int loop, float volume);
  void (*place)(int channel, int16_t angle, uint8_t distance);
};
void snd_events_use_mixer(const snd_test_mixer *m);

// ---- ambience and footsteps (footsteps.cpp)

// The ambient loop of s_ambient_loop, first thing of world loading.
void snd_ambient_start(void);
// The loop of s_ambient_loop replaces the one playing (a reload of param.cfg).
void snd_ambient_restart(void);
// A footstep of the ground under the camera when the walker moves on the ground and the pace
// (period, ms) allows one at tick now; the shell's footsteps_update feeds it every update step.
void footsteps_step(uint32_t now, bool moving, float jump_offset, int32_t period);
// Forgets the pace (tests).
void footsteps_reset(void);
