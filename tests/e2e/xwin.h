// X11 access for the end-to-end tests: window lookup, titles, close requests and pixel capture.
#pragma once
#include "image.h"
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

typedef unsigned long xw_id; // an X window id

bool xw_open(const std::string &display); // connection used by every call below
void xw_close(void);

std::vector<xw_id> xw_windows(void);      // every window of the screen, depth first
long xw_pid(xw_id win);                   // _NET_WM_PID, or -1
std::string xw_name(xw_id win);           // _NET_WM_NAME, else WM_NAME, else ""
bool xw_viewable(xw_id win);
bool xw_exists(xw_id win);
bool xw_size(xw_id win, int *w, int *h);

// The viewable window of process pid that carries a name, or 0.
xw_id xw_find_pid(pid_t pid);
// A viewable window whose name is exactly name, or 0. The error box sets no _NET_WM_PID,
// so only a walk of the whole tree finds it.
xw_id xw_find_named(const std::string &name);

// Asks the window to close as a window manager does: a WM_PROTOCOLS ClientMessage carrying
// WM_DELETE_WINDOW.
bool xw_send_delete(xw_id win);

bool xw_capture(xw_id win, image *img);

// Whether another client holds the pointer grab: our own grab attempt is refused.
bool xw_pointer_grabbed(void);
