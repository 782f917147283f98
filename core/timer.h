// Timer queue: deferred calls fired by the update step; additions may come from the audio thread.
#pragma once
#include <cstdint>

typedef void (*timer_callback)(void *arg);

void timer_init(void);
void timer_add(uint32_t delay, timer_callback callback, void *arg);
void timer_poll(void);
// The same with an explicit clock, for tests.
void timer_add_at(uint32_t now, uint32_t delay, timer_callback callback, void *arg);
void timer_poll_at(uint32_t now);
uint32_t timer_count(void);
