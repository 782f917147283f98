// Procedural trees: not built yet.
#include "world/tree.h"

void pg_read(const char *path, pg_params *pg) {}
void process_pgparam(void) {}
