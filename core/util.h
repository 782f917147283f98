// Reporting, fatal errors, allocation and bounded formatting: the one way to fail and to allocate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

struct SDL_Window;
extern SDL_Window *g_window; // the one window; owned by the application shell, parent of the error box

#define UPRINTF(a, b) __attribute__((format(printf, a, b)))

[[noreturn]] void uerror_at(const char *func, unsigned line, const char *fmt, ...) UPRINTF(3, 4);
void uwarn_at(const char *func, unsigned line, const char *fmt, ...) UPRINTF(3, 4);
void uinfo_at(const char *func, const char *fmt, ...) UPRINTF(2, 3);
void uerror_box(const char *fmt, ...) UPRINTF(1, 2);

// Recoverable scope. Inside utry a fatal error does not end the program: its line is written as a
// warning (same function, line and message) and the call unwinds to utry, which returns false.
// For failures that must not end the game (a file edited while it runs) and for tools that
// report every fault of a world. Resources the failed code held are not released; code that
// runs in a scope closes its files before it fails where it can.
struct ufault {
  char func[64];
  unsigned line;
  char msg[1024]; // cut to fit
};
// quiet: write nothing (no warnings, no information lines) while the scope runs.
bool utry_run(void (*fn)(void *), void *ctx, ufault *fault, bool quiet);
template <typename F> bool utry(F &&f, ufault *fault = nullptr, bool quiet = false) {
  using T = std::remove_reference_t<F>; // a named callable (an lvalue) as well as a lambda
  return utry_run([](void *c) { (*(T *)c)(); }, (void *)&f, fault, quiet);
}
// Whether a recoverable scope is active on this thread.
bool uin_try(void);
// Tools that report a world's faults take the warnings themselves: while a sink is set, every
// uwarn goes to it (function, source line, message) instead of standard error, in quiet scopes
// too. A fault raised in a scope is not a warning: utry hands it back. Null restores the default.
typedef void (*uwarn_sink_fn)(const char *func, unsigned line, const char *msg);
void uwarn_set_sink(uwarn_sink_fn sink);
// Frees a block when its holder's block ends, also when a failure unwinds out of a recoverable
// scope half way through a reader. Set p to null to keep the block.
struct umem_guard {
  void *p;
  ~umem_guard();
};

// Long builds call ubusy now and then (a row of a map, a chunk of the terrain), so that the shell
// can let a quit request stop a rebuild while the game runs. Null: nothing to do.
extern void (*g_ubusy_hook)(void);
inline void ubusy(void) {
  if (g_ubusy_hook) g_ubusy_hook();
}

#define uerror(...) uerror_at(__func__, __LINE__, __VA_ARGS__)
#define uwarn(...) uwarn_at(__func__, __LINE__, __VA_ARGS__)
#define uinfo(...) uinfo_at(__func__, __VA_ARGS__)
#define ucheck(expr) \
  do { \
    if (!(expr)) uerror_at(__func__, __LINE__, "%s", "expression '" #expr "' is false"); \
  } while (0)

void *umalloc(size_t size);
void *ucalloc(size_t nmemb, size_t size);
void *urealloc(void *ptr, size_t size);
// The out-of-memory report of urealloc, for sizes that cannot even be asked for.
[[noreturn]] void urealloc_fail(uint64_t size);

// Formats into one shared 2048-byte buffer, valid until the next call; longer results are cut.
const char *ufmt(const char *fmt, ...) UPRINTF(1, 2);
// Formats into the caller's buffer, always terminated, silently cut to size - 1 characters.
void usnprintf(char *buf, size_t size, const char *fmt, ...) UPRINTF(3, 4);

// The shared random generator: integers 0 to 32767, one instance for the whole program.
enum { URAND_MAX = 32767 };
void usrand(uint32_t seed);
int urand(void);
inline float urandf(void) { return (float)(urand() / 32767.0); }
