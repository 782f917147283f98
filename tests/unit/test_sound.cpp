// Sound: the device on SDL's dummy driver, definition files, event starts, delays, repeats and
// refusals through a stand-in mixer, placement, and the footstep pace.
#include "app/app.h"
#include "core/timer.h"
#include "render/camera.h"
#include "sound/sound.h"
#include "tests/unit/testutil.h"
#include <SDL_mixer.h>

namespace {

// A 16-bit mono WAV of n samples of a quiet square wave.
std::string wav(uint32_t n) {
  std::string b;
  auto u32 = [&](uint32_t v, int bytes = 4) { for (int i = 0; i < bytes; i++) b += (char)(v >> 8 * i); };
  b += "RIFF", u32(36 + 2 * n), b += "WAVEfmt ", u32(16), u32(1, 2), u32(1, 2), u32(22050), u32(44100), u32(2, 2), u32(16, 2);
  b += "data", u32(2 * n);
  for (uint32_t i = 0; i < n; i++) u32(i / 25 % 2 ? 1000 : (uint16_t)-1000, 2);
  return b;
}

// ---- the device

TEST(SoundDevice, OpensOncePlaysWithChunkVolumeRefusesThe33rdAndUndecodableFiles) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TempDir d;
  std::string a = d.write("a.wav", wav(2205)), b = d.write("b.wav", wav(2205)), bad = d.write("bad.wav", "RIFF but not a sound");
  testing::internal::CaptureStdout();
  ASSERT_TRUE(snd_init() == 0 && snd_init() == 0);
  EXPECT_GE(snd_play(a.c_str(), 0, 2.0f), 0);
  Mix_Chunk *chunk = snd_chunk(a.c_str());
  int volumes[3] = {Mix_VolumeChunk(chunk, -1), (snd_play(a.c_str(), 0, 0.7f), Mix_VolumeChunk(chunk, -1)),
                    (snd_play(a.c_str(), 0, -1.0f), Mix_VolumeChunk(chunk, -1))};
  EXPECT_TRUE(volumes[0] == 128 && volumes[1] == 89 && volumes[2] == 0); // the volume belongs to the file: both playbacks take 89
  Mix_HaltChannel(-1);
  for (int i = 0; i < SND_NCHANNELS; i++) ASSERT_GE(snd_play(b.c_str(), 1, 0.5f), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(snd_play(b.c_str(), 1, 0.5f), -1);
  EXPECT_TRUE(std::regex_match(testing::internal::GetCapturedStderr(),
                               std::regex("warning: snd_play#[0-9]+: No free channels available\n")));
  Mix_HaltChannel(-1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "snd_init: audio initialized: 22050Hz, channels 2\nsnd_load: " + a + " loaded\nsnd_load: " + b + " loaded\n");
  EXPECT_EXIT(snd_play(bad.c_str(), 0, 1), testing::ExitedWithCode(1), "^error: snd_load#[0-9]+: Mix_LoadWAV: .+\n");
  snd_refuse(bad.c_str()); // as a sound event does once the game runs: refused quietly from then on
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(snd_play(bad.c_str(), 0, 1), -1); }), "");
  EXPECT_EXIT(snd_play(d.path("none.wav").c_str(), 0, 1), testing::ExitedWithCode(1),
              "^error: snd_load#[0-9]+: Mix_LoadWAV: Couldn't open .*none.wav\n");
}

// Without a device the game goes on silently: one warning, and every play is refused quietly.
TEST(SoundDevice, NoDeviceRefusesEveryPlay) {
  testing::FLAGS_gtest_death_test_style = "threadsafe"; // a fresh process, no device opened yet
  EXPECT_EXIT(
      {
        setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
        snd_init();
        snd_events_init(); // tries once more
        snd_play("x.wav", 1, 0.7f);
        exit(fprintf(stderr, "play %d\n", snd_play("x.wav", 0, 1)) < 0);
      },
      testing::ExitedWithCode(0),
      "^warning: snd_init#[0-9]+: no audio device: the game runs silent \\(failed to open audio device: .+\\)\n"
      "play -1\n$");
}

// ---- events, through a stand-in mixer with 32 channels

struct fake_mixer {
  bool busy[SND_NCHANNELS], refuse;
  std::vector<std::string> plays;
  std::vector<int> angles, distances;
} fm;
int fake_play(const char *path, int, float) {
  for (int c = 0; c < SND_NCHANNELS && !fm.refuse; c++)
    if (!fm.busy[c]) return fm.busy[c] = true, fm.plays.push_back(path), c;
  return -1;
}
const snd_test_mixer fake = {fake_play, [](int, int16_t angle, uint8_t distance) { fm.angles.push_back(angle), fm.distances.push_back(distance); }};
// What the mixer does when a sound ends: the notification, then the channel is free.
void finish(int c) { snd_channel_finished(c), fm.busy[c] = false; }

struct SoundEvents : WorldRoot {
  void SetUp() override {
    WorldRoot::SetUp();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    stdout_of(snd_events_init);
    snd_events_use_mixer(&fake), fm = fake_mixer(), timer_init();
  }
  void TearDown() override { snd_events_use_mixer(nullptr), WorldRoot::TearDown(); }
  // Writes and loads a definition; its name is its path.
  std::string def(const std::string &file, const std::string &text) {
    std::string name = dir.write(file, text);
    return snd_def_load(name.c_str()), name;
  }
  const uarray<snd_event *> &list() { return snd_event_list(); }
  void start(const std::string &name, int repeat = 0, const float *pos = nullptr) { snd_event_start(name.c_str(), repeat, pos); }
};

TEST_F(SoundEvents, DefinitionFiles) {
  snd_def *d = snd_def_get(def("gap", "sound1 a.wav\nsound3 c.wav\n").c_str());
  ASSERT_EQ(d->sounds.count, 1u); // sound3 without sound2 is not read
  d = snd_def_get(def("ranges", "sound1 a.wav\nsound2 sub/b c.ogg\ndelay 0.1 0.3\nvolume 0.5 0.9\ncutoff 12\n").c_str());
  ASSERT_EQ(d->sounds.count, 2u);
  EXPECT_EQ(d->sounds[1], dir.path("sub/b c.ogg"));
  EXPECT_TRUE(d->delay_min == 0.1f && d->delay_max == 0.3f && d->volume_min == 0.5f && d->volume_max == 0.9f && d->cutoff == 12);
  std::string many;
  for (int i = 1; i <= 130; i++) many += "sound" + std::to_string(i) + " s.wav\n";
  EXPECT_EQ(snd_def_get(def("many", many).c_str())->sounds.count, 128u);
  std::string none = def("none", "# nothing to play\nvolume 0.2 0.4\n");
  EXPECT_EQ(snd_def_get(none.c_str())->sounds.count, 0u);
  start(none, 1);
  EXPECT_TRUE(list().count == 0 && fm.plays.empty());
  // the joined path fills 1024 bytes at most: root, "/", the value and the terminator
  std::string fits(1022 - dir.dir.size(), 'x');
  EXPECT_EQ(snd_def_get(def("fits", "sound1 " + fits + "\n").c_str())->sounds[0], dir.path(fits));
  const std::string cases[][2] = {
      {"delay 5\n", "cfg_get_vec2#[0-9]+: delay type error\n"},      {"volume x 1\n", "cfg_get_vec2#[0-9]+: volume type error\n"},
      {"cutoff far\n", "cfg_get_float#[0-9]+: cutoff type error\n"}, {"sound1\n", "cfg_read#[0-9]+: #1: missing value\n"},
      {"sound1 " + fits + "x\n", "umakepath#[0-9]+: path too long for " + fits + "x\n"}};
  for (auto &c : cases) EXPECT_EXIT(def("bad", c[0]), testing::ExitedWithCode(1), "^error: " + c[1]) << c[0];
  // numbers that are not finite: each key refused with a warning, its default kept
  std::string err = stderr_of([&] { d = snd_def_get(def("inf", "sound1 a.wav\ndelay 0 inf\nvolume nan 1\ncutoff -inf\n").c_str()); });
  EXPECT_TRUE(d->delay_max == 0 && d->volume_min == 1 && d->cutoff == 0);
  EXPECT_TRUE(std::regex_match(err, std::regex("(warning: snd_def_read#[0-9]+: (delay|volume|cutoff) in .*/inf is not a finite number: it "
                                               "keeps its default\n){3}")))
      << err;
}

TEST_F(SoundEvents, StartDrawsFileDelayVolumeInOrderAndPlaysAtOnce) {
  std::string name = def("d", "sound1 a.wav\nsound2 b.wav\nsound3 c.wav\nvolume 0.2 0.6\n");
  usrand(99);
  int r1 = urand(), r3 = (urand(), urand()); // the delay's draw between them: 0 whatever it is
  usrand(99);
  start(name);
  ASSERT_EQ(list().count, 1u);
  snd_event *e = list()[0];
  EXPECT_EQ(e->path, dir.path(std::string(1, (char)('a' + r1 % 3)) + ".wav"));
  EXPECT_FLOAT_EQ(e->volume, 0.2f + (float)(r3 / 32767.0) * 0.4f);
  EXPECT_TRUE(e->channel == 0 && fm.plays.size() == 1 && e->flags == 0);
}

TEST_F(SoundEvents, DelayedStartsFireAtOrAfterTheirTime) {
  uint32_t before = SDL_GetTicks();
  start(def("d", "sound1 a.wav\ndelay 0.5 0.5\n"));
  uint32_t after = SDL_GetTicks();
  ASSERT_TRUE(list().count == 1 && list()[0]->channel == -1);
  timer_poll_at(before + 499);
  EXPECT_TRUE(fm.plays.empty());
  timer_poll_at(after + 500);
  ASSERT_TRUE(fm.plays.size() == 1 && list()[0]->channel == 0);
  uint32_t *block = (uint32_t *)umalloc(4); // a timer for an event that is gone does nothing
  *block = 12345;
  snd_event_delayed(block);
  start(def("far", "sound1 a.wav\ndelay 1e30 1e30\n")); // a delay of ages waits 24 days
  timer_poll_at(after + 86400000);
  EXPECT_TRUE(fm.plays.size() == 1 && list()[1]->channel == -1);
}

TEST_F(SoundEvents, FinishedEventsGoRepeatingOnesStartAnewRefusedOnesAreDropped) {
  std::string name = def("d", "sound1 a.wav\nsound2 b.wav\n");
  float pos[3] = {1, 2, 3};
  start(name), start(name, 1, pos);
  ASSERT_EQ(list().count, 2u);
  uint32_t id = list()[1]->id;
  finish(0), finish(1);
  EXPECT_EQ(list().count, 2u); // handled by the main thread, not by the notification
  snd_events_poll();
  ASSERT_EQ(list().count, 1u);
  snd_event *e = list()[0];
  EXPECT_TRUE(e->id == id + 1 && e->flags == (uint32_t)(SND_REPEAT | SND_PLACED) && e->pos[2] == 3 && e->channel == 0);
  EXPECT_EQ(fm.plays.size(), 3u);
  snd_channel_finished(7), snd_events_poll(); // a channel no event plays on (the ambient loop): nothing changes
  EXPECT_EQ(list().count, 1u);
  // refused: a repeating one is not tried again, a delayed one goes when its time comes
  finish(0), fm.refuse = true, snd_events_poll();
  start(name, 1);
  EXPECT_EQ(list().count, 0u);
  start(def("l", "sound1 a.wav\ndelay 0.1 0.1\n"));
  EXPECT_EQ(list().count, 1u);
  timer_poll_at(SDL_GetTicks() + 1000);
  EXPECT_EQ(list().count, 0u);
}

// A delayed event that lands on the channel a finished sound has just left is not taken for it.
TEST_F(SoundEvents, ChannelReusedBeforeTheNotificationIsHandled) {
  start(def("w", "sound1 w.wav\ndelay 0.1 0.1\n")), start(def("n", "sound1 n.wav\n"));
  ASSERT_EQ(list()[1]->channel, 0);
  finish(0);
  timer_poll_at(SDL_GetTicks() + 1000); // the delayed one gets channel 0 before the next poll
  ASSERT_EQ(list()[0]->channel, 0);
  snd_events_poll();
  ASSERT_TRUE(list().count == 1 && list()[0]->path == dir.path("w.wav"));
  finish(0), snd_events_poll();
  EXPECT_EQ(list().count, 0u);
}

TEST_F(SoundEvents, PlacementAngleAndDistance) {
  float at[3] = {10, 0, 10};
  const float cases[][6] = {// x, z, yaw, range: angle, distance
      {10, 0, 0, 20, 0, 127},   // ahead (yaw 0 looks along -z), half the cutoff
      {20, 10, 0, 20, 90, 127}, {10, 20, 0, 20, 180, 127}, {0, 10, 0, 20, 270, 127}, // right, behind, left
      {20, 10, 90, 20, 0, 127}, {10, 0, 90, 20, 270, 127}, // turned right: ahead, left
      {10, 0, 0, 5, 0, 255},    {10, 0, 0, 0, 0, 1}};      // beyond the cutoff; no cutoff
  for (auto &c : cases) {
    snd_event e = {};
    e.pos[0] = c[0], e.pos[2] = c[1], e.range = c[3];
    int16_t angle;
    uint8_t distance;
    snd_listener_update(at, c[2]), snd_event_position(&e, &angle, &distance);
    EXPECT_TRUE(angle == c[4] && distance == c[5]) << c[0] << "," << c[1] << " yaw " << c[2] << " range " << c[3];
  }
  std::string name = def("d", "sound1 a.wav\ncutoff 20\n");
  snd_listener_update(at, 0);
  float right[3] = {20, 0, 10};
  start(name, 0, right), start(name);
  snd_listener_update(at, 90);
  EXPECT_TRUE(fm.angles == (std::vector<int>{90, 0}) && fm.distances[1] == 127);
}

// ---- footsteps: a map of two pixels, the left one with footsteps, the right one without

struct Footsteps : SoundEvents {
  void SetUp() override {
    SoundEvents::SetUp();
    dir.write("steps.def", "sound1 a.wav\nsound2 b.wav\n");
    brushes("brush 102030\nfootsteps:steps.def\nbrush 405060\n");
    objmap(2, 1, [](int x, int) { return x ? 0x405060u : 0x102030u; }, 2);
    footsteps_reset();
    g_cam.pos[0] = -0.5f, g_cam.pos[2] = 0;
    g_in_forward = g_in_strafe = g_jump_offset = 0;
  }
  void TearDown() override { g_in_forward = g_in_strafe = g_jump_offset = 0, SoundEvents::TearDown(); }
  // Steps at the given times; the ticks of those that sounded.
  std::vector<uint32_t> walk(std::initializer_list<uint32_t> times) {
    std::vector<uint32_t> out;
    for (uint32_t t : times) {
      size_t n = fm.plays.size();
      footsteps_update_at(t);
      if (fm.plays.size() > n) out.push_back(t), finish(list()[list().count - 1]->channel);
      snd_listener_update(g_cam.pos, 0);
    }
    return out;
  }
};

TEST_F(Footsteps, PaceAndStops) {
  typedef std::vector<uint32_t> ticks;
  EXPECT_TRUE(walk({100, 2000}).empty()); // standing
  g_in_forward = 1;
  EXPECT_EQ(walk({2100, 2600, 2700, 2701, 3301, 3302}), (ticks{2100, 2701, 3302}));
  EXPECT_NE(snd_def_get(dir.path("steps.def").c_str()), nullptr); // loaded at the first step
  g_in_forward = 0, g_in_strafe = -0.5f;                           // a light touch: a step every 800 ms
  EXPECT_EQ(walk({4000, 4799, 4801}), (ticks{4000, 4801}));
  g_jump_offset = 0.5f; // in the air
  EXPECT_TRUE(walk({6000}).empty());
  g_jump_offset = 0, g_cam.pos[0] = 0.5f; // a brush without footsteps
  EXPECT_TRUE(walk({7000, 8000}).empty());
  g_cam.pos[0] = -0.5f; // back onto footsteps: the pace timer has run out, so at once
  EXPECT_EQ(walk({8033}), (ticks{8033}));
}

} // namespace
