// Quadtree: world items indexed once over the terrain square, queried near to far every frame.
#pragma once
#include <cstdint>
#include "core/array.h"
#include "render/frustum.h"

struct wi;

enum { QT_LEAF_MAX = 40, QT_MAX_LEVEL = 5 };

struct qt_item {
  aabb box; // first, as in qt_node, so one test serves both
  struct wi *wi;
  uint32_t stamp; // number of the last query that returned it
};

struct qt_node {
  aabb box; // x/z fixed; y grows over the items that reach the node (starts inverted)
  qt_node *child[4]; // all null (a leaf) or all set
  uarray<qt_item *> items; // leaves only
};

struct quadtree {
  uint32_t stamp; // number of the next query
  qt_node *root;
  qt_item *items; // one block for every item, made by qt_fill
};

struct qt_request {
  int (*test)(const qt_request *q, const aabb *box); // non-zero keeps the node or item
  const void *planes;                                // data for test
  uarray<wi *> *result;                              // receives the items; emptied by the caller
  float pos[3];                                      // viewer position: decides the child order
  uint32_t stamp;                                    // this query's number
};

struct qt_stat {
  int max_depth, nleaves, nitems;
};

// The one tree of the world, drawn from by world_draw; set by world loading.
extern quadtree *g_quadtree;

// Empty tree over the terrain square (f_tn_sz); stamp 1.
quadtree *qt_create(void);
void qt_insert(qt_node *node, qt_item *item, int level);
void qt_query(qt_node *node, qt_request *q);
void qt_stats(const qt_node *node, qt_stat *stats, int depth);
// Prints max depth, leaf count and item references of g_quadtree.
void quadtree_print_debug(void);
// The nodes, the items and the tree.
void qt_free(quadtree *qt);
// One qt_item per world item, in wi_list order, inserted into the root with level 0.
void qt_fill(quadtree *qt);
// The frustum test of a query whose planes are six frustum planes.
int qt_test_frustum(const qt_request *q, const aabb *box);
