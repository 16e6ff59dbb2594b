// Creating, removing and renaming in-process: every case of the failure
// tables, the positional renumbering of lists, replacement of targets, and
// the one-node-two-names and own-subtree decisions.
#include <gtest/gtest.h>

#include "chunk_spec.h"
#include "in_process.h"
#include "temp_dir.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

nbt_node *sample_tree()
{
    return tb::compound("", {
        tb::i32("n", 5),
        tb::compound("c", {tb::i32("w", 1), tb::str("x", "s"), tb::i32("z", 2)}),
        tb::compound("e"),
        tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2), tb::i32(nullptr, 3)}),
        tb::list("u", TAG_END),
        tb::ints("a", {1, 2}),
        tb::str("s", "str"),
        tb::list("ls", TAG_STRING, {tb::str(nullptr, "a"), tb::str(nullptr, "b"), tb::str(nullptr, "c"),
                                    tb::str(nullptr, "d")}),
        tb::compound("full", {tb::i32("k", 1)}),
    });
}

// The sample tree's text, with one part replaced.
const std::string N = "n=5", C = "c={w=1,x='s',z=2}", E = "e={}", L = "l=list:int32[1,2,3]", U = "u=list:invalid[]",
                  A = "a=<1,2>", S = "s='str'", LS = "ls=list:string['a','b','c','d']", FULL = "full={k=1}";

std::string tree_of(std::initializer_list<std::string> parts)
{
    std::string s = "{";
    for (const auto &p : parts) {
        if (p.empty())
            continue;
        s += (s.size() > 1 ? "," : "") + p;
    }
    return s + "}";
}

const std::string unchanged = tree_of({N, C, E, L, U, A, S, LS, FULL});

enum class op { mkdir, create, unlink, rmdir, rename };

struct change_case {
    const char *name;
    op what;
    const char *path;
    const char *to; // rename only
    int result;
    std::string tree; // afterwards
    bool marked;
};

void PrintTo(const change_case &c, std::ostream *os) { *os << c.name; }

const change_case change_cases[] = {
    {"mkdir_compound", op::mkdir, "/compound:c2", "", 0, tree_of({N, C, E, L, U, A, S, LS, FULL, "c2={}"}), true},
    {"mkdir_makes_a_value", op::mkdir, "/int8:v", "", 0, tree_of({N, C, E, L, U, A, S, LS, FULL, "v=0"}), true},
    {"create_value", op::create, "/int32:m", "", 0, tree_of({N, C, E, L, U, A, S, LS, FULL, "m=0"}), true},
    {"create_string", op::create, "/string:t", "", 0, tree_of({N, C, E, L, U, A, S, LS, FULL, "t=''"}), true},
    {"create_list_untyped", op::create, "/list:nl", "", 0, tree_of({N, C, E, L, U, A, S, LS, FULL, "nl=list:invalid[]"}), true},
    {"create_name_with_colon", op::create, "/string:a:b", "", 0, tree_of({N, C, E, L, U, A, S, LS, FULL, "a:b=''"}), true},
    {"create_in_compound", op::create, "/c/int64:y", "", 0, tree_of({N, "c={w=1,x='s',z=2,y=0}", E, L, U, A, S, LS, FULL}), true},
    {"create_without_prefix", op::create, "/m", "", -EINVAL, unchanged, false},
    {"create_unknown_prefix", op::create, "/foo:m", "", -EINVAL, unchanged, false},
    {"create_empty_name", op::create, "/int32:", "", -EINVAL, unchanged, false},
    {"create_name_taken_by_other_type", op::create, "/string:n", "", -EEXIST, unchanged, false},
    {"create_in_untyped_list", op::create, "/u/0", "", -EPERM, unchanged, false},
    {"create_list_append", op::create, "/l/3", "", 0, tree_of({N, C, E, "l=list:int32[1,2,3,0]", U, A, S, LS, FULL}), true},
    {"create_list_append_hexadecimal", op::mkdir, "/l/0x3", "", 0, tree_of({N, C, E, "l=list:int32[1,2,3,0]", U, A, S, LS, FULL}), true},
    {"create_list_gap", op::create, "/l/4", "", -EPERM, unchanged, false},
    {"create_list_position_taken", op::create, "/l/2", "", -EPERM, unchanged, false},
    {"create_list_not_a_number", op::create, "/l/x", "", -EINVAL, unchanged, false},
    {"create_array_grows", op::create, "/a/5", "", 0, tree_of({N, C, E, L, U, "a=<1,2,0,0,0,0>", S, LS, FULL}), true},
    {"create_array_next", op::mkdir, "/a/2", "", 0, tree_of({N, C, E, L, U, "a=<1,2,0>", S, LS, FULL}), true},
    {"create_array_existing", op::create, "/a/1", "", -EEXIST, unchanged, false},
    {"create_array_negative", op::create, "/a/-1", "", -EEXIST, unchanged, false},
    {"create_array_not_a_number", op::create, "/a/x", "", -EINVAL, unchanged, false},
    {"create_below_value", op::create, "/n/x", "", -ENOTDIR, unchanged, false},
    {"create_below_type_file", op::create, "/l/.type/x", "", -ENOTDIR, unchanged, false},
    {"create_below_missing", op::mkdir, "/nope/x", "", -ENOENT, unchanged, false},
    {"unlink_value", op::unlink, "/s", "", 0, tree_of({N, C, E, L, U, A, LS, FULL}), true},
    {"unlink_prefixed", op::unlink, "/int32:n", "", 0, tree_of({C, E, L, U, A, S, LS, FULL}), true},
    {"unlink_wrong_prefix", op::unlink, "/int8:n", "", -ENOENT, unchanged, false},
    {"unlink_list_item_renumbers", op::unlink, "/l/0", "", 0, tree_of({N, C, E, "l=list:int32[2,3]", U, A, S, LS, FULL}), true},
    {"unlink_compound_with_children", op::unlink, "/c", "", 0, tree_of({N, E, L, U, A, S, LS, FULL}), true},
    {"unlink_last_element", op::unlink, "/a/1", "", 0, tree_of({N, C, E, L, U, "a=<1>", S, LS, FULL}), true},
    {"unlink_element_not_last", op::unlink, "/a/0", "", -EBUSY, unchanged, false},
    {"unlink_element_beyond", op::unlink, "/a/5", "", -ENOENT, unchanged, false},
    {"unlink_type_file", op::unlink, "/l/.type", "", -EPERM, unchanged, false},
    {"unlink_root", op::unlink, "/", "", -EINVAL, unchanged, false},
    {"unlink_below_value", op::unlink, "/n/x", "", -ENOTDIR, unchanged, false},
    {"unlink_below_missing", op::unlink, "/nope/x", "", -ENOENT, unchanged, false},
    {"unlink_missing", op::unlink, "/nope", "", -ENOENT, unchanged, false},
    {"rmdir_empty_compound", op::rmdir, "/e", "", 0, tree_of({N, C, L, U, A, S, LS, FULL}), true},
    {"rmdir_empty_list", op::rmdir, "/u", "", 0, tree_of({N, C, E, L, A, S, LS, FULL}), true},
    {"rmdir_not_empty", op::rmdir, "/c", "", -ENOTEMPTY, unchanged, false},
    {"rmdir_array", op::rmdir, "/a", "", -ENOTDIR, unchanged, false},
    {"rmdir_value", op::rmdir, "/n", "", -ENOTDIR, unchanged, false},
    {"rmdir_element", op::rmdir, "/a/1", "", -ENOTDIR, unchanged, false},
    {"rename_in_compound_moves_to_end", op::rename, "/c/x", "/c/y", 0, tree_of({N, "c={w=1,z=2,y='s'}", E, L, U, A, S, LS, FULL}), true},
    {"rename_top_level_keeps_place", op::rename, "/n", "/m", 0, tree_of({"m=5", C, E, L, U, A, S, LS, FULL}), true},
    {"rename_prefix_of_other_type", op::rename, "/c/x", "/c/int32:y", -EINVAL, unchanged, false},
    {"rename_prefix_of_same_type", op::rename, "/c/x", "/c/string:y", 0, tree_of({N, "c={w=1,z=2,y='s'}", E, L, U, A, S, LS, FULL}), true},
    {"rename_into_list_appends", op::rename, "/n", "/l/3", 0, tree_of({C, E, "l=list:int32[1,2,3,5]", U, A, S, LS, FULL}), true},
    {"rename_into_list_replaces", op::rename, "/n", "/l/0", 0, tree_of({C, E, "l=list:int32[5,2,3]", U, A, S, LS, FULL}), true},
    {"rename_into_list_of_other_type", op::rename, "/n", "/ls/0", -EINVAL, unchanged, false},
    {"rename_into_untyped_list", op::rename, "/n", "/u/0", -EINVAL, unchanged, false},
    {"rename_list_item_replaces_later_item", op::rename, "/ls/0", "/ls/2", 0, tree_of({N, C, E, L, U, A, S, "ls=list:string['b','a','d']", FULL}), true},
    {"rename_list_item_to_the_end", op::rename, "/ls/0", "/ls/4", 0, tree_of({N, C, E, L, U, A, S, "ls=list:string['b','c','d','a']", FULL}), true},
    {"rename_list_item_into_compound", op::rename, "/ls/0", "/c/first", 0, tree_of({N, "c={w=1,x='s',z=2,first='a'}", E, L, U, A, S, "ls=list:string['b','c','d']", FULL}), true},
    {"rename_beyond_count", op::rename, "/n", "/l/5", -EINVAL, unchanged, false},
    {"rename_position_not_a_number", op::rename, "/n", "/l/x", -EINVAL, unchanged, false},
    {"rename_prefix_into_list", op::rename, "/n", "/l/int32:0", -ENOENT, unchanged, false},
    {"rename_unknown_prefix", op::rename, "/n", "/c/foo:y", -ENOENT, unchanged, false},
    {"rename_value_onto_compound", op::rename, "/n", "/e", -EISDIR, unchanged, false},
    {"rename_compound_onto_value", op::rename, "/e", "/n", -ENOTDIR, unchanged, false},
    {"rename_array_onto_value", op::rename, "/a", "/n", -ENOTDIR, unchanged, false},
    {"rename_compound_onto_empty_compound", op::rename, "/full", "/e", 0, tree_of({N, C, L, U, A, S, LS, "e={k=1}"}), true},
    {"rename_onto_non_empty_compound", op::rename, "/e", "/full", -ENOTEMPTY, unchanged, false},
    {"rename_value_onto_value", op::rename, "/s", "/n", 0, tree_of({C, E, L, U, A, "n='str'", LS, FULL}), true},
    {"rename_replacing_in_other_compound", op::rename, "/c/z", "/full/k", 0, tree_of({N, "c={w=1,x='s'}", E, L, U, A, S, LS, "full={k=2}"}), true},
    {"rename_onto_itself_by_prefix", op::rename, "/c/x", "/c/string:x", 0, unchanged, false},
    {"rename_onto_itself_by_index", op::rename, "/l/1", "/l/01", 0, unchanged, false},
    {"rename_non_empty_onto_itself", op::rename, "/c", "/compound:c", 0, unchanged, false},
    {"rename_into_own_subtree", op::rename, "/c", "/compound:c/q", -EINVAL, unchanged, false},
    {"rename_type_file", op::rename, "/l/.type", "/t", -EPERM, unchanged, false},
    {"rename_out_of_array", op::rename, "/a/0", "/x", -EPERM, unchanged, false},
    {"rename_into_array", op::rename, "/n", "/a/2", -EPERM, unchanged, false},
    {"rename_root", op::rename, "/", "/x", -EINVAL, unchanged, false},
    {"rename_onto_root", op::rename, "/n", "/", -EINVAL, unchanged, false},
    {"rename_missing", op::rename, "/nope", "/x", -ENOENT, unchanged, false},
    {"rename_below_value", op::rename, "/n/x", "/y", -ENOTDIR, unchanged, false},
    {"rename_to_below_value", op::rename, "/s", "/n/y", -ENOTDIR, unchanged, false},
};

int apply(const change_case &c)
{
    const auto &ops = ip::ops();
    fuse_file_info fi{};
    int result = 0;
    switch (c.what) {
    case op::mkdir: return ops.mkdir(c.path, 0755);
    case op::create:
        result = ops.create(c.path, 0644, &fi);
        if (result == 0)
            ops.release(c.path, &fi);
        return result;
    case op::unlink: return ops.unlink(c.path);
    case op::rmdir: return ops.rmdir(c.path);
    case op::rename: return ops.rename(c.path, c.to);
    }
    return result;
}

class Change : public testing::TestWithParam<change_case> {};

TEST_P(Change, ResultAndTree)
{
    const auto &c = GetParam();
    ip::installed_tree t(sample_tree());
    ASSERT_EQ(tree_text(root_node.node), unchanged);
    EXPECT_EQ(apply(c), c.result);
    EXPECT_EQ(tree_text(root_node.node), c.tree);
    EXPECT_EQ(tree_modified, c.marked);
}

// On a read-only mount the same operations are refused; where a check comes
// before the read-only one, it decides.
TEST_P(Change, ReadOnly)
{
    const auto &c = GetParam();
    mount_settings s;
    s.read_only = 1;
    ip::installed_tree t(sample_tree(), s);
    int result = apply(c);
    EXPECT_EQ(tree_text(root_node.node), unchanged);
    if (c.what == op::mkdir || c.what == op::create) {
        EXPECT_EQ(result, -EROFS);
    } else {
        EXPECT_TRUE(result == -EROFS || (result == c.result && result != 0)) << result;
    }
}

INSTANTIATE_TEST_SUITE_P(Tree, Change, testing::ValuesIn(change_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Change, CreateHandsBackAHandle)
{
    ip::installed_tree t(sample_tree());
    fuse_file_info fi{};
    ASSERT_EQ(ip::ops().create("/a/3", 0644, &fi), 0);
    EXPECT_EQ(ip::ops().write("/a/3", "9", 1, 0, &fi), 1);
    struct stat st;
    EXPECT_EQ(ip::ops().fgetattr("/a/3", &st, &fi), 0);
    EXPECT_EQ(st.st_size, 2);
    ip::ops().release("/a/3", &fi);
    EXPECT_EQ(tree_text(nbt_find_by_name(root_node.node, "a")), "<1,2,0,9>");
}

TEST(Change, SetTypeThenFillList)
{
    ip::installed_tree t(tb::compound("", {}));
    const auto &ops = ip::ops();
    ASSERT_EQ(ops.mkdir("/list:l", 0755), 0);
    EXPECT_EQ(ops.mkdir("/l/0", 0755), -EPERM);
    fuse_file_info fi{};
    fi.flags = O_WRONLY;
    ASSERT_EQ(ops.open("/l/.type", &fi), 0);
    EXPECT_EQ(ops.write("/l/.type", "int32\n", 6, 0, &fi), 6);
    ops.release("/l/.type", &fi);
    EXPECT_EQ(ops.mkdir("/l/0", 0755), 0);
    EXPECT_EQ(ops.mkdir("/l/1", 0755), 0);
    EXPECT_EQ(ops.mkdir("/l/3", 0755), -EPERM);
    EXPECT_EQ(tree_text(root_node.node), "{l=list:int32[0,0]}");
}

TEST(Change, RootListRenamedToItsEnd)
{
    // Both paths lie in the root record: the item keeps its place, and the
    // tree still counts as changed.
    ip::installed_tree t(tb::list("", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2)}));
    EXPECT_EQ(ip::ops().rename("/0", "/2"), 0);
    EXPECT_EQ(tree_text(root_node.node), "list:int32[1,2]");
    EXPECT_EQ(tree_modified, 1);
    EXPECT_EQ(ip::ops().mkdir("/2", 0755), 0);
    EXPECT_EQ(tree_text(root_node.node), "list:int32[1,2,0]");
}

TEST(Change, ListWithUnnamableElementTypeTakesNoItems)
{
    // A file may give an empty list any element type byte; a node of such a
    // type could never be written back.
    ip::installed_tree t(tb::compound("", {tb::list("odd", 13)}));
    EXPECT_EQ(ip::ops().mkdir("/odd/0", 0755), -EPERM);
}

class RegionChange : public testing::Test {
protected:
    tmp::dir dir;
    std::unique_ptr<ip::installed_region> region;

    void SetUp() override
    {
        tb::tree_ptr three(tb::compound("", {tb::i32("x", 3), tb::compound("sub")}));
        tb::tree_ptr seven(tb::compound("", {tb::i32("y", 7)}));
        rb::write_file(dir / "r.mca", rb::build({chunk_spec(3, 2, 1, rb::compressed(three.get()), 2, 30),
                                                 chunk_spec(7, 3, 1, rb::compressed(seven.get()), 2, 70)}));
        region = std::make_unique<ip::installed_region>(dir / "r.mca");
        ASSERT_TRUE(region->ok()) << region->messages();
    }
};

TEST_F(RegionChange, MoveBetweenChunksMarksBoth)
{
    const auto &ops = ip::ops();
    EXPECT_EQ(ops.rename("/3/x", "/7/x"), 0);
    EXPECT_EQ(ip::read_whole("/7/x").bytes, "3\n");
    EXPECT_EQ(tree_text(region_chunks[3].tree), "{sub={}}");
    EXPECT_EQ(tree_text(region_chunks[7].tree), "{y=7,x=3}");
    EXPECT_EQ(region_chunks[3].modified, 1);
    EXPECT_EQ(region_chunks[7].modified, 1);
    EXPECT_EQ(tree_modified, 0);
}

TEST_F(RegionChange, NothingDirectlyUnderTheRoot)
{
    const auto &ops = ip::ops();
    fuse_file_info fi{};
    EXPECT_EQ(ops.rename("/3", "/4"), -EPERM);
    EXPECT_EQ(ops.rename("/3/x", "/4"), -EPERM);
    EXPECT_EQ(ops.rename("/3,0", "/3/l"), -EPERM);
    EXPECT_EQ(ops.unlink("/3"), -EPERM);
    EXPECT_EQ(ops.rmdir("/3"), -EPERM);
    EXPECT_EQ(ops.unlink("/5,0"), -EPERM);
    EXPECT_EQ(ops.mkdir("/compound:q", 0755), -EINVAL);
    EXPECT_EQ(ops.create("/4", 0644, &fi), -EINVAL);
    EXPECT_EQ(region_chunks[3].modified + region_chunks[7].modified, 0);
}

TEST_F(RegionChange, TimesAreAcceptedWithoutMarks)
{
    struct timespec times[2] = {{1, 0}, {2, 0}};
    for (const char *p : {"/", "/3", "/3/x", "/7,0"})
        EXPECT_EQ(ip::ops().utimens(p, times), 0) << p;
    EXPECT_EQ(ip::ops().utimens("/4", times), -ENOENT);
    EXPECT_EQ(region_chunks[3].modified + region_chunks[7].modified, 0);
    EXPECT_EQ(region_chunks[3].timestamp, 30);
}

TEST_F(RegionChange, CreatingAndRemovingMarkTheirChunk)
{
    const auto &ops = ip::ops();
    EXPECT_EQ(ops.mkdir("/3/sub/int8:b", 0755), 0);
    EXPECT_EQ(region_chunks[3].modified, 1);
    EXPECT_EQ(region_chunks[7].modified, 0);
    EXPECT_EQ(ops.unlink("/7/y"), 0);
    EXPECT_EQ(region_chunks[7].modified, 1);
    EXPECT_EQ(tree_text(region_chunks[3].tree), "{x=3,sub={b=0}}");
}

} // namespace
