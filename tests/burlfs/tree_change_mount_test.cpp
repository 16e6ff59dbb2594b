// mkdir, create, rm, rmdir and mv on a read-write mount; after unmount the
// file holds the changed tree.
#include <functional>

#include "shell_cases.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {


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

const char *listing = "ls -aU @";

const mt::shell_case change_cases[] = {
    {"mkdir_compound", empty, "mkdir @/compound:sub", 0, "", listing, "sub\n", "{sub={}}"},
    // An untyped list cannot be saved, so the case gives it a type.
    {"mkdir_list", empty, "mkdir @/list:l && grep -qx invalid @/l/.type && echo string > @/l/.type", 0, "", listing, "l\n", "{l=list:string[]}"},
    {"create_value", empty, ": > @/int32:n && cat @/n", 0, "", listing, "n\n", "{n=0}"},
    {"create_and_write", empty, "echo hi > @/string:s", 0, "", listing, "s\n", "{s='hi'}"},
    {"touch_creates_value", empty, "touch @/int32:n && cat @/n", 0, "", listing, "n\n", "{n=0}"},
    {"touch_creates_list_item", with_list, "touch @/l/3", 0, "", listing, "n\nl\n", "{n=5,l=list:int32[1,2,3,0]}"},
    {"touch_creates_element", with_array, "touch @/a/5", 0, "", listing, "a\n", "{a=<1,2,0,0,0,0>}"},
    {"touch_existing_value", with_values, "touch @/x @/z", 0, "", listing, "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"touch_without_prefix", empty, "touch @/n", 1, "Invalid argument", listing, "", "{}"},
    {"create_without_prefix", empty, ": > @/n", 1, "Invalid argument", listing, "", "{}"},
    {"create_name_taken", with_values, ": > @/string:x", 1, "File exists", listing, "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"fill_untyped_list", empty,
     "mkdir @/list:l && (: > @/l/0 || echo refused) && echo int32 > @/l/.type && : > @/l/0 && echo 7 > @/l/1", 0,
     "Operation not permitted", listing, "l\n", "{l=list:int32[0,7]}"},
    {"list_append", with_list, ": > @/l/3 && echo 4 > @/l/3", 0, "", listing, "n\nl\n", "{n=5,l=list:int32[1,2,3,4]}"},
    {"list_gap", with_list, ": > @/l/5", 1, "Operation not permitted", listing, "n\nl\n", "{n=5,l=list:int32[1,2,3]}"},
    {"list_remove_renumbers", with_list, "rm @/l/0 && ls -aU @/l && cat @/l/0", 0, "", listing, "n\nl\n", "{n=5,l=list:int32[2,3]}"},
    {"list_type_file_stays", with_list, "rm @/l/.type", 1, "Operation not permitted", listing, "n\nl\n", "{n=5,l=list:int32[1,2,3]}"},
    {"array_grows", with_array, ": > @/a/4 && ls -U @/a", 0, "", listing, "a\n", "{a=<1,2,0,0,0>}"},
    {"array_element_not_last", with_array, "rm @/a/0", 1, "Device or resource busy", listing, "a\n", "{a=<1,2>}"},
    {"array_last_element", with_array, "rm @/a/1", 0, "", listing, "a\n", "{a=<1>}"},
    {"array_is_no_directory_to_remove", with_array, "rmdir @/a", 1, "Not a directory", listing, "a\n", "{a=<1,2>}"},
    {"rmdir_empty", with_dirs, "rmdir @/e @/t", 0, "", listing, "c\n", "{c={x=1}}"},
    {"rmdir_not_empty", with_dirs, "rmdir @/c", 1, "Directory not empty", listing, "e\nc\nt\n", "{e={},c={x=1},t=list:int32[]}"},
    {"rm_recursive", with_dirs, "rm -r @/c", 0, "", listing, "e\nt\n", "{e={},t=list:int32[]}"},
    {"rm_value", with_values, "rm @/x", 0, "", listing, "w\nz\n", "{w=1,z='s'}"},
    {"mv_moves_to_end", with_values, "mv @/x @/y", 0, "", listing, "w\nz\ny\n", "{w=1,z='s',y=2}"},
    {"mv_with_same_type_prefix", with_values, "mv @/z @/string:t", 0, "", listing, "w\nx\nt\n", "{w=1,x=2,t='s'}"},
    {"mv_with_other_type_prefix", with_values, "mv @/z @/int32:t", 1, "", listing, "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"mv_replaces_value", with_values, "mv @/w @/x", 0, "", listing, "z\nx\n", "{z='s',x=1}"},
    {"mv_into_list", with_list, "mv @/n @/l/3", 0, "", listing, "l\n", "{l=list:int32[1,2,3,5]}"},
    {"mv_replaces_list_item", with_list, "mv @/n @/l/1", 0, "", listing, "l\n", "{l=list:int32[1,5,3]}"},
    {"mv_list_item_out", with_list, "mv @/l/0 @/first", 0, "", listing, "n\nl\nfirst\n", "{n=5,l=list:int32[2,3],first=1}"},
    {"mv_within_list", with_strings, "mv @/ls/0 @/ls/2", 0, "", listing, "ls\n", "{ls=list:string['b','a','d']}"},
    {"mv_to_list_end", with_strings, "mv @/ls/1 @/ls/4", 0, "", listing, "ls\n", "{ls=list:string['a','c','d','b']}"},
    {"mv_into_list_of_other_type", with_strings, "mkdir @/int32:n; mv @/n @/ls/0", 1, "", listing, "ls\nn\n", "{ls=list:string['a','b','c','d'],n=0}"},
    {"mv_compound_into_compound", with_dirs, "mv @/c @/e/", 0, "", listing, "e\nt\n", "{e={c={x=1}},t=list:int32[]}"},
    {"mv_compound_onto_empty", with_dirs, "mv -T @/c @/e", 0, "", listing, "t\ne\n", "{t=list:int32[],e={x=1}}"},
    {"mv_onto_non_empty", with_dirs, "mv -T @/e @/c", 1, "Directory not empty", listing, "e\nc\nt\n", "{e={},c={x=1},t=list:int32[]}"},
    {"mv_onto_itself_by_prefix", with_values, "mv @/x @/int32:x", 0, "", listing, "w\nx\nz\n", "{w=1,x=2,z='s'}"},
    {"mv_into_own_subtree", with_dirs, "mv @/c @/compound:c/q", 1, "", listing, "e\nc\nt\n", "{e={},c={x=1},t=list:int32[]}"},
};

class ChangeMount : public mt::ShellCases<change_cases> {};

TEST_P(ChangeMount, ShellTools) { mt::run_case(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Tree, ChangeMount, testing::ValuesIn(change_cases),
                         [](const auto &info) { return std::string(info.param.name); });

// touch of existing entries changes nothing: not the content, not the
// attributes, and not the file, which an unchanged mount leaves untouched.
TEST(TouchMount, ExistingEntriesStayAsTheyWere)
{
    BURL_REQUIRE_MOUNTS();
    tb::tree_ptr tree(tb::compound("", {tb::i32("n", 42), tb::str("s", "text"), tb::ints("a", {1, 2}),
                                        tb::list("l", TAG_INT, {tb::i32(nullptr, 3)}), tb::compound("c")}));
    auto bytes = mt::nbt_file(tree.get());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(bytes, {}));
    const std::string look = "stat -c '%n %a %s %Y' @/n @/s @/a @/a/1 @/l/0 @/l/.type @/c && cat @/n @/s @/a/1";
    std::string before = mt::tool({"bash", "-c", mt::substitute(look, fs.root())}).out;
    proc::result r = mt::tool({"bash", "-c", mt::substitute("touch @/n @/s @/a @/a/1 @/l/0 @/l/.type @/c @", fs.root())});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mt::tool({"bash", "-c", mt::substitute(look, fs.root())}).out, before);
    EXPECT_NE(before.find(" 0\n"), std::string::npos) << before; // times stay the Epoch
    // A time given explicitly is accepted just the same.
    EXPECT_EQ(mt::tool({"touch", "-d", "2001-02-03 04:05:06", fs.at("n")}).status, 0);
    EXPECT_EQ(mt::tool({"stat", "-c", "%Y", fs.at("n")}).out, "0\n");
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), bytes);
}

TEST(TouchMount, ReadOnlyMountRefuses)
{
    BURL_REQUIRE_MOUNTS();
    tb::tree_ptr tree(tb::compound("", {tb::i32("n", 42)}));
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-r"}));
    for (const char *p : {"n", "int32:m"}) {
        proc::result r = mt::tool({"touch", fs.at(p)});
        EXPECT_EQ(r.status, 1) << p;
        EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << r.err;
    }
    fs.finish();
}

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
