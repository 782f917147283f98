// Fuzz targets for the small readers, one table row each; the build makes a target fuzz_NAME of
// this file per row, FUZZ_READER naming the row.
#include "core/cfg.h"
#include "core/params.h"
#include "core/strmap.h"
#include "fx/postproc.h"
#include "render/dds.h"
#include "render/image.h"
#include "render/overlay.h"
#include "render/texture.h"
#include "tests/fuzz/fuzz.h"
#include "render/batch.h"
#include "world/brush.h"
#include "world/object.h"
#include "world/tree.h"
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static texture *stand_in(const char *) {
  static texture t = {64, 32, 1, 0};
  return &t;
}

// The object names of the default world, of every kind, one without a texture.
static const char catalogue[] =
    "object pine\nfile t.png\n\nobject oak\nfile t.png\n\nobject rock_grey\nfile t.dds\n\n"
    "object heather\nfile t.png\ntype detail\n\nobject grass_meadow\nfile t.png\ntype grass\n\n"
    "object flowers\nfile t.png\ntype grass\n\nobject Runestone\nfile t.png\ntype unique\n\n"
    "object Old_Watchtower\ntype unique\n\nobject bare\n\n";

struct reader {
  const char *name;
  void (*run)(const uint8_t *data, size_t size);
};

static const reader k_readers[] = {
    // the key/value reader and every getter on what it read (tree files, sound definitions)
    {"cfg", [](const uint8_t *data, size_t size) {
       std::string path = fuzz_write("f.cfg", data, size);
       cfg *c = nullptr;
       if (!fuzz_try([&] { c = cfg_read(path.c_str()); })) return;
       std::vector<std::string> names = {"absent"};
       sm_walk_begin(c->map);
       while (sm_entry *e = sm_walk_next(c->map)) names.push_back(e->key);
       for (const std::string &n : names) {
         float v[2];
         fuzz_try([&] { cfg_get_string(c, n.c_str()); });
         fuzz_try([&] { cfg_get_int(c, n.c_str()); });
         fuzz_try([&] { cfg_get_float(c, n.c_str()); });
         fuzz_try([&] { cfg_get_vec2(c, n.c_str(), v); });
       }
       cfg_free(c);
     }},
    // "param.cfg", then what the game computes from the window size it sets
    {"param", [](const uint8_t *data, size_t size) {
       fuzz_params_reset();
       fuzz_write("param.cfg", data, size);
       fuzz_try([] { parse_cfg(); });
       int x, y;
       for (int w : {0, 1, 512, 2147483647, -2147483647 - 1}) {
         overlay_logo_pos(w, &x, &y);
         overlay_credits_pos(w, w, &x, &y);
       }
       volatile double aspect = screen_aspect(i_screen_w, i_screen_h);
       (void)aspect;
     }},
    // the object catalogue "index", with textures from a stand-in loader
    {"index", [](const uint8_t *data, size_t size) {
       g_wobj_texture_get = stand_in;
       fuzz_params_reset();
       fuzz_write("index", data, size);
       wobj_clear();
       fuzz_try([] { parse_index(); });
       for (size_t i = 0; i < g_nwobjs; i++) wobj_find(g_wobjs[i].name);
     }},
    // the DDS header checks and level layout (fmemopen takes no empty buffer)
    {"dds", [](const uint8_t *data, size_t size) {
       FILE *fp = size ? fmemopen((void *)data, size, "rb") : nullptr;
       dds_info info;
       if (fp) fuzz_try([&] { dds_parse(fp, &info); });
       if (fp) fclose(fp);
     }},
    // a colour table image (a BMP) read into a table, blended and made into an image
    {"clut", [](const uint8_t *data, size_t size) {
       if (fuzz_declared_pixels(data, size) > FUZZ_MAX_PIXELS) return;
       std::string path = fuzz_write("f.bmp", data, size);
       static clut t, id, mid;
       if (!fuzz_try([&] { clut_load(path.c_str(), &t); })) return;
       for (auto &e : t.e)
         for (float v : e)
           if (!(v >= 0 && v <= 1)) abort();
       clut_identity(&id);
       clut_lerp(&mid, &id, &t, 0.5f);
       SDL_FreeSurface(clut_surface_make(&mid));
     }},
    // the image path of textures and sky faces for PNG files: the structure check and SDL_image
    // (libpng), then the conversion of whatever surface comes out to RGBA. PNG data only, the
    // format of a world's textures and sky faces: SDL_image also takes any other format it knows
    // by its first bytes, whatever the name, and some of its readers have faults of their own
    // (the XCF reader allocates gigabytes and spins on a 43-byte file, the SVG reader leaks 16
    // bytes of a document it cannot parse)
    {"image", [](const uint8_t *data, size_t size) {
       if (fuzz_declared_pixels(data, size) > FUZZ_MAX_PIXELS) return;
       SDL_Surface *s = size >= 8 && memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0 ? img_load_mem(data, size, "png") : nullptr;
       uint8_t *rgba = nullptr;
       if (s) fuzz_try([&] { rgba = surf_to_rgba(s); });
       free(rgba);
       SDL_FreeSurface(s);
     }},
    // a tree parameter file read as a catalogue entry reads it, then the tree built from it
    // without OpenGL (trunk, sections of leaf cards, the unit diagonal)
    {"tree", [](const uint8_t *data, size_t size) {
       std::string path = fuzz_write("f.pg", data, size);
       pg_params p = {};
       p.texw = 256, p.texh = 128;
       p.path = (char *)path.c_str();
       if (!fuzz_try([&] { pg_read(path.c_str(), &p); })) return;
       usrand(1);
       batch *b = b_create();
       if (fuzz_try([&] { tree_build(b, &p); })) {
         // a built tree is every card's four corners and two triangles, scaled to a unit diagonal
         uint32_t nv = b->v.count / 3;
         if (b->tc.count != 2 * nv || b->idx.count != nv / 4 * 6 || nv % 4 != 0) abort();
         for (uint32_t i = 0; i < b->idx.count; i++)
           if (b->idx.items[i] >= nv) abort();
         aabb box;
         b_get_box(b, &box);
         float dx = box.max[0] - box.min[0], dy = box.max[1] - box.min[1], dz = box.max[2] - box.min[2];
         if (!(fabsf(sqrtf(dx * dx + dy * dy + dz * dz) - 1) < 1e-3f)) abort();
       }
       b_free(b);
     }},
    // the brush file, against the default world's catalogue
    {"brushes", [](const uint8_t *data, size_t size) {
       static bool ready = [] {
         g_wobj_texture_get = stand_in;
         fuzz_write("index", (const uint8_t *)catalogue, sizeof catalogue - 1);
         parse_index();
         return true;
       }();
       (void)ready;
       fuzz_params_reset();
       strcpy(s_default_clut, "clut/default.bmp");
       fuzz_write("brushes", data, size);
       brush_clear();
       fuzz_try([] { brush_read_file(); });
       brush_clear();
     }},
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const reader *r = std::find_if(std::begin(k_readers), std::end(k_readers),
                                        [](const reader &row) { return strcmp(row.name, FUZZ_READER) == 0; });
  r->run(data, size);
  fuzz_check_files();
  return 0;
}
