// DDS loader: header checks and level layout over a FILE*, then the compressed upload.
#include "render/dds.h"
#include "render/image.h"
#include "core/file.h"
#include "core/util.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <cstdlib>
#include <cstring>
#include <vector>

enum : uint32_t {
  DDSD_CAPS = 0x1,
  DDSD_HEIGHT = 0x2,
  DDSD_WIDTH = 0x4,
  DDSD_PIXELFORMAT = 0x1000,
  DDSD_MIPMAPCOUNT = 0x20000,
  DDPF_FOURCC = 0x4,
  DDS_HEADER_END = 128,
};

// Everything that goes wrong with a DDS file is reported as the loader's failure, whichever
// helper found it.
#define dds_fail(...) uerror_at("load_dds", __LINE__, __VA_ARGS__)
#define dds_check(cond, text) \
  do { \
    if (!(cond)) dds_fail("%s", "expression '" text "' is false"); \
  } while (0)
#define SHORT_LEVEL "(r = fread(buf, 1, size, fp)) == size"

static const struct {
  const char *code;
  uint32_t block_bytes;
  uint32_t glformat;
} formats[] = {
    {"DXT1", 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
    {"DXT3", 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
    {"DXT5", 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
};

uint32_t readu(FILE *fp) {
  uint8_t b[4];
  if (fread(b, 1, 4, fp) != 4) uerror("read failed at %ld", ftell(fp));
  return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

uint64_t dds_level_size(uint32_t w, uint32_t h, uint32_t block_bytes) {
  return ((uint64_t)w + 3) / 4 * (((uint64_t)h + 3) / 4) * block_bytes;
}

// Levels in the chain from w x h down to 1 x 1.
static uint32_t full_chain(uint32_t w, uint32_t h) {
  uint32_t m = w > h ? w : h, n = 1;
  while (m > 1) {
    m /= 2;
    n++;
  }
  return n;
}

void dds_parse(FILE *fp, dds_info *info) {
  memset(info, 0, sizeof *info);
  char magic[4];
  if (fread(magic, 1, 4, fp) != 4) dds_fail("read error");
  magic[3] = 0; // the fourth byte (normally a space) is not checked
  if (strcmp(magic, "DDS") != 0) dds_fail("invalid magic '%s'", magic);

  uint32_t size = readu(fp);
  if (size != 124) dds_fail("size (%u) != 124", size);
  uint32_t flags = readu(fp);
  dds_check(flags & DDSD_CAPS, "flags & DDSD_CAPS");
  dds_check(flags & DDSD_HEIGHT, "flags & DDSD_HEIGHT");
  dds_check(flags & DDSD_WIDTH, "flags & DDSD_WIDTH");
  dds_check(flags & DDSD_PIXELFORMAT, "flags & DDSD_PIXELFORMAT");
  info->h = readu(fp);
  info->w = readu(fp);
  readu(fp); // pitch or linear size
  readu(fp); // depth
  uint32_t nlevels = readu(fp);
  // Writers that store no mip maps put 0 in the count as often as 1: both mean the one level.
  if (!(flags & DDSD_MIPMAPCOUNT) || nlevels == 0) nlevels = 1;
  for (int i = 0; i < 11; i++) readu(fp);

  dds_check(readu(fp) == 32, "readu(fp) == 32");
  dds_check(readu(fp) & DDPF_FOURCC, "readu(fp) & DDPF_FOURCC");
  dds_check(fread(info->fourcc, 1, 4, fp) == 4, "fread(buf, 1, 4, fp) == 4");
  info->fourcc[4] = 0;
  const auto *fmt = &formats[0];
  while (fmt < formats + 3 && strcmp(info->fourcc, fmt->code) != 0) fmt++;
  if (fmt == formats + 3) dds_fail("file is not a DXT1, 3 or 5 (%s)", info->fourcc);
  info->block_bytes = fmt->block_bytes;
  info->glformat = fmt->glformat;
  for (int i = 0; i < 10; i++) readu(fp);
  dds_check(ftell(fp) == DDS_HEADER_END, "ftell(fp) == 128");

  // Bounds the header alone does not give: sizes GL and a 32-bit record can hold, and level
  // data that is really in the file, so nothing is uploaded from a file that would fail half way.
  if (info->w < 1 || info->h < 1 || info->w > DDS_MAX_SIZE || info->h > DDS_MAX_SIZE)
    dds_fail("invalid size %ux%u (1 to %d pixels per side)", info->w, info->h, DDS_MAX_SIZE);
  // Levels declared past 1 x 1 are 1 x 1 again, one block each. No sampling reaches them, so
  // they are only required to be in the file.
  uint32_t chain = full_chain(info->w, info->h);
  info->nlevels = nlevels < chain ? nlevels : chain;
  info->nsurplus = nlevels - info->nlevels;
  nlevels = info->nlevels;
  // level 0 is the largest; sizes are 64-bit so a 65536 x 65536 level cannot wrap to nothing
  uint64_t size0 = dds_level_size(info->w, info->h, info->block_bytes);
  if (size0 > DDS_MAX_UPLOAD)
    dds_fail("level 0 of %ux%u %s is %llu bytes, more than one upload takes (%u)", info->w, info->h, info->fourcc,
             (unsigned long long)size0, (unsigned)DDS_MAX_UPLOAD);
  uint64_t total = 0;
  uint32_t w = info->w, h = info->h;
  for (uint32_t i = 0; i < nlevels; i++) {
    dds_level &l = info->levels[i];
    l.w = w;
    l.h = h;
    l.size = (uint32_t)dds_level_size(w, h, info->block_bytes);
    total += l.size;
    w = w / 2 > 1 ? w / 2 : 1;
    h = h / 2 > 1 ? h / 2 : 1;
  }
  total += (uint64_t)info->nsurplus * info->block_bytes;
  int64_t left = (int64_t)fsz(fp) - DDS_HEADER_END;
  dds_check(total <= (uint64_t)(left > 0 ? left : 0), SHORT_LEVEL);
}

void dds_read(const char *path, dds_data *d) {
  FILE *fp = ufile_open(path, "rb");
  if (!fp) dds_fail("failed to open '%s'", path);
  ufile_guard held{fp}; // closed however this ends
  d->bytes = nullptr;
  dds_parse(fp, &d->info);
  size_t total = 0;
  for (uint32_t i = 0; i < d->info.nlevels; i++) total += d->info.levels[i].size;
  umem_guard bytes{umalloc(total ? total : 1)};
  uint8_t *buf = (uint8_t *)bytes.p;
  for (uint32_t i = 0; i < d->info.nlevels; i++) {
    size_t size = d->info.levels[i].size, r;
    dds_check((r = fread(buf, 1, size, fp)) == size, SHORT_LEVEL);
    buf += size;
  }
  d->bytes = (uint8_t *)bytes.p;
  bytes.p = nullptr;
}

// The software renderer decodes a compressed texel on every fetch, eight times per trilinear
// sample, which made compressed textures several times dearer to draw than plain ones. So the
// levels are uploaded as stored and then read back, decoded by the driver itself (the same
// decoding its sampler does), and stored again as plain RGBA: the same texels, stored mip
// levels included, at the plain sampling cost.
// True when every stored level is opaque.
static bool expand_levels(const dds_info &info) {
  // every level is read before any is stored again: a level stored in another format
  // reallocates the texture, and the driver then loses the compressed levels not yet read
  std::vector<std::vector<uint8_t>> px(info.nlevels);
  GLint pack = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  for (uint32_t i = 0; i < info.nlevels; i++) {
    px[i].resize((size_t)info.levels[i].w * info.levels[i].h * 4);
    glGetTexImage(GL_TEXTURE_2D, (GLint)i, GL_RGBA, GL_UNSIGNED_BYTE, px[i].data());
  }
  glPixelStorei(GL_PACK_ALIGNMENT, pack);
  bool opaque = true;
  for (uint32_t i = 0; i < info.nlevels; i++) {
    glTexImage2D(GL_TEXTURE_2D, (GLint)i, GL_RGBA8, (GLsizei)info.levels[i].w, (GLsizei)info.levels[i].h, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, px[i].data());
    opaque = opaque && rgba_opaque(px[i].data(), px[i].size() / 4);
  }
  return opaque;
}

bool dds_upload(uint32_t *id, dds_data *d) {
  const dds_info &info = d->info;
  umem_guard bytes{d->bytes};
  d->bytes = nullptr;
  // the driver would refuse a larger level with a GL error and leave the texture empty
  GLint max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  if (max > 0 && (info.w > (uint32_t)max || info.h > (uint32_t)max))
    dds_fail("%ux%u is larger than the %d pixels per side this OpenGL takes", info.w, info.h, (int)max);
  if (*id == 0) glGenTextures(1, id);
  else glDeleteTextures(1, id); // bound again below: a new, empty object under the same name
  glBindTexture(GL_TEXTURE_2D, *id);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // a file that stops short of 1 x 1 still makes a complete texture: sample only what is stored
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, (GLint)info.nlevels - 1);
  while (glGetError() != GL_NO_ERROR) {
  }
  const uint8_t *buf = (const uint8_t *)bytes.p;
  for (uint32_t i = 0; i < info.nlevels; i++) {
    const dds_level &l = info.levels[i];
    glCompressedTexImage2D(GL_TEXTURE_2D, (GLint)i, info.glformat, (GLsizei)l.w, (GLsizei)l.h, 0,
                           (GLsizei)l.size, buf);
    buf += l.size;
    // what the driver still refuses (out of memory) is said here, not only in its log
    GLenum e = glGetError();
    if (e != GL_NO_ERROR) {
      glBindTexture(GL_TEXTURE_2D, 0);
      dds_fail("level %u (%ux%u): %s", i, l.w, l.h, (const char *)gluErrorString(e));
    }
  }
  bool opaque = expand_levels(info);
  GLenum e = glGetError();
  glBindTexture(GL_TEXTURE_2D, 0);
  if (e != GL_NO_ERROR) dds_fail("decoding %ux%u: %s", info.w, info.h, (const char *)gluErrorString(e));
  return opaque;
}
