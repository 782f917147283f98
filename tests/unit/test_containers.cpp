// Growable array growth rule and the string map's hash, replacement and walk.
#include "core/array.h"
#include "core/strmap.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(Array, GrowthRuleKeepsCapacityAboveUse) {
  uarray<float> a;
  std::vector<uint32_t> caps;
  for (int i = 0; i < 41; i++) {
    ua_push(a, (float)i);
    caps.push_back(a.capacity);
  }
  EXPECT_EQ(caps[0], 40u);  // first append: room for 10
  EXPECT_EQ(caps[8], 40u);  // count 9 still fits strictly
  EXPECT_EQ(caps[9], 80u);  // the tenth append doubles
  EXPECT_EQ(caps[19], 160u);
  EXPECT_EQ(caps[39], 320u);
  for (uint32_t i = 0; i < a.count; i++) ASSERT_EQ(a[i], (float)i);
  ua_free(a);
  EXPECT_EQ(a.capacity, 0u);
  struct big {
    char b[100];
  };
  uarray<big> g; // element size need not divide anything: the rule is in bytes
  ua_grow(g);
  EXPECT_EQ(g.capacity, 1000u);
  ua_free(g);
}

TEST(StrMap, HashUsesSignedBytes) {
  EXPECT_EQ(sm_hash(""), 0u);
  EXPECT_EQ(sm_hash("a"), 97u);
  EXPECT_EQ(sm_hash("ab"), (97u * 31 + 98) & 0xFFF);
  // 0xE9 counts as -23: h = -23 * 31 + 'x'
  EXPECT_EQ(sm_hash("\xE9x"), (uint32_t)(-23 * 31 + 'x') & 0xFFF);
  EXPECT_NE(sm_hash("\xE9x"), (uint32_t)(0xE9 * 31 + 'x') & 0xFFF);
}

TEST(StrMap, SetGetReplaceAndCase) {
  strmap *m = sm_create();
  EXPECT_EQ(sm_get(m, ""), 0u);
  EXPECT_EQ(sm_get(m, "logo.png"), 0u);
  sm_set(m, "Key", 1);
  sm_set(m, "key", 2);
  sm_set(m, "key", 3);
  sm_set(m, "zero", 0);
  sm_set(m, "caf\xE9", 4);
  EXPECT_EQ(sm_get(m, "Key"), 1u);
  EXPECT_EQ(sm_get(m, "key"), 3u);
  EXPECT_EQ(sm_get(m, "zero"), 0u); // indistinguishable from absent
  EXPECT_EQ(sm_get(m, "caf\xE9"), 4u);
  int n = 0;
  sm_walk_begin(m);
  while (sm_entry *e = sm_walk_next(m)) n += std::string(e->key) == "key";
  EXPECT_EQ(n, 1);
  sm_destroy(m);
}

TEST(StrMap, WalkVisitsBucketsInOrderThenInsertionOrder) {
  strmap *m = sm_create();
  // "Aa" and "BB" collide (65*31+97 == 66*31+66); "b" lands in bucket 98, before them
  sm_set(m, "BB", 1);
  sm_set(m, "Aa", 2);
  sm_set(m, "b", 3);
  ASSERT_EQ(sm_hash("Aa"), sm_hash("BB"));
  std::vector<std::string> keys;
  sm_walk_begin(m);
  while (sm_entry *e = sm_walk_next(m)) keys.push_back(e->key);
  EXPECT_EQ(keys, (std::vector<std::string>{"b", "BB", "Aa"}));
  sm_destroy(m);
}
