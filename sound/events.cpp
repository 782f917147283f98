// Sound events: definitions with random picks, delayed and repeating starts, placement around the
// listener, and the channel-finished notification handed from the audio thread to the main thread.
#include "core/cfg.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/strmap.h"
#include "core/timer.h"
#include "core/util.h"
#include "sound/sound.h"
#include <SDL_mixer.h>
#include <atomic>
#include <cmath>
#include <cstring>

// Everything here belongs to the main thread except `finished`: the mixer calls
// snd_channel_finished on its audio thread, which only counts the channel there. The main
// thread takes the counts in snd_events_poll, so the event list, the id counter, the random
// generator and the timer queue are never touched from the audio thread.
static std::atomic<uint32_t> finished[SND_NCHANNELS]; // notifications per channel so far
static uint32_t handled[SND_NCHANNELS];               // of those, handled by the main thread
static uint32_t started[SND_NCHANNELS];               // plays per channel so far

static strmap *defs; // definition name (its path) -> snd_def
static uarray<snd_event *> events;
static uint32_t next_id;
static float listener_pos[3], listener_yaw;
static const snd_test_mixer *test_mixer;

static char *copy_string(const char *s) {
  size_t n = strlen(s) + 1;
  return (char *)memcpy(umalloc(n), s, n);
}

void snd_events_init(void) {
  if (!snd_ready()) snd_init();
  defs = sm_create();
  events = uarray<snd_event *>();
  if (snd_ready()) Mix_ChannelFinished(snd_channel_finished);
  for (int c = 0; c < SND_NCHANNELS; c++) finished[c] = handled[c] = started[c] = 0;
  memset(listener_pos, 0, sizeof listener_pos);
}

void snd_events_use_mixer(const snd_test_mixer *m) { test_mixer = m; }

void snd_def_free(snd_def *d) {
  for (char *p : d->sounds) free(p);
  ua_free(d->sounds);
  free(d);
}

// A delay, volume or cutoff that is not finite is refused with a warning, and the key keeps its
// default: the definition is optional key by key. A value that does not parse stays the
// configuration reader's error.
static bool finite_value(cfg *c, const char *name, const char *key, int n) {
  const char *s = (const char *)sm_get(c->map, key);
  float v[2];
  if (!s || sscanf(s, "%f %f", &v[0], &v[1]) < n) return true;
  if (std::isfinite(v[0]) && (n < 2 || std::isfinite(v[1]))) return true;
  uwarn_at("snd_def_read", __LINE__, "%s in %s is not a finite number: it keeps its default", key, name);
  free((void *)s);
  sm_set(c->map, key, 0); // read as absent from here on
  return false;
}

snd_def *snd_def_read(const char *name) {
  cfg *c = cfg_read(name);
  snd_def *d = (snd_def *)ucalloc(1, sizeof *d);
  d->volume_min = d->volume_max = 1;
  finite_value(c, name, "delay", 2), finite_value(c, name, "volume", 2), finite_value(c, name, "cutoff", 1);
  // the record and the definition go whatever happens; a failure is then raised again as the
  // reader's own
  ufault f;
  bool ok = utry(
      [&] {
        for (int n = 1; n <= SND_DEF_MAX_SOUNDS; n++) {
          char key[32];
          usnprintf(key, sizeof key, "sound%d", n);
          const char *value = (const char *)sm_get(c->map, key);
          if (!value) break; // sound3 without sound2 is not read
          char path[SND_PATH_SIZE];
          umakepath(path, sizeof path, value);
          ua_push(d->sounds, copy_string(path));
        }
        float v[2];
        if (sm_get(c->map, "delay")) {
          cfg_get_vec2(c, "delay", v);
          d->delay_min = v[0], d->delay_max = v[1];
        }
        if (sm_get(c->map, "volume")) {
          cfg_get_vec2(c, "volume", v);
          d->volume_min = v[0], d->volume_max = v[1];
        }
        if (sm_get(c->map, "cutoff")) d->cutoff = cfg_get_float(c, "cutoff");
      },
      &f, true);
  cfg_free(c);
  if (!ok) {
    snd_def_free(d);
    uerror_at(f.func, f.line, "%s", f.msg);
  }
  return d;
}

// a definition read again replaces the old one; events keep copies of its strings
void snd_def_load(const char *name) {
  snd_def *d = snd_def_read(name);
  if (snd_def *old = (snd_def *)sm_get(defs, name)) snd_def_free(old);
  sm_set(defs, name, (uintptr_t)d);
  fmon_watch(name, snd_def_reload, nullptr);
}

void snd_def_silence(const char *name) {
  snd_def *d = (snd_def *)ucalloc(1, sizeof *d);
  d->volume_min = d->volume_max = 1;
  if (snd_def *old = (snd_def *)sm_get(defs, name)) snd_def_free(old);
  sm_set(defs, name, (uintptr_t)d);
  fmon_watch(name, snd_def_reload, nullptr);
}

void snd_def_reload(const char *path, void *) {
  if (snd_def_get(path)) snd_def_load(path); // a broken save fails before the old one goes
}

snd_def *snd_def_get(const char *name) { return defs ? (snd_def *)sm_get(defs, name) : nullptr; }

const uarray<snd_event *> &snd_event_list(void) { return events; }

static void event_free(snd_event *e) {
  free(e->name);
  free(e->path);
  free(e);
}

static void event_remove(uint32_t i) {
  memmove(&events[i], &events[i + 1], (events.count - i - 1) * sizeof(snd_event *));
  if (--events.count == 0) ua_free(events);
}

static void event_drop(snd_event *e) {
  for (uint32_t i = 0; i < events.count; i++)
    if (events[i] == e) {
      event_remove(i);
      break;
    }
  event_free(e);
}

// The k-th notification of channel c ends the k-th play on it: that event goes, and a repeating
// one starts anew. No event has that play when it was the ambient loop or a refused event.
static void event_finished(int c, uint32_t k) {
  uint32_t i = 0;
  while (i < events.count && !(events[i]->channel == c && events[i]->seq == k)) i++;
  if (i == events.count) return;
  snd_event *e = events[i];
  event_remove(i);
  // the placement goes with the sound, unless the channel already plays a later one
  if (!test_mixer && snd_ready() && started[c] == k + 1) Mix_UnregisterAllEffects(c);
  if (e->flags & SND_REPEAT) snd_event_start(e->name, 1, (e->flags & SND_PLACED) ? e->pos : nullptr);
  event_free(e);
}

uint32_t snd_channel_started(int channel) {
  if (channel < 0 || channel >= SND_NCHANNELS) return 0;
  return started[channel]++;
}

void snd_channel_finished(int channel) {
  if (channel >= 0 && channel < SND_NCHANNELS) finished[channel].fetch_add(1, std::memory_order_release);
}

void snd_events_poll(void) {
  for (int c = 0; c < SND_NCHANNELS; c++) {
    uint32_t done = finished[c].load(std::memory_order_acquire);
    while (handled[c] != done) event_finished(c, handled[c]++);
  }
}

static void event_play(snd_event *e) {
  int c = -1;
  if (test_mixer) c = test_mixer->play(e->path, 0, e->volume);
  // A sound file that does not load at its first play is fatal, as for a world as it was
  // started; after a save it warns once (the loader's words) and is not played again until it is
  // saved: no save ends the game.
  else if (!fmon_after_save(e->path)) c = snd_play(e->path, 0, e->volume);
  else if (!utry([&] { c = snd_play(e->path, 0, e->volume); })) snd_refuse(e->path), c = -1;
  if (c < 0 || c >= SND_NCHANNELS) {
    // refused: nothing will ever finish it, so it goes now instead of staying in the list
    event_drop(e);
    return;
  }
  if (test_mixer) snd_channel_started(c);
  e->channel = c;
  e->seq = started[c] - 1;
  // a channel keeps its effects: those of an earlier sound there are not this one's
  if (!test_mixer && snd_ready()) Mix_UnregisterAllEffects(c);
  if (e->flags & SND_PLACED) snd_event_place(e);
}

void snd_event_start(const char *name, int repeat, const float *pos) {
  snd_def *d = snd_def_get(name);
  ucheck(d != nullptr);
  if (d->sounds.count == 0) return;
  const char *path = d->sounds[(uint32_t)urand() % d->sounds.count];
  float delay = d->delay_min + urandf() * (d->delay_max - d->delay_min);
  float volume = d->volume_min + urandf() * (d->volume_max - d->volume_min);
  snd_event *e = (snd_event *)ucalloc(1, sizeof *e);
  e->id = next_id++;
  e->name = copy_string(name);
  e->path = copy_string(path);
  e->channel = -1;
  e->volume = volume;
  e->range = d->cutoff;
  e->flags = repeat ? SND_REPEAT : 0;
  if (pos) {
    e->flags |= SND_PLACED;
    memcpy(e->pos, pos, sizeof e->pos);
  }
  ua_push(events, e);
  if (delay > 0) {
    uint32_t *block = (uint32_t *)umalloc(sizeof(uint32_t));
    *block = e->id;
    // a longer delay (or an infinite one) waits 24 days: a larger value has no conversion, and
    // the timer's due time would wrap past the clock
    double ms = (double)delay * 1000;
    timer_add(ms < INT32_MAX ? (uint32_t)ms : INT32_MAX, snd_event_delayed, block);
    return;
  }
  event_play(e);
}

void snd_event_delayed(void *arg) {
  uint32_t id = *(uint32_t *)arg;
  free(arg);
  for (snd_event *e : events)
    if (e->id == id) {
      event_play(e);
      return;
    }
}

void snd_event_position(const snd_event *e, int16_t *angle, uint8_t *distance) {
  float dx = e->pos[0] - listener_pos[0], dy = e->pos[1] - listener_pos[1], dz = e->pos[2] - listener_pos[2];
  float a = (float)(3.14159265358979323846 - atan2((double)dx, (double)dz));
  a = a * 57.2957763671875f;
  a = a - listener_yaw;
  int16_t deg = (int16_t)(uint16_t)(int32_t)a; // low 16 bits of the truncated value
  if (deg < 0) deg += 360;
  *angle = deg;
  if (e->range <= 0) {
    *distance = 1;
    return;
  }
  float t = sqrtf(dx * dx + dy * dy + dz * dz) / e->range;
  if (!(t >= 0)) t = 0;
  if (t > 1) t = 1;
  *distance = (uint8_t)(t * 255);
}

void snd_event_place(snd_event *e) {
  if (e->channel == -1) return;
  int16_t angle;
  uint8_t distance;
  snd_event_position(e, &angle, &distance);
  if (test_mixer)
    test_mixer->place(e->channel, angle, distance);
  else if (snd_ready() && !Mix_SetPosition(e->channel, angle, distance))
    uwarn("%s", Mix_GetError());
}

void snd_listener_update(const float pos[3], float yaw) {
  memcpy(listener_pos, pos, sizeof listener_pos);
  listener_yaw = yaw;
  snd_events_poll(); // finished events leave the list once a step
  for (snd_event *e : events)
    if ((e->flags & SND_PLACED) && e->channel != -1) snd_event_place(e);
}
