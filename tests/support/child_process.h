// Running programs as child processes in tests: exact standard output,
// standard error and exit status.
#pragma once

#include <string>
#include <vector>

namespace cp {

struct result {
    int status = -1;        // exit status, or 128 + signal number
    std::string out, err;
};

// Runs program with the argument vector argv (argv[0] included), feeding
// input on standard input. A child still running after timeout_seconds is
// killed. A program without a slash is searched in PATH.
result run(const std::string &program, const std::vector<std::string> &argv, const std::string &input = "",
           int timeout_seconds = 60);

// Runs a tool by name: run(argv[0], argv).
result tool(const std::vector<std::string> &argv, const std::string &input = "");

// The exit status of a wait status: the code, or 128 + the signal.
int exit_status_of(int wait_status);

} // namespace cp
