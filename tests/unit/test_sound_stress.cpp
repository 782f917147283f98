// Sound events under two threads: the channel-finished notification fired from a second thread
// while the main thread starts, places and polls events. Also built with ThreadSanitizer.
#include "core/timer.h"
#include "sound/sound.h"
#include "tests/unit/testutil.h"
#include <atomic>
#include <set>
#include <thread>

namespace {
// A mixer stand-in that behaves like the real one across threads: a channel is busy from its
// play until the audio thread has sent the notification and released it.
std::atomic<bool> busy[SND_NCHANNELS];
int stress_play(const char *, int, float) {
  for (int c = 0; c < SND_NCHANNELS; c++) {
    bool free_channel = false;
    if (busy[c].compare_exchange_strong(free_channel, true, std::memory_order_acquire)) return c;
  }
  return -1; // all busy: refused
}
const snd_test_mixer stress_mixer = {stress_play, [](int, int16_t, uint8_t) {}};

TEST(SoundStress, NotificationsFromAnotherThread) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TempDir dir;
  usetroot(dir.dir.c_str());
  std::string now = dir.write("n.def", "sound1 a.wav\nsound2 b.wav\ncutoff 10\n"), later = dir.write("l.def", "sound1 a.wav\ndelay 0.001 0.004\n");
  stdout_of(snd_events_init);
  snd_events_use_mixer(&stress_mixer);
  timer_init();
  snd_def_load(now.c_str()), snd_def_load(later.c_str());
  std::atomic<bool> stop(false);
  std::atomic<uint32_t> fired(0);
  std::thread audio([&] {
    for (uint32_t r = 12345; !stop.load();) {
      r = r * 1103515245u + 12345u;
      int c = (int)(r >> 16) % SND_NCHANNELS;
      if (!busy[c].load(std::memory_order_acquire)) continue;
      snd_channel_finished(c);
      busy[c].store(false, std::memory_order_release);
      fired++;
    }
  });
  float pos[3] = {0, 0, 0};
  for (int i = 0; i < 20000 || fired.load() < 5000; i++) {
    pos[0] = (float)(i % 17);
    snd_event_start(i % 16 ? now.c_str() : later.c_str(), i % 5 == 0, i % 2 ? pos : nullptr);
    snd_listener_update(pos, (float)(i % 360));
    timer_poll();
  }
  stop = true;
  audio.join();
  snd_events_poll();
  // every busy channel is held by exactly one event, and every event with a channel holds one
  std::set<int> held;
  for (snd_event *e : snd_event_list()) {
    if (e->channel == -1) continue; // waiting for its delay
    EXPECT_TRUE(busy[e->channel].load()) << "event " << e->id << " on a free channel " << e->channel;
    EXPECT_TRUE(held.insert(e->channel).second) << "two events on channel " << e->channel;
  }
  for (int c = 0; c < SND_NCHANNELS; c++) EXPECT_EQ(busy[c].load(), held.count(c) == 1) << "channel " << c;
  EXPECT_GE(fired.load(), 5000u);
  snd_events_use_mixer(nullptr);
}
} // namespace
