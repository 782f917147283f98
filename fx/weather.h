// Snow and rain: falling streaks and flakes in volumes that travel with the camera.
#pragma once
#include <cstdint>
#include "core/array.h"

// One rain streak, relative to the centre of the rain volume.
struct droplet {
  float x, y, z; // x and z in [-radius, radius]; y: top of the streak above the camera, 0..60
  float length;  // 2..3
};
enum { RAIN_TOP = 60 };
#define RAIN_FALL_PER_STEP 1.1666667f

// Rain state, written by the rain_ functions only.
extern uarray<droplet> rain_droplets;
extern float rain_radius; // half-width of the volume and its distance ahead of the camera

// World loading, when i_rain_ndroplets > 0, with radius 8.
void rain_init(float radius);
// Appends n droplets; four random draws each (x, y, z, length).
void rain_spawn(uint32_t n, float radius);
// One fall step; a streak that drops below the camera starts again at the top.
void rain_update(void);
void rain_draw(const float campos[3], float yaw);

enum { SNOW_FLAKE_FLOATS = 12 }; // four corners of three floats
#define SNOW_HALF 0.0625f         // half the side of a flake
// The upright square of a flake centred at (fx, fy, fz), turned by theta radians about the
// vertical axis; corners bottom-left, top-left, top-right, bottom-right.
void snow_flake_quad(float out[SNOW_FLAKE_FLOATS], float fx, float fy, float fz, float theta);
// World loading, when i_snow_nflakes > 0, with the fog colour lifted by 0.1.
void snow_init(const float colour[3]);
void snow_update(const float campos[3]);
void snow_draw(void);
