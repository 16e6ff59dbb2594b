// Loading a region file at start-up: the file is mapped, and every present
// chunk is checked so that no chunk can make the program read outside it.
#pragma once

#include <cstdio>

// Fills the chunk table and root_node from the region file at path. Returns
// 0, or 1 after a message on err.
int load_region(const char *path, FILE *err);
