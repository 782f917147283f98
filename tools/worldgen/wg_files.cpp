// World generator: the text files of a world (param.cfg, index, brushes, tree parameters, sound definitions).
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "wg_world.h"

static void addf(std::string &s, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
static void addf(std::string &s, const char *fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  s += buf;
}

struct tree_params {
  const char *file;
  float height, start, end;
  int sections;
  float top_scale, bottom_scale;
  int count;
  float length, variance, a0, a1, leaf_w, leaf_h;
  float bark_u0, bark_u1; // the trunk's rectangle across the bark column, just wider than its paint
};

// Every tree texture holds the bark on its left quarter and the leaf card on its right half. The
// species must read apart at a glance: the pine a cone of many rings narrowing to the top, the oak
// a short trunk under a broad crown, the birch a tall white trunk with a narrow crown set high.
// A crown is a few dense leaf cards rather than many sparse ones, and a trunk's rectangle is no
// wider than its bark (paint_trunk's widest half plus a margin, about the column's middle): on a
// software renderer every card's whole rectangle costs, hidden or not.
static const tree_params g_trees[] = {
    {"trees/pine.pg", 10, 1.2f, 10.6f, 8, 0.45f, 2.1f, 6, 0.3f, 0.4f, 50, 78, 1.35f, 1.35f, 0.07f, 0.18f},
    {"trees/oak.pg", 5, 3.4f, 9, 5, 1.6f, 2.4f, 5, 0.4f, 0.6f, 25, 85, 1.5f, 1.5f, 0.027f, 0.223f},
    {"trees/birch.pg", 9, 3.2f, 10.5f, 6, 0.8f, 1.4f, 5, 0.2f, 0.4f, 25, 75, 1.3f, 1.3f, 0.078f, 0.172f},
    {"trees/elder.pg", 7, 4, 12, 6, 1.8f, 3.2f, 6, 0.6f, 0.6f, 30, 88, 1.5f, 1.5f, 0, 0.25f},
};

static std::string tree_file(const tree_params &t) {
  std::string s = "# tree parameters: trunk and rings of leaf cards\n";
  addf(s, "tr_height %g\n", t.height);
  addf(s, "tr_branch_start_height %g\n", t.start);
  addf(s, "tr_branch_end_height %g\n", t.end);
  addf(s, "tr_section_count %d\n", t.sections);
  addf(s, "tr_top_section_scale %g\n", t.top_scale);
  addf(s, "tr_bottom_section_scale %g\n", t.bottom_scale);
  addf(s, "tr_texture_rect_top %g 0\n", t.bark_u0);
  addf(s, "tr_texture_rect_bottom %g 1\n", t.bark_u1);
  addf(s, "br_count %d\n", t.count);
  addf(s, "br_length %g\n", t.length);
  addf(s, "br_length_variance %g\n", t.variance);
  addf(s, "br_start_angle %g\n", t.a0);
  addf(s, "br_end_angle %g\n", t.a1);
  addf(s, "br_leaf_width %g\n", t.leaf_w);
  addf(s, "br_leaf_height %g\n", t.leaf_h);
  s += "br_texture_rect_top 0.5 0\n";
  s += "br_texture_rect_bottom 1 1\n";
  return s;
}

static std::string index_file(const wg_world &w) {
  std::string s;
  addf(s, "# Velder object catalogue (velder-worldgen, preset %s, seed %llu)\n\n", w.P->name,
       (unsigned long long)w.seed);
  for (int i = 0; i < g_nobjects; i++) {
    const wg_object &o = g_objects[i];
    addf(s, "object %s\nfile %s\ntype %s\n", o.name, o.file, o.type);
    if (o.pg) addf(s, "pg %s\n", o.pg);
    addf(s, "scale %g\nscale_rnd %g\n", o.scale, o.scale_rnd);
    if (!strcmp(o.type, "grass"))
      addf(s, "density %g\nnum_clumps %d\nclumpiness %g\n", o.density, o.num_clumps, o.clumpiness);
    s += "\n";
  }
  return s;
}

static void brush_block(std::string &s, uint32_t color, const wg_region_def &r, int density,
                        const std::vector<const char *> &mass, const char *unique) {
  addf(s, "brush %06x\nfootsteps:%s\nclut:%s\ndensity:%d\n", color, r.footsteps, r.clut, density);
  for (const char *m : mass) addf(s, "%s\n", m);
  if (unique) addf(s, "%s\n", unique);
  for (const char *g : r.grass) addf(s, "%s\n", g);
  s += "\n";
}

static std::string brushes_file(const wg_world &w) {
  std::string s = "# Velder brushes: one per object map colour\n\n";
  for (int i = 0; i < R_COUNT; i++) {
    const wg_region_def &r = g_regions[i];
    addf(s, "# %s, growing\n", r.name);
    brush_block(s, r.color, r, 1, r.mass, nullptr);
    addf(s, "# %s, open ground\n", r.name);
    brush_block(s, r.open_color, r, 0, r.mass, nullptr);
  }
  const int plot_density = 2;  // attempts per plot pixel, four pixels per plot
  for (const auto &lm : w.landmarks) {
    addf(s, "# %s: plot of the landmark %s in the %s\n", lm.plot, lm.object, g_regions[lm.host].name);
    brush_block(s, lm.color, g_regions[lm.host], plot_density, {lm.filler}, lm.object);
  }
  return s;
}

static std::string param_file(const wg_world &w) {
  const wg_preset &P = *w.P;
  std::string s;
  addf(s, "# Velder world parameters (velder-worldgen, preset %s, seed %llu, weather %s)\n", P.name,
       (unsigned long long)w.seed, w.weather.c_str());
  addf(s, "b_fog_on 1\n");
  addf(s, "v3_fog_color %.3f %.3f %.3f\n", w.fog.r, w.fog.g, w.fog.b);
  addf(s, "f_fog_density 0.35\n");
  addf(s, "f_fog_start %g\nf_fog_end %g\n", P.fog_start, P.fog_end);
  addf(s, "v3_sky_color %.3f %.3f %.3f\n", w.zenith.r, w.zenith.g, w.zenith.b);
  addf(s, "v3_alpha_color 0 0 0\n");
  addf(s, "i_screen_w 854\ni_screen_h 480\n");
  addf(s, "b_camera_clamp_y 1\n");
  addf(s, "f_camera_zfar %g\n", P.zfar);
  addf(s, "v3_camera_start_pos %.2f %.2f %.2f\n", w.start_x, w.start_y, w.start_z);
  addf(s, "v3_camera_start_rot %g %g 0\n", w.start_pitch, w.start_yaw);
  addf(s, "i_veg_mass_count 1000\ni_veg_detail_count 1000\n");
  addf(s, "f_veg_pos_r %g\n", P.tn_sz / 2);
  addf(s, "b_veg_patch_on 1\ni_veg_patch_mapsz 64\ni_veg_patch_blocksz 16\nb_frustum_cull 1\n");
  addf(s, "s_ambient_loop sounds/ambient.ogg\n");
  bool tiny = P.tn_sz < 200;
  // Rain falls in a box 16 units wide ahead of the eye and snow in a box round it, whatever
  // the terrain's size: the same density reads as the same weather. Streaks cost the CPU about
  // 0.4 ms a frame per thousand, flakes their five passes; the tiny world keeps tests quick.
  addf(s, "i_rain_ndroplets %d\n", w.weather == "rain" ? (tiny ? 2000 : 4000) : 0);
  addf(s, "i_snow_nflakes %d\n", w.weather == "snow" ? (tiny ? 2500 : 4000) : 0);
  addf(s, "i_tn_ndivs %d\nf_tn_sz %g\nf_tn_hm_maxy %g\n", P.tn_ndivs, P.tn_sz, P.hm_maxy);
  addf(s, "f_walk_speed 2.8\nf_texture_scale 1\n");
  addf(s, "i_grass_ntufts %d\ni_grass_cell_sample_res 8\n", P.grass_ntufts);
  addf(s, "s_default_clut %s\n", g_regions[R_MEADOW].clut);
  return s;
}

struct step_def {
  const char *file, *prefix;
  float v0, v1;
};
static const step_def g_steps[] = {
    {"sounds/steps_grass.def", "sounds/step_grass_", 0.45f, 0.7f},
    {"sounds/steps_forest.def", "sounds/step_forest_", 0.5f, 0.75f},
    {"sounds/steps_gravel.def", "sounds/step_gravel_", 0.5f, 0.8f},
    {"sounds/steps_snow.def", "sounds/step_snow_", 0.45f, 0.7f},
};

bool catalog_write(wg_world &w) {
  for (const auto &t : g_trees)
    if (!wg_save_text(w, t.file, tree_file(t))) return false;
  for (const auto &d : g_steps) {
    std::string s = "# footstep sounds: one of these is picked for every step\n";
    for (int i = 1; i <= w.P->step_sounds; i++) addf(s, "sound%d %s%d.wav\n", i, d.prefix, i);
    addf(s, "volume %g %g\ndelay 0 0.03\ncutoff 0\n", d.v0, d.v1);
    if (!wg_save_text(w, d.file, s)) return false;
  }
  if (!wg_save_text(w, "brushes", brushes_file(w))) return false;
  if (!wg_save_text(w, "param.cfg", param_file(w))) return false;
  return wg_save_text(w, "index", index_file(w));
}
