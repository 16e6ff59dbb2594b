#include "mount_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "process_runner.h"

namespace mf {

namespace {

using namespace std::chrono_literals;

int exit_status_of(int wait_status)
{
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

bool wait_exit(pid_t pid, int &status, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int ws = 0;
        pid_t r = waitpid(pid, &ws, WNOHANG);
        if (r == pid) {
            status = exit_status_of(ws);
            return true;
        }
        if (r < 0)
            return false;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
}

std::string read_all(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fusermount(const std::vector<std::string> &flags, const std::string &point)
{
    std::vector<std::string> args = flags;
    args.push_back(point);
    return proc::run("fusermount", args).status == 0;
}

} // namespace

bool fuse_usable(std::string &why)
{
    int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        why = std::string("/dev/fuse: ") + strerror(errno);
        return false;
    }
    close(fd);
    if (proc::run("fusermount", {"-V"}).status != 0) {
        why = "fusermount cannot be run";
        return false;
    }
    return true;
}

bool fuse_required()
{
    const char *v = getenv("BURL_REQUIRE_FUSE");
    return v && strcmp(v, "1") == 0;
}

bool is_mounted(const std::string &path)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, point;
        fields >> id >> parent >> devno >> root >> point;
        if (point == path)
            return true;
    }
    return false;
}

mount::mount(const std::string &program, const std::string &file, const std::string &point,
             const std::vector<std::string> &args)
    : program_(program), file_(file), point_(point), args_(args)
{
}

mount::~mount()
{
    if (pid_ > 0)
        stop_hard();
    if (log_fd_ >= 0)
        close(log_fd_);
    if (!log_path_.empty())
        unlink(log_path_.c_str());
}

bool mount::start()
{
    std::filesystem::create_directories(point_);
    log_path_ = point_ + ".log";
    log_fd_ = open(log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<std::string> argv{"burlfs", "-f"};
    argv.insert(argv.end(), args_.begin(), args_.end());
    argv.push_back(file_);
    argv.push_back(point_);
    std::vector<char *> ptrs;
    for (auto &a : argv)
        ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(log_fd_, 2);
        execv(program_.c_str(), ptrs.data());
        _exit(127);
    }
    auto end = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < end) {
        if (is_mounted(point_)) {
            mounted_ = true;
            return true;
        }
        int status = 0;
        if (wait_exit(pid_, status, 0ms)) {
            pid_ = -1;
            ADD_FAILURE() << "burlfs exited with status " << status << " before mounting:\n"
                          << read_all(log_path_);
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    ADD_FAILURE() << "the mount did not appear:\n" << read_all(log_path_);
    stop_hard();
    return false;
}

outcome mount::finish()
{
    outcome o;
    if (pid_ <= 0) {
        o.log = read_all(log_path_);
        return o;
    }
    // The kernel refuses to unmount while a file is still in use; a test's
    // own shell tools have finished by now, so a retry or two suffices.
    bool unmounted = false;
    for (int attempt = 0; attempt < 50 && !unmounted; attempt++) {
        unmounted = fusermount({"-u"}, point_);
        if (!unmounted)
            std::this_thread::sleep_for(20ms);
    }
    if (!unmounted) {
        ADD_FAILURE() << "fusermount -u failed; unmounting lazily";
        fusermount({"-u", "-z"}, point_);
    }
    mounted_ = false;
    if (!wait_exit(pid_, o.status, 60s)) {
        ADD_FAILURE() << "burlfs did not exit after unmount; killing it";
        kill(pid_, SIGKILL);
        wait_exit(pid_, o.status, 10s);
    }
    pid_ = -1;
    o.log = read_all(log_path_);
    return o;
}

void mount::stop_hard()
{
    if (mounted_ || is_mounted(point_)) {
        if (!fusermount({"-u"}, point_))
            fusermount({"-u", "-z"}, point_);
    }
    mounted_ = false;
    int status = 0;
    if (!wait_exit(pid_, status, 10s)) {
        kill(pid_, SIGKILL);
        wait_exit(pid_, status, 10s);
    }
    pid_ = -1;
}

std::vector<std::string> unexpected_lines(const std::string &log, const std::vector<std::string> &allowed)
{
    std::vector<std::regex> patterns{
        std::regex(R"(burlfs\[\d+\]: (NBT|Region) .* loaded successfully)"),
        std::regex(R"(burlfs\[\d+\]: Chunk \d+ has been modified)"),
    };
    for (const auto &a : allowed)
        patterns.emplace_back(a);
    std::vector<std::string> bad;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        bool ok = false;
        for (const auto &p : patterns)
            ok = ok || std::regex_match(line, p);
        if (!ok)
            bad.push_back(line);
    }
    return bad;
}

} // namespace mf
