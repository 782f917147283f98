// World loading: builds everything the frame loop draws, once, before the first frame.
#pragma once

void world_load(void);
// Optional: called at the end of each loading phase with its name ("terrain", "sky", "catalogue
// and trees", "brushes", "spawning", "quadtree", "grass", "rest"); null in the game.
extern void (*g_world_load_phase)(const char *phase);
// Camera start pose from v3_camera_start_pos / v3_camera_start_rot, standing on the ground.
void world_place_camera(void);
