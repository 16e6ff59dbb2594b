// mount.nbt: the helper that mount(8) runs for the file-system type "nbt".
// It turns mount(8)'s arguments into burlfs's command line (mount_args.h),
// runs burlfs from the bin directory beside its own sbin directory, and
// reports burlfs's result in mount(8)'s exit statuses.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "mount_args.h"

#ifndef BURLFS_FROM_SBIN
#error "BURLFS_FROM_SBIN must name burlfs relative to the helper's directory"
#endif

namespace {

// burlfs's path, found from the helper's own file (symbolic links resolved).
std::string burlfs_path()
{
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "";
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    return dir + BURLFS_FROM_SBIN;
}

bool enter_namespace(const char *prog, const std::string &ns)
{
    int fd = open(ns.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || setns(fd, CLONE_NEWNS) != 0) {
        std::fprintf(stderr, "%s: cannot enter the mount namespace %s: %s\n", prog, ns.c_str(),
                     std::strerror(errno));
        if (fd >= 0)
            close(fd);
        return false;
    }
    close(fd);
    return true;
}

int run(const char *prog, const mount_nbt::plan &p)
{
    if (!p.ns.empty() && !enter_namespace(prog, p.ns))
        return mount_nbt::exit_failure;
    std::string burlfs = burlfs_path();
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>("burlfs"));
    for (const std::string &a : p.args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        std::perror(prog);
        return mount_nbt::exit_failure;
    }
    if (child == 0) {
        execv(burlfs.c_str(), argv.data());
        std::fprintf(stderr, "%s: cannot run %s: %s\n", prog, burlfs.c_str(), std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror(prog);
            return mount_nbt::exit_failure;
        }
    }
    return mount_nbt::exit_status(status);
}

} // namespace

int main(int argc, char **argv)
{
    const char *prog = argc > 0 ? argv[0] : "mount.nbt";
    mount_nbt::plan p = mount_nbt::translate(std::vector<std::string>(argv + (argc > 0), argv + argc));
    switch (p.what) {
    case mount_nbt::action::help:
        std::printf(mount_nbt::usage, prog);
        return 0;
    case mount_nbt::action::fake:
        return 0;
    case mount_nbt::action::refuse:
        std::fprintf(stderr, "%s: %s\n", prog, p.message.c_str());
        std::fprintf(stderr, mount_nbt::usage, prog);
        return mount_nbt::exit_usage;
    case mount_nbt::action::run:
        break;
    }
    return run(prog, p);
}
