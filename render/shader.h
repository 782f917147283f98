// Shader programs: the fixed table of eight vertex/fragment pairs, compiled at start, reloadable.
#pragma once
#include <cstdint>

enum { PRG_MAX_SHADERS = 8 };

struct warm_list;

struct prg_shader {
  uint32_t id;
  char *path;
  char *src; // the source text it was compiled from
  int64_t mtime;
  int32_t fmon;
};
struct prg {
  uint32_t id; // current program name; changes when relinked, so read it anew each time
  prg_shader shaders[PRG_MAX_SHADERS];
  uint32_t count;
  // a relinked program waiting for its warm-up: name, the new shader, the slot it replaces, its
  // source, how far it is, and the states the current program was drawn in
  uint32_t next_id, next_shader;
  int32_t next_slot;
  char *next_src;
  int32_t next_phase;
  uint32_t next_ticks; // when its warm-up started
  warm_list *notes;
};

// Rows of the shader table, in table order.
enum {
  PRG_FLAT_COLOR, // "shader/generic.vs" + "shader/flat_color.fs"
  PRG_FLAT_IMAGE, // "shader/flat_image.vs" + "shader/flat_image.fs"
  PRG_WOBJ,       // "shader/wobj.vs" + "shader/wobj.fs"
  PRG_GRASS,      // "shader/grass.vs" + "shader/grass.fs"
  PRG_TERRAIN,    // "shader/terrain.vs" + "shader/terrain.fs"
  PRG_SKYBOX,     // "shader/skybox.vs" + "shader/skybox.fs"
  PRG_SNOW,       // "shader/snow.vs" + "shader/snow.fs"
  PRG_POSTPROC,   // "shader/postproc.vs" + "shader/postproc.fs"
  PRG_COUNT
};

struct shader_row {
  const char *paths[3]; // vertex, fragment, null end marker
  prg *program;         // null until prg_create
};
extern shader_row g_shader_table[PRG_COUNT];

void prg_create(void);
uint32_t compile_shader(const char *path, int fatal);
// File monitor callback. A new program that links replaces the record's program at once, or, with
// the warm-up (render/warm.h), after it: the next frame notes the states the program is drawn in,
// prg_poll starts the warm-up after that frame and switches once it has ended.
void reload_prog(const char *path, void *record);
// Before each draw: notes the state for a program waiting for its warm-up; vertex: the
// immediate-mode calls per vertex ("t2v3", see render/warm.h), null when drawing client arrays.
// Cheap otherwise.
void prg_drawing(const char *vertex);
// After each frame: starts warm-ups and switches the programs whose warm-up has ended; with wait,
// waits for a running warm-up and switches every waiting program. The number switched.
int prg_poll(bool wait);
// glUseProgram of the row's current program, or program 0 while the row has none.
void prg_use(int row);
