// Sound device: opening the mixer, the cache of decoded files, and playback on a free channel.
#include "core/file.h"
#include "core/fmon.h"
#include "core/strmap.h"
#include "core/util.h"
#include "sound/sound.h"
#include <SDL.h>
#include <SDL_mixer.h>

static int initialised;
static strmap *cache; // path as played -> Mix_Chunk; chunks are never freed

// A machine without sound is told so once, with the mixer's reason; the game then runs silent and
// refuses every play quietly.
static int told_silent;
static int silent(const char *why) {
  if (!told_silent) uwarn_at("snd_init", __LINE__, "no audio device: the game runs silent (%s)", why);
  told_silent = 1;
  return -1;
}

int snd_init(void) {
  if (initialised) return 0;
  if (!(Mix_Init(MIX_INIT_OGG) & MIX_INIT_OGG)) return silent(ufmt("Mix_Init: %s", SDL_GetError()));
  if (Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512) != 0)
    return silent(ufmt("failed to open audio device: %s", SDL_GetError()));
  int freq = 0, channels = 0;
  Uint16 format = 0;
  if (Mix_QuerySpec(&freq, &format, &channels) < 1) return silent(SDL_GetError());
  Mix_AllocateChannels(SND_NCHANNELS);
  cache = sm_create();
  initialised = 1;
  uinfo("audio initialized: %dHz, channels %d", freq, channels);
  return 0;
}

int snd_ready(void) { return initialised; }

Mix_Chunk *snd_load(const char *path) {
  // an unopenable file keeps SDL's own "Couldn't open ..." as the message
  SDL_RWops *rw = ufile_rw(path);
  Sint64 size = rw ? SDL_RWsize(rw) : 0;
  if (size > SND_MAX_FILE_BYTES) {
    SDL_RWclose(rw);
    uerror("sound file %s is %lld bytes, more than %d", path, (long long)size, (int)SND_MAX_FILE_BYTES);
  }
  Mix_Chunk *chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
  if (!chunk) uerror("Mix_LoadWAV: %s", SDL_GetError());
  sm_set(cache, path, (uintptr_t)chunk);
  uinfo("%s loaded", path);
  return chunk;
}

// The mark of a file that failed to load while the game ran: its plays are refused quietly.
static Mix_Chunk *const REFUSED = (Mix_Chunk *)&cache;

// A refused file saved again is tried again at its next play.
static void snd_unrefuse(const char *path, void *) {
  if (sm_get(cache, path) == (uintptr_t)REFUSED) sm_set(cache, path, 0);
}

void snd_refuse(const char *path) {
  if (!initialised) return;
  sm_set(cache, path, (uintptr_t)REFUSED);
  fmon_watch(path, snd_unrefuse, nullptr);
}

Mix_Chunk *snd_chunk(const char *path) {
  if (!initialised) return nullptr;
  Mix_Chunk *chunk = (Mix_Chunk *)sm_get(cache, path);
  return chunk == REFUSED ? nullptr : chunk ? chunk : snd_load(path);
}

int snd_play(const char *path, int loop, float volume) {
  if (!(volume >= 0)) volume = 0; // NaN too
  if (volume > 1) volume = 1;
  if (!initialised) return -1; // no device: refused, as snd_init said once
  Mix_Chunk *chunk = snd_chunk(path);
  if (!chunk) return -1;
  Mix_VolumeChunk(chunk, (int)(volume * MIX_MAX_VOLUME));
  int channel = Mix_PlayChannelTimed(-1, chunk, loop ? -1 : 0, -1);
  if (channel == -1) {
    uwarn("%s", Mix_GetError());
    return -1;
  }
  snd_channel_started(channel);
  return channel;
}
