// A fresh directory per test, in which the tool under test runs.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "process_runner.h"
#include "temp_dir.h"

class ToolTest : public testing::Test {
protected:
    tmp::dir dir;

    // Runs program in the test's directory, invoked as argv0.
    proc::result run(const char *program, const char *argv0, const std::vector<std::string> &args,
                     const std::vector<std::string> &env = {}) const
    {
        proc::options o;
        o.argv0 = argv0;
        o.cwd = dir.path();
        o.env = env;
        return proc::run(program, args, o);
    }
};

// The expected outcome of one run.
struct outcome {
    std::string out;
    std::string err;
    int status;
};

inline void expect_outcome(const proc::result &r, const outcome &want)
{
    EXPECT_EQ(r.out, want.out);
    EXPECT_EQ(r.err, want.err);
    EXPECT_EQ(r.status, want.status);
}

// A zlib stream of raw bytes, for content the library's writer would refuse.
inline std::vector<uint8_t> zlib_of(const std::vector<uint8_t> &bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress(out.data(), &size, bytes.data(), uLong(bytes.size())), Z_OK);
    out.resize(size);
    return out;
}
