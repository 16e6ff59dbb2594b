// Open file descriptors whose node another process removes, replaces or
// moves, and element descriptors of a shrinking array: reads and writes
// through them give ESTALE, moved nodes keep working.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "mount_test_support.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

nbt_node *sample_tree()
{
    return tb::compound("", {
        tb::i32("n", 5), tb::i32("m", 6),
        tb::compound("c", {tb::str("s", "text"), tb::compound("deep", {tb::i32("v", 1)})}),
        tb::list("l", TAG_INT, {tb::i32(nullptr, 10), tb::i32(nullptr, 11)}),
        tb::ints("a", {1, 2, 3}),
    });
}

// Read and write results through an fd: -errno on failure.
struct through {
    ssize_t read, write;
};

through use(int fd)
{
    char buf[32];
    ssize_t r = pread(fd, buf, sizeof buf, 0);
    ssize_t r_err = r < 0 ? -errno : r;
    ssize_t w = pwrite(fd, "1\n", 2, 0);
    ssize_t w_err = w < 0 ? -errno : w;
    return {r_err, w_err};
}

struct stale_case {
    const char *name;
    const char *opened;
    const char *other; // what another process runs; "@" is the mount root
    const char *saved; // tree_text of the saved file
};

void PrintTo(const stale_case &c, std::ostream *os) { *os << c.name; }

const stale_case stale_cases[] = {
    {"removed", "n", "rm @/n", "{m=6,c={s='text',deep={v=1}},l=list:int32[10,11],a=<1,2,3>}"},
    {"replaced", "n", "mv @/m @/n", "{n=6,c={s='text',deep={v=1}},l=list:int32[10,11],a=<1,2,3>}"},
    {"inside_removed_tree", "c/deep/v", "rm -r @/c", "{n=5,m=6,l=list:int32[10,11],a=<1,2,3>}"},
    {"list_item_replaced", "l/0", "mv @/l/1 @/l/0", "{n=5,m=6,c={s='text',deep={v=1}},l=list:int32[11],a=<1,2,3>}"},
    {"last_element_removed", "a/2", "rm @/a/2", "{n=5,m=6,c={s='text',deep={v=1}},l=list:int32[10,11],a=<1,2>}"},
    {"element_of_shrinking_array", "a/1", "rm @/a/2 @/a/1", "{n=5,m=6,c={s='text',deep={v=1}},l=list:int32[10,11],a=<1>}"},
};

class StaleMount : public testing::TestWithParam<stale_case> {
protected:
    void SetUp() override { BURL_REQUIRE_MOUNTS(); }
};

TEST_P(StaleMount, ReadsAndWritesGiveEstale)
{
    const auto &c = GetParam();
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    // hard_remove: libfuse passes a removal of an open file on at once
    // instead of hiding the file under another name until it is closed.
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-o", "hard_remove,attr_timeout=0,entry_timeout=0"}));
    int fd = open(fs.at(c.opened).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    proc::result r = mt::tool({"bash", "-c", mt::substitute(c.other, fs.root())});
    EXPECT_EQ(r.status, 0) << r.err;
    through u = use(fd);
    EXPECT_EQ(u.read, -ESTALE);
    EXPECT_EQ(u.write, -ESTALE);
    EXPECT_EQ(close(fd), 0);
    fs.finish();
    tb::tree_ptr saved(mt::parse_saved(rb::read_file(fs.file())));
    ASSERT_TRUE(saved);
    EXPECT_EQ(tree_text(saved.get()), c.saved);
}

INSTANTIATE_TEST_SUITE_P(Handles, StaleMount, testing::ValuesIn(stale_cases),
                         [](const auto &info) { return std::string(info.param.name); });

class HandleMount : public testing::Test {
protected:
    void SetUp() override { BURL_REQUIRE_MOUNTS(); }
};

TEST_F(HandleMount, MovedNodeKeepsWorking)
{
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-o", "hard_remove"}));
    int fd = open(fs.at("n").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(mt::tool({"mv", fs.at("n"), fs.at("c/moved")}).status, 0);
    EXPECT_EQ(mt::tool({"mv", fs.at("c/moved"), fs.at("l/2")}).status, 0);
    through u = use(fd);
    EXPECT_EQ(u.read, 2); // "5\n"
    EXPECT_EQ(u.write, 2);
    close(fd);
    fs.finish();
    tb::tree_ptr saved(mt::parse_saved(rb::read_file(fs.file())));
    ASSERT_TRUE(saved);
    EXPECT_EQ(tree_text(saved.get()), "{m=6,c={s='text',deep={v=1}},l=list:int32[10,11,1],a=<1,2,3>}");
}

// The kernel itself ends the listing of a directory that was removed
// (glibc reads the ENOENT it gives as the end); burlfs is not asked.
TEST_F(HandleMount, DirectoryOfRemovedCompound)
{
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-o", "hard_remove"}));
    DIR *d = opendir(fs.at("c/deep").c_str());
    ASSERT_TRUE(d);
    EXPECT_EQ(mt::tool({"rm", "-r", fs.at("c")}).status, 0);
    errno = 0;
    EXPECT_EQ(readdir(d), nullptr);
    EXPECT_EQ(errno, 0);
    closedir(d);
    fs.finish();
}

// Without hard_remove libfuse keeps a removed file that is still open under
// a hidden name and removes it at its close: the descriptor works until then,
// and nothing of it reaches the file.
TEST_F(HandleMount, DefaultRemovalWaitsForTheClose)
{
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {}));
    int fd = open(fs.at("c/s").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(mt::tool({"rm", fs.at("c/s")}).status, 0);
    through u = use(fd);
    EXPECT_EQ(u.read, 5); // "text\n"
    EXPECT_EQ(u.write, 2);
    close(fd);
    fs.finish();
    tb::tree_ptr saved(mt::parse_saved(rb::read_file(fs.file())));
    ASSERT_TRUE(saved);
    EXPECT_EQ(tree_text(saved.get()), "{n=5,m=6,c={deep={v=1}},l=list:int32[10,11],a=<1,2,3>}");
}

} // namespace
