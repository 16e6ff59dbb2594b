// Open handles whose node goes away: every use but release answers -ESTALE
// and changes nothing; handles on moved nodes follow them.
#include <gtest/gtest.h>

#include "chunk_spec.h"
#include "in_process.h"
#include "open_handles.h"
#include "temp_dir.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

nbt_node *sample_tree()
{
    return tb::compound("", {
        tb::i32("n", 5),
        tb::i32("m", 6),
        tb::compound("c", {tb::str("x", "text"), tb::list("l", TAG_INT, {tb::i32(nullptr, 1)})}),
        tb::list("items", TAG_INT, {tb::i32(nullptr, 10), tb::i32(nullptr, 11)}),
        tb::ints("a", {1, 2, 3}),
        tb::compound("d"),
    });
}

// What a handle gives for every use: all -ESTALE when stale.
struct uses {
    int getattr, read, write, truncate, readdir;
};

uses use(const char *path, fuse_file_info &fi)
{
    const auto &ops = ip::ops();
    struct stat st;
    char buf[16];
    std::vector<std::string> names;
    auto filler = [](void *, const char *, const struct stat *, off_t) { return 0; };
    return {ops.fgetattr(path, &st, &fi), ops.read(path, buf, sizeof buf, 0, &fi), ops.write(path, "1", 1, 0, &fi),
            ops.ftruncate(path, 0, &fi), ops.readdir(path, &names, filler, 0, &fi)};
}

void expect_stale(const char *path, fuse_file_info &fi)
{
    std::string before = tree_text(root_node.node);
    uses u = use(path, fi);
    EXPECT_EQ(u.getattr, -ESTALE) << path;
    EXPECT_EQ(u.read, -ESTALE) << path;
    EXPECT_EQ(u.write, -ESTALE) << path;
    EXPECT_EQ(u.truncate, -ESTALE) << path;
    EXPECT_EQ(u.readdir, -ESTALE) << path;
    EXPECT_EQ(tree_text(root_node.node), before);
    EXPECT_EQ(ip::ops().release(path, &fi), 0);
}

struct stale_case {
    const char *name;
    const char *opened;
    int (*change)();
    const char *tree; // afterwards
};

void PrintTo(const stale_case &c, std::ostream *os) { *os << c.name; }

const auto &ops() { return ip::ops(); }

const stale_case stale_cases[] = {
    {"value_unlinked", "/n", [] { return ops().unlink("/n"); },
     "{m=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],a=<1,2,3>,d={}}"},
    {"value_replaced_by_rename", "/n", [] { return ops().rename("/m", "/n"); },
     "{n=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],a=<1,2,3>,d={}}"},
    {"inside_removed_compound", "/c/x", [] { return ops().unlink("/c"); },
     "{n=5,m=6,items=list:int32[10,11],a=<1,2,3>,d={}}"},
    {"directory_removed", "/d", [] { return ops().rmdir("/d"); },
     "{n=5,m=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],a=<1,2,3>}"},
    {"type_file_of_removed_list", "/c/l/.type", [] { return ops().unlink("/c/l"); },
     "{n=5,m=6,c={x='text'},items=list:int32[10,11],a=<1,2,3>,d={}}"},
    {"list_item_replaced", "/items/1", [] { return ops().rename("/items/0", "/items/1"); },
     "{n=5,m=6,c={x='text',l=list:int32[1]},items=list:int32[10],a=<1,2,3>,d={}}"},
    {"list_item_replaced_from_outside", "/items/0", [] { return ops().rename("/n", "/items/0"); },
     "{m=6,c={x='text',l=list:int32[1]},items=list:int32[5,11],a=<1,2,3>,d={}}"},
    {"last_element_removed", "/a/2", [] { return ops().unlink("/a/2"); },
     "{n=5,m=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],a=<1,2>,d={}}"},
    {"array_shrunk", "/a/1", [] { return ops().truncate("/a", 4); },
     "{n=5,m=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],a=<1>,d={}}"},
    {"array_shrunk_and_grown_again", "/a/2", []() -> int { return ops().truncate("/a", 0) ? -1 : ops().truncate("/a", 12); },
     "{n=5,m=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],a=<0,0,0>,d={}}"},
    {"elements_of_removed_array", "/a/0", [] { return ops().unlink("/a"); },
     "{n=5,m=6,c={x='text',l=list:int32[1]},items=list:int32[10,11],d={}}"},
};

class Stale : public testing::TestWithParam<stale_case> {};

TEST_P(Stale, EveryUseAnswersEstale)
{
    const auto &c = GetParam();
    ip::installed_tree t(sample_tree());
    fuse_file_info fi{};
    fi.flags = O_RDWR;
    ASSERT_EQ(ops().open(c.opened, &fi), 0);
    ASSERT_EQ(c.change(), 0);
    EXPECT_EQ(tree_text(root_node.node), c.tree);
    expect_stale(c.opened, fi);
    EXPECT_EQ(held_handle_count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Handles, Stale, testing::ValuesIn(stale_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Stale, DirectoryHandleOfRemovedCompound)
{
    ip::installed_tree t(sample_tree());
    fuse_file_info fi{};
    ASSERT_EQ(ops().opendir("/c", &fi), 0);
    ASSERT_EQ(ops().unlink("/c"), 0);
    expect_stale("/c", fi);
}

TEST(Follow, MovedNodeKeepsWorking)
{
    ip::installed_tree t(sample_tree());
    fuse_file_info fi{};
    fi.flags = O_RDWR;
    ASSERT_EQ(ops().open("/n", &fi), 0);
    ASSERT_EQ(ops().rename("/n", "/c/moved"), 0);
    EXPECT_EQ(ops().write(nullptr, "8", 1, 0, &fi), 1);
    ASSERT_EQ(ops().rename("/c/moved", "/items/2"), 0);
    char buf[8] = {};
    EXPECT_EQ(ops().read(nullptr, buf, sizeof buf, 0, &fi), 2);
    EXPECT_STREQ(buf, "8\n");
    ops().release(nullptr, &fi);
    EXPECT_EQ(tree_text(nbt_find_by_name(root_node.node, "items")), "list:int32[10,11,8]");
}

TEST(Follow, HandleMovedToAnotherChunkMarksThatChunk)
{
    tmp::dir dir;
    tb::tree_ptr three(tb::compound("", {tb::compound("c", {tb::i32("x", 3)})}));
    tb::tree_ptr seven(tb::compound("", {}));
    rb::write_file(dir / "r.mca", rb::build({chunk_spec(3, 2, 1, rb::compressed(three.get())),
                                             chunk_spec(7, 3, 1, rb::compressed(seven.get()))}));
    ip::installed_region r(dir / "r.mca");
    ASSERT_TRUE(r.ok());
    fuse_file_info fi{};
    fi.flags = O_RDWR;
    ASSERT_EQ(ops().open("/3/c/x", &fi), 0);
    ASSERT_EQ(ops().rename("/3/c", "/7/c"), 0);
    region_chunks[3].modified = region_chunks[7].modified = 0;
    EXPECT_EQ(ops().write(nullptr, "4", 1, 0, &fi), 1);
    ops().release(nullptr, &fi);
    // The change lies in chunk 7 now, so chunk 7 must be saved.
    EXPECT_EQ(region_chunks[7].modified, 1);
    EXPECT_EQ(region_chunks[3].modified, 0);
}

TEST(Follow, ElementOfGrownArrayStaysValid)
{
    ip::installed_tree t(sample_tree());
    fuse_file_info fi{};
    fi.flags = O_RDWR;
    ASSERT_EQ(ops().open("/a/1", &fi), 0);
    ASSERT_EQ(ops().truncate("/a", 40), 0);
    EXPECT_EQ(ops().write(nullptr, "9", 1, 0, &fi), 1);
    ops().release(nullptr, &fi);
    EXPECT_EQ(tree_text(nbt_find_by_name(root_node.node, "a")), "<1,9,3,0,0,0,0,0,0,0>");
}

} // namespace
