// World generator tests: running the tool and reading the world's files with small parsers.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Runs velder-worldgen with the arguments (shell-quoted by the caller); returns the exit status.
int wg_run(const std::string &args, std::string *output = nullptr);
std::string wg_tempdir();  // a fresh empty folder
void wg_rmtree(const std::string &dir);
std::vector<uint8_t> wg_read(const std::string &path);
std::vector<std::string> wg_lines(const std::string &path);  // line ends removed
std::vector<std::string> wg_list_files(const std::string &dir);  // relative paths, sorted

struct bmp_info {
  bool ok = false;
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;  // top row first, 3 bytes per pixel (R, G, B)
};
bmp_info bmp_load(const std::string &path); // 24-bit, uncompressed only

struct png_info {
  int w = 0, h = 0, depth = 0, colour_type = -1; // colour type -1: not a PNG
};
png_info png_header(const std::string &path);
// Decoded RGBA pixels (through SDL_image), empty when unreadable.
std::vector<uint8_t> png_rgba(const std::string &path, int *w, int *h);
// A DDS header's four-character code, size and number of levels.
struct dds_info {
  std::string fourcc;
  int w = 0, h = 0, mips = 0;
};
dds_info dds_header(const std::string &path);

// Key/value file as the game reads it: name up to the first blank, the rest after the blanks.
std::map<std::string, std::string> kv_read(const std::string &path);

// The catalogue's objects and the brushes, read loosely: velder-check holds them to the game's rules.
struct index_object {
  std::string name, type, file, pg;
};
std::vector<index_object> index_read(const std::string &root);
struct brush_def {
  uint32_t color = 0;
  int density = 1;
  std::string footsteps, clut;
  std::vector<std::string> names;
};
std::vector<brush_def> brushes_read(const std::string &root);
