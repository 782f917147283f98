// Post-processing and colour grading: the off-screen frame, the 3D colour table it is drawn
// through, the blend between regions' tables, and colour-table screenshots.
#pragma once

// Initialisation and the end of world loading: frame buffer and the identity table.
void postproc_init(void);
// First step of every frame: rebuild on resize, bind the off-screen target.
void postproc_begin(void);
// The graded image to the window (default frame buffer bound, viewport set).
void postproc_draw(void);
// "screenshot.bmp" with the displayed table in its top-left corner.
void postproc_save_clut_screenshot(void);
// End of world loading: the default table, settled.
void clut_reset(void);
// Every update step: follow the table of the brush under the camera.
void clut_update(float dt);
// Key 0: grading off and on.
void clut_toggle(void);
