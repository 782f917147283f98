// Growable array growth rule and the string map's hash, replacement and walk.
#include "core/array.h"
#include "core/strmap.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(Array, GrowthRuleKeepsCapacityAboveUse) {
  uarray<float> a;
  std::vector<uint32_t> caps;
  for (int i = 0; i < 41; i++) ua_push(a, (float)i), caps.push_back(a.capacity);
  // first append: room for 10; count 9 still fits strictly; the tenth append doubles
  EXPECT_TRUE(caps[0] == 40 && caps[8] == 40 && caps[9] == 80 && caps[19] == 160 && caps[39] == 320);
  for (uint32_t i = 0; i < a.count; i++) ASSERT_EQ(a[i], (float)i);
  ua_free(a);
  EXPECT_EQ(a.capacity, 0u);
  struct big { char b[100]; };
  uarray<big> g; // element size need not divide anything: the rule is in bytes
  ua_grow(g);
  EXPECT_EQ(g.capacity, 1000u);
  ua_free(g);
}

TEST(StrMap, SignedByteHashReplaceCaseAndWalkOrder) {
  // 0xE9 counts as -23: h = -23 * 31 + 'x'
  EXPECT_TRUE(sm_hash("") == 0 && sm_hash("ab") == ((97u * 31 + 98) & 0xFFF));
  EXPECT_EQ(sm_hash("\xE9x"), (uint32_t)(-23 * 31 + 'x') & 0xFFF);
  strmap *m = sm_create();
  EXPECT_EQ(sm_get(m, "logo.png"), 0u);
  // "Aa" and "BB" collide (65*31+97 == 66*31+66); "b" lands in bucket 98, before them
  const std::pair<const char *, uint32_t> sets[] = {{"BB", 1}, {"Key", 5}, {"key", 2}, {"key", 3}, {"Aa", 2}, {"caf\xE9", 4}, {"b", 3}};
  for (auto &s : sets) sm_set(m, s.first, s.second);
  EXPECT_TRUE(sm_get(m, "Key") == 5 && sm_get(m, "key") == 3 && sm_get(m, "caf\xE9") == 4);
  std::vector<std::string> keys;
  sm_walk_begin(m);
  while (sm_entry *e = sm_walk_next(m))
    if (e->key[0] != 'K' && e->key[0] != 'k' && e->key[0] != 'c') keys.push_back(e->key);
  EXPECT_EQ(keys, (std::vector<std::string>{"b", "BB", "Aa"}));
  int n = 0; // replaced, not added
  sm_walk_begin(m);
  while (sm_entry *e = sm_walk_next(m)) n += std::string(e->key) == "key";
  EXPECT_EQ(n, 1);
  sm_destroy(m);
}
