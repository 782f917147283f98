// Procedural trees: trunk and rings of leaf cards generated from a tree parameter file.
#pragma once

struct pg_params;

// Reads the 17 keys of a tree parameter file into pg.
void pg_read(const char *path, pg_params *pg);
// Generates the geometry of every tree object of the catalogue (after parse_index).
void process_pgparam(void);
