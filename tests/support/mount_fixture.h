// Real mounts of burlfs in tests. The program runs in the foreground in the
// background of the test; the mount is polled for until it appears (failing
// fast if the program died), and it is always unmounted (fusermount -u, then
// lazily, then the program is killed as a last resort), also when an
// assertion fails. Saving happens at unmount, so a test looks at the saved
// file only after finish() has waited for the program to exit.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace mf {

// Whether FUSE mounts can be made here; why not when they cannot.
bool fuse_usable(std::string &why);
// Whether the environment demands mounts (BURL_REQUIRE_FUSE=1).
bool fuse_required();

struct outcome {
    int status = -1;   // exit status of burlfs (128 + signal when killed)
    std::string log;   // its standard error
};

class mount {
public:
    // program: the burlfs executable. args go between "-f" and the file.
    mount(const std::string &program, const std::string &file, const std::string &point,
          const std::vector<std::string> &args = {});
    ~mount();
    mount(const mount &) = delete;
    mount &operator=(const mount &) = delete;

    // Starts burlfs and waits for the mount; false (with a test failure
    // naming burlfs's messages) when it did not come up.
    bool start();
    // The mount point, and a path below it.
    const std::string &point() const { return point_; }
    std::string path(const std::string &relative) const { return point_ + "/" + relative; }
    pid_t pid() const { return pid_; }

    // Unmounts, waits for burlfs to exit and returns its status and messages.
    outcome finish();

private:
    void stop_hard();
    std::string program_, file_, point_;
    std::vector<std::string> args_;
    pid_t pid_ = -1;
    int log_fd_ = -1;
    std::string log_path_;
    bool mounted_ = false;
};

// The lines of a burlfs log that are neither the usual progress messages
// (loaded successfully, chunk modified) nor match one of the extra regular
// expressions.
std::vector<std::string> unexpected_lines(const std::string &log, const std::vector<std::string> &allowed = {});

// Whether path is a mount point in this process's view.
bool is_mounted(const std::string &path);

} // namespace mf

// Skips the current test when FUSE mounts cannot be made, unless the
// environment demands them (then it fails).
#define BURL_REQUIRE_MOUNTS()                                                                      \
    do {                                                                                           \
        std::string why_;                                                                          \
        if (!mf::fuse_usable(why_)) {                                                              \
            if (mf::fuse_required())                                                               \
                FAIL() << "FUSE mounts required (BURL_REQUIRE_FUSE=1) but unavailable: " << why_; \
            GTEST_SKIP() << "FUSE mounts unavailable: " << why_;                                   \
        }                                                                                          \
    } while (0)
