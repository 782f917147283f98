// DDS header checks and level layout, over in-memory files; no OpenGL.
#include "render/dds.h"
#include "tests/unit/testutil.h"
#include <gtest/gtest.h>
#include <string>

namespace {

enum : uint32_t { CAPS = 0x1, HEIGHT = 0x2, WIDTH = 0x4, PIXELFORMAT = 0x1000, MIPCOUNT = 0x20000 };

struct DdsFile {
  std::string magic = "DDS ";
  uint32_t size = 124, flags = CAPS | HEIGHT | WIDTH | PIXELFORMAT | MIPCOUNT;
  uint32_t w = 4, h = 4, mips = 1;
  uint32_t pf_size = 32, pf_flags = 0x4;
  std::string fourcc = "DXT5";
  long data = -1; // bytes of level data; -1: exactly what the levels need

  std::string bytes() const {
    std::string s = magic;
    auto put = [&s](uint32_t v) {
      for (int i = 0; i < 4; i++) s += char(v >> (8 * i) & 0xFF);
    };
    put(size), put(flags), put(h), put(w), put(0), put(0), put(mips);
    for (int i = 0; i < 11; i++) put(0);
    put(pf_size), put(pf_flags);
    s += fourcc;
    for (int i = 0; i < 10; i++) put(0);
    long n = data;
    if (n < 0) {
      uint32_t block = fourcc == "DXT1" ? 8 : 16, lw = w, lh = h;
      n = 0;
      for (uint32_t i = 0; i < ((flags & MIPCOUNT) ? mips : 1); i++) {
        n += (long)dds_level_size(lw, lh, block);
        lw = lw > 1 ? lw / 2 : 1;
        lh = lh > 1 ? lh / 2 : 1;
      }
    }
    s.append((size_t)n, '\x5a');
    return s;
  }
};

// Parses the given bytes as a file; the stream lives only for the call.
dds_info parse(const std::string &bytes) {
  std::string copy = bytes;
  FILE *fp = fmemopen(&copy[0], copy.size(), "rb");
  dds_info info;
  dds_parse(fp, &info);
  fclose(fp);
  return info;
}

DdsFile with(void (*edit)(DdsFile &)) {
  DdsFile f;
  edit(f);
  return f;
}

const char *ERR = "^error: load_dds#[0-9]+: ";

} // namespace

TEST(DdsHeader, ReadsSizeAndFormatWhateverTheFourthMagicByte) {
  DdsFile f;
  f.magic = "DDS\x7f";
  f.w = 64, f.h = 32, f.mips = 7, f.fourcc = "DXT1";
  dds_info i = parse(f.bytes());
  EXPECT_EQ(i.w, 64u);
  EXPECT_EQ(i.h, 32u);
  EXPECT_EQ(i.nlevels, 7u);
  EXPECT_EQ(i.block_bytes, 8u);
  EXPECT_EQ(i.glformat, 0x83F1u);
  f.fourcc = "DXT3";
  EXPECT_EQ(parse(f.bytes()).glformat, 0x83F2u);
  f.fourcc = "DXT5";
  EXPECT_EQ(parse(f.bytes()).glformat, 0x83F3u);
  EXPECT_EQ(parse(f.bytes()).block_bytes, 16u);
}

TEST(DdsHeaderDeath, EachCheckHasItsOwnMessage) {
  std::string e = ERR;
  EXPECT_EXIT(parse("DD"), testing::ExitedWithCode(1), e + "read error\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.magic = "DDT "; }).bytes()), testing::ExitedWithCode(1),
              e + "invalid magic 'DDT'\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.size = 128; }).bytes()), testing::ExitedWithCode(1),
              e + "size \\(128\\) != 124\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.flags &= ~CAPS; }).bytes()), testing::ExitedWithCode(1),
              e + "expression 'flags & DDSD_CAPS' is false\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.flags &= ~HEIGHT; }).bytes()), testing::ExitedWithCode(1),
              e + "expression 'flags & DDSD_HEIGHT' is false\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.flags &= ~WIDTH; }).bytes()), testing::ExitedWithCode(1),
              e + "expression 'flags & DDSD_WIDTH' is false\n$");
  // with every flag missing only the first check is reported
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.flags = 0; }).bytes()), testing::ExitedWithCode(1),
              e + "expression 'flags & DDSD_CAPS' is false\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.flags &= ~PIXELFORMAT; }).bytes()), testing::ExitedWithCode(1),
              e + "expression 'flags & DDSD_PIXELFORMAT' is false\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.pf_size = 24; }).bytes()), testing::ExitedWithCode(1),
              e + "expression 'readu\\(fp\\) == 32' is false\n$");
}

TEST(DdsHeaderDeath, OnlyDxt135Compressed) {
  std::string e = ERR;
  // an uncompressed file fails at the pixel format flags, before the code is looked at
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.pf_flags = 0x40, f.fourcc = "RGBA"; }).bytes()),
              testing::ExitedWithCode(1), e + "expression 'readu\\(fp\\) & DDPF_FOURCC' is false\n$");
  for (const char *code : {"DXT2", "DXT4", "ATI2"}) {
    DdsFile f;
    f.fourcc = code;
    EXPECT_EXIT(parse(f.bytes()), testing::ExitedWithCode(1),
                e + "file is not a DXT1, 3 or 5 \\(" + code + "\\)\n$");
  }
  std::string cut = DdsFile().bytes().substr(0, 86); // ends inside the four-character code
  EXPECT_EXIT(parse(cut), testing::ExitedWithCode(1), e + "expression 'fread\\(buf, 1, 4, fp\\) == 4' is false\n$");
}

TEST(DdsHeaderDeath, ShortReadsReportThePosition) {
  std::string cut = DdsFile().bytes().substr(0, 10); // two bytes of the flags
  EXPECT_EXIT(parse(cut), testing::ExitedWithCode(1), "^error: readu#[0-9]+: read failed at 10\n$");
  EXPECT_EXIT(load_dds("/nonexistent/dir/x.dds"), testing::ExitedWithCode(1),
              std::string(ERR) + "failed to open '/nonexistent/dir/x.dds'\n$");
}

TEST(DdsLevels, ChainHalvesDownToOneByOne) {
  DdsFile f;
  f.w = 256, f.h = 64, f.mips = 9;
  dds_info i = parse(f.bytes());
  ASSERT_EQ(i.nlevels, 9u);
  const uint32_t w[] = {256, 128, 64, 32, 16, 8, 4, 2, 1}, h[] = {64, 32, 16, 8, 4, 2, 1, 1, 1};
  const uint32_t size[] = {16384, 4096, 1024, 256, 64, 32, 16, 16, 16};
  for (int l = 0; l < 9; l++) {
    EXPECT_EQ(i.levels[l].w, w[l]) << l;
    EXPECT_EQ(i.levels[l].h, h[l]) << l;
    EXPECT_EQ(i.levels[l].size, size[l]) << l;
  }
}

TEST(DdsLevels, BlockRoundingAndLevelCount) {
  EXPECT_EQ(dds_level_size(1, 1, 8), 8u);
  EXPECT_EQ(dds_level_size(2, 2, 8), 8u);
  EXPECT_EQ(dds_level_size(5, 4, 8), 16u);
  EXPECT_EQ(dds_level_size(65536, 65536, 16), 4294967296ull); // no 32-bit wrap

  // without DDSD_MIPMAPCOUNT one level, whatever the field says
  DdsFile f;
  f.w = 16, f.h = 16, f.mips = 5, f.flags &= ~MIPCOUNT;
  EXPECT_EQ(parse(f.bytes()).nlevels, 1u);
  f.flags |= MIPCOUNT, f.mips = 0, f.data = 0;
  EXPECT_EQ(parse(f.bytes()).nlevels, 0u);
  // bytes after the last declared level are never needed
  f.mips = 1, f.data = 4096;
  EXPECT_EQ(parse(f.bytes()).nlevels, 1u);
}

TEST(DdsLevelsDeath, SizesTheFileCannotHoldAreRejected) {
  std::string e = ERR;
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.data = 16 + 15; f.w = 8, f.h = 4, f.mips = 2; }).bytes()),
              testing::ExitedWithCode(1), e + "expression '\\(r = fread\\(buf, 1, size, fp\\)\\) == size' is false\n$");
  // a header whose level 0 would need more bytes than 32 bits count
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.w = f.h = 0xFFFFFFFF, f.data = 64; }).bytes()),
              testing::ExitedWithCode(1), e + "invalid size 4294967295x4294967295 .*\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.w = 0, f.data = 64; }).bytes()), testing::ExitedWithCode(1),
              e + "invalid size 0x4 .*\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.w = 256, f.h = 64, f.mips = 10; }).bytes()),
              testing::ExitedWithCode(1), e + "mip map count \\(10\\) exceeds the 9 levels of 256x64\n$");
  EXPECT_EXIT(parse(with([](DdsFile &f) { f.mips = 0xFFFFFFFF, f.data = 64; }).bytes()),
              testing::ExitedWithCode(1), e + "mip map count \\(4294967295\\) exceeds .*\n$");
}
