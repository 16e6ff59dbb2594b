// Mounting a file the test wrote, running the shell tools a user would use
// on it, and unmounting strictly (exit status, no unexpected messages).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mount_fixture.h"
#include "process_runner.h"
#include "region_builder.h"
#include "temp_dir.h"
#include "zoviru.h"

namespace mt {

// A file of the test's own below a scratch directory, mounted at mnt.
class mounted {
public:
    mounted() = default;
    mounted(const mounted &) = delete;
    mounted &operator=(const mounted &) = delete;

    // Writes bytes to the file and mounts it with args; false (with a test
    // failure) when the mount did not come up.
    bool start(const std::vector<uint8_t> &bytes, const std::vector<std::string> &args, const std::string &name = "t.nbt");
    // Mounts a file already in place.
    bool start_file(const std::string &file, const std::vector<std::string> &args);

    // Unmounts and waits for burlfs; expects the exit status and that the
    // log has no lines beyond the usual ones and the allowed patterns.
    mf::outcome finish(int status = 0, const std::vector<std::string> &allowed = {});

    std::string at(const std::string &relative) const { return fs_->path(relative); }
    const std::string &root() const { return fs_->point(); }
    const std::string &file() const { return file_; }
    std::string scratch_path(const std::string &name) const { return dir_ / name; }
    bool up() const { return fs_ != nullptr; }
    pid_t pid() const { return fs_ ? fs_->pid() : -1; }

private:
    tmp::dir dir_;
    std::string file_;
    std::unique_ptr<mf::mount> fs_;
};

// One mount shared by every test of a suite: made in SetUpTestSuite, and
// unmounted strictly in TearDownTestSuite.
class SharedMount : public testing::Test {
public:
    static inline std::unique_ptr<mounted> fs;

    // Mounts bytes written to name with args (nothing when mounts are
    // impossible here; SetUp then skips or fails).
    static void mount_shared(const std::vector<uint8_t> &bytes, const std::vector<std::string> &args,
                             const std::string &name = "t.nbt");
    // Unmounts; returns burlfs's outcome, and the file's bytes afterwards in
    // saved when given.
    static mf::outcome unmount_shared(const std::vector<std::string> &allowed = {},
                                      std::vector<uint8_t> *saved = nullptr);
    static void TearDownTestSuite() { unmount_shared(); }

protected:
    void SetUp() override;
};

template <class Param> class SharedMountWith : public SharedMount, public testing::WithParamInterface<Param> {};

// Runs a shell tool: argv[0] is searched in PATH.
proc::result tool(const std::vector<std::string> &argv);
// Runs the built burlfs with argument zero "burlfs" and the arguments args.
proc::result burlfs(const std::vector<std::string> &args);

// The tree that saved bytes hold (null when they do not parse).
nbt_node *parse_saved(const std::vector<uint8_t> &bytes);

// The gzip form of a tree.
std::vector<uint8_t> nbt_file(const nbt_node *tree, nbt_compression c = COMPRESSION_GZIP);

// A tool's command line in which "@" stands for the mount root.
struct tool_case {
    const char *name;
    std::vector<std::string> argv;
    std::string out;
    int status = 0;
};

void PrintTo(const tool_case &c, std::ostream *os);

// Runs the tool with "@" replaced by root and checks output and status.
void expect_tool(const tool_case &c, const std::string &root);

// Replaces every "@" in text by root.
std::string substitute(std::string text, const std::string &root);

} // namespace mt
