// Timer queue: deferred calls in insertion order. The audio thread may add entries, so every use
// of the queue holds its lock; callbacks run outside it so they may add entries themselves.
#include "core/timer.h"
#include "core/array.h"
#include <SDL.h>
#include <mutex>

struct timer_entry {
  uint32_t due;
  timer_callback callback;
  void *arg;
};

static uarray<timer_entry> queue;
static std::mutex lock;

void timer_init(void) {
  std::lock_guard<std::mutex> g(lock);
  ua_free(queue);
}

void timer_add_at(uint32_t now, uint32_t delay, timer_callback callback, void *arg) {
  std::lock_guard<std::mutex> g(lock);
  ua_push(queue, timer_entry{now + delay, callback, arg});
}

void timer_add(uint32_t delay, timer_callback callback, void *arg) {
  timer_add_at(SDL_GetTicks(), delay, callback, arg);
}

void timer_poll_at(uint32_t now) {
  std::unique_lock<std::mutex> g(lock);
  for (uint32_t i = 0; i < queue.count;) {
    if (queue[i].due > now) {
      i++;
      continue;
    }
    timer_entry e = queue[i];
    memmove(&queue[i], &queue[i + 1], (queue.count - i - 1) * sizeof e);
    queue.count--;
    g.unlock();
    e.callback(e.arg);
    g.lock();
  }
  if (queue.count == 0) ua_free(queue); // an idle queue holds no memory
}

void timer_poll(void) { timer_poll_at(SDL_GetTicks()); }

uint32_t timer_count(void) {
  std::lock_guard<std::mutex> g(lock);
  return queue.count;
}
