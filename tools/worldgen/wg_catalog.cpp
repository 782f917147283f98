// World generator: the presets, the object catalogue and the regions that the brushes paint.
#include <cstring>

#include "wg_world.h"

static const wg_preset g_presets[] = {
    // name     tn_sz ndivs maxy  hm  omap  ttex div sky env  zfar fog0  fog1 dens grass amb  steps
    {"default", 400, 128, 46, 513, 256, 2048, 1, 512, 64, 160, 50, 150, 0.6f, 90, 24, 4},
    {"tiny", 64, 32, 6, 65, 64, 256, 4, 64, 16, 120, 25, 110, 0.5f, 60, 3, 3},
    {"dense", 640, 160, 60, 641, 512, 2048, 1, 512, 64, 250, 60, 235, 6.0f, 250, 24, 4},
};

const wg_preset *preset_find(const char *name) {
  for (const auto &p : g_presets)
    if (strcmp(p.name, name) == 0) return &p;
  return nullptr;
}

// name, type, texture, tree file, scale, scale_rnd, grass density, clumps, clumpiness. Grass tufts
// are kept knee-high: the tufts at the feet cover much of the view, and every pixel they cover
// costs the software renderer whether it shows or not.
const wg_object g_objects[] = {
    {"pine", "mass", "textures/pine.dds", "trees/pine.pg", 17, 4, 0, 0, 0},
    {"oak", "mass", "textures/oak.png", "trees/oak.pg", 19, 4, 0, 0, 0},
    {"birch", "mass", "textures/birch.png", "trees/birch.pg", 14, 3, 0, 0, 0},
    {"bush_green", "mass", "textures/bush_green.png", nullptr, 1.7f, 0.5f, 0, 0, 0},
    {"bush_berry", "mass", "textures/bush_berry.png", nullptr, 1.3f, 0.4f, 0, 0, 0},
    {"heather", "mass", "textures/heather.png", nullptr, 0.9f, 0.3f, 0, 0, 0},
    {"juniper", "mass", "textures/juniper.png", nullptr, 1.5f, 0.5f, 0, 0, 0},
    {"rock_grey", "mass", "textures/rock_grey.dds", nullptr, 1.4f, 0.8f, 0, 0, 0},
    {"rock_mossy", "mass", "textures/rock_mossy.dds", nullptr, 1.8f, 0.8f, 0, 0, 0},
    {"rock_snow", "mass", "textures/rock_snow.png", nullptr, 1.6f, 0.8f, 0, 0, 0},
    {"pebbles", "mass", "textures/pebbles.png", nullptr, 0.35f, 0.1f, 0, 0, 0},
    {"snag", "mass", "textures/snag.png", nullptr, 6, 2, 0, 0, 0},
    {"grass_meadow", "grass", "textures/grass_meadow.png", nullptr, 0.55f, 0.25f, 1.0f, 6, 0.3f},
    {"grass_short", "grass", "textures/grass_meadow.png", nullptr, 0.38f, 0.17f, 0.35f, 4, 0.5f},
    {"grass_dry", "grass", "textures/grass_dry.png", nullptr, 0.51f, 0.25f, 0.5f, 6, 0.5f},
    {"flowers", "grass", "textures/flowers.png", nullptr, 0.47f, 0.21f, 0.35f, 5, 0.6f},
    {"flowers_thick", "grass", "textures/flowers.png", nullptr, 0.51f, 0.21f, 1.0f, 8, 0.4f},
    {"fern", "grass", "textures/fern.png", nullptr, 0.77f, 0.34f, 0.3f, 5, 0.6f},
    {"grass_snow", "grass", "textures/grass_snow.png", nullptr, 0.38f, 0.17f, 0.25f, 3, 0.7f},
    {"Runestone", "unique", "textures/runestone.png", nullptr, 4.2f, 0, 0, 0, 0},
    {"Dolmen", "unique", "textures/dolmen.png", nullptr, 4.5f, 0, 0, 0, 0},
    {"Old_Watchtower", "unique", "textures/watchtower.png", nullptr, 14, 0, 0, 0, 0},
    {"Elder_Tree", "unique", "textures/elder.png", "trees/elder.pg", 32, 0, 0, 0, 0},
};
const int g_nobjects = sizeof(g_objects) / sizeof(g_objects[0]);

// Mass lists repeat an entry to make it more likely; spawning picks every entry with equal chance.
const wg_region_def g_regions[R_COUNT] = {
    {"meadow", 0x7FBF3F, 0x7FBF40, "sounds/steps_grass.def", "clut/warm.bmp", 1.2f,
     {"oak", "birch", "bush_green", "bush_green", "bush_green", "bush_berry", "rock_grey"},
     {"grass_meadow", "flowers"}},
    {"flower_field", 0xD8B0E0, 0xD8B0E1, "sounds/steps_grass.def", "clut/bloom.bmp", 1.8f,
     {"heather", "heather", "heather", "bush_berry", "birch"},
     {"flowers_thick", "grass_short"}},
    {"broadleaf_wood", 0x2F8F2F, 0x2F8F30, "sounds/steps_forest.def", "clut/lush.bmp", 2.4f,
     {"oak", "oak", "oak", "oak", "birch", "birch", "bush_green", "bush_green", "rock_mossy"},
     {"fern", "grass_short"}},
    {"pine_forest", 0x1F5F3F, 0x1F5F40, "sounds/steps_forest.def", "clut/misty.bmp", 3.0f,
     {"pine", "pine", "pine", "pine", "pine", "pine", "rock_mossy", "juniper"},
     {"fern"}},
    {"rocky_upland", 0x8F8F80, 0x8F8F81, "sounds/steps_gravel.def", "clut/cold.bmp", 2.5f,
     {"rock_grey", "rock_grey", "rock_grey", "juniper", "juniper", "pine"},
     {"grass_dry"}},
    {"snowfield", 0xF0F4FF, 0xF0F4FE, "sounds/steps_snow.def", "clut/crisp.bmp", 1.0f,
     {"rock_snow", "rock_snow", "rock_snow", "snag", "pine"},
     {"grass_snow"}},
};
