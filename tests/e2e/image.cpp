// Captured and saved pictures for the end-to-end tests: PPM/PNG output, BMP input, pixel statistics.
#include "image.h"
#include "proc.h"

#include <cstdio>
#include <set>

bool img_save_ppm(const image &img, const std::string &path) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "P6\n%d %d\n255\n", img.w, img.h);
  size_t n = fwrite(img.rgb.data(), 1, img.rgb.size(), f);
  fclose(f);
  return n == img.rgb.size();
}

std::string img_save(const image &img, const std::string &base) {
  std::string ppm = base + ".ppm", png = base + ".png";
  if (!img_save_ppm(img, ppm)) return "";
  if (proc_run({"convert", ppm, png}, 20000) == 0) {
    remove(ppm.c_str());
    return png;
  }
  return ppm;
}

double img_lit_fraction(const image &img, int x0, int y0, int x1, int y1, int min) {
  long lit = 0, all = 0;
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < img.h; y++)
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < img.w; x++) {
      const uint8_t *p = &img.rgb[((size_t)y * img.w + x) * 3];
      int m = p[0] > p[1] ? p[0] : p[1];
      if (p[2] > m) m = p[2];
      lit += m > min;
      all++;
    }
  return all ? (double)lit / all : 0.0;
}

void img_mean(const image &img, int x0, int y0, int x1, int y1, double out[3]) {
  double sum[3] = {0, 0, 0};
  long n = 0;
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < img.h; y++)
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < img.w; x++, n++)
      for (int c = 0; c < 3; c++) sum[c] += img.rgb[((size_t)y * img.w + x) * 3 + c];
  for (int c = 0; c < 3; c++) out[c] = n ? sum[c] / n : 0;
}

int img_colour_count(const image &img) {
  std::set<int> seen;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    seen.insert((img.rgb[i] >> 4) << 8 | (img.rgb[i + 1] >> 4) << 4 | img.rgb[i + 2] >> 4);
  return (int)seen.size();
}

uint32_t img_pixel(const image &img, int x, int y) {
  const uint8_t *p = &img.rgb[((size_t)y * img.w + x) * 3];
  return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

static uint32_t le(const std::string &b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = v << 8 | (uint8_t)b[at + i];
  return v;
}

bool img_load_bmp(const std::string &path, image *img) {
  std::string b = file_read(path);
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  uint32_t off = le(b, 10, 4), comp = le(b, 30, 4);
  int32_t w = (int32_t)le(b, 18, 4), h = (int32_t)le(b, 22, 4);
  int bpp = (int)le(b, 28, 2);
  // 32-bit images from SDL carry bit-field masks (compression 3); assume the usual BGRA order
  if ((bpp != 24 && bpp != 32) || (comp != 0 && comp != 3) || w <= 0 || h == 0) return false;
  bool bottom_up = h > 0;
  if (h < 0) h = -h;
  size_t pitch = ((size_t)w * (bpp / 8) + 3) & ~(size_t)3;
  if (b.size() < off + pitch * h) return false;
  img->w = w;
  img->h = h;
  img->rgb.resize((size_t)w * h * 3);
  for (int y = 0; y < h; y++) {
    size_t row = off + pitch * (size_t)(bottom_up ? h - 1 - y : y);
    for (int x = 0; x < w; x++) {
      size_t p = row + (size_t)x * (bpp / 8);
      uint8_t *o = &img->rgb[((size_t)y * w + x) * 3];
      o[0] = (uint8_t)b[p + 2];
      o[1] = (uint8_t)b[p + 1];
      o[2] = (uint8_t)b[p];
    }
  }
  return true;
}
