// Reporting, fatal errors, allocation and bounded formatting.
#include "core/util.h"
#include <SDL.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

SDL_Window *g_window;
void (*g_ubusy_hook)(void);

static char fmt_buf[2048];
static int in_error; // an error raised while reporting an error must not recurse into the box

// Recoverable scopes of this thread: their depth, whether they are quiet, the fault being raised.
static thread_local int try_depth, try_quiet;
static thread_local ufault try_fault;
struct ufault_unwind {};

static uwarn_sink_fn warn_sink;

bool uin_try(void) { return try_depth > 0; }

void uwarn_set_sink(uwarn_sink_fn sink) { warn_sink = sink; }

umem_guard::~umem_guard() { free(p); }

bool utry_run(void (*fn)(void *), void *ctx, ufault *fault, bool quiet) {
  int was_quiet = try_quiet;
  try_depth++;
  try_quiet = was_quiet || quiet;
  bool ok = true;
  try {
    fn(ctx);
  } catch (const ufault_unwind &) {
    ok = false;
    if (fault) *fault = try_fault;
  }
  try_depth--;
  try_quiet = was_quiet;
  return ok;
}

static void report_tail(FILE *fp, const char *fmt, va_list ap) {
  vfprintf(fp, fmt, ap);
  fprintf(fp, "\n");
}

void uerror_at(const char *func, unsigned line, const char *fmt, ...) {
  va_list ap;
  if (try_depth > 0) {
    usnprintf(try_fault.func, sizeof try_fault.func, "%s", func);
    try_fault.line = line;
    va_start(ap, fmt);
    vsnprintf(try_fault.msg, sizeof try_fault.msg, fmt, ap);
    va_end(ap);
    if (!try_quiet) {
      fprintf(stderr, "warning: %s#%u: %s\n", func, line, try_fault.msg);
      fflush(stderr);
    }
    throw ufault_unwind{};
  }
  fprintf(stderr, "error: %s#%u: ", func, line);
  va_start(ap, fmt);
  report_tail(stderr, fmt, ap);
  va_end(ap);
  fflush(stderr);
  if (!in_error) {
    in_error = 1;
    char text[4096];
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    uerror_box("%s", text);
  }
  exit(1);
}

void uwarn_at(const char *func, unsigned line, const char *fmt, ...) {
  va_list ap;
  if (warn_sink) {
    char msg[1024]; // cut to fit, as a fault's message
    va_start(ap, fmt);
    vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);
    warn_sink(func, line, msg);
    return;
  }
  if (try_quiet) return;
  fprintf(stderr, "warning: %s#%u: ", func, line);
  va_start(ap, fmt);
  report_tail(stderr, fmt, ap);
  va_end(ap);
}

void uinfo_at(const char *func, const char *fmt, ...) {
  va_list ap;
  if (try_quiet) return;
  printf("%s: ", func);
  va_start(ap, fmt);
  report_tail(stdout, fmt, ap);
  va_end(ap);
  fflush(stdout);
}

void uerror_box(const char *fmt, ...) {
  char text[4096]; // a longer message is cut to fit
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  // a captured mouse makes the box hard to click
  if (g_window) {
    SDL_SetWindowGrab(g_window, SDL_FALSE);
    SDL_SetRelativeMouseMode(SDL_FALSE);
  }
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text, g_window);
}

void *umalloc(size_t size) {
  void *p = malloc(size);
  if (!p) uerror("failed to allocate %zu bytes", size);
  return p;
}

void *ucalloc(size_t nmemb, size_t size) {
  void *p = calloc(nmemb, size);
  if (!p) uerror("failed to allocate memory: nmemb %zu, sz: %zu", nmemb, size);
  return p;
}

void *urealloc(void *ptr, size_t size) {
  void *p = realloc(ptr, size);
  if (!p) uerror("failed to reallocate %zu bytes", size);
  return p;
}

void urealloc_fail(uint64_t size) {
  uerror_at("urealloc", __LINE__, "failed to reallocate %zu bytes", (size_t)size);
}

const char *ufmt(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(fmt_buf, sizeof fmt_buf, fmt, ap);
  va_end(ap);
  fmt_buf[sizeof fmt_buf - 1] = 0;
  return fmt_buf;
}

void usnprintf(char *buf, size_t size, const char *fmt, ...) {
  if (size == 0) return;
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, size, fmt, ap);
  va_end(ap);
  buf[size - 1] = 0;
}

// The shared generator: the classic linear congruence, 15 bits out. Main thread only (the sound
// events hand the audio thread's notifications to the main thread before they draw from it).
static uint32_t rand_state = 1;

void usrand(uint32_t seed) { rand_state = seed; }

int urand(void) {
  rand_state = rand_state * 1103515245u + 12345u;
  return (int)((rand_state >> 16) & 0x7FFF);
}
