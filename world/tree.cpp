// Procedural trees: a trunk of two crossed quads and rings of leaf cards fanned round it, cut from
// rectangles of the object's texture, normalised to a unit diagonal, one batch per tree object.
#include "world/tree.h"
#include "core/cfg.h"
#include "core/util.h"
#include "render/batch.h"
#include "render/texture.h"
#include "world/object.h"
#include <cmath>
#include <cstring>

void pg_read(const char *path, pg_params *pg) {
  cfg *c = cfg_read(path);
  pg_params p = *pg;
  // the record is freed whatever happens; a failure is then raised again as the getter's own
  ufault f;
  bool ok = utry(
      [&] {
        p.tr_height = cfg_get_float(c, "tr_height");
        p.tr_branch_start_height = cfg_get_float(c, "tr_branch_start_height");
        p.tr_branch_end_height = cfg_get_float(c, "tr_branch_end_height");
        p.tr_section_count = cfg_get_int(c, "tr_section_count");
        p.tr_top_section_scale = cfg_get_float(c, "tr_top_section_scale");
        p.tr_bottom_section_scale = cfg_get_float(c, "tr_bottom_section_scale");
        cfg_get_vec2(c, "tr_texture_rect_top", p.tr_texture_rect_top);
        cfg_get_vec2(c, "tr_texture_rect_bottom", p.tr_texture_rect_bottom);
        p.br_count = cfg_get_int(c, "br_count");
        p.br_length = cfg_get_float(c, "br_length");
        p.br_length_variance = cfg_get_float(c, "br_length_variance");
        p.br_start_angle = cfg_get_float(c, "br_start_angle");
        p.br_end_angle = cfg_get_float(c, "br_end_angle");
        p.br_leaf_width = cfg_get_float(c, "br_leaf_width");
        p.br_leaf_height = cfg_get_float(c, "br_leaf_height");
        cfg_get_vec2(c, "br_texture_rect_top", p.br_texture_rect_top);
        cfg_get_vec2(c, "br_texture_rect_bottom", p.br_texture_rect_bottom);
      },
      &f, true);
  cfg_free(c);
  if (!ok) uerror_at(f.func, f.line, "%s", f.msg);
  *pg = p;
}

static void add_trunk(batch *b, const pg_params *p) {
  const float *t = p->tr_texture_rect_top, *bt = p->tr_texture_rect_bottom;
  float aspect = ((bt[0] - t[0]) * p->texw) / ((bt[1] - t[1]) * p->texh);
  float h = p->tr_height, m[16];
  mat4_identity(m);
  mat4_scale(m, h * aspect, h, h * aspect);
  static const float pos[8][3] = {{-0.5f, 0, 0}, {-0.5f, 1, 0}, {0.5f, 0, 0}, {0.5f, 1, 0},
                                  {0, 0, -0.5f}, {0, 1, -0.5f}, {0, 0, 0.5f}, {0, 1, 0.5f}};
  for (int i = 0; i < 8; i++) {
    b_add_vertex_xform(m, b, pos[i][0], pos[i][1], pos[i][2]);
    // odd vertices are the top, the first two of each quad its left side
    b_add_texcoord(b, (i & 2) ? bt[0] : t[0], (i & 1) ? t[1] : bt[1]);
  }
  b_add_triangle(b, 0, 1, 2);
  b_add_triangle(b, 2, 1, 3);
  b_add_triangle(b, 4, 5, 6);
  b_add_triangle(b, 6, 5, 7);
}

static float draw(void) { return (float)(urand() / 32767.0); }

static void add_section(batch *b, const pg_params *p, float h, float s) {
  uint32_t base = b_nverts(b);
  const float *t = p->br_texture_rect_top, *bt = p->br_texture_rect_bottom;
  static const float corner[4][3] = {{-0.5f, 1, -0.5f}, {-0.5f, 1, 0.5f}, {0.5f, 1, -0.5f}, {0.5f, 1, 0.5f}};
  for (int32_t k = 0; k < p->br_count; k++) {
    float tilt = p->br_start_angle + draw() * (p->br_end_angle - p->br_start_angle);
    float turn = draw() * 360;
    float d = p->br_length + (draw() - 0.5f) * p->br_length_variance;
    float m[16];
    mat4_identity(m);
    mat4_translate(m, 0, h, 0);
    mat4_scale(m, p->br_leaf_width * s, s, p->br_leaf_height * s);
    mat4_rotate_y(m, turn);
    mat4_rotate_x(m, tilt);
    mat4_translate(m, 0, d, 0);
    for (int i = 0; i < 4; i++) {
      b_add_vertex_xform(m, b, corner[i][0], corner[i][1], corner[i][2]);
      b_add_texcoord(b, (i & 2) ? bt[0] : t[0], (i & 1) ? bt[1] : t[1]);
    }
    uint32_t v = base + 4 * (uint32_t)k;
    b_add_triangle(b, v, v + 1, v + 2);
    b_add_triangle(b, v + 2, v + 1, v + 3);
  }
}

void tree_section(const pg_params *p, int i, float *height, float *scale) {
  float t = (float)i / (float)p->tr_section_count;
  *height = p->tr_branch_start_height + (p->tr_branch_end_height - p->tr_branch_start_height) * t;
  *scale = p->tr_bottom_section_scale + (p->tr_top_section_scale - p->tr_bottom_section_scale) * t;
}

long long tree_cards(const pg_params *p) {
  long long sections = p->br_count > 0 ? p->tr_section_count : 0;
  return sections > 0 ? sections * p->br_count : 0;
}

void tree_check_total(const wobj *with, const pg_params *pg) {
  long long total = 0;
  for (size_t i = 0; i < g_nwobjs; i++) {
    const wobj *o = &g_wobjs[i];
    if (o == with) total += tree_cards(pg);
    else if (o->is_tree) total += tree_cards(&o->pg);
  }
  if (total > TREE_MAX_TOTAL_CARDS)
    uerror("the trees of the catalogue have %lld leaf cards in all, more than %d (tr_section_count x br_count of "
           "each tree file, added up)",
           total, TREE_MAX_TOTAL_CARDS);
}

void tree_build(batch *b, const pg_params *p) {
  // a section without cards adds nothing (and draws nothing from the generator); the cards of
  // a tree beyond the limit would take gigabytes and minutes before the batch's arrays overflow
  int64_t sections = p->br_count > 0 ? p->tr_section_count : 0;
  int64_t cards = tree_cards(p);
  if (cards > TREE_MAX_CARDS)
    uerror("tree %s has %lld leaf cards (tr_section_count %d x br_count %d), more than %d",
           p->path ? p->path : "(unnamed)", (long long)cards, p->tr_section_count, p->br_count, TREE_MAX_CARDS);
  b_reset(b);
  b->box = aabb{}; // b_reset keeps the box: a rebuilt tree must not be measured by the old one
  add_trunk(b, p);
  for (int32_t i = 0; i < sections; i++) {
    float h, s;
    tree_section(p, i, &h, &s);
    add_section(b, p, h, s);
  }
  aabb box;
  b_get_box(b, &box);
  float dx = box.max[0] - box.min[0], dy = box.max[1] - box.min[1], dz = box.max[2] - box.min[2];
  float len = sqrtf(dx * dx + dy * dy + dz * dz);
  // scaling to a unit diagonal would divide by zero or spread NaN into every item using it
  if (!(len > 0) || !std::isfinite(len))
    uerror("tree %s has no size: its trunk and leaf cards span %g units (tr_height, the texture rectangles and "
           "the branch values must give it extent)",
           p->path ? p->path : "(unnamed)", len);
  b_normalize(b);
}

// Leaf cards drawn in one of this many orders, nearest-first for the side the tree is seen from.
enum { TREE_VIEWS = 16 };

void tree_generate(batch *b, const pg_params *p) {
  tree_build(b, p);
  b_prepare(b);
  b_prepare_views(b, TREE_VIEWS);
}

void process_pgparam(void) {
  tree_check_total(nullptr, nullptr);
  for (size_t i = 0; i < g_nwobjs; i++) {
    wobj *o = &g_wobjs[i];
    if (!o->is_tree) continue;
    if (!o->tex) uerror("missing texture");
    o->pg.texw = o->tex->w;
    o->pg.texh = o->tex->h;
    o->pg.batch = b_create();
    tree_generate(o->pg.batch, &o->pg);
  }
}

// One tree object from its file; the old tree stays when anything fails.
static void tree_reload(const char *path, wobj *o) {
  pg_params p = o->pg;
  batch *nb = nullptr;
  bool ok = utry([&] {
    pg_read(path, &p);
    if (!o->tex) uerror("missing texture");
    p.texw = o->tex->w;
    p.texh = o->tex->h;
    tree_check_total(o, &p);
    nb = b_create();
    tree_generate(nb, &p);
  });
  if (!ok) {
    if (nb) b_free(nb);
    uinfo_at("pg_reload", "tree '%s' keeps its old shape", o->name);
    return;
  }
  batch *old = o->pg.batch;
  p.batch = nb;
  o->pg = p;
  if (old) b_free(old);
  uinfo_at("pg_reload", "tree '%s' rebuilt from %s", o->name, path);
}

void pg_reload(const char *path, void *) {
  for (size_t i = 0; i < g_nwobjs; i++)
    if (g_wobjs[i].is_tree && g_wobjs[i].pg.path && strcmp(g_wobjs[i].pg.path, path) == 0) tree_reload(path, &g_wobjs[i]);
}
