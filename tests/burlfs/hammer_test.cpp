// Four processes hammer one mount for a bounded time with reads, writes,
// creates, renames and removals on overlapping paths; burlfs must survive
// (under the sanitizer build: without any report), unmount cleanly and save
// a file that parses. Whole compounds are not moved here: libfuse 2.9 itself
// loses path buffers when such renames wait for its path locks, which the
// leak checker would report in the burlfs process (moves of compounds are
// covered by the differential test).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "mount_test_support.h"
#include "tree_builder.h"

namespace {

using namespace std::chrono_literals;

std::string any_of(std::mt19937 &rng, std::initializer_list<const char *> choices)
{
    auto it = choices.begin();
    std::advance(it, rng() % choices.size());
    return *it;
}

std::string n(std::mt19937 &rng, unsigned below) { return std::to_string(rng() % below); }

// A value path that may or may not exist at the moment.
std::string value_path(std::mt19937 &rng)
{
    switch (rng() % 5) {
    case 0: return "x" + n(rng, 6);
    case 1: return "c/y" + n(rng, 6);
    case 2: return "l/" + n(rng, 5);
    case 3: return "a/" + n(rng, 5);
    default: return any_of(rng, {"s", "l/.type", "c/d0/z", "d1/z"});
    }
}

std::string dir_path(std::mt19937 &rng) { return any_of(rng, {"", "c", "l", "a", "c/d0", "d1", "d2"}); }

void hammer(const std::string &root, unsigned seed, std::chrono::steady_clock::time_point until)
{
    std::mt19937 rng(seed);
    auto at = [&root](const std::string &p) { return root + "/" + p; };
    int kept = -1;
    char buf[256];
    while (std::chrono::steady_clock::now() < until) {
        std::string p = value_path(rng), q = value_path(rng);
        switch (rng() % 9) {
        case 0: { // read
            int fd = open(at(p).c_str(), O_RDONLY);
            if (fd >= 0) {
                while (read(fd, buf, sizeof buf) > 0) {
                }
                close(fd);
            }
            break;
        }
        case 1: { // write a number or a text
            int fd = open(at(p).c_str(), O_WRONLY | O_TRUNC);
            if (fd >= 0) {
                std::string text = std::to_string(int32_t(rng())) + "\n";
                ssize_t ignored = write(fd, text.data(), text.size());
                (void)ignored;
                close(fd);
            }
            break;
        }
        case 2: { // create
            std::string name = any_of(rng, {"int32:x", "c/int32:y", "c/d0/int16:z", "d1/string:z"}) + n(rng, 6);
            if (rng() % 2)
                name = any_of(rng, {"l/", "a/"}) + n(rng, 5);
            int fd = open(at(name).c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd >= 0)
                close(fd);
            break;
        }
        case 3: // a compound
            mkdir(at(any_of(rng, {"c/compound:d0", "compound:d1", "compound:d2", "d2/compound:e"})).c_str(), 0755);
            break;
        case 4: // rename, also across directories and into the list
            rename(at(p).c_str(), at(rng() % 3 ? q : "l/" + n(rng, 5)).c_str());
            break;
        case 5:
            unlink(at(p).c_str());
            break;
        case 6:
            rmdir(at(any_of(rng, {"c/d0", "d1", "d2", "d2/e"})).c_str());
            break;
        case 7: { // list a directory
            DIR *d = opendir(at(dir_path(rng)).c_str());
            if (d) {
                while (readdir(d)) {
                }
                closedir(d);
            }
            break;
        }
        default: { // a descriptor kept open while the others go on
            if (kept >= 0) {
                ssize_t ignored = pread(kept, buf, sizeof buf, 0);
                ignored = pwrite(kept, "7\n", 2, 0);
                (void)ignored;
                close(kept);
                kept = -1;
            } else {
                kept = open(at(p).c_str(), O_RDWR);
            }
            break;
        }
        }
    }
    if (kept >= 0)
        close(kept);
}

TEST(Hammer, FourProcessesOnOverlappingPaths)
{
    BURL_REQUIRE_MOUNTS();
    tb::tree_ptr tree(tb::compound("", {
        tb::i32("x0", 0), tb::i32("x1", 1), tb::str("s", "text"),
        tb::compound("c", {tb::i32("y0", 0), tb::compound("d0")}),
        tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2)}),
        tb::ints("a", {1, 2, 3}),
    }));
    mt::mounted fs;
    // hard_remove: removals of open files reach burlfs at once, so that the
    // stale handles are exercised too.
    // hard_remove: removals of open files reach burlfs at once, so that the
    // stale handles are exercised too.
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-o", "hard_remove"}));
    auto until = std::chrono::steady_clock::now() + 20s;
    std::vector<pid_t> children;
    for (unsigned i = 0; i < 4; i++) {
        pid_t pid = fork();
        if (pid == 0) {
            hammer(fs.root(), 100 + i, until);
            _exit(0);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    // A process still blocked long after the end means a request never got
    // its answer: burlfs is killed so that the processes can go.
    auto deadline = until + 60s;
    for (pid_t pid : children) {
        int status = 0;
        pid_t r = 0;
        while ((r = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(50ms);
        if (r == 0) {
            ADD_FAILURE() << "a process hangs in the mount; killing burlfs";
            kill(fs.pid(), SIGKILL);
            waitpid(pid, &status, 0);
            continue;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    fs.finish();
    tb::tree_ptr saved(mt::parse_saved(rb::read_file(fs.file())));
    EXPECT_TRUE(saved) << nbt_error_to_string(nbt_status(errno));
}

} // namespace
