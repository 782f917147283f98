// Quadtree: splitting, items in several leaves, stamps, near-to-far order and the debug line.
#include "core/params.h"
#include "world/quadtree.h"
#include "world/spawn.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A tree over -200..200 whose items are boxes; the wi pointers are only compared.
struct Tree : testing::Test {
  float old_sz = f_tn_sz;
  quadtree *qt;
  std::vector<qt_item *> items;
  wi records[2000];
  void SetUp() override {
    f_tn_sz = 400;
    qt = qt_create();
  }
  void TearDown() override { f_tn_sz = old_sz; }
  qt_item *add(float x0, float z0, float x1, float z1, float y0 = 0, float y1 = 1) {
    qt_item *it = new qt_item{aabb{{x0, y0, z0}, {x1, y1, z1}}, &records[items.size()], 0};
    items.push_back(it);
    qt_insert(qt->root, it, 0);
    return it;
  }
  qt_item *at(float x, float z) { return add(x - 0.5f, z - 0.5f, x + 0.5f, z + 0.5f); }
  uarray<wi *> result;
  std::vector<wi *> query(float px, float pz, int (*test)(const qt_request *, const aabb *)) {
    result.count = 0;
    qt_request q = {test, nullptr, &result, {px, 0, pz}, qt->stamp++};
    qt_query(qt->root, &q);
    return std::vector<wi *>(result.begin(), result.end());
  }
  size_t index(wi *w) { return w - records; }
};

int keep_all(const qt_request *, const aabb *) { return 1; }
int node_calls;
int count_nodes(const qt_request *, const aabb *b) {
  node_calls++;
  return 1;
}
// nodes (at least 12.5 wide) pass; of the items only those standing at height 100
int markers(const qt_request *, const aabb *b) { return b->max[0] - b->min[0] > 10 || b->min[1] >= 100; }

std::string debug_line() {
  testing::internal::CaptureStdout();
  quadtree_print_debug();
  return testing::internal::GetCapturedStdout();
}

} // namespace

TEST_F(Tree, CreatesAnEmptyRootOverTheTerrain) {
  EXPECT_EQ(qt->stamp, 1u);
  EXPECT_FLOAT_EQ(qt->root->box.min[0], -200);
  EXPECT_FLOAT_EQ(qt->root->box.max[2], 200);
  EXPECT_GT(qt->root->box.min[1], qt->root->box.max[1]);
  g_quadtree = qt;
  EXPECT_EQ(debug_line(), "quadtree_print_debug: \n  max depth 0\n  num quadrants 1\n  num items 0\n");
  g_quadtree = nullptr;
}

TEST_F(Tree, FortyItemsStayALeafAndTheFortyFirstSplitsIt) {
  // spread over the four quadrants, none on a border
  for (int i = 0; i < 40; i++) at(-150 + (i % 8) * 40.0f, -150 + (i / 8) * 60.0f);
  EXPECT_EQ(qt->root->child[0], nullptr);
  EXPECT_EQ(qt->root->items.count, 40u);
  at(10, 10);
  ASSERT_NE(qt->root->child[0], nullptr);
  EXPECT_EQ(qt->root->items.count, 0u);
  uint32_t sum = 0;
  for (qt_node *c : qt->root->child) sum += c->items.count;
  EXPECT_EQ(sum, 41u);
  // quadrants: child 0 is +x, -z; child 3 is -x, +z
  EXPECT_FLOAT_EQ(qt->root->child[0]->box.min[0], 0);
  EXPECT_FLOAT_EQ(qt->root->child[0]->box.max[2], 0);
  EXPECT_FLOAT_EQ(qt->root->child[3]->box.max[0], 0);
  EXPECT_FLOAT_EQ(qt->root->child[3]->box.min[2], 0);
  g_quadtree = qt;
  EXPECT_EQ(debug_line(), "quadtree_print_debug: \n  max depth 1\n  num quadrants 4\n  num items 41\n");
  g_quadtree = nullptr;
}

TEST_F(Tree, ItemOverTheCentreIsInEveryChildAndReturnedOncePerQuery) {
  for (int i = 0; i < 40; i++) at(-150 + (i % 8) * 40.0f, -150 + (i / 8) * 60.0f);
  qt_item *centre = add(-1, -1, 1, 1, 0, 30);
  for (qt_node *c : qt->root->child) {
    bool found = false;
    for (qt_item *it : c->items) found |= it == centre;
    EXPECT_TRUE(found);
  }
  EXPECT_FLOAT_EQ(qt->root->box.max[1], 30);
  std::vector<wi *> got = query(5, 5, keep_all);
  EXPECT_EQ(got.size(), 41u);
  EXPECT_EQ(std::count(got.begin(), got.end(), centre->wi), 1);
  // a new stamp returns it again
  got = query(5, 5, keep_all);
  EXPECT_EQ(std::count(got.begin(), got.end(), centre->wi), 1);
  EXPECT_EQ(centre->stamp, qt->stamp - 1);
}

TEST_F(Tree, TouchingCountsAndOutsideIsDropped) {
  qt_item *edge = add(200, 0, 210, 1);
  qt_item *out = add(201, 0, 210, 1);
  EXPECT_EQ(qt->root->items.count, 1u);
  EXPECT_EQ(qt->root->items[0], edge);
  std::vector<wi *> got = query(0, 0, keep_all);
  EXPECT_EQ(got.size(), 1u);
  EXPECT_NE(got[0], out->wi);
}

TEST_F(Tree, ChildrenAreVisitedNearToFar) {
  // enough items to split the root once, then one marker per quadrant
  for (int i = 0; i < 40; i++) at(-150 + (i % 8) * 40.0f, -150 + (i / 8) * 60.0f);
  qt_item *m[4] = {add(99, -101, 101, -99, 100, 101), add(99, 99, 101, 101, 100, 101),
                   add(-101, -101, -99, -99, 100, 101), add(-101, 99, -99, 101, 100, 101)};
  auto order = [&](float px, float pz) {
    std::vector<wi *> got = query(px, pz, markers);
    std::string s;
    for (wi *w : got)
      for (int c = 0; c < 4; c++)
        if (m[c]->wi == w) s += char('0' + c);
    return s;
  };
  EXPECT_EQ(order(50, -50), "0213");
  EXPECT_EQ(order(50, 50), "1302");
  EXPECT_EQ(order(-50, 50), "3210");
  EXPECT_EQ(order(-50, -50), "2301");
  EXPECT_EQ(order(0, 50), "2301"); // on a centre line
}

TEST_F(Tree, LeavesAtTheFifthLevelNeverSplit) {
  for (int i = 0; i < 500; i++) at(7, 7);
  qt_stat st = {0, 0, 0};
  qt_stats(qt->root, &st, 0);
  EXPECT_EQ(st.max_depth, 4);
  EXPECT_EQ(st.nleaves, 13); // four levels of splits, each leaving three empty siblings
  EXPECT_EQ(st.nitems, 500);
  // empty children keep an inverted y extent and are still tested
  node_calls = 0;
  query(7, 7, count_nodes);
  EXPECT_EQ(node_calls, 17 + 500);
  qt_node *empty = qt->root->child[3];
  EXPECT_EQ(empty->child[0], nullptr);
  EXPECT_GT(empty->box.min[1], empty->box.max[1]);
}
