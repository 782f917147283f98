// Sound: the device on SDL's dummy driver, definition files, event starts, delays, repeats and
// refusals through a stand-in mixer, placement, and the footstep pace.
#include "app/app.h"
#include "app/timer.h"
#include "core/file.h"
#include "core/util.h"
#include "render/camera.h"
#include "sound/sound.h"
#include "world/brush.h"
#include "tests/unit/testutil.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace {

// A 16-bit mono WAV of n samples of a quiet square wave.
std::string wav(uint32_t n) {
  std::string b = "RIFF";
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) b += (char)(v >> 8 * i); };
  auto u16 = [&](uint16_t v) { b += (char)v, b += (char)(v >> 8); };
  u32(36 + 2 * n);
  b += "WAVEfmt ";
  u32(16), u16(1), u16(1), u32(22050), u32(44100), u16(2), u16(16);
  b += "data";
  u32(2 * n);
  for (uint32_t i = 0; i < n; i++) u16(i / 25 % 2 ? 1000 : (uint16_t)-1000);
  return b;
}

// ---- the device

TEST(SoundDevice, OpensOncePlaysWithChunkVolumeAndRefusesThe33rd) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TempDir d;
  std::string a = d.write("a.wav", wav(2205)), b = d.write("b.wav", wav(2205));
  testing::internal::CaptureStdout();
  ASSERT_EQ(snd_init(), 0);
  EXPECT_EQ(snd_init(), 0);
  int ch = snd_play(a.c_str(), 0, 2.0f);
  EXPECT_GE(ch, 0);
  Mix_Chunk *chunk = snd_chunk(a.c_str());
  EXPECT_EQ(Mix_VolumeChunk(chunk, -1), 128);
  snd_play(a.c_str(), 0, 0.7f); // the volume belongs to the file: both playbacks take 89
  EXPECT_EQ(Mix_VolumeChunk(chunk, -1), 89);
  snd_play(a.c_str(), 0, -1.0f);
  EXPECT_EQ(Mix_VolumeChunk(chunk, -1), 0);
  Mix_HaltChannel(-1);
  for (int i = 0; i < SND_NCHANNELS; i++) ASSERT_GE(snd_play(b.c_str(), 1, 0.5f), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(snd_play(b.c_str(), 1, 0.5f), -1);
  EXPECT_TRUE(std::regex_match(testing::internal::GetCapturedStderr(),
                               std::regex("warning: snd_play#[0-9]+: No free channels available\n")));
  Mix_HaltChannel(-1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "snd_init: audio initialized: 22050Hz, channels 2\nsnd_load: " + a + " loaded\nsnd_load: " + b + " loaded\n");
}

TEST(SoundDevice, UndecodableFilesAreFatal) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TempDir d;
  std::string bad = d.write("bad.wav", "RIFF but not a sound");
  testing::internal::CaptureStdout();
  ASSERT_EQ(snd_init(), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EXIT(snd_play(bad.c_str(), 0, 1), testing::ExitedWithCode(1), "^error: snd_load#[0-9]+: Mix_LoadWAV: .+\n");
  EXPECT_EXIT(snd_play(d.path("none.wav").c_str(), 0, 1), testing::ExitedWithCode(1),
              "^error: snd_load#[0-9]+: Mix_LoadWAV: Couldn't open .*none.wav\n");
}

// Without a device the game goes on silently: warnings, and every play is refused.
TEST(SoundDevice, NoDeviceRefusesEveryPlay) {
  testing::FLAGS_gtest_death_test_style = "threadsafe"; // a fresh process, no device opened yet
  EXPECT_EXIT(
      {
        setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
        snd_init();
        snd_events_init(); // tries once more
        fprintf(stderr, "play %d\n", snd_play("x.wav", 1, 0.7f));
        exit(0);
      },
      testing::ExitedWithCode(0),
      "^warning: snd_init#[0-9]+: failed to open audio device: .+\n"
      "warning: snd_init#[0-9]+: failed to open audio device: .+\n"
      "warning: snd_play#[0-9]+: no audio device for x.wav\nplay -1\n$");
}

// ---- events, through a stand-in mixer with 32 channels

struct fake_mixer {
  bool busy[SND_NCHANNELS];
  bool refuse;
  std::vector<std::string> plays;
  struct placed { int channel, angle, distance; };
  std::vector<placed> places;
};
fake_mixer fm;

int fake_play(const char *path, int loop, float volume) {
  if (fm.refuse) return -1;
  for (int c = 0; c < SND_NCHANNELS; c++)
    if (!fm.busy[c]) {
      fm.busy[c] = true;
      fm.plays.push_back(path);
      return c;
    }
  return -1;
}
void fake_place(int channel, int16_t angle, uint8_t distance) { fm.places.push_back({channel, angle, distance}); }
const snd_test_mixer fake = {fake_play, fake_place};

// What the mixer does when a sound ends: the notification, then the channel is free.
void finish(int c) {
  snd_channel_finished(c);
  fm.busy[c] = false;
}

struct SoundEvents : testing::Test {
  TempDir dir;
  std::string old_root = g_root;
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    usetroot(dir.dir.c_str());
    testing::internal::CaptureStdout();
    snd_events_init();
    testing::internal::GetCapturedStdout();
    snd_events_use_mixer(&fake);
    fm = fake_mixer();
    timer_init();
  }
  void TearDown() override {
    snd_events_use_mixer(nullptr);
    usetroot(old_root.c_str());
  }
  // Writes and loads a definition; its name is its path.
  std::string def(const std::string &file, const std::string &text) {
    std::string name = dir.write(file, text);
    snd_def_load(name.c_str());
    return name;
  }
  const uarray<snd_event *> &list() { return snd_event_list(); }
};

TEST_F(SoundEvents, DefinitionFiles) {
  snd_def *d = snd_def_get(def("gap", "sound1 a.wav\nsound3 c.wav\n").c_str());
  ASSERT_EQ(d->sounds.count, 1u); // sound3 without sound2 is not read
  EXPECT_EQ(d->sounds[0], dir.path("a.wav"));
  EXPECT_EQ(d->delay_min + d->delay_max + d->cutoff, 0);
  EXPECT_EQ(d->volume_min * d->volume_max, 1);

  d = snd_def_get(def("ranges", "sound1 a.wav\nsound2 sub/b c.ogg\ndelay 0.1 0.3\nvolume 0.5 0.9\ncutoff 12\n").c_str());
  ASSERT_EQ(d->sounds.count, 2u);
  EXPECT_EQ(d->sounds[1], dir.path("sub/b c.ogg"));
  EXPECT_FLOAT_EQ(d->delay_min, 0.1f);
  EXPECT_FLOAT_EQ(d->delay_max, 0.3f);
  EXPECT_FLOAT_EQ(d->volume_min, 0.5f);
  EXPECT_FLOAT_EQ(d->volume_max, 0.9f);
  EXPECT_FLOAT_EQ(d->cutoff, 12);

  std::string many;
  for (int i = 1; i <= 130; i++) many += "sound" + std::to_string(i) + " s.wav\n";
  EXPECT_EQ(snd_def_get(def("many", many).c_str())->sounds.count, 128u);

  // no sounds: it loads, and starting it does nothing
  std::string none = def("none", "# nothing to play\nvolume 0.2 0.4\n");
  EXPECT_EQ(snd_def_get(none.c_str())->sounds.count, 0u);
  snd_event_start(none.c_str(), 1, nullptr);
  EXPECT_EQ(list().count, 0u);
  EXPECT_TRUE(fm.plays.empty());

  // the joined path fills 1024 bytes at most: root, "/", the value and the terminator
  std::string fits(1022 - dir.dir.size(), 'x');
  EXPECT_EQ(snd_def_get(def("fits", "sound1 " + fits + "\n").c_str())->sounds[0], dir.path(fits));
  struct bad { const char *text, *message; } cases[] = {
      {"delay 5\n", "^error: cfg_get_vec2#[0-9]+: delay type error\n"},
      {"volume x 1\n", "^error: cfg_get_vec2#[0-9]+: volume type error\n"},
      {"cutoff far\n", "^error: cfg_get_float#[0-9]+: cutoff type error\n"},
      {"sound1\n", "^error: cfg_read#[0-9]+: #1: missing value\n"},
  };
  for (const bad &c : cases) EXPECT_EXIT(def("bad", c.text), testing::ExitedWithCode(1), c.message) << c.text;
  EXPECT_EXIT(def("long", "sound1 " + fits + "x\n"), testing::ExitedWithCode(1),
              "^error: umakepath#[0-9]+: path too long for " + fits + "x\n");
  EXPECT_EXIT(snd_def_load(dir.path("missing").c_str()), testing::ExitedWithCode(1),
              "^error: ufopen#[0-9]+: failed to open .*/missing\n");
}

TEST_F(SoundEvents, StartDrawsFileDelayVolumeInOrderAndPlaysAtOnce) {
  std::string name = def("d", "sound1 a.wav\nsound2 b.wav\nsound3 c.wav\nvolume 0.2 0.6\n");
  usrand(99);
  int r1 = urand(), r2 = urand(), r3 = urand();
  usrand(99);
  snd_event_start(name.c_str(), 0, nullptr);
  ASSERT_EQ(list().count, 1u);
  snd_event *e = list()[0];
  EXPECT_EQ(e->path, dir.path(std::string(1, (char)('a' + r1 % 3)) + ".wav"));
  (void)r2; // the delay's draw: 0 whatever it is
  EXPECT_FLOAT_EQ(e->volume, 0.2f + (float)(r3 / 32767.0) * 0.4f);
  EXPECT_EQ(e->channel, 0);
  EXPECT_EQ(fm.plays.size(), 1u);
  EXPECT_EQ(list()[0]->flags, 0u);
}

TEST_F(SoundEvents, DelayedStartsFireAtOrAfterTheirTime) {
  std::string name = def("d", "sound1 a.wav\ndelay 0.5 0.5\n");
  uint32_t before = SDL_GetTicks();
  snd_event_start(name.c_str(), 0, nullptr);
  uint32_t after = SDL_GetTicks();
  ASSERT_EQ(list().count, 1u);
  EXPECT_EQ(list()[0]->channel, -1);
  timer_poll_at(before + 499);
  EXPECT_TRUE(fm.plays.empty());
  timer_poll_at(after + 500);
  ASSERT_EQ(fm.plays.size(), 1u);
  EXPECT_EQ(list()[0]->channel, 0);
  // a timer for an event that is gone does nothing
  uint32_t *block = (uint32_t *)umalloc(4);
  *block = 12345;
  snd_event_delayed(block);
  EXPECT_EQ(fm.plays.size(), 1u);
  // a delay of ages waits 24 days
  std::string far = def("far", "sound1 a.wav\ndelay 1e30 1e30\n");
  snd_event_start(far.c_str(), 0, nullptr);
  timer_poll_at(after + 86400000);
  EXPECT_EQ(fm.plays.size(), 1u);
  EXPECT_EQ(list()[1]->channel, -1);
}

TEST_F(SoundEvents, FinishedEventsGoAndRepeatingOnesStartAnew) {
  std::string name = def("d", "sound1 a.wav\nsound2 b.wav\n");
  snd_event_start(name.c_str(), 0, nullptr);
  float pos[3] = {1, 2, 3};
  snd_event_start(name.c_str(), 1, pos);
  ASSERT_EQ(list().count, 2u);
  uint32_t id = list()[1]->id;
  finish(0);
  finish(1);
  EXPECT_EQ(list().count, 2u); // handled by the main thread, not by the notification
  snd_events_poll();
  ASSERT_EQ(list().count, 1u);
  snd_event *e = list()[0];
  EXPECT_EQ(e->id, id + 1);
  EXPECT_EQ(e->flags, (uint32_t)(SND_REPEAT | SND_PLACED));
  EXPECT_EQ(e->pos[2], 3);
  EXPECT_EQ(e->channel, 0);
  EXPECT_EQ(fm.plays.size(), 3u);
  // a notification for a channel no event plays on (the ambient loop) changes nothing
  snd_channel_finished(7);
  snd_events_poll();
  EXPECT_EQ(list().count, 1u);
}

// A delayed event that lands on the channel a finished sound has just left is not taken for it.
TEST_F(SoundEvents, ChannelReusedBeforeTheNotificationIsHandled) {
  std::string waits = def("w", "sound1 w.wav\ndelay 0.1 0.1\n"), now = def("n", "sound1 n.wav\n");
  snd_event_start(waits.c_str(), 0, nullptr);
  snd_event_start(now.c_str(), 0, nullptr);
  ASSERT_EQ(list()[1]->channel, 0);
  finish(0);
  timer_poll_at(SDL_GetTicks() + 1000); // the delayed one gets channel 0 before the next poll
  ASSERT_EQ(list()[0]->channel, 0);
  snd_events_poll();
  ASSERT_EQ(list().count, 1u);
  EXPECT_STREQ(list()[0]->path, dir.path("w.wav").c_str());
  finish(0);
  snd_events_poll();
  EXPECT_EQ(list().count, 0u);
}

TEST_F(SoundEvents, RefusedEventsAreDropped) {
  std::string name = def("d", "sound1 a.wav\n"), later = def("l", "sound1 a.wav\ndelay 0.1 0.1\n");
  fm.refuse = true;
  snd_event_start(name.c_str(), 1, nullptr);
  EXPECT_EQ(list().count, 0u); // and a repeating one is not tried again
  snd_event_start(later.c_str(), 0, nullptr);
  EXPECT_EQ(list().count, 1u);
  timer_poll_at(SDL_GetTicks() + 1000);
  EXPECT_EQ(list().count, 0u);
}

TEST_F(SoundEvents, PlacementAngleAndDistance) {
  float at[3] = {10, 0, 10};
  struct place { float x, z, yaw, range; int angle, distance; } cases[] = {
      {10, 0, 0, 20, 0, 127},     // ahead (yaw 0 looks along -z), half the cutoff
      {20, 10, 0, 20, 90, 127},   // right
      {10, 20, 0, 20, 180, 127},  // behind
      {0, 10, 0, 20, 270, 127},   // left
      {20, 10, 90, 20, 0, 127},   // turned right: ahead
      {10, 0, 90, 20, 270, 127},  // turned right: left
      {10, 0, 0, 5, 0, 255},      // beyond the cutoff
      {10, 0, 0, 0, 0, 1},        // no cutoff
  };
  for (const place &c : cases) {
    snd_listener_update(at, c.yaw);
    snd_event e = {};
    e.pos[0] = c.x, e.pos[2] = c.z, e.range = c.range;
    int16_t angle;
    uint8_t distance;
    snd_event_position(&e, &angle, &distance);
    EXPECT_EQ(angle, c.angle) << c.x << "," << c.z << " yaw " << c.yaw;
    EXPECT_EQ(distance, c.distance) << c.x << "," << c.z << " range " << c.range;
  }
  // a placed event is placed when it starts, and again at every listener update
  std::string name = def("d", "sound1 a.wav\ncutoff 20\n");
  snd_listener_update(at, 0);
  float right[3] = {20, 0, 10};
  snd_event_start(name.c_str(), 0, right);
  snd_event_start(name.c_str(), 0, nullptr);
  float turned[3] = {10, 0, 10};
  snd_listener_update(turned, 90);
  ASSERT_EQ(fm.places.size(), 2u);
  EXPECT_EQ(fm.places[0].angle, 90);
  EXPECT_EQ(fm.places[1].angle, 0);
  EXPECT_EQ(fm.places[1].distance, 127);
}

// ---- footsteps: a map of two pixels, the left one with footsteps, the right one without

struct Footsteps : SoundEvents {
  std::string steps;
  void SetUp() override {
    SoundEvents::SetUp();
    steps = dir.write("steps.def", "sound1 a.wav\nsound2 b.wav\n");
    dir.write("brushes", "brush 102030\nfootsteps:steps.def\nbrush 405060\n");
    brush_clear();
    brush_read_file();
    SDL_Surface *s = SDL_CreateRGBSurface(0, 2, 1, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    uint8_t *p = (uint8_t *)s->pixels;
    p[0] = 0x30, p[1] = 0x20, p[2] = 0x10, p[3] = 0x60, p[4] = 0x50, p[5] = 0x40;
    objmap_set(s, 2);
    footsteps_reset();
    g_cam.pos[0] = -0.5f, g_cam.pos[2] = 0;
    g_in_forward = g_in_strafe = g_jump_offset = 0;
  }
  void TearDown() override {
    brush_clear();
    g_in_forward = g_in_strafe = g_jump_offset = 0;
    SoundEvents::TearDown();
  }
  // Steps at the given times; the ticks of those that sounded.
  std::vector<uint32_t> walk(std::initializer_list<uint32_t> times) {
    std::vector<uint32_t> out;
    for (uint32_t t : times) {
      size_t n = fm.plays.size();
      footsteps_update_at(t);
      if (fm.plays.size() > n) {
        out.push_back(t);
        finish(list()[list().count - 1]->channel);
      }
      snd_listener_update(g_cam.pos, 0);
    }
    return out;
  }
};

TEST_F(Footsteps, PaceAndStops) {
  EXPECT_TRUE(walk({100, 2000}).empty()); // standing
  g_in_forward = 1;
  EXPECT_EQ(walk({2100, 2600, 2700, 2701, 3301, 3302}), (std::vector<uint32_t>{2100, 2701, 3302}));
  EXPECT_NE(snd_def_get(steps.c_str()), nullptr); // loaded at the first step
  EXPECT_EQ(list().count, 0u);                     // finished steps leave the list
  g_in_forward = 0, g_in_strafe = -0.5f;           // a light touch: a step every 800 ms
  EXPECT_EQ(walk({4000, 4799, 4801}), (std::vector<uint32_t>{4000, 4801}));
  g_jump_offset = 0.5f; // in the air
  EXPECT_TRUE(walk({6000}).empty());
  g_jump_offset = 0, g_cam.pos[0] = 0.5f; // a brush without footsteps
  EXPECT_TRUE(walk({7000, 8000}).empty());
  g_cam.pos[0] = -0.5f; // back onto footsteps: the pace timer has run out, so at once
  EXPECT_EQ(walk({8033}), (std::vector<uint32_t>{8033}));
}

} // namespace
