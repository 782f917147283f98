// velder-check: the checker's parts and the one way they report a fault or a warning.
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/util.h"
#include <string>

// ---- reporting (check_report.cpp)

// One line on standard output: "PATH:LINE: fault: MESSAGE", without ":LINE" when line is 0.
// Paths are built as the game builds them: data root, "/", the relative name.
void chk_fault(const char *path, size_t line, const char *fmt, ...) UPRINTF(3, 4);
void chk_warn(const char *path, size_t line, const char *fmt, ...) UPRINTF(3, 4);
extern unsigned chk_nfaults, chk_nwarnings, chk_nfiles;

// Runs fn in a quiet recoverable scope; a fault is reported against path at line with the
// reader's own message. True when fn ran through.
template <typename F> bool chk_try(const char *path, size_t line, F &&fn) {
  ufault f;
  if (utry(fn, &f, true)) return true;
  chk_fault(path, line, "%s", f.msg);
  return false;
}

// Where the game's own warnings (uwarn) are reported while a reader runs: against path, at
// line, or, when line is 0 and from_msg is set, at the line the message names ("#12").
void chk_warn_context(const char *path, size_t line, bool from_msg);
// Installs the warning sink; the context starts at the data root.
void chk_report_init(void);
// The line a reader's message names: the number after a "#" that starts a word ("#3: missing
// value", "unknown param at #12: ..."), or 0.
size_t chk_msg_line(const char *msg);

// The readers take lines with fgets into buffers of a fixed size (1024 bytes, 512 for
// param.cfg): a longer line arrives in pieces, each counted as a line, so the line numbers of
// their messages count pieces. chk_lines warns, once per file, about each line read in pieces
// and counts the file as checked; false when it cannot be opened. chk_phys_line turns a reader's
// line number (a piece) back into the line an editor shows.
bool chk_lines(const char *path, int bufsize);
size_t chk_phys_line(const char *path, int bufsize, size_t piece);

// ---- beginners' mistakes (check_hints.cpp)

// A UTF-8 byte order mark at the top of a text file: a warning at its line 1 (chk_lines asks).
void chk_bom(const char *path);
// When an image file holds another kind than its name says (a PNG under a .bmp name), ": the
// file holds ...; save it as ...", to follow a reader's message; else "".
std::string chk_kind_hint(const char *path);
// When a name from a text file ends in a blank, "; 'NAME ' ends in a blank ...", else "".
std::string chk_blank_hint(const char *name);
// The last line of a key/value file that sets key, or 0.
size_t chk_key_line(const char *path, const char *key);
// Warns at every line of a tree file (tree) or sound definition whose key the game does not
// know, with the nearest known key ("did you mean br_leaf_width?").
void chk_unknown_keys(const char *path, bool tree);

// ---- what the world will hold (check_hold.cpp)

// Items per brush from a spawn pass as the game makes it, where each landmark can grow, and the
// grass tufts of a patch per brush; nothing when the catalogue, brushes or map do not load.
void chk_hold(void);

// Whether path was seen before by the same kind of check (each file is checked once).
bool chk_seen(const char *kind, const char *path);

// A BMP of the data root (name under g_root) read as the game reads it, its path into path; when
// it cannot be loaded, a fault of prefix and SDL's error (and what the file holds instead), and null.
struct SDL_Surface *chk_load_bmp(const char *name, char *path, size_t size, const char *prefix);

// ---- the parts, in the order the game loads (check_params.cpp ... check_sound.cpp)

// param.cfg: read with the game's reader (the parameters are set afterwards), plus what the game
// lets pass quietly. The line of param.cfg that last set a parameter, 0 when none did.
void chk_params(void);
size_t chk_param_line(const char *name);
// Terrain parameters, "terraintexture.png" and "hm.bmp".
void chk_terrain(void);
// The twelve sky faces: each loads, and each set is square and of one size.
void chk_sky(void);
// "index" with the game's block reader, going on after a fault; every texture it names; every
// tree file, and that each tree can be built. False when "index" cannot be read.
bool chk_catalogue(void);
// The "object" line of catalogue record i.
size_t chk_object_line(size_t i);
// "brushes" (every name an object, unless the catalogue could not be read), "objmap.bmp" (every
// colour a brush), the colour tables, and the objects that would never appear.
void chk_brushes(bool catalogue_read);
// The last "footsteps:" line of brush b, and its "brush" line.
size_t chk_steps_line(size_t b);
size_t chk_brush_line(size_t b);
// "logo.png" and "credits.png".
void chk_overlay(void);
// The ambient loop and every footstep definition with its sound files, decoded by the mixer.
void chk_sound(void);

// Checks one texture the game would load through its texture manager (DDS by the "dds" rule,
// else the image loader); used by names the catalogue and the world loader give. Never null: a
// broken file is reported and stands in as a 1 x 1 texture so the readers go on.
struct texture;
texture *chk_texture_get(const char *name);
// Who asks for the textures that follow, for the fault lines ("object 'oak'"), and the
// catalogue's line counter while it is the catalogue (else null).
void chk_texture_user(const char *who, const size_t *index_piece);
