// Lookups in directories large enough to be indexed give the same answers as
// walking, and every kind of change is seen by the next lookup.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <string>

#include "in_process.h"
#include "tree_builder.h"

namespace {

constexpr int children = 100; // well beyond what is walked without an index

nbt_node *big_tree()
{
    nbt_node *c = tb::compound("c");
    nbt_node *l = tb::list("l", TAG_INT);
    for (int i = 0; i < children; i++) {
        tb::append(c, tb::i32(("v" + std::to_string(i)).c_str(), i));
        if (i == 50) {
            tb::append(c, tb::i32("d", 1));
            tb::append(c, tb::str("d", "s"));
        }
        tb::append(l, tb::i32(nullptr, i));
    }
    return tb::compound("", {c, l});
}

std::string value(const std::string &path)
{
    auto r = ip::read_whole(path);
    return r.result < 0 ? "error " + std::to_string(r.result) : r.bytes;
}

int exists(const std::string &path)
{
    struct stat st;
    return ip::getattr(path, st);
}

TEST(ChildIndex, LookupsFollowEveryChange)
{
    ip::installed_tree mounted(big_tree());
    const auto &ops = ip::ops();

    EXPECT_EQ(value("/c/v77"), "77\n");
    EXPECT_EQ(value("/c/int32:v77"), "77\n");
    EXPECT_EQ(exists("/c/string:v77"), -ENOENT);
    EXPECT_EQ(value("/c/d"), "1\n") << "the first child of that name";
    EXPECT_EQ(value("/c/string:d"), "s\n");
    EXPECT_EQ(value("/l/99"), "99\n");
    EXPECT_EQ(value("/l/0x63"), "99\n");
    EXPECT_EQ(exists("/l/100"), -ENOENT);
    EXPECT_EQ(ip::list("/l").names.size(), size_t(children) + 1);

    // Removing an item renumbers the rest.
    ASSERT_EQ(ops.unlink("/l/0"), 0);
    EXPECT_EQ(value("/l/0"), "1\n");
    EXPECT_EQ(value("/l/98"), "99\n");
    EXPECT_EQ(exists("/l/99"), -ENOENT);

    // A rename within a compound gives the node its new name only.
    ASSERT_EQ(ops.rename("/c/v10", "/c/w10"), 0);
    EXPECT_EQ(exists("/c/v10"), -ENOENT);
    EXPECT_EQ(value("/c/w10"), "10\n");

    // Removing the first of two children of one name uncovers the second.
    ASSERT_EQ(ops.unlink("/c/d"), 0);
    EXPECT_EQ(value("/c/d"), "s\n");

    // A created child is found at once.
    fuse_file_info fi{};
    fi.flags = O_WRONLY;
    ASSERT_EQ(ops.create("/c/int32:v10", 0644, &fi), 0);
    ops.release("/c/int32:v10", &fi);
    EXPECT_EQ(value("/c/v10"), "0\n");

    // Replacing an item of a list: item 5 (6) takes the place of item 2 (3).
    ASSERT_EQ(ops.rename("/l/5", "/l/2"), 0);
    EXPECT_EQ(value("/l/2"), "6\n");
    EXPECT_EQ(value("/l/3"), "4\n");
    EXPECT_EQ(value("/l/5"), "7\n");
    EXPECT_EQ(value("/l/97"), "99\n");
    EXPECT_EQ(exists("/l/98"), -ENOENT);

    // A move from the compound to the end of the list.
    ASSERT_EQ(ops.rename("/c/v20", "/l/98"), 0);
    EXPECT_EQ(exists("/c/v20"), -ENOENT);
    EXPECT_EQ(value("/l/98"), "20\n");
    EXPECT_EQ(ip::list("/l").names.size(), 100u);
}

} // namespace

namespace {

// At the top level a renamed node keeps its cell: only its name changes.
TEST(ChildIndex, RenameInPlaceAtTheTop)
{
    nbt_node *root = tb::compound("");
    for (int i = 0; i < children; i++)
        tb::append(root, tb::i32(("v" + std::to_string(i)).c_str(), i));
    ip::installed_tree mounted(root);
    EXPECT_EQ(value("/v3"), "3\n");
    ASSERT_EQ(ip::ops().rename("/v3", "/w3"), 0);
    EXPECT_EQ(exists("/v3"), -ENOENT);
    EXPECT_EQ(value("/w3"), "3\n");
    EXPECT_EQ(ip::list("/").names[3], "w3") << "the node kept its place";
}

} // namespace

namespace {

off_t size_of(const std::string &path)
{
    struct stat st;
    return ip::getattr(path, st) == 0 ? st.st_size : -1;
}

// A directory's size is the node count of its subtree, however often it is
// asked for, and after every change below it.
TEST(ChildIndex, DirectorySizesFollowChanges)
{
    ip::installed_tree mounted(tb::compound("", {
        tb::compound("c", {tb::i32("x", 1)}),
        tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2)}),
    }));
    const auto &ops = ip::ops();
    EXPECT_EQ(size_of("/"), 6);
    EXPECT_EQ(size_of("/c"), 2);
    ASSERT_EQ(ops.mkdir("/c/compound:d", 0755), 0);
    EXPECT_EQ(size_of("/c"), 3);
    EXPECT_EQ(size_of("/"), 7);
    ASSERT_EQ(ops.unlink("/l/0"), 0);
    EXPECT_EQ(size_of("/l"), 2);
    EXPECT_EQ(size_of("/"), 6);
    ASSERT_EQ(ops.rename("/c/d", "/e"), 0);
    EXPECT_EQ(size_of("/c"), 2);
    EXPECT_EQ(size_of("/e"), 1);
    EXPECT_EQ(size_of("/"), 6);
}

} // namespace
