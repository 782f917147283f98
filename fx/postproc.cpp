// Post-processing and colour grading: not built yet; the scene is drawn to the window directly.
#include "fx/postproc.h"

void postproc_init(void) {}
void postproc_begin(void) {}
void postproc_draw(void) {}
void postproc_save_clut_screenshot(void) {}
void clut_reset(void) {}
void clut_update(float dt) {}
void clut_toggle(void) {}
