// velder-check, what the world loader reads before the brushes: textures (without OpenGL), the
// sky faces, the catalogue with its tree files, and the overlay images.
#include "check.h"
#include "core/file.h"
#include "core/strmap.h"
#include "fx/skybox.h"
#include "render/batch.h"
#include "render/dds.h"
#include "render/image.h"
#include "render/texture.h"
#include "world/object.h"
#include "world/tree.h"
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static strmap *textures; // full path -> texture record, as the texture manager caches them
static std::string tex_user;
static const size_t *tex_piece; // the catalogue's line counter while it asks
static char index_path[sizeof g_root + 16];

void chk_texture_user(const char *who, const size_t *index_piece) {
  tex_user = who;
  tex_piece = index_piece;
}

texture *chk_texture_get(const char *name) {
  if (!textures) textures = sm_create();
  char path[2048];
  snprintf(path, sizeof path, "%s/%s", g_root, name);
  if (texture *t = (texture *)sm_get(textures, path)) return t;
  chk_seen("texture", path);
  texture *t = (texture *)ucalloc(1, sizeof *t);
  t->w = t->h = 1;
  // the game's loaders up to the upload: the DDS header, levels and data; the image decoded
  ufault f;
  bool ok = utry(
      [&] {
        if (texmgr_is_dds(path)) {
          dds_data d;
          dds_read(path, &d);
          free(d.bytes);
          t->w = (int32_t)d.info.w, t->h = (int32_t)d.info.h;
          return;
        }
        SDL_Surface *s = img_load(path);
        if (!s) uerror_at("load_something_else", __LINE__, "IMG_Load: %s", SDL_GetError());
        t->w = s->w, t->h = s->h;
        SDL_FreeSurface(s);
      },
      &f, true);
  std::string hint = ok ? "" : chk_kind_hint(path), blank = ok ? "" : chk_blank_hint(name);
  size_t at = tex_piece ? chk_phys_line(index_path, WOBJ_LINE_SIZE, *tex_piece) : 0;
  // a blank after the name is a mistake of the line that names it
  if (!ok && at && !blank.empty())
    chk_fault(index_path, at, "%s (texture of %s)%s", f.msg, tex_user.c_str(), blank.c_str());
  else if (!ok && at)
    chk_fault(path, 0, "%s (texture of %s, index line %zu)%s", f.msg, tex_user.c_str(), at, hint.c_str());
  else if (!ok)
    chk_fault(path, 0, "%s (texture of %s)%s", f.msg, tex_user.c_str(), hint.c_str());
  sm_set(textures, path, (uintptr_t)t);
  return t;
}

void chk_sky(void) {
  for (const char *const *faces : {g_sky_faces, g_sky_env_faces}) {
    int w[6], h[6];
    bool loaded[6];
    char path[6][sizeof g_root + 32];
    for (int i = 0; i < 6; i++) {
      snprintf(path[i], sizeof path[i], "%s/%s", g_root, faces[i]);
      chk_seen("image", path[i]);
      SDL_Surface *s = img_load(path[i]);
      loaded[i] = s != nullptr;
      // a face that did not load takes a size of its own, so it never sets the size to expect
      w[i] = h[i] = -1 - i;
      if (!s) {
        chk_fault(path[i], 0, "failed to open %s (%s)%s", faces[i], SDL_GetError(), chk_kind_hint(path[i]).c_str());
        continue;
      }
      w[i] = s->w, h[i] = s->h;
      SDL_FreeSurface(s);
      chk_try(path[i], 0, [&] { sky_check_face(faces[i], w[i], h[i]); });
    }
    int side;
    uint32_t odd = sky_odd_faces(w, h, &side);
    // the game warns and draws the cube as the driver takes it
    for (int i = 0; i < 6; i++)
      if (loaded[i] && (odd >> i & 1))
        chk_warn(path[i], 0, "cube map face %s is %dx%d, expected %dx%d", faces[i], w[i], h[i], side, side);
  }
}

// ---- the catalogue

static size_t obj_line[WOBJ_MAX]; // the "object" line of each record

size_t chk_object_line(size_t i) { return i < WOBJ_MAX ? obj_line[i] : 0; }

static bool from_kv_reader(const ufault &f) {
  static const char *const funcs[] = {"cfg_read", "cfg_get_string", "cfg_get_int", "cfg_get_float", "cfg_get_vec2",
                                      "ufopen"};
  for (const char *fn : funcs)
    if (strcmp(f.func, fn) == 0) return true;
  return false;
}

// A fault inside an object block: the block's line, or the tree file the line names.
static void block_fault(const ufault &f, size_t piece) {
  size_t at = chk_phys_line(index_path, WOBJ_LINE_SIZE, piece);
  const wobj *o = &g_wobjs[g_nwobjs < WOBJ_MAX ? g_nwobjs : WOBJ_MAX - 1];
  if (!from_kv_reader(f) || !o->pg.path) {
    chk_fault(index_path, at, "%s", f.msg);
    return;
  }
  const char *tree = o->pg.path;
  std::string blank = chk_blank_hint(tree);
  if (strcmp(f.func, "ufopen") == 0 && !blank.empty()) {
    chk_fault(index_path, at, "%s%s", f.msg, blank.c_str());
    return;
  }
  size_t line = strcmp(f.func, "cfg_read") == 0 ? chk_phys_line(tree, WOBJ_LINE_SIZE, chk_msg_line(f.msg)) : 0;
  chk_fault(tree, line, "%s (tree file of '%s', index line %zu)", f.msg, o->name, at);
}

static bool eof_fault(const ufault &f) { return strncmp(f.msg, "EOF while parsing", 17) == 0; }

// A block that runs into the end of the file still names its object: it joins the catalogue as
// read, so that the brushes naming it are not faults too.
static void keep_unended(void) {
  if (g_nwobjs < WOBJ_MAX) g_nwobjs++;
}

// One object block, going on after each faulty line to the block's end.
static void read_block(FILE *fp, const char *name, size_t *line) {
  std::string who = std::string("object '") + name + "'";
  chk_texture_user(who.c_str(), line);
  if (g_nwobjs < WOBJ_MAX) obj_line[g_nwobjs] = chk_phys_line(index_path, WOBJ_LINE_SIZE, *line);
  ufault f;
  if (utry([&] { parse_object(fp, name, line); }, &f, true)) return;
  block_fault(f, *line);
  if (eof_fault(f)) return keep_unended();
  if (g_nwobjs >= WOBJ_MAX) {
    // past the table: the block is skipped, as every block after it
    char buf[WOBJ_LINE_SIZE];
    while (const char *s = wobj_read_line(fp, buf, line))
      if (!*s) return;
    return;
  }
  wobj *o = &g_wobjs[g_nwobjs];
  while (!utry([&] { parse_object_rest(fp, o, line); }, &f, true)) {
    block_fault(f, *line);
    if (eof_fault(f)) return keep_unended();
  }
}

// Trees are built as the game builds them, without the upload: a tree without extent fails.
static void check_trees(void) {
  chk_try(index_path, 0, [] { tree_check_total(nullptr, nullptr); });
  for (size_t i = 0; i < g_nwobjs; i++) {
    wobj *o = &g_wobjs[i];
    if (o->pg.path && chk_lines(o->pg.path, WOBJ_LINE_SIZE) && !chk_seen("keys", o->pg.path))
      chk_unknown_keys(o->pg.path, true);
    if (!o->is_tree) continue;
    if (!o->tex) {
      chk_fault(index_path, obj_line[i], "missing texture (object '%s' has a \"pg\" line but no \"file\" line)",
                o->name);
      continue;
    }
    o->pg.texw = o->tex->w;
    o->pg.texh = o->tex->h;
    batch *b = b_create();
    chk_try(o->pg.path, 0, [&] { tree_build(b, &o->pg); });
    b_free(b);
  }
}

bool chk_catalogue(void) {
  snprintf(index_path, sizeof index_path, "%s/index", g_root);
  wobj_clear();
  g_wobj_texture_get = chk_texture_get;
  FILE *fp = fopen(index_path, "r");
  if (!fp) {
    chk_fault(index_path, 0, "failed to open %s/index", g_root);
    return false;
  }
  chk_lines(index_path, WOBJ_LINE_SIZE);
  char buf[WOBJ_LINE_SIZE], name[WOBJ_NAME_SIZE];
  size_t line = 0;
  while (const char *s = wobj_read_line(fp, buf, &line)) {
    bool opens = false;
    if (!chk_try(index_path, chk_phys_line(index_path, WOBJ_LINE_SIZE, line),
                 [&] { opens = index_object_line(s, line, name); }))
      continue;
    if (opens) read_block(fp, name, &line);
  }
  fclose(fp);
  chk_texture_user("", nullptr);
  check_trees();
  return true;
}

void chk_overlay(void) {
  chk_texture_user("the overlay", nullptr);
  chk_texture_get("logo.png");
  chk_texture_get("credits.png");
}
