// Captured and saved pictures for the end-to-end tests: PPM/PNG output, BMP input, pixel statistics.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// RGB pixels, rows top to bottom.
struct image {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
};

bool img_save_ppm(const image &img, const std::string &path);
// Saves a PNG through ImageMagick's convert when it is there, else leaves the PPM beside it.
std::string img_save(const image &img, const std::string &path_without_ext);
// Fraction of the pixels in the rectangle whose brightest channel exceeds min.
double img_lit_fraction(const image &img, int x0, int y0, int x1, int y1, int min);
// Pixel (x, y) as 0xRRGGBB.
uint32_t img_pixel(const image &img, int x, int y);
// Mean colour of the rectangle, each channel 0..255.
void img_mean(const image &img, int x0, int y0, int x1, int y1, double out[3]);
// Number of distinct colours, counted on a 4-bit-per-channel grid.
int img_colour_count(const image &img);
// Reads an uncompressed 24- or 32-bit BMP (the game's screenshot); false if it is not one.
bool img_load_bmp(const std::string &path, image *img);
