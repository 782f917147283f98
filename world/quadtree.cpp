// Quadtree: building by splitting leaves of 40 items, near-to-far queries with stamps, statistics.
#include "world/quadtree.h"
#include "core/params.h"
#include "core/util.h"
#include "world/spawn.h"
#include <algorithm>

quadtree *g_quadtree;

static const float FLT_BIG = 3.4028235e38f;

static qt_node *node_new(float x0, float z0, float x1, float z1) {
  qt_node *n = (qt_node *)ucalloc(1, sizeof(qt_node));
  n->box = aabb{{x0, FLT_BIG, z0}, {x1, -FLT_BIG, z1}};
  return n;
}

quadtree *qt_create(void) {
  quadtree *qt = (quadtree *)ucalloc(1, sizeof(quadtree));
  float h = f_tn_sz / 2;
  qt->root = node_new(-h, -h, h, h);
  qt->stamp = 1;
  return qt;
}

static void split(qt_node *n) {
  float x0 = n->box.min[0], z0 = n->box.min[2], x1 = n->box.max[0], z1 = n->box.max[2];
  float h = (x1 - x0) * 0.5f;
  n->child[0] = node_new(x0 + h, z0, x1, z1 - h);
  n->child[1] = node_new(x0 + h, z0 + h, x1, z1);
  n->child[2] = node_new(x0, z0, x1 - h, z1 - h);
  n->child[3] = node_new(x0, z0 + h, x1 - h, z1);
}

// insertion visits the children in this order
static const int INSERT_ORDER[4] = {0, 1, 3, 2};

void qt_insert(qt_node *node, qt_item *item, int level) {
  level++;
  const aabb &nb = node->box, &ib = item->box;
  if (!(ib.max[0] >= nb.min[0] && nb.max[0] >= ib.min[0] && ib.max[2] >= nb.min[2] && nb.max[2] >= ib.min[2])) return;
  node->box.min[1] = std::min(node->box.min[1], ib.min[1]);
  node->box.max[1] = std::max(node->box.max[1], ib.max[1]);
  if (!node->child[0]) {
    if (node->items.count < QT_LEAF_MAX || level >= QT_MAX_LEVEL) {
      ua_push(node->items, item);
      return;
    }
    split(node);
    for (qt_item *old : node->items)
      for (int c : INSERT_ORDER) qt_insert(node->child[c], old, level);
    ua_free(node->items);
  }
  for (int c : INSERT_ORDER) qt_insert(node->child[c], item, level);
}

static const int QUERY_ORDER[4][4] = {{0, 2, 1, 3}, {1, 3, 0, 2}, {3, 2, 1, 0}, {2, 3, 0, 1}};

void qt_query(qt_node *node, qt_request *q) {
  if (!q->test(q, &node->box)) return;
  if (node->child[0]) {
    const aabb &b = node->box;
    float cx = b.min[0] + (b.max[0] - b.min[0]) * 0.5f, cz = b.min[2] + (b.max[2] - b.min[2]) * 0.5f;
    float px = q->pos[0], pz = q->pos[2];
    int quad = px > cx && pz < cz ? 0 : px > cx && pz > cz ? 1 : px < cx && pz > cz ? 2 : 3;
    for (int c : QUERY_ORDER[quad]) qt_query(node->child[c], q);
    return;
  }
  for (qt_item *it : node->items)
    if (it->stamp != q->stamp && q->test(q, &it->box)) {
      ua_push(*q->result, it->wi);
      it->stamp = q->stamp;
    }
}

void qt_stats(const qt_node *node, qt_stat *stats, int depth) {
  if (node->child[0]) {
    for (int c : INSERT_ORDER) qt_stats(node->child[c], stats, depth + 1);
    return;
  }
  stats->max_depth = std::max(stats->max_depth, depth);
  stats->nleaves++;
  stats->nitems += (int)node->items.count;
}

void quadtree_print_debug(void) {
  qt_stat st = {0, 0, 0};
  const qt_node *root = g_quadtree->root;
  if (!root->child[0]) {
    st = qt_stat{0, 1, (int)root->items.count};
  } else {
    for (int c : INSERT_ORDER) qt_stats(root->child[c], &st, 1);
  }
  uinfo("\n  max depth %d\n  num quadrants %d\n  num items %d", st.max_depth, st.nleaves, st.nitems);
}

static void node_free(qt_node *n) {
  if (!n) return;
  for (qt_node *c : n->child) node_free(c);
  ua_free(n->items);
  free(n);
}

void qt_free(quadtree *qt) {
  if (!qt) return;
  node_free(qt->root);
  free(qt->items);
  free(qt);
}

void qt_fill(quadtree *qt) {
  if (wi_list.count == 0) return;
  // one block for all items: they live as long as the tree
  qt_item *items = qt->items = (qt_item *)umalloc(sizeof(qt_item) * wi_list.count);
  for (uint32_t i = 0; i < wi_list.count; i++) {
    items[i] = qt_item{wi_list[i].box, &wi_list[i], 0};
    qt_insert(qt->root, &items[i], 0);
  }
}

int qt_test_frustum(const qt_request *q, const aabb *box) {
  return frustum_test_box(box, (const plane *)q->planes);
}
