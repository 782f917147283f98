// Quadtree: splitting, items in several leaves, stamps and near-to-far order.
#include "tests/unit/testutil.h"
#include "world/quadtree.h"
#include "world/spawn.h"

namespace {
// A tree over -200..200; the wi pointers of its items are only compared.
struct Tree : testing::Test {
  float old_sz = f_tn_sz;
  quadtree *qt;
  std::vector<wi> records = std::vector<wi>(600);
  size_t n = 0;
  uarray<wi *> result;
  void SetUp() override { f_tn_sz = 400, qt = g_quadtree = qt_create(); }
  void TearDown() override { f_tn_sz = old_sz, g_quadtree = nullptr; }
  qt_item *add(float x0, float z0, float x1, float z1, float y1 = 1) {
    qt_item *it = new qt_item{aabb{{x0, y1 - 1, z0}, {x1, y1, z1}}, &records[n++], 0};
    return qt_insert(qt->root, it, 0), it;
  }
  void forty() { // spread over the four quadrants, none on a border
    for (int i = 0; i < 40; i++) add(-150 + (i % 8) * 40.0f, -150 + (i / 8) * 60.0f, -149 + (i % 8) * 40.0f, -149 + (i / 8) * 60.0f);
  }
  std::vector<wi *> query(float px, float pz, int (*test)(const qt_request *, const aabb *)) {
    result.count = 0;
    qt_request q = {test, nullptr, &result, {px, 0, pz}, qt->stamp++};
    return qt_query(qt->root, &q), std::vector<wi *>(result.begin(), result.end());
  }
};
int keep_all(const qt_request *, const aabb *) { return 1; }
// nodes (at least 12.5 wide) pass; of the items only those reaching height 100
int markers(const qt_request *, const aabb *b) { return b->max[0] - b->min[0] > 10 || b->max[1] >= 100; }
int calls;
int count_calls(const qt_request *, const aabb *) { return ++calls; }
} // namespace

TEST_F(Tree, TheFortyFirstItemSplitsALeafAndChildrenAreVisitedNearToFar) {
  forty();
  EXPECT_EQ(qt->root->child[0], nullptr);
  qt_item *centre = add(-1, -1, 1, 1, 30); // covers the centre: in all four children
  ASSERT_TRUE(qt->root->child[0] && qt->root->items.count == 0);
  for (qt_node *c : qt->root->child) EXPECT_NE(std::find(c->items.begin(), c->items.end(), centre), c->items.end());
  EXPECT_EQ(qt->root->box.max[1], 30);
  for (int i = 0; i < 2; i++) { // returned once per query, and again by the next query
    std::vector<wi *> got = query(5, 5, keep_all);
    EXPECT_TRUE(got.size() == 41 && std::count(got.begin(), got.end(), centre->wi) == 1);
  }
  qt_item *m[4] = {add(99, -101, 101, -99, 100), add(99, 99, 101, 101, 100), add(-101, -101, -99, -99, 100),
                   add(-101, 99, -99, 101, 100)};
  const struct { float x, z; const char *order; } from[] = {
      {50, -50, "0213"}, {50, 50, "1302"}, {-50, 50, "3210"}, {-50, -50, "2301"}, {0, 50, "2301"}}; // the last on a centre line
  for (auto &f : from) {
    std::string s;
    for (wi *w : query(f.x, f.z, markers))
      for (int c = 0; c < 4; c++) s += m[c]->wi == w ? std::string(1, char('0' + c)) : "";
    EXPECT_EQ(s, f.order) << f.x << "," << f.z;
  }
}

TEST_F(Tree, LeavesAtTheFifthLevelNeverSplit) {
  for (int i = 0; i < 500; i++) add(6.5f, 6.5f, 7.5f, 7.5f);
  qt_stat st = {0, 0, 0};
  qt_stats(qt->root, &st, 0);
  EXPECT_TRUE(st.max_depth == 4 && st.nleaves == 13 && st.nitems == 500); // four splits, each leaving three empty siblings
  // empty children keep an inverted y extent and are asked about all the same
  EXPECT_GT(qt->root->child[3]->box.min[1], qt->root->child[3]->box.max[1]);
  calls = 0, query(7, 7, count_calls);
  EXPECT_EQ(calls, 17 + 500);
}
