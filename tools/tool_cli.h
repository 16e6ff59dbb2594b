// What the tools share: the name they are invoked by, the command line of a
// single path, and the final check that standard output took all the text.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tool {

// Argument zero, for messages; fallback when the program was started without one.
inline const char *program_name(int argc, char **argv, const char *fallback)
{
    return argc > 0 && argv[0] ? argv[0] : fallback;
}

// The path of a command line "[--] <path>"; only a first argument of exactly
// "--" is special. When the count is wrong: the usage line (a format taking
// the program name) on standard error, and null.
inline const char *single_path(int argc, char **argv, const char *program, const char *usage)
{
    int first = argc > 1 && strcmp(argv[1], "--") == 0 ? 2 : 1;
    if (argc - first == 1)
        return argv[first];
    fprintf(stderr, usage, program);
    return nullptr;
}

// The exit status once everything is printed: text that never reached
// standard output (a full disk, a closed pipe) is a failure, not a success.
inline int finish_output(const char *program, int status)
{
    errno = 0;
    if (fflush(stdout) == 0 && !ferror(stdout))
        return status;
    if (errno)
        fprintf(stderr, "%s: Cannot write to standard output: %s\n", program, strerror(errno));
    else
        fprintf(stderr, "%s: Cannot write to standard output\n", program);
    return 1;
}

} // namespace tool
