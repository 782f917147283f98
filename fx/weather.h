// Snow and rain: falling streaks and flakes in volumes that travel with the camera.
#pragma once

// World loading, when i_rain_ndroplets > 0, with radius 8.
void rain_init(float radius);
void rain_update(void);
void rain_draw(const float campos[3], float yaw);
// World loading, when i_snow_nflakes > 0, with the fog colour lifted by 0.1.
void snow_init(const float colour[3]);
void snow_update(const float campos[3]);
void snow_draw(void);
