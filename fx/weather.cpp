// Snow and rain: not built yet.
#include "fx/weather.h"

void rain_init(float radius) {}
void rain_update(void) {}
void rain_draw(const float campos[3], float yaw) {}
void snow_init(const float colour[3]) {}
void snow_update(const float campos[3]) {}
void snow_draw(void) {}
