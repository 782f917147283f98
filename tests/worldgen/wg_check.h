// World generator tests: running the tool and reading its files with small independent parsers.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Runs velder-worldgen with the arguments (shell-quoted by the caller); returns the exit status.
int wg_run(const std::string &args, std::string *output = nullptr);
std::string wg_tempdir();  // a fresh empty folder
void wg_rmtree(const std::string &dir);
bool wg_exists(const std::string &path);
std::vector<uint8_t> wg_read(const std::string &path);
std::vector<std::string> wg_lines(const std::string &path);  // line ends removed
std::vector<std::string> wg_list_files(const std::string &dir);  // relative paths, sorted

struct bmp_info {
  bool ok = false;
  int w = 0, h = 0, bpp = 0, compression = -1;
  std::vector<uint8_t> rgb;  // top row first, 3 bytes per pixel (R, G, B)
};
bmp_info bmp_load(const std::string &path);

struct png_info {
  bool ok = false;
  int w = 0, h = 0, depth = 0, colour_type = -1;
};
png_info png_header(const std::string &path);
// Decoded RGBA pixels (through SDL_image), empty when unreadable.
std::vector<uint8_t> png_rgba(const std::string &path, int *w, int *h);

struct dds_info {
  bool ok = false;
  std::string error;
  std::string fourcc;
  int w = 0, h = 0, mips = 0;
};
dds_info dds_check(const std::string &path);  // header checks and the exact size of every level

// Key/value file as the game reads it: name up to the first blank, the rest after the blanks.
std::map<std::string, std::string> kv_read(const std::string &path);

struct index_object {
  std::string name, type, file, pg;
  std::map<std::string, double> num;
};
// Reads "index" with the catalogue rules; returns false with a message on any violation.
bool index_read(const std::string &root, std::vector<index_object> &out, std::string &err);

struct brush_def {
  uint32_t color = 0;
  int density = 1;
  std::string footsteps, clut;
  std::vector<std::string> names;
};
bool brushes_read(const std::string &root, std::vector<brush_def> &out, std::string &err);
