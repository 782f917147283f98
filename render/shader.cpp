// Shader programs: compile and link the fixed table at start; recompile one source on reload.
#include "render/shader.h"
#include "core/file.h"
#include "core/fmon.h"
#include "core/util.h"
#include "render/warm.h"
#include <GL/glew.h>
#include <SDL.h>
#include <cstdlib>
#include <cstring>

shader_row g_shader_table[PRG_COUNT] = {
    {{"shader/generic.vs", "shader/flat_color.fs", nullptr}, nullptr},
    {{"shader/flat_image.vs", "shader/flat_image.fs", nullptr}, nullptr},
    {{"shader/wobj.vs", "shader/wobj.fs", nullptr}, nullptr},
    {{"shader/grass.vs", "shader/grass.fs", nullptr}, nullptr},
    {{"shader/terrain.vs", "shader/terrain.fs", nullptr}, nullptr},
    {{"shader/skybox.vs", "shader/skybox.fs", nullptr}, nullptr},
    {{"shader/snow.vs", "shader/snow.fs", nullptr}, nullptr},
    {{"shader/postproc.vs", "shader/postproc.fs", nullptr}, nullptr},
};

static char *info_log(GLuint obj, bool program) {
  GLint n = 0;
  if (program) glGetProgramiv(obj, GL_INFO_LOG_LENGTH, &n);
  else glGetShaderiv(obj, GL_INFO_LOG_LENGTH, &n);
  if (n < 1) n = 1;
  char *log = (char *)umalloc((size_t)n);
  log[0] = 0;
  if (program) glGetProgramInfoLog(obj, n, nullptr, log);
  else glGetShaderInfoLog(obj, n, nullptr, log);
  return log;
}

static bool is_vertex(const char *path) {
  size_t len = strlen(path);
  return len >= 2 && strcmp(path + len - 2, "vs") == 0;
}

// keep: receives the source text (the caller frees it), when the shader compiles.
static uint32_t compile_kept(const char *path, int fatal, char **keep) {
  size_t size;
  char *src = ureadf(path, &size);
  bool vertex = is_vertex(path);
  GLuint sh = glCreateShader(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const GLchar *text = src;
  GLint text_len = (GLint)size;
  glShaderSource(sh, 1, &text, &text_len);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  if (ok) {
    if (keep) *keep = src;
    else free(src);
    return sh;
  }
  free(src);
  char *log = info_log(sh, false);
  const char *kind = vertex ? "vertex" : "fragment";
  // reported as compile_shader's, which this is
  if (fatal) uerror_at("compile_shader", __LINE__, "failed to compile %s shader %s: %s", kind, path, log);
  uwarn_at("compile_shader", __LINE__, "failed to compile %s shader %s: %s", kind, path, log);
  free(log);
  glDeleteShader(sh);
  return 0;
}

uint32_t compile_shader(const char *path, int fatal) { return compile_kept(path, fatal, nullptr); }

void prg_create(void) {
  for (shader_row &row : g_shader_table) {
    prg *p = (prg *)ucalloc(1, sizeof *p);
    p->id = glCreateProgram();
    p->count = 0;
    for (const char *const *path = row.paths; *path; path++) {
      prg_shader &e = p->shaders[p->count++];
      e.id = compile_kept(*path, 1, &e.src);
      size_t n = strlen(*path) + 1;
      e.path = (char *)umalloc(n);
      memcpy(e.path, *path, n);
      e.mtime = ufmodtime(*path);
      glAttachShader(p->id, e.id);
      e.fmon = fmon_register(e.path, reload_prog, p);
    }
    glLinkProgram(p->id);
    GLint ok = 0;
    glGetProgramiv(p->id, GL_LINK_STATUS, &ok);
    if (!ok) uerror("failed to link shader program (%s,%s):\n%s", row.paths[0], row.paths[1], info_log(p->id, true));
    row.program = p;
  }
}

// Relinked programs waiting to replace the current one (see prg_poll).
// A warm-up that has not ended after PRG_WARM_MS (a machine too busy for it) is not waited for.
enum { PRG_PENDING_MAX = 16, PRG_NOTING = 1, PRG_WARMING = 2, PRG_WARM_MS = 2000 };
static prg *prg_pending[PRG_PENDING_MAX];

// The waiting program replaces the current one, which is deleted with the shader it replaces.
static void prg_switch(prg *p) {
  prg_shader &e = p->shaders[p->next_slot];
  glDeleteProgram(p->id); // deferred by GL while it is still current
  glDeleteShader(e.id);
  e.id = p->next_shader;
  free(e.src);
  e.src = p->next_src;
  p->id = p->next_id;
  p->next_id = p->next_shader = 0;
  p->next_src = nullptr;
  p->next_phase = 0;
  free(p->notes);
  p->notes = nullptr;
  for (prg *&q : prg_pending)
    if (q == p) q = nullptr;
}

// The new source is compiled and linked into a new program beside the old one; the record switches
// only when it links, so a failed edit (unreadable, not compiling, not linking) warns and the old
// program stays in use. The next good save reloads normally. With the warm-up, the new program
// waits (prg_poll) until its code is compiled beside the game.
void reload_prog(const char *path, void *record) {
  prg *p = (prg *)record;
  int32_t slot = -1;
  for (uint32_t i = 0; i < p->count && slot < 0; i++)
    if (strcmp(p->shaders[i].path, path) == 0) slot = (int32_t)i;
  if (slot < 0) return;
  uint32_t sh = 0;
  char *src = nullptr;
  if (!utry([&] { sh = compile_kept(path, 0, &src); }) || !sh) return;
  GLuint id = glCreateProgram();
  for (uint32_t i = 0; i < p->count; i++) glAttachShader(id, (int32_t)i == slot ? sh : p->shaders[i].id);
  glLinkProgram(id);
  GLint ok = 0;
  glGetProgramiv(id, GL_LINK_STATUS, &ok);
  if (!ok) {
    char *log = info_log(id, true);
    uwarn("failed to link shader program (%s,%s):\n%s", p->shaders[0].path, p->count > 1 ? p->shaders[1].path : "", log);
    free(log);
    glDeleteProgram(id);
    glDeleteShader(sh);
    free(src);
    return;
  }
  if (p->next_id) { // a save before the last one was put in use: it is dropped
    glDeleteProgram(p->next_id);
    glDeleteShader(p->next_shader);
    free(p->next_src);
  }
  p->next_id = id;
  p->next_shader = sh;
  p->next_slot = slot;
  p->next_src = src;
  bool sources = true;
  for (uint32_t i = 0; i < p->count; i++) sources = sources && ((int32_t)i == slot || p->shaders[i].src);
  int free_slot = -1;
  for (int i = 0; i < PRG_PENDING_MAX && free_slot < 0; i++)
    if (!prg_pending[i] || prg_pending[i] == p) free_slot = i;
  if (!warm_available() || !sources || free_slot < 0) {
    prg_switch(p);
    return;
  }
  prg_pending[free_slot] = p;
  p->next_phase = PRG_NOTING;
  if (!p->notes) p->notes = (warm_list *)umalloc(sizeof *p->notes);
  p->notes->count = 0;
}

void prg_drawing(const char *vertex) {
  GLint cur = -1;
  for (prg *p : prg_pending) {
    if (!p || p->next_phase != PRG_NOTING) continue;
    if (cur < 0) glGetIntegerv(GL_CURRENT_PROGRAM, &cur);
    if ((GLuint)cur == p->id) warm_note(p->notes, vertex);
  }
}

int prg_poll(bool wait) {
  int switched = 0;
  bool busy = warm_busy(wait);
  for (prg *p : prg_pending) {
    if (!p) continue;
    if (p->next_phase == PRG_WARMING && (!busy || SDL_GetTicks() - p->next_ticks > PRG_WARM_MS)) {
      uinfo("%s: the new program is in use, warmed up in %u ms%s", p->shaders[p->next_slot].path,
            SDL_GetTicks() - p->next_ticks, busy ? " (not waited for to the end)" : "");
      prg_switch(p), switched++;
      continue;
    }
    if (p->next_phase != PRG_NOTING) continue;
    // a frame has been drawn since the reload: the states are noted
    if (wait || p->notes->count == 0) {
      prg_switch(p), switched++; // not drawn in the last frame: nothing to warm up
      continue;
    }
    const char *sources[PRG_MAX_SHADERS];
    uint32_t types[PRG_MAX_SHADERS];
    for (uint32_t i = 0; i < p->count; i++) {
      sources[i] = (int32_t)i == p->next_slot ? p->next_src : p->shaders[i].src;
      types[i] = is_vertex(p->shaders[i].path) ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER;
    }
    if (warm_start(sources, types, (int)p->count, p->notes)) {
      p->next_phase = PRG_WARMING;
      p->next_ticks = SDL_GetTicks();
      busy = true;
    }
  }
  return switched;
}

void prg_use(int row) {
  prg *p = g_shader_table[row].program;
  glUseProgram(p ? p->id : 0);
}
