// String map: 4096 buckets keyed by a signed-byte hash; values are opaque to the map.
#pragma once
#include <cstdint>
#include "core/array.h"

enum { SM_NBUCKETS = 4096 };

struct sm_entry {
  char *key;
  uintptr_t value; // a number or a pointer; the map never frees or reads it
};

struct strmap {
  uarray<sm_entry *> buckets[SM_NBUCKETS];
  uint32_t walk_bucket;
  uint32_t walk_entry;
};

uint32_t sm_hash(const char *key);
strmap *sm_create(void);
void sm_set(strmap *m, const char *key, uintptr_t value);
uintptr_t sm_get(const strmap *m, const char *key);
// Walk: bucket 0 to 4095, insertion order within a bucket; one walk per map at a time.
void sm_walk_begin(strmap *m);
sm_entry *sm_walk_next(strmap *m);
void sm_destroy(strmap *m);
