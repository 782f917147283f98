// Grass field: not built yet.
#include "world/grass.h"

void grass_create(float x, float z) {}
void grass_update(const float pos[3]) {}
void grass_draw(void) {}
