// Fuzz target: a sound definition file, then events of it started, delayed, placed and finished
// through a stand-in mixer (no audio device); every event must leave the list again.
#include "core/timer.h"
#include "core/util.h"
#include "sound/sound.h"
#include "tests/fuzz/fuzz.h"
#include <cstdlib>
#include <vector>

// Every other play is refused; the others get the channels in turn and are finished at the end
// of the input, one notification per play.
static int plays;
static std::vector<int> playing;
static int stand_in_play(const char *, int, float) {
  if (plays++ % 2) return -1;
  playing.push_back(plays % SND_NCHANNELS);
  return playing.back();
}
static void stand_in_place(int, int16_t angle, uint8_t) {
  if (angle < 0 || angle >= 360) abort();
}
static const snd_test_mixer mixer = {stand_in_play, stand_in_place};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = [] {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    fuzz_root();
    timer_init();
    snd_events_init(); // the dummy device or none: the stand-in plays
    snd_events_use_mixer(&mixer);
    return true;
  }();
  (void)ready;
  std::string path = fuzz_write("f.def", data, size);
  usrand(1);
  if (fuzz_try([&] { snd_def_load(path.c_str()); })) {
    const float here[3] = {3, 0, -4};
    fuzz_try([&] {
      snd_event_start(path.c_str(), 0, nullptr);
      snd_event_start(path.c_str(), 0, here);
      snd_event_start(path.c_str(), 0, here);
      timer_poll_at(UINT32_MAX); // every delay has passed
      snd_listener_update(here, 30);
      for (int c : playing) snd_channel_finished(c);
      playing.clear();
      snd_events_poll();
    });
    if (snd_event_list().count != 0) abort();
  }
  fuzz_check_files();
  return 0;
}
