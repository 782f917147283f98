// Application shell: entry, initialisation, main loop, input, camera and frame composition.
#pragma once
#include <cstdint>
#include "render/camera.h"

struct SDL_Window;
typedef void *SDL_GLContext;
struct _SDL_GameController;

extern SDL_GLContext g_gl_context;
extern _SDL_GameController *g_controller;

extern int g_quit, g_mouse_captured, g_moved, g_screenshot_request;
extern int g_walk_speed_saved; // whether key 9 saved g_saved_walk_speed (free flight was switched on)
extern float g_in_forward, g_in_strafe, g_fwd_smooth, g_strafe_smooth, g_bob;
extern float g_jump_offset, g_jump_velocity, g_saved_walk_speed;

void init(void);
// The first game controller that opens, into g_controller (part of init).
void open_controller(void);
void resize(int w, int h);
void game_main(void);
void game_update(float dt);
// mod: the modifier keys held when the key went down, as the event reports them
void handle_key(int32_t key, uint16_t mod);
void render_frame(void);
// The passes of one frame, for tools that time them; FRAME_END comes before the swap. They are
// drawn grass, terrain, world items, then the sky into what is left uncovered (or sky, terrain,
// grass, items under a terrain that lets the sky show through); the first pass includes the
// frame's set-up (off-screen target, depth clear, camera).
enum { FRAME_SKY, FRAME_TERRAIN, FRAME_GRASS, FRAME_WORLD, FRAME_WEATHER, FRAME_POST, FRAME_OVERLAY, FRAME_END };
// Optional: called as each pass begins and at FRAME_END; null in the game.
extern void (*g_frame_pass_hook)(int pass);

// World loading: builds everything the frame loop draws, once, before the first frame.
void world_load(void);
// Optional: called at the end of each loading phase with its name ("terrain", "sky", "catalogue
// and trees", "brushes", "spawning", "quadtree", "grass", "rest"); null in the game.
extern void (*g_world_load_phase)(const char *phase);
// Camera start pose from v3_camera_start_pos / v3_camera_start_rot, standing on the ground.
void world_place_camera(void);
// The steps of world loading that a reload runs again (app/load.cpp): the catalogue and its
// trees, the brushes and the object map, and the world items; the quadtree over the items; the
// snow in the fog's colour; depth, alpha test and fog; every colour table the brushes name read
// once, so that a broken one fails at load rather than when the player walks into its region.
void world_items_load(void);
void world_quadtree_build(void);
void world_snow_init(void);
void world_scene_state(void);
void world_check_tables(void);
// Live reload of the world's own files (app/reload.cpp): param.cfg as loading found it, and the
// height map, the object map, the brushes, the catalogue and param.cfg watched from then on.
void world_params_read(void);
void world_watch(void);
// File monitor callback of those files: what depends on the saved file is built anew and the
// player stays where they stand; a save that does not load warns and the world stays as it was.
void world_reload(const char *path, void *arg);
// Set by a reload that rebuilt anything: the main loop does not run the steps missed meanwhile.
extern int g_world_rebuilt;

// Every update step, right after the listener: a footstep at the walking pace.
void footsteps_update(void);
// The same with an explicit clock, for tests.
void footsteps_update_at(uint32_t now);
void cam_move(void);
float eye_height(void);
int32_t step_period(void);
void cam_sway(void);
void jump_step(void);
// Controller stick value: raw / 32767 outside the strict dead zone of 0.24, else 0.
float stick_value(int16_t raw);
// Update steps to run when the clock reads now and the simulation has reached *sim_time.
uint32_t loop_steps(uint32_t *sim_time, uint32_t now);
