#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace proc {

namespace {

// Child side: never returns.
[[noreturn]] void exec_child(const std::string &program, const std::vector<std::string> &args,
                             const options &opt, int out_fd, int err_fd)
{
    if (!opt.stdout_path.empty()) {
        int fd = open(opt.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0)
            _exit(126);
        out_fd = fd;
    }
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0)
        _exit(126);
    for (const auto &e : opt.env)
        putenv(const_cast<char *>(e.c_str()));
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(opt.argv0.empty() ? program.c_str() : opt.argv0.c_str()));
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execvp(program.c_str(), argv.data());
    _exit(127);
}

} // namespace

result run(const std::string &program, const std::vector<std::string> &args, const options &opt)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0)
        exec_child(program, args, opt, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    result r{};
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *sinks[2] = {&r.out, &r.err};
    int open_fds = 2;
    while (open_fds > 0) {
        if (poll(fds, 2, -1) < 0)
            continue;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[65536];
            ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_fds--;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

} // namespace proc
