// DDS loader: DXT1/3/5 files uploaded level by level as stored, then kept decoded (see dds.cpp).
// It knows GL texture names only; the texture manager keeps the records.
#pragma once
#include <cstdint>
#include <cstdio>

enum { DDS_MAX_LEVELS = 32, DDS_MAX_SIZE = 65536 };
// The most bytes one compressed upload takes (its size is a signed 32-bit count).
enum : uint32_t { DDS_MAX_UPLOAD = 0x7FFFFFFF };

struct dds_level {
  uint32_t w, h; // pixels
  uint32_t size; // compressed bytes: at most DDS_MAX_UPLOAD, as one upload takes
};
struct dds_info {
  uint32_t w, h;         // level 0
  uint32_t nlevels;      // levels read and uploaded (down to 1 x 1 at most); a mip map count of 0 is one
  uint32_t nsurplus;     // levels declared past 1 x 1: one block each, in the file but not read
  uint32_t block_bytes;  // 8 for DXT1, 16 for DXT3 and DXT5
  uint32_t glformat;     // GL_COMPRESSED_RGBA_S3TC_DXT{1,3,5}_EXT
  char fourcc[5];
  dds_level levels[DDS_MAX_LEVELS];
};

// Next 32-bit little-endian value; a short read is fatal ("read failed at %ld").
uint32_t readu(FILE *fp);
// Compressed bytes of a w x h level: whole 4 x 4 blocks.
uint64_t dds_level_size(uint32_t w, uint32_t h, uint32_t block_bytes);
// Reads and checks the 128-byte header from the start of fp, lays out the levels and checks that
// each can be uploaded and that the file holds every declared level. Every failure ends the
// program, reported under "load_dds". No OpenGL.
void dds_parse(FILE *fp, dds_info *info);
// A DDS file read whole: the checked header and every stored level, back to back.
struct dds_data {
  dds_info info;
  uint8_t *bytes; // level 0 first; null when no level is stored
};
// Opens, checks and reads the file; the file is closed whether it fails or not. No OpenGL.
void dds_read(const char *path, dds_data *d);
// Uploads what dds_read got into the GL name *id (a new one when 0, else emptied and bound
// afresh, as tex_bind_fresh does); frees the bytes. A level the driver refuses is fatal, before
// the old texture is touched where the size alone tells. True when every texel of every stored
// level is opaque.
bool dds_upload(uint32_t *id, dds_data *d);
