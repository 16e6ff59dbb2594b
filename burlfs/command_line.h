// The command line and the -o mount options, and the argument vector that
// start-up hands to libfuse.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "mount_state.h"

struct command_line {
    mount_settings settings;
    // Options for libfuse in the order they arose: "-f" per -f, and a "-o"
    // pair per -o list that had items burlfs does not know.
    std::vector<std::string> fuse_options;
    std::string nbt_file;
    std::string mount_point;
    bool log_to_stderr = false; // -f, -v or --verbose
};

// Scans the command line into cl. Returns -1 when start-up goes on, or the
// status to exit with after the messages written to err (the version text
// goes to out).
int scan_command_line(int argc, char *const *argv, command_line &cl, FILE *out, FILE *err);

// Handles one comma-separated mount-option list: recognised items change
// settings, the others are collected into one "-o" pair. Returns -1, or the
// status to exit with after a message on err.
int parse_extended_options(std::string_view list, command_line &cl, FILE *err);

// The vector for libfuse: the file, "-o entry_timeout=0,attr_timeout=0", the
// collected options, "-o ro" when read-only, the mount point. No "-s": libfuse
// keeps its multi-threaded loop.
std::vector<std::string> fuse_argument_vector(const command_line &cl);
