// String map: 4096 buckets, signed-byte hash, insertion order within a bucket.
#include "core/strmap.h"
#include <cstring>

uint32_t sm_hash(const char *key) {
  uint32_t h = 0;
  for (const char *p = key; *p; p++) h = h * 31u + (uint32_t)(int32_t)(signed char)*p;
  return h & 0xFFF;
}

strmap *sm_create(void) {
  strmap *m = (strmap *)umalloc(sizeof *m);
  for (auto &b : m->buckets) b = uarray<sm_entry *>();
  m->walk_bucket = 0;
  m->walk_entry = 0;
  return m;
}

static sm_entry *find(const strmap *m, const char *key) {
  const uarray<sm_entry *> &b = m->buckets[sm_hash(key)];
  for (sm_entry *e : b)
    if (strcmp(e->key, key) == 0) return e;
  return nullptr;
}

void sm_set(strmap *m, const char *key, uintptr_t value) {
  if (sm_entry *e = find(m, key)) {
    e->value = value;
    return;
  }
  sm_entry *e = (sm_entry *)umalloc(sizeof *e);
  size_t n = strlen(key) + 1;
  e->key = (char *)umalloc(n);
  memcpy(e->key, key, n);
  e->value = value;
  ua_push(m->buckets[sm_hash(key)], e);
}

uintptr_t sm_get(const strmap *m, const char *key) {
  sm_entry *e = find(m, key);
  return e ? e->value : 0;
}

void sm_walk_begin(strmap *m) {
  m->walk_bucket = 0;
  m->walk_entry = 0;
}

sm_entry *sm_walk_next(strmap *m) {
  while (m->walk_bucket < SM_NBUCKETS) {
    uarray<sm_entry *> &b = m->buckets[m->walk_bucket];
    if (m->walk_entry < b.count) return b[m->walk_entry++];
    m->walk_bucket++;
    m->walk_entry = 0;
  }
  return nullptr;
}

void sm_destroy(strmap *m) {
  for (auto &b : m->buckets) {
    for (sm_entry *e : b) {
      free(e->key);
      free(e);
    }
    ua_free(b);
  }
  free(m);
}
