// Procedural trees: trunk and rings of leaf cards generated from a tree parameter file.
#pragma once

struct pg_params;
struct batch;

// Leaf cards a tree may have (tr_section_count x br_count): 7 MB of geometry, a thousand times
// a leafy tree, built in a blink; beyond it a bad number would take gigabytes and minutes.
// All the trees of a catalogue together may have four times as many.
enum { TREE_MAX_CARDS = 1 << 16, TREE_MAX_TOTAL_CARDS = 1 << 18 };
// Leaf cards of a tree: tr_section_count x br_count, 0 when either is 0 or less.
long long tree_cards(const pg_params *pg);
// Raises an error when the catalogue's trees, with the one of object `with` (null: none) built
// from pg instead of its current file, have more than TREE_MAX_TOTAL_CARDS cards.
struct wobj;
void tree_check_total(const wobj *with, const pg_params *pg);

// Reads the 17 keys of a tree parameter file into pg. A missing or malformed key fails with the
// configuration reader's own message; pg is written only when every key was read.
void pg_read(const char *path, pg_params *pg);
// Generates the geometry of every tree object of the catalogue (after parse_index).
void process_pgparam(void);
// File monitor callback: every tree object of the catalogue made from that file reads it and
// builds a new tree; its old block and batch are replaced only when all of that worked, otherwise
// a warning says why and the old tree stays.
void pg_reload(const char *path, void *arg);
// The whole tree into b (reset first), scaled to a unit diagonal, then uploaded. A tree without
// extent or with more than TREE_MAX_CARDS cards is refused.
void tree_generate(batch *b, const pg_params *pg);
// tree_generate without the upload (no OpenGL).
void tree_build(batch *b, const pg_params *pg);
// Height and scale of section i of n, as tree_build places them.
void tree_section(const pg_params *pg, int i, float *height, float *scale);
