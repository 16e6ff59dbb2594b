#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace cp {

namespace {

struct pipe_pair {
    int fd[2] = {-1, -1};
    pipe_pair()
    {
        if (pipe2(fd, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
    }
    ~pipe_pair()
    {
        for (int f : fd)
            if (f >= 0)
                close(f);
    }
    void close_end(int i)
    {
        if (fd[i] >= 0)
            close(fd[i]);
        fd[i] = -1;
    }
};

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int exit_status_of(int wait_status)
{
    if (WIFEXITED(wait_status))
        return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status))
        return 128 + WTERMSIG(wait_status);
    return -1;
}

result run(const std::string &program, const std::vector<std::string> &argv, const std::string &input,
           int timeout_seconds)
{
    pipe_pair in, out, err;
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(in.fd[0], 0);
        dup2(out.fd[1], 1);
        dup2(err.fd[1], 2);
        execvp(program.c_str(), args.data());
        _exit(127);
    }
    in.close_end(0);
    out.close_end(1);
    err.close_end(1);
    result r;
    size_t written = 0;
    if (input.empty())
        in.close_end(1);
    else
        fcntl(in.fd[1], F_SETFL, O_NONBLOCK);
    double deadline = now() + timeout_seconds;
    bool killed = false;
    while (out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3];
        int n = 0;
        for (int f : {out.fd[0], err.fd[0]})
            if (f >= 0)
                fds[n++] = {f, POLLIN, 0};
        if (in.fd[1] >= 0)
            fds[n++] = {in.fd[1], POLLOUT, 0};
        int ready = poll(fds, nfds_t(n), 100);
        if (ready < 0 && errno != EINTR)
            break;
        if (!killed && now() > deadline) {
            kill(pid, SIGKILL);
            killed = true;
        }
        for (int i = 0; i < n; i++) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == in.fd[1]) {
                ssize_t w = write(in.fd[1], input.data() + written, input.size() - written);
                if (w > 0)
                    written += size_t(w);
                if (w < 0 || written == input.size())
                    in.close_end(1);
                continue;
            }
            char buf[4096];
            ssize_t got = read(fds[i].fd, buf, sizeof buf);
            bool is_out = fds[i].fd == out.fd[0];
            if (got <= 0)
                (is_out ? out : err).close_end(0);
            else
                (is_out ? r.out : r.err).append(buf, size_t(got));
        }
    }
    in.close_end(1);
    int ws = 0;
    while (waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
    }
    r.status = exit_status_of(ws);
    return r;
}

result tool(const std::vector<std::string> &argv, const std::string &input) { return run(argv.at(0), argv, input); }

} // namespace cp
