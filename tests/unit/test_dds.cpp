// DDS header checks and level layout over in-memory files; no OpenGL.
#include "render/dds.h"
#include "tests/gl/ddsfile.h"
#include <gtest/gtest.h>
#include <functional>
#include <string>

namespace {
dds_info parse(std::string bytes) {
  FILE *fp = fmemopen(&bytes[0], bytes.size(), "rb");
  dds_info info;
  dds_parse(fp, &info);
  fclose(fp);
  return info;
}
dds_info parse(std::function<void(DdsFile &)> edit) {
  DdsFile d;
  edit(d);
  return parse(d.bytes());
}
const char *READ_FAILS = "expression '\\(r = fread\\(buf, 1, size, fp\\)\\) == size' is false";
} // namespace

TEST(DdsHeaderDeath, TheFirstFailedCheckIsReported) {
  const struct {
    std::function<void(DdsFile &)> edit;
    std::string message;
  } cases[] = {
      {[](DdsFile &d) { d.magic = "DDT "; }, "invalid magic 'DDT'"},
      {[](DdsFile &d) { d.size = 128; }, "size \\(128\\) != 124"},
      {[](DdsFile &d) { d.flags = 0; }, "expression 'flags & DDSD_CAPS' is false"},
      {[](DdsFile &d) { d.flags &= ~0x2u; }, "expression 'flags & DDSD_HEIGHT' is false"},
      {[](DdsFile &d) { d.flags &= ~0x4u; }, "expression 'flags & DDSD_WIDTH' is false"},
      {[](DdsFile &d) { d.flags &= ~0x1000u; }, "expression 'flags & DDSD_PIXELFORMAT' is false"},
      {[](DdsFile &d) { d.pf_size = 24; }, "expression 'readu\\(fp\\) == 32' is false"},
      // uncompressed: fails at the flags before its code is looked at
      {[](DdsFile &d) { d.pf_flags = 0x40, d.fourcc = "RGBA"; }, "expression 'readu\\(fp\\) & DDPF_FOURCC' is false"},
      {[](DdsFile &d) { d.fourcc = "ATI2"; }, "file is not a DXT1, 3 or 5 \\(ATI2\\)"},
      {[](DdsFile &d) { d.w = 8, d.mips = 2, d.data = std::string(31, 'x'); }, READ_FAILS},
      {[](DdsFile &d) { d.mips = 0, d.data = ""; }, READ_FAILS}, // a count of 0 is one level, which must be there
      // sizes and counts the header allows but no file can hold
      {[](DdsFile &d) { d.w = d.h = 0xFFFFFFFF; }, "invalid size 4294967295x4294967295 \\(1 to 65536 pixels per side\\)"},
      {[](DdsFile &d) { d.w = 256, d.h = 64, d.mips = 10; }, "mip map count \\(10\\) exceeds the 9 levels of 256x64"},
      // a level no upload takes: 4 GiB would wrap to 0 in 32 bits, 2 GiB is one byte too many
      {[](DdsFile &d) { d.w = d.h = 65536; }, "level 0 of 65536x65536 DXT5 is 4294967296 bytes, more than one upload takes \\(2147483647\\)"},
      {[](DdsFile &d) { d.w = d.h = 65536, d.fourcc = "DXT1"; }, "level 0 of 65536x65536 DXT1 is 2147483648 bytes, more than one upload takes \\(2147483647\\)"},
  };
  for (auto &c : cases) EXPECT_EXIT(parse(c.edit), testing::ExitedWithCode(1), "^error: load_dds#[0-9]+: " + c.message + "\n$");
  EXPECT_EXIT(parse("DD"), testing::ExitedWithCode(1), "^error: load_dds#[0-9]+: read error\n$");
  EXPECT_EXIT(parse(DdsFile().bytes().substr(0, 86)), testing::ExitedWithCode(1), "'fread\\(buf, 1, 4, fp\\) == 4' is false\n$");
  EXPECT_EXIT(parse(DdsFile().bytes().substr(0, 10)), testing::ExitedWithCode(1), "^error: readu#[0-9]+: read failed at 10\n$");
  EXPECT_EXIT(load_dds("/no/such.dds"), testing::ExitedWithCode(1), "^error: load_dds#[0-9]+: failed to open '/no/such.dds'\n$");
}

TEST(DdsLevels, ChainCountsAndBlockSizes) {
  dds_info i = parse([](DdsFile &d) { d.magic = "DDS\x7f", d.w = 256, d.h = 64, d.mips = 9, d.data = std::string(21904, 'x'); });
  const uint32_t w[] = {256, 128, 64, 32, 16, 8, 4, 2, 1}, h[] = {64, 32, 16, 8, 4, 2, 1, 1, 1};
  const uint32_t size[] = {16384, 4096, 1024, 256, 64, 32, 16, 16, 16};
  ASSERT_TRUE(i.nlevels == 9 && i.glformat == 0x83F3);
  for (int l = 0; l < 9; l++) EXPECT_TRUE(i.levels[l].w == w[l] && i.levels[l].h == h[l] && i.levels[l].size == size[l]) << l;
  // DXT1: 8-byte blocks, a 1 x 1 or 2 x 2 level is one block
  i = parse([](DdsFile &d) { d.fourcc = "DXT1", d.w = 2, d.h = 2, d.mips = 2; });
  EXPECT_TRUE(i.glformat == 0x83F1 && i.levels[0].size + i.levels[1].size == 16);
  EXPECT_EQ(parse([](DdsFile &d) { d.fourcc = "DXT3"; }).glformat, 0x83F2u);
  // one level without DDSD_MIPMAPCOUNT, whatever the field says, and with a count of 0
  EXPECT_EQ(parse([](DdsFile &d) { d.flags &= ~0x20000u, d.mips = 3; }).nlevels, 1u);
  i = parse([](DdsFile &d) { d.mips = 0; });
  EXPECT_TRUE(i.nlevels == 1 && i.levels[0].size == 16);
  EXPECT_EQ(dds_level_size(65536, 65536, 16), 4294967296ull); // no 32-bit wrap
}
