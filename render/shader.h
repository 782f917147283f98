// Shader programs: the fixed table of eight vertex/fragment pairs, compiled at start, reloadable.
#pragma once
#include <cstdint>

enum { PRG_MAX_SHADERS = 8 };

struct prg_shader {
  uint32_t id;
  char *path;
  int64_t mtime;
  int32_t fmon;
};
struct prg {
  uint32_t id; // current program name; changes when relinked, so read it anew each time
  prg_shader shaders[PRG_MAX_SHADERS];
  uint32_t count;
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
// File monitor callback: a new program that links replaces the record's program at once, so the
// next frame draws with it (llvmpipe compiles its code at that first draw: one slow frame). A
// source that does not compile or link warns and the old program stays.
void reload_prog(const char *path, void *record);
// glUseProgram of the row's current program, or program 0 while the row has none.
void prg_use(int row);
