// Growable array: the one way lists grow. capacity counts BYTES, not elements.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include "core/util.h"

template <typename T> struct uarray {
  T *items = nullptr;
  uint32_t count = 0;
  uint32_t capacity = 0;
  T &operator[](uint32_t i) { return items[i]; }
  const T &operator[](uint32_t i) const { return items[i]; }
  T *begin() { return items; }
  T *end() { return items + count; }
  const T *begin() const { return items; }
  const T *end() const { return items + count; }
};

// Room for one more element: 10 elements at first, then doubling while capacity <= (count + 1) * s.
template <typename T> void ua_grow(uarray<T> &a) {
  static_assert(std::is_trivially_copyable<T>::value, "uarray holds plain records");
  const uint64_t s = sizeof(T);
  uint64_t cap = a.capacity;
  bool moved = false;
  if (cap == 0) {
    cap = 10 * s;
    moved = true;
  }
  while (cap <= (uint64_t(a.count) + 1) * s) {
    cap *= 2;
    moved = true;
  }
  if (!moved) return;
  // capacity is a 32-bit byte count: a list that would outgrow it is out of memory
  if (cap > UINT32_MAX) urealloc_fail(cap);
  a.items = (T *)urealloc(a.items, (size_t)cap);
  a.capacity = (uint32_t)cap;
}

template <typename T> void ua_push(uarray<T> &a, const T &v) {
  ua_grow(a);
  a.items[a.count++] = v;
}

template <typename T> void ua_free(uarray<T> &a) {
  free(a.items);
  a.items = nullptr;
  a.count = 0;
  a.capacity = 0;
}
