// Start-up: the command line, loading the file, the system log, and the
// hand-over to libfuse.
#pragma once

#include <cstdio>

// Loads the NBT file at path into root_node and opens the save stream.
// Returns 0, or 1 after a message on err.
int load_nbt_file(const char *program, const char *path, FILE *err);

// The whole program; returns its exit status.
int burlfs_main(int argc, char **argv);
