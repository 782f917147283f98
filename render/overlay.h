// 2D overlay: pixel-space projection, textured rectangles, and the logo and credits pass.
#pragma once

struct texture;

extern texture *overlay_logo, *overlay_credits; // set by world loading
// Opacity of the logo and credits: starts at 0.3; the update step fades it once the player moves.
extern float g_overlay_alpha;

void ortho_begin(void);
void ortho_end(void);
// Width over height for the perspective projection; 1 for a window of no height.
double screen_aspect(int w, int h);
void draw_image(const texture *tex, int x, int y);
void overlay_draw(void);
// Top-left corners of the logo (centred, 50 below the top) and the credits (20 from the corner),
// for any window size the parameters can hold.
void overlay_logo_pos(int logo_w, int *x, int *y);
void overlay_credits_pos(int credits_w, int credits_h, int *x, int *y);
