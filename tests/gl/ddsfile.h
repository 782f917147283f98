// DDS fixture for tests: the 128-byte header built from fields, then the level bytes.
#pragma once
#include <cstdint>
#include <string>

struct DdsFile {
  std::string magic = "DDS ", fourcc = "DXT5", data = std::string(16, 'x');
  uint32_t size = 124, flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000, w = 4, h = 4, mips = 1, pf_size = 32, pf_flags = 4;
  std::string bytes() const {
    std::string s = magic;
    auto put = [&s](uint32_t v) { s.append((const char *)&v, 4); }; // little-endian host
    put(size), put(flags), put(h), put(w), put(0), put(0), put(mips);
    s.append(44, '\0');
    put(pf_size), put(pf_flags);
    return s + fourcc + std::string(40, '\0') + data;
  }
};
