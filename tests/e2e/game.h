// Driving the real game for end-to-end tests: a scratch folder, the process, its window and its exit.
#pragma once
#include "xwin.h"
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// One run of the game. The working directory is runs/<name>: it holds a copy of shader/ that a
// test may break, the data root "data" and the captured output, and it stays after the test
// for inspection (screenshots land there too).
struct game {
  std::string name;
  std::string dir;      // working directory
  std::string data;     // data root, relative to dir
  std::vector<std::string> args; // command-line arguments; {data} unless a test changes them
  std::vector<std::string> env;  // NAME=value for the run, over the defaults (SDL_AUDIODRIVER=dummy)
  std::string out_path; // captured stdout
  std::string err_path; // captured stderr
  pid_t pid = -1;
  xw_id win = 0;
  int exit_code = -1;   // valid once game_wait_exit returned true
};

// Set by the test environment: the X display, and the folder that holds the runs (the
// build's runs/, or a private temporary folder while another instance of the suite holds it).
extern std::string g_e2e_display;
extern std::string g_e2e_run_dir;

// Fresh scratch folder with shader/ and the data root. When the world generator was built,
// the data root holds a generated tiny world (made once per run, linked file by file).
bool game_setup(game *g, const std::string &name);
// Whether runs get a generated world (the generator was built and worked).
bool game_has_world(void);
// Links the entries of a world folder into the data root (param.cfg copied).
bool game_link_world(game *g, const std::string &world);
// Replaces the data root by a generated world of another preset ("default"); false without one.
bool game_use_preset(game *g, const std::string &preset);
// Path of an entry of the data root.
std::string game_data_path(const game *g, const std::string &rel);
// Turns a linked entry of the data root (file or folder) into a copy of its own, to be edited.
bool game_own_data(game *g, const std::string &rel);
// Appends one line to the data root's param.cfg (later lines win).
void game_param(game *g, const std::string &line);
// Removes the param.cfg lines that begin with prefix (to get a compiled-in default back).
void game_param_drop(game *g, const std::string &prefix);
std::string game_shader_path(const game *g, const std::string &file);

bool game_start(game *g);
// Waits for the game's own window; false on timeout or when the process ended first.
bool game_wait_window(game *g, int timeout_ms);
std::string game_title(const game *g);
bool game_wait_title(game *g, const std::string &title, int timeout_ms);
bool game_running(game *g);

// Input, through xdotool with the window as target (no window manager runs).
bool game_key(game *g, const std::string &keysym);
// Holds or releases a key (modifiers the game reads as state while it handles another key).
bool game_key_down(game *g, const std::string &keysym);
bool game_key_up(game *g, const std::string &keysym);
bool game_click(game *g, int x, int y, int button = 1, int hold_ms = 50);
// Pointer motion by (dx, dy) pixels, as the game's relative mouse mode sees it once captured.
bool game_mouse_move(game *g, int dx, int dy);
bool game_resize(game *g, int w, int h);
// Waits until the window reports the size; false on timeout.
bool game_wait_size(game *g, int w, int h, int timeout_ms);
// A window manager's close request (WM_DELETE_WINDOW).
bool game_close(game *g);
// Captures the window and saves it as dir/<shot>.png; the path goes to *saved.
bool game_capture(game *g, const std::string &shot, image *img, std::string *saved = nullptr);

// The fatal-error box ("Error"), waited for up to timeout_ms; 0 when none came.
xw_id error_box_wait(int timeout_ms);
// Presses Return in the box; falls back to a close request.
bool error_box_close(xw_id box);

// Waits for the process to end; stores the exit code. On timeout the process group is killed
// and false is returned: a test never hangs.
bool game_wait_exit(game *g, int timeout_ms);
// Kills what is left of the run (fixture tear-down).
void game_stop(game *g);

std::string game_stdout(const game *g);
std::string game_stderr(const game *g);
// Exit state and the last lines of both streams, for failure messages.
std::string game_report(game *g);
// Waits until the captured stdout (or stderr) holds text; the game's stdout is line-buffered
// for this (stdbuf), so information lines show while it runs.
bool game_wait_output(game *g, const std::string &text, int timeout_ms, bool on_stderr = false);

// The statistics the game prints when it quits ("<function>: r.fps 57" and the like), by
// counter name; empty when it printed none.
std::map<std::string, double> game_stats(const game *g);
