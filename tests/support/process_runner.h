// Running a built program as a process, as a user would: its standard output,
// standard error and exit status.
#pragma once

#include <string>
#include <vector>

namespace proc {

struct options {
    std::string argv0;                // argument zero; default: the program path
    std::string cwd;                  // working directory; default: the test's
    std::vector<std::string> env;     // "NAME=value" entries added to the environment
    std::string stdout_path;          // standard output goes to this file instead of a pipe
};

struct result {
    std::string out;
    std::string err;
    int status; // exit status, or 128 + signal number when killed by a signal
};

// A program named without a slash is searched in PATH.
result run(const std::string &program, const std::vector<std::string> &args, const options &opt = {});

} // namespace proc
