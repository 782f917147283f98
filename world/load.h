// World loading: builds everything the frame loop draws, once, before the first frame.
#pragma once

void world_load(void);
// Camera start pose from v3_camera_start_pos / v3_camera_start_rot, standing on the ground.
void world_place_camera(void);
