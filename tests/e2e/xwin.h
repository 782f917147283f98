// X11 access for the end-to-end tests: window lookup, titles, sizes, close requests and pixel capture.
#pragma once
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

typedef unsigned long xw_id; // an X window id

// RGB pixels, rows top to bottom.
struct image {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
};

bool xw_open(const std::string &display); // connection used by every call below
void xw_close(void);
std::string xw_name(xw_id win);           // _NET_WM_NAME, else WM_NAME, else ""
bool xw_gone(xw_id win);                  // destroyed or unmapped
bool xw_size(xw_id win, int *w, int *h);
// The viewable named window of process pid (pid 0: any process, the name exactly name), or 0.
// The error box sets no _NET_WM_PID, so it is found by name on a walk of the whole tree.
xw_id xw_find(pid_t pid, const std::string &name = "");
// Asks the window to close as a window manager does (WM_PROTOCOLS carrying WM_DELETE_WINDOW).
bool xw_send_delete(xw_id win);
bool xw_capture(xw_id win, image *img);
// Whether another client holds the pointer grab: our own grab attempt is refused.
bool xw_pointer_grabbed(void);
