// Driving the real game for end-to-end tests: a scratch folder, the process, input, capture and exit.
#pragma once
#include "xwin.h"
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// One run of the game, in runs/<name>: a copy of shader/ that a test may break, the data root
// "data", the captured output and the captures, kept after the test for inspection.
struct game {
  std::string name;
  std::string dir;               // working directory
  std::string data;              // data root, relative to dir
  std::vector<std::string> args; // command-line arguments; {data} unless a test changes them
  std::vector<std::string> env;  // NAME=value for the run, over the default SDL_AUDIODRIVER=dummy
  std::string out_path, err_path; // captured stdout and stderr
  pid_t pid = -1;
  xw_id win = 0;
  int exit_code = -1; // valid once game_wait_exit returned true
};

// Set by the test environment: the X display, and the folder that holds the runs (the
// build's runs/, or a private temporary folder while another instance of the suite holds it).
extern std::string g_e2e_display;
extern std::string g_e2e_run_dir;

// Fresh scratch folder with shader/ and, as data root, the generated tiny world (made once per
// run and linked entry by entry; param.cfg is a copy).
bool game_setup(game *g, const std::string &name);
bool game_has_world(void);
// Replaces the data root by another generated world: velder-worldgen's options ("--preset
// default", "--preset tiny --weather rain"); false when it cannot be made.
bool game_use_world(game *g, const std::string &options);
std::string game_data_path(const game *g, const std::string &rel);
// Makes a linked entry of the data root (and the folders above it) a copy of its own, to edit.
bool game_own_data(game *g, const std::string &rel);
// Replaces every occurrence of from in a data file (made the run's own); false without one.
bool game_edit(game *g, const std::string &rel, const std::string &from, const std::string &to);
// Appends a line to param.cfg (later lines win).
void game_param(game *g, const std::string &line);
std::string game_shader_path(const game *g, const std::string &file);

bool game_start(game *g);
bool game_wait_window(game *g, int timeout_ms);
std::string game_title(const game *g);
bool game_running(game *g);

// Input, through xdotool with the window as target (no window manager runs).
bool game_key(game *g, const std::string &keysym);
// Presses a button at (x, y) for hold_ms; a left click is held until the game took the mouse.
bool game_click(game *g, int x, int y, int button = 1, int hold_ms = 50);
bool game_resize(game *g, int w, int h);
bool game_close(game *g);
// Captures the window, saved as dir/<shot>.png (the path goes to *saved).
bool game_capture(game *g, const std::string &shot, image *img, std::string *saved = nullptr);
// Presses P and reads the whole new "screenshot.bmp".
bool game_screenshot(game *g, image *img);

// The fatal-error box ("Error"), or 0 when none came.
xw_id error_box_wait(int timeout_ms);
bool error_box_close(xw_id box);

// Waits for the process to end and stores its exit code; on timeout kills it and returns false.
bool game_wait_exit(game *g, int timeout_ms);
void game_stop(game *g);

std::string game_stdout(const game *g);
std::string game_stderr(const game *g);
// Exit state and the last lines of both streams, for failure messages.
std::string game_report(game *g);
// Waits until the captured stdout (or stderr) holds text; stdout is line-buffered (stdbuf).
bool game_wait_output(game *g, const std::string &text, int timeout_ms, bool on_stderr = false);
// The statistics the game prints when it quits ("stats_print: r.fps 57"), by counter name.
std::map<std::string, double> game_stats(const game *g);

// Pictures: w x h pixels of colour(x, y) (0xRRGGBB); saved as a 24-bit BMP (".bmp") or an RGBA
// PNG in which black is clear; read back from the game's BMP screenshot.
image img_make(int w, int h, const std::function<uint32_t(int x, int y)> &colour);
bool img_write(const image &img, const std::string &path);
bool img_load_bmp(const std::string &path, image *img);
std::string img_save(const image &img, const std::string &path_without_ext);
uint32_t img_pixel(const image &img, int x, int y); // 0xRRGGBB
double img_fraction(const image &img, int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)> &test);
void img_mean(const image &img, int x0, int y0, int x1, int y1, double out[3]); // per channel, 0..255
int img_colour_count(const image &img); // distinct colours on a 4-bit-per-channel grid
