// mkdir, create, rm, rmdir and mv on a read-write mount; after unmount the
// file holds the changed tree.
#include <functional>

#include "mount_test_support.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

struct change_case {
    const char *name;
    std::function<nbt_node *(const char *)> subtree; // a compound named by the case
    const char *command; // bash -c; "@" is the case's compound
    int status;
    const char *error;   // expected in the command's messages ("" for none)
    const char *listing; // ls -aU of the case's compound afterwards
    const char *saved;   // tree_text of the case's compound in the saved file
};

void PrintTo(const change_case &c, std::ostream *os) { *os << c.name; }

nbt_node *empty(const char *n) { return tb::compound(n); }
nbt_node *with_values(const char *n) { return tb::compound(n, {tb::i32("w", 1), tb::i32("x", 2), tb::str("z", "s")}); }
nbt_node *with_list(const char *n)
{
    return tb::compound(n, {tb::i32("n", 5), tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2),
                                                                      tb::i32(nullptr, 3)})});
}
nbt_node *with_strings(const char *n)
{
    return tb::compound(n, {tb::list("ls", TAG_STRING, {tb::str(nullptr, "a"), tb::str(nullptr, "b"),
                                                        tb::str(nullptr, "c"), tb::str(nullptr, "d")})});
}
nbt_node *with_array(const char *n) { return tb::compound(n, {tb::ints("a", {1, 2})}); }
nbt_node *with_dirs(const char *n)
{
    return tb::compound(n, {tb::compound("e"), tb::compound("c", {tb::i32("x", 1)}), tb::list("t", TAG_INT)});
}

const change_case change_cases[] = {
    {"mkdir_compound", empty, "mkdir @/compound:sub", 0, "", "sub\n", "{sub={}}"},
    // An untyped list cannot be saved, so the case gives it a type.
    {"mkdir_list", empty, "mkdir @/list:l && grep -qx invalid @/l/.type && echo string > @/l/.type", 0, "", "l\n",
     "{l=list:string[]}"},
    {"create_value", empty, ": > @/int32:n && cat @/n", 0, "", "n\n", "{n=0}"},
    {"create_and_write", empty, "echo hi > @/string:s", 0, "", "s\n", "{s='hi'}"},
    {"create_without_prefix", empty, ": > @/n", 1, "Invalid argument", "", "{}"},
    {"create_name_taken", with_values, ": > @/string:x", 1, "File exists", "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"fill_untyped_list", empty,
     "mkdir @/list:l && (: > @/l/0 || echo refused) && echo int32 > @/l/.type && : > @/l/0 && echo 7 > @/l/1", 0,
     "Operation not permitted", "l\n", "{l=list:int32[0,7]}"},
    {"list_append", with_list, ": > @/l/3 && echo 4 > @/l/3", 0, "", "n\nl\n", "{n=5,l=list:int32[1,2,3,4]}"},
    {"list_gap", with_list, ": > @/l/5", 1, "Operation not permitted", "n\nl\n", "{n=5,l=list:int32[1,2,3]}"},
    {"list_remove_renumbers", with_list, "rm @/l/0 && ls -aU @/l && cat @/l/0", 0, "", "n\nl\n", "{n=5,l=list:int32[2,3]}"},
    {"list_type_file_stays", with_list, "rm @/l/.type", 1, "Operation not permitted", "n\nl\n", "{n=5,l=list:int32[1,2,3]}"},
    {"array_grows", with_array, ": > @/a/4 && ls -U @/a", 0, "", "a\n", "{a=<1,2,0,0,0>}"},
    {"array_element_not_last", with_array, "rm @/a/0", 1, "Device or resource busy", "a\n", "{a=<1,2>}"},
    {"array_last_element", with_array, "rm @/a/1", 0, "", "a\n", "{a=<1>}"},
    {"array_is_no_directory_to_remove", with_array, "rmdir @/a", 1, "Not a directory", "a\n", "{a=<1,2>}"},
    {"rmdir_empty", with_dirs, "rmdir @/e @/t", 0, "", "c\n", "{c={x=1}}"},
    {"rmdir_not_empty", with_dirs, "rmdir @/c", 1, "Directory not empty", "e\nc\nt\n", "{e={},c={x=1},t=list:int32[]}"},
    {"rm_recursive", with_dirs, "rm -r @/c", 0, "", "e\nt\n", "{e={},t=list:int32[]}"},
    {"rm_value", with_values, "rm @/x", 0, "", "w\nz\n", "{w=1,z='s'}"},
    {"mv_moves_to_end", with_values, "mv @/x @/y", 0, "", "w\nz\ny\n", "{w=1,z='s',y=2}"},
    {"mv_with_same_type_prefix", with_values, "mv @/z @/string:t", 0, "", "w\nx\nt\n", "{w=1,x=2,t='s'}"},
    {"mv_with_other_type_prefix", with_values, "mv @/z @/int32:t", 1, "", "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"mv_replaces_value", with_values, "mv @/w @/x", 0, "", "z\nx\n", "{z='s',x=1}"},
    {"mv_into_list", with_list, "mv @/n @/l/3", 0, "", "l\n", "{l=list:int32[1,2,3,5]}"},
    {"mv_replaces_list_item", with_list, "mv @/n @/l/1", 0, "", "l\n", "{l=list:int32[1,5,3]}"},
    {"mv_list_item_out", with_list, "mv @/l/0 @/first", 0, "", "n\nl\nfirst\n", "{n=5,l=list:int32[2,3],first=1}"},
    {"mv_within_list", with_strings, "mv @/ls/0 @/ls/2", 0, "", "ls\n", "{ls=list:string['b','a','d']}"},
    {"mv_to_list_end", with_strings, "mv @/ls/1 @/ls/4", 0, "", "ls\n", "{ls=list:string['a','c','d','b']}"},
    {"mv_into_list_of_other_type", with_strings, "mkdir @/int32:n; mv @/n @/ls/0", 1, "", "ls\nn\n",
     "{ls=list:string['a','b','c','d'],n=0}"},
    {"mv_compound_into_compound", with_dirs, "mv @/c @/e/", 0, "", "e\nt\n", "{e={c={x=1}},t=list:int32[]}"},
    {"mv_compound_onto_empty", with_dirs, "mv -T @/c @/e", 0, "", "t\ne\n", "{t=list:int32[],e={x=1}}"},
    {"mv_onto_non_empty", with_dirs, "mv -T @/e @/c", 1, "Directory not empty", "e\nc\nt\n", "{e={},c={x=1},t=list:int32[]}"},
    {"mv_onto_itself_by_prefix", with_values, "mv @/x @/int32:x", 0, "", "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"mv_into_own_subtree", with_dirs, "mv @/c @/compound:c/q", 1, "", "e\nc\nt\n", "{e={},c={x=1},t=list:int32[]}"},
};

class ChangeMount : public mt::SharedMountWith<change_case> {
protected:
    static void SetUpTestSuite()
    {
        tb::tree_ptr tree(tb::compound("", {}));
        for (const auto &c : change_cases)
            tb::append(tree.get(), c.subtree(c.name));
        mount_shared(mt::nbt_file(tree.get()), {});
    }

    static void TearDownTestSuite()
    {
        if (!fs)
            return;
        std::vector<uint8_t> bytes;
        unmount_shared({}, &bytes);
        tb::tree_ptr saved(mt::parse_saved(bytes));
        ASSERT_TRUE(saved);
        for (const auto &c : change_cases) {
            nbt_node *n = nbt_find_by_name(saved.get(), c.name);
            ASSERT_TRUE(n) << c.name;
            EXPECT_EQ(tree_text(n), c.saved) << c.name;
        }
    }
};

TEST_P(ChangeMount, ShellTools)
{
    const auto &c = GetParam();
    std::string dir = fs->at(c.name);
    proc::result r = mt::tool({"bash", "-c", mt::substitute(c.command, dir)});
    EXPECT_EQ(r.status, c.status) << r.err;
    if (*c.error) {
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    } else if (c.status == 0) {
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(mt::tool({"ls", "-aU", dir}).out, c.listing);
}

INSTANTIATE_TEST_SUITE_P(Tree, ChangeMount, testing::ValuesIn(change_cases),
                         [](const auto &info) { return std::string(info.param.name); });

// Removing an item renumbers the items after it; each then reads whole under
// its new name, however recently its old name was looked at.
TEST(RenumberedMount, ItemsReadWholeUnderTheirNewNames)
{
    BURL_REQUIRE_MOUNTS();
    tb::tree_ptr tree(tb::compound("", {tb::list("l", TAG_STRING, {tb::str(nullptr, "a"), tb::str(nullptr, "bb"),
                                                                    tb::str(nullptr, "cccc")})}));
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {}));
    std::string all = "cat @/l/0 @/l/1 @/l/2";
    EXPECT_EQ(mt::tool({"bash", "-c", mt::substitute(all, fs.root())}).out, "a\nbb\ncccc\n");
    EXPECT_EQ(mt::tool({"rm", fs.at("l/0")}).status, 0);
    EXPECT_EQ(mt::tool({"bash", "-c", mt::substitute("cat @/l/0 @/l/1", fs.root())}).out, "bb\ncccc\n");
    EXPECT_EQ(mt::tool({"mv", fs.at("l/0"), fs.at("l/2")}).status, 0);
    EXPECT_EQ(mt::tool({"bash", "-c", mt::substitute("cat @/l/0 @/l/1", fs.root())}).out, "cccc\nbb\n");
    fs.finish();
}

} // namespace
