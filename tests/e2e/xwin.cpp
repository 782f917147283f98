// X11 access for the end-to-end tests: tree walks, properties, ClientMessage and XGetImage.
#include "xwin.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static Display *dpy;

// Windows vanish between a tree walk and the next property read; such errors are expected.
static int ignore_errors(Display *, XErrorEvent *) { return 0; }

bool xw_open(const std::string &display) {
  if (dpy) return true;
  XSetErrorHandler(ignore_errors);
  dpy = XOpenDisplay(display.c_str());
  return dpy != nullptr;
}

void xw_close(void) {
  if (dpy) XCloseDisplay(dpy);
  dpy = nullptr;
}

static void walk(Window w, std::vector<xw_id> *out) {
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  if (!XQueryTree(dpy, w, &root, &parent, &kids, &n)) return;
  for (unsigned i = 0; i < n; i++) out->push_back(kids[i]), walk(kids[i], out);
  if (kids) XFree(kids);
}

// A window property of the given type as bytes, "" when absent.
static std::string prop(xw_id win, const char *name, Atom want) {
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char *data = nullptr;
  std::string out;
  Atom atom = XInternAtom(dpy, name, False);
  if (XGetWindowProperty(dpy, win, atom, 0, 1024, False, want, &type, &format, &n, &after, &data) == Success && data && type == want)
    out.assign((const char *)data, format == 32 ? n * sizeof(long) : n * format / 8);
  if (data) XFree(data);
  return out;
}

static long win_pid(xw_id win) {
  std::string p = prop(win, "_NET_WM_PID", XA_CARDINAL);
  return p.size() == sizeof(long) ? *(const long *)p.data() : -1;
}

std::string xw_name(xw_id win) {
  std::string name = prop(win, "_NET_WM_NAME", XInternAtom(dpy, "UTF8_STRING", False));
  char *s = nullptr;
  if (name.empty() && XFetchName(dpy, win, &s) && s) name = s, XFree(s);
  return name;
}

static bool viewable(xw_id win) {
  XWindowAttributes at;
  return XGetWindowAttributes(dpy, win, &at) && at.map_state == IsViewable;
}

bool xw_gone(xw_id win) { return XSync(dpy, False), !viewable(win); }

bool xw_size(xw_id win, int *w, int *h) {
  XWindowAttributes at;
  if (!XGetWindowAttributes(dpy, win, &at)) return false;
  *w = at.width, *h = at.height;
  return true;
}

xw_id xw_find(pid_t pid, const std::string &name) {
  std::vector<xw_id> all;
  XSync(dpy, False);
  walk(DefaultRootWindow(dpy), &all);
  for (xw_id w : all) {
    std::string n = xw_name(w);
    if (viewable(w) && (pid ? win_pid(w) == (long)pid && !n.empty() : n == name)) return w;
  }
  return 0;
}

bool xw_send_delete(xw_id win) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  ev.xclient.data.l[1] = CurrentTime;
  Status ok = XSendEvent(dpy, win, False, NoEventMask, &ev);
  XSync(dpy, False);
  return ok != 0;
}

bool xw_pointer_grabbed(void) {
  int r = XGrabPointer(dpy, DefaultRootWindow(dpy), False, ButtonPressMask, GrabModeAsync,
                       GrabModeAsync, None, None, CurrentTime);
  if (r == GrabSuccess) XUngrabPointer(dpy, CurrentTime);
  XSync(dpy, False);
  return r == AlreadyGrabbed;
}

bool xw_capture(xw_id win, image *img) {
  int w, h;
  if (!xw_size(win, &w, &h) || w <= 0 || h <= 0) return false;
  XImage *xi = XGetImage(dpy, win, 0, 0, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
  if (!xi) return false;
  img->w = w, img->h = h;
  img->rgb.resize((size_t)w * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      unsigned long p = XGetPixel(xi, x, y); // the suite's Xvfb is 24-bit TrueColor: 0xRRGGBB
      uint8_t *o = &img->rgb[((size_t)y * w + x) * 3];
      o[0] = (uint8_t)(p >> 16), o[1] = (uint8_t)(p >> 8), o[2] = (uint8_t)p;
    }
  XDestroyImage(xi);
  return true;
}
