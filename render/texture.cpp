// Texture manager: cache by full path, loader choice, RGBA conversion and the mipmapped upload.
#include "render/texture.h"
#include "core/fmon.h"
#include "core/params.h"
#include "core/strmap.h"
#include "core/util.h"
#include "render/dds.h"
#include "render/image.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

// A checked DDS file into t, reusing its GL name.
static void dds_upload_into(texture *t, dds_data *d) {
  uint32_t w = d->info.w, h = d->info.h;
  t->opaque = dds_upload(&t->id, d);
  t->w = (int32_t)w;
  t->h = (int32_t)h;
}

static const char *tex_root; // kept by pointer, as given to texmgr_init
// full path -> texture record. A reload refills the record in place, so the record itself is
// the handle that every holder keeps.
static strmap *tex_cache;
static uarray<texture *> tex_all; // the cached records, for the look-ups by GL name

void texmgr_init(const char *root) {
  tex_root = root;
  tex_cache = sm_create();
}

bool tex_opaque(uint32_t id) {
  for (const texture *t : tex_all)
    if (t->id == id) return t->opaque != 0;
  return false;
}

bool texmgr_is_dds(const char *path) {
  size_t n = strlen(path);
  return n >= 3 && memcmp(path + n - 3, "dds", 3) == 0;
}

texture *texmgr_get(const char *name) {
  if (!tex_cache) uerror("texmgr_get(%s) before texmgr_init", name);
  char path[2048];
  usnprintf(path, sizeof path, "%s", ufmt("%s/%s", tex_root, name));
  texture *t = (texture *)sm_get(tex_cache, path);
  if (t) return t;
  t = texmgr_is_dds(path) ? load_dds(path) : load_something_else(path);
  sm_set(tex_cache, path, (uintptr_t)t);
  ua_push(tex_all, t);
  fmon_register(path, texmgr_reload, nullptr);
  r.texmgr_ntex++;
  return t;
}

// Reloaded images are decoded beside the game, each on a thread of its own, so the frame a reload
// lands in pays only the upload. A job belongs to the main thread once done is set.
struct tex_job {
  texture *t;
  char path[2048];
  tex_image img;
  ufault fault;
  bool ok, superseded; // superseded: the file was saved again, a newer job brings it
  double decode_ms;
  std::atomic<bool> done;
};
enum { TEX_JOBS_MAX = 32 };
static tex_job *tex_jobs[TEX_JOBS_MAX];

static double ms_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

static void tex_decode_job(tex_job *j) {
  auto t0 = std::chrono::steady_clock::now();
  // quiet: the main thread writes the warning when it takes the result
  j->ok = utry([&] { image_decode(j->path, &j->img); }, &j->fault, true);
  j->decode_ms = ms_since(t0);
  j->done.store(true, std::memory_order_release);
}

// The file monitor calls this only once the file has held still, so there is no waiting here.
void texmgr_reload(const char *path, void *arg) {
  texture *t = tex_cache ? (texture *)sm_get(tex_cache, path) : nullptr;
  if (!t) return;
  int slot = 0;
  while (slot < TEX_JOBS_MAX && tex_jobs[slot]) slot++;
  // read everything first: only a complete, checked file reaches the GL texture. DDS files are
  // read as they are stored (no decoding), and when every job slot is taken the image is decoded
  // here, at the cost of this frame.
  bool dds_file = texmgr_is_dds(path);
  if (dds_file || slot == TEX_JOBS_MAX) {
    tex_image img = {};
    dds_data dds = {};
    if (!utry([&] { dds_file ? dds_read(path, &dds) : image_decode(path, &img); })) return;
    if (dds_file) dds_upload_into(t, &dds);
    else image_upload(t, &img);
    return;
  }
  for (tex_job *j : tex_jobs)
    if (j && j->t == t) j->superseded = true;
  tex_job *j = new tex_job();
  j->t = t;
  usnprintf(j->path, sizeof j->path, "%s", path);
  tex_jobs[slot] = j;
  std::thread(tex_decode_job, j).detach();
}

int texmgr_poll(bool wait) {
  int applied = 0;
  for (tex_job *&j : tex_jobs) {
    if (!j) continue;
    while (wait && !j->done.load(std::memory_order_acquire)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!j->done.load(std::memory_order_acquire)) continue;
    if (j->superseded) {
      free(j->img.rgba);
    } else if (!j->ok) {
      // said after other lines, once the decoding is done: the file is named
      if (strstr(j->fault.msg, j->path)) uwarn_at(j->fault.func, j->fault.line, "%s", j->fault.msg);
      else uwarn_at(j->fault.func, j->fault.line, "%s (%s)", j->fault.msg, j->path);
    } else {
      auto t0 = std::chrono::steady_clock::now();
      image_upload(j->t, &j->img);
      uinfo("%s decoded in %.0f ms beside the game, uploaded in %.0f ms", j->path, j->decode_ms, ms_since(t0));
      applied++;
    }
    delete j;
    j = nullptr;
  }
  return applied;
}

void tex_bind_fresh(uint32_t *id) {
  if (*id == 0) {
    glGenTextures(1, id);
  } else {
    // the compatibility profile creates a new, empty object when a deleted name is bound again
    glDeleteTextures(1, id);
  }
  glBindTexture(GL_TEXTURE_2D, *id);
}

uint32_t surf_get_pixel(SDL_Surface *surf, int x, int y) {
  if (!surf->pixels || x < 0 || y < 0 || x >= surf->w || y >= surf->h) return 0;
  const uint8_t *p = (const uint8_t *)surf->pixels + (size_t)y * surf->pitch + (size_t)x * surf->format->BytesPerPixel;
  switch (surf->format->BytesPerPixel) {
  case 1: return p[0];
  case 2: return (uint32_t)p[0] | (uint32_t)p[1] << 8;
  case 3: return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
  case 4: return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
  default: return 0;
  }
}

uint8_t *surf_to_rgba(SDL_Surface *surf) {
  int w = surf->w, h = surf->h;
  uint8_t *out = (uint8_t *)ucalloc((size_t)w * (size_t)h, 4);
  SDL_LockSurface(surf);
  // The two layouts SDL_image gives truecolour PNGs are copied byte for byte (SDL_GetRGBA would
  // give the same bytes): a large texture converts in a fraction of the time, which matters to a
  // reload between two frames.
  Uint32 f = surf->format->format;
  if (f == SDL_PIXELFORMAT_RGB24 || f == SDL_PIXELFORMAT_RGBA32) {
    for (int y = 0; y < h; y++) {
      const uint8_t *in = (const uint8_t *)surf->pixels + (size_t)y * surf->pitch;
      uint8_t *o = out + (size_t)y * w * 4;
      if (f == SDL_PIXELFORMAT_RGBA32) {
        memcpy(o, in, (size_t)w * 4);
        continue;
      }
      for (int x = 0; x < w; x++, o += 4, in += 3) o[0] = in[0], o[1] = in[1], o[2] = in[2], o[3] = 255;
    }
    SDL_UnlockSurface(surf);
    return out;
  }
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      uint8_t *o = out + ((size_t)y * w + x) * 4;
      SDL_GetRGBA(surf_get_pixel(surf, x, y), surf->format, &o[0], &o[1], &o[2], &o[3]);
    }
  }
  SDL_UnlockSurface(surf);
  return out;
}

void image_decode(const char *path, tex_image *img) {
  SDL_Surface *surf = img_load(path);
  // reported as the general loader's failure, on a first load and on a reload alike
  if (!surf) uerror_at("load_something_else", __LINE__, "IMG_Load: %s", SDL_GetError());
  img->w = surf->w;
  img->h = surf->h;
  img->rgba = surf_to_rgba(surf);
  SDL_FreeSurface(surf);
}

void image_upload(texture *t, tex_image *img) {
  t->w = img->w;
  t->h = img->h;
  // the levels GLU builds are means of this one: opaque with it
  t->opaque = rgba_opaque(img->rgba, (size_t)img->w * img->h);
  tex_bind_fresh(&t->id);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // GLU rescales sizes that are not powers of two and builds the whole chain;
  // row 0 (the top of the image) goes first, so t = 0 is the top
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, t->w, t->h, GL_RGBA, GL_UNSIGNED_BYTE, img->rgba);
  free(img->rgba);
  img->rgba = nullptr;
}

void image_load_into(texture *t, const char *path) {
  tex_image img;
  image_decode(path, &img);
  image_upload(t, &img);
}

texture *load_dds(const char *path) {
  umem_guard held{umalloc(sizeof(texture))};
  texture *t = (texture *)held.p;
  t->w = t->h = 0;
  t->id = 0;
  t->opaque = 0;
  dds_data d;
  dds_read(path, &d);
  dds_upload_into(t, &d);
  held.p = nullptr;
  return t;
}

texture *load_something_else(const char *path) {
  texture *t = (texture *)umalloc(sizeof *t);
  t->w = t->h = 0;
  t->id = 0;
  t->opaque = 0;
  image_load_into(t, path);
  return t;
}
