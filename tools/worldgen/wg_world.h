// World generator: presets, the object catalogue, the painted regions and the steps that write a world.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "wg.h"

struct wg_preset {
  const char *name;
  float tn_sz;          // terrain edge in world units (the object map covers the same square)
  int tn_ndivs;         // terrain cells per side
  float hm_maxy;        // height of the brightest height map value
  int hm_size;          // height map pixels per side
  int objmap_size;      // object map pixels per side
  int terrain_tex;      // terrain texture pixels per side
  int tex_div;          // object textures are drawn at their full size divided by this
  int sky_size, env_size;
  float zfar, fog_start, fog_end;
  float density_mul;    // world items per area, relative to the default
  int grass_ntufts;
  float ambient_seconds;
  int step_sounds;      // alternatives per footstep definition
};
const wg_preset *preset_find(const char *name);

enum wg_region { R_MEADOW, R_FLOWERS, R_BROADLEAF, R_PINE, R_ROCKY, R_SNOW, R_COUNT };

// one object block of "index"
struct wg_object {
  const char *name;
  const char *type;     // "mass", "grass" or "unique"
  const char *file;     // texture, relative to the data root
  const char *pg;       // tree parameter file, or null for a billboard
  float scale, scale_rnd;
  float density;        // grass growth (0: no growth lines)
  int num_clumps;
  float clumpiness;
};
extern const wg_object g_objects[];
extern const int g_nobjects;

struct wg_region_def {
  const char *name;
  uint32_t color, open_color;  // the spawning brush and the bare-ground brush of the region
  const char *footsteps;       // sound definition file
  const char *clut;            // colour table file
  float items_per_100m2;       // world items grown per 100 square units
  std::vector<const char *> mass, grass;
};
extern const wg_region_def g_regions[R_COUNT];

struct wg_landmark {
  const char *object;    // unique object name
  const char *plot;      // brush word
  uint32_t color;
  const char *filler;    // a small mass object so the plot's pixels always get spawn attempts
  wg_region host;        // ground, grass, footsteps and colour table of the surroundings
  float x, z;            // plot centre in world units
};

struct wg_world {
  const wg_preset *P;
  uint64_t seed;
  std::string weather;
  std::string root;  // folder being written (a temporary one)
  // terrain: heights 0..1 on an hm_size grid, row along +z
  std::vector<float> height;
  // object map: region index per pixel (R_COUNT + i for landmark i), and whether it spawns
  std::vector<uint8_t> region, spawn;
  std::vector<wg_landmark> landmarks;
  float start_x = 0, start_z = 0, start_yaw = 0, start_pitch = 0, start_y = 0;
  col4 fog, zenith;
  size_t files = 0, bytes = 0;
};

// steps; each returns false with wg_error set
bool terrain_generate(wg_world &w);    // heights, regions, landmarks, start pose (no files)
bool terrain_write(wg_world &w);       // hm.bmp, objmap.bmp
bool terrain_texture_write(wg_world &w);  // terraintexture.png
bool textures_write(wg_world &w);      // object textures (PNG and DDS)
bool stone_textures_write(wg_world &w);  // rocks, pebbles and the stone landmarks
// painting helpers shared by the texture files
enum foliage_style { F_OAK, F_BIRCH, F_PINE, F_ELDER, F_BUSH, F_BERRY, F_JUNIPER };
void paint_foliage(image &im, float x0, float y0, float size, foliage_style st, wg_rng &r, bool dome);
void paint_blades(image &im, wg_rng &r, int n, col4 base, col4 tip, float hmin, float hmax, float spread);
bool sky_write(wg_world &w);           // the twelve sky box faces
bool sounds_write(wg_world &w);        // footsteps (WAV) and the ambient loop (Ogg Vorbis)
bool overlay_write(wg_world &w);       // logo.png and credits.png
bool catalog_write(wg_world &w);       // param.cfg, index, brushes, tree parameters, sound definitions
bool cluts_write(wg_world &w);         // colour tables

// helpers shared by the steps
std::string wg_path(const wg_world &w, const std::string &rel);  // also creates the folders on the way
bool wg_save_png(wg_world &w, const image &im, const std::string &rel, bool alpha);
bool wg_save_dds(wg_world &w, const image &im, const std::string &rel, bool dxt5);
bool wg_save_text(wg_world &w, const std::string &rel, const std::string &text);
bool wg_save_bytes(wg_world &w, const std::string &rel, const std::vector<uint8_t> &bytes);
bool wg_save_bmp(wg_world &w, int width, int height, const std::vector<uint8_t> &rgb, const std::string &rel);
void wg_progress(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
float world_height(const wg_world &w, float x, float z);  // bilinear, world units
void region_weights(const wg_world &w, float x, float z, float wt[R_COUNT]);  // sum 1
