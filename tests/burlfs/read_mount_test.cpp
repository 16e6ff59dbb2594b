// A read-only mount of an NBT file, looked at with the shell tools a user
// would use.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mount_test_support.h"
#include "tree_builder.h"

namespace {

nbt_node *sample_tree()
{
    return tb::compound("", {
        tb::i8("b", -5),
        tb::i16("s", 300),
        tb::i32("n", 42),
        tb::i64("l", -9000000000),
        tb::f32("f", 1.5f),
        tb::f64("d", -0.125),
        tb::str("str", "hello world"),
        tb::str("empty", ""),
        tb::bytes("ba", {'A', 'B', 'C', '\n'}),
        tb::ints("ia", {1, 2, 3}),
        tb::longs("la", {5, 6}),
        tb::list("lst", TAG_STRING, {tb::str(nullptr, "x"), tb::str(nullptr, "y")}),
        tb::list("nums", TAG_INT, {tb::i32(nullptr, 10), tb::i32(nullptr, 11), tb::i32(nullptr, 12)}),
        tb::compound("c", {tb::str("a:b", "colon"), tb::i32("z", 9)}),
        tb::list("lc", TAG_COMPOUND, {tb::compound(nullptr)}),
    });
}

void mount_sample(const std::vector<std::string> &args)
{
    tb::tree_ptr tree(sample_tree());
    mt::SharedMount::mount_shared(mt::nbt_file(tree.get()), args);
}

class ReadOnlyTools : public mt::SharedMountWith<mt::tool_case> {
protected:
    static void SetUpTestSuite() { mount_sample({"-r"}); }
};

const std::string ids = std::to_string(getuid()) + " " + std::to_string(getgid());

const mt::tool_case read_only_cases[] = {
    {"list_root_in_order", {"ls", "-U", "@"}, "b\ns\nn\nl\nf\nd\nstr\nempty\nba\nia\nla\nlst\nnums\nc\nlc\n"},
    {"list_list_with_type_file", {"ls", "-aU", "@/nums"}, ".type\n0\n1\n2\n"},
    {"list_array_descending", {"ls", "-U", "@/ia"}, "2\n1\n0\n"},
    {"list_name_with_colon_prefixed", {"ls", "-U", "@/c"}, "string:a:b\nz\n"},
    {"list_list_of_compounds", {"ls", "-aU", "@/lc"}, ".type\n0\n"},
    {"list_file_itself", {"ls", "@/n"}, "@/n\n"},
    {"cat_int8", {"cat", "@/b"}, "-5\n"},
    {"cat_int16", {"cat", "@/s"}, "300\n"},
    {"cat_int32", {"cat", "@/n"}, "42\n"},
    {"cat_int64", {"cat", "@/l"}, "-9000000000\n"},
    {"cat_float32", {"cat", "@/f"}, "1.500000\n"},
    {"cat_float64", {"cat", "@/d"}, "-0.125000\n"},
    {"cat_string", {"cat", "@/str"}, "hello world\n"},
    {"cat_empty_string", {"cat", "@/empty"}, "\n"},
    {"cat_byte_array", {"cat", "@/ba"}, "ABC\n"},
    {"cat_type_file", {"cat", "@/nums/.type"}, "int32\n"},
    {"cat_type_file_of_compounds", {"cat", "@/lc/.type"}, "compound\n"},
    {"cat_list_item", {"cat", "@/lst/1"}, "y\n"},
    {"cat_index_hexadecimal", {"cat", "@/nums/0x2"}, "12\n"},
    {"cat_index_octal", {"cat", "@/nums/02"}, "12\n"},
    {"cat_int_element", {"cat", "@/ia/1"}, "2\n"},
    {"cat_long_element", {"cat", "@/la/0"}, "5\n"},
    {"cat_prefixed_name", {"cat", "@/c/string:a:b"}, "colon\n"},
    {"cat_prefixed_plain_name", {"cat", "@/c/int32:z"}, "9\n"},
    {"cat_wrong_prefix", {"cat", "@/c/int8:z"}, "", 1},
    {"cat_colon_name_without_prefix", {"cat", "@/c/a:b"}, "", 1},
    {"cat_index_beyond", {"cat", "@/nums/3"}, "", 1},
    {"cat_array_directory", {"cat", "@/ia"}, "", 1},
    {"dd_string_window", {"dd", "if=@/str", "bs=1", "skip=6", "count=3", "status=none"}, "wor"},
    {"dd_string_tail_blocks", {"dd", "if=@/str", "bs=4", "skip=2", "status=none"}, "rld\n"},
    {"dd_number_tail", {"dd", "if=@/n", "bs=1", "skip=1", "status=none"}, "2\n"},
    {"dd_number_beyond", {"dd", "if=@/n", "bs=1", "skip=3", "status=none"}, ""},
    {"dd_byte_array_window", {"dd", "if=@/ba", "bs=1", "skip=1", "count=2", "status=none"}, "BC"},
    {"dd_type_file_window", {"dd", "if=@/lst/.type", "bs=1", "skip=2", "count=3", "status=none"}, "rin"},
    {"stat_value", {"stat", "-c", "%a %s %h %F", "@/n"}, "666 3 1 regular file\n"},
    {"stat_owner", {"stat", "-c", "%u %g", "@/c/z"}, ids + "\n"},
    {"stat_compound", {"stat", "-c", "%a %s %h %F", "@/c"}, "777 3 1 directory\n"},
    {"stat_list_size_counts_nodes", {"stat", "-c", "%s", "@/lc"}, "2\n"},
    {"stat_int_array", {"stat", "-c", "%a %s %F", "@/ia"}, "777 12 directory\n"},
    {"stat_long_array", {"stat", "-c", "%s", "@/la"}, "16\n"},
    {"stat_element", {"stat", "-c", "%a %s %F", "@/la/1"}, "666 2 regular file\n"},
    {"stat_type_file", {"stat", "-c", "%s", "@/nums/.type"}, "6\n"},
    {"stat_float", {"stat", "-c", "%s", "@/f"}, "9\n"},
    {"stat_times_are_the_epoch", {"stat", "-c", "%Y %X %Z", "@/n"}, "0 0 0\n"},
    {"readlink_of_a_value", {"readlink", "@/n"}, "", 1},
    {"below_a_value", {"ls", "@/n/x"}, "", 2},
};

TEST_P(ReadOnlyTools, Output) { mt::expect_tool(GetParam(), fs->root()); }

INSTANTIATE_TEST_SUITE_P(Mount, ReadOnlyTools, testing::ValuesIn(read_only_cases),
                         [](const auto &info) { return std::string(info.param.name); });

class ReadOnlyMount : public mt::SharedMount {
protected:
    static void SetUpTestSuite() { mount_sample({"-o", "ro"}); }
};

// Every file reads exactly as long as its reported size, so tools that trust
// the size read whole values.
TEST_F(ReadOnlyMount, SizesEqualWhatReadingGives)
{
    size_t files = 0;
    for (const auto &e : std::filesystem::recursive_directory_iterator(fs->root())) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content.size(), e.file_size()) << e.path();
        files++;
    }
    EXPECT_EQ(files, 24u);
}

TEST_F(ReadOnlyMount, RefusesEveryChange)
{
    for (const char *p : {"n", "nums/.type", "ia/0"})
        EXPECT_NE(mt::tool({"sh", "-c", "echo 1 > " + fs->at(p)}).status, 0) << p;
    EXPECT_EQ(mt::tool({"mkdir", fs->at("compound:x")}).status, 1);
    EXPECT_NE(mt::tool({"rm", fs->at("n")}).status, 0);
    proc::result r = mt::tool({"truncate", "-s", "0", fs->at("str")});
    EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << r.err;
}

class PrefixedMount : public mt::SharedMountWith<mt::tool_case> {
protected:
    static void SetUpTestSuite() { mount_sample({"-r", "-o", "umask=022,typeprefix"}); }
};

const mt::tool_case prefixed_cases[] = {
    {"list_with_type_prefixes", {"ls", "-U", "@"},
     "int8:b\nint16:s\nint32:n\nint64:l\nfloat32:f\nfloat64:d\nstring:str\nstring:empty\nint8array:ba\n"
     "int32array:ia\nint64array:la\nlist:lst\nlist:nums\ncompound:c\nlist:lc\n"},
    {"list_compound_with_prefixes", {"ls", "-U", "@/compound:c"}, "string:a:b\nint32:z\n"},
    {"plain_names_still_resolve", {"cat", "@/c/z"}, "9\n"},
    {"file_mode_with_umask", {"stat", "-c", "%a", "@/int32:n"}, "644\n"},
    {"directory_mode_with_umask", {"stat", "-c", "%a", "@/list:nums"}, "755\n"},
    {"element_mode_with_umask", {"stat", "-c", "%a", "@/ia/0"}, "644\n"},
};

TEST_P(PrefixedMount, Output) { mt::expect_tool(GetParam(), fs->root()); }

INSTANTIATE_TEST_SUITE_P(Mount, PrefixedMount, testing::ValuesIn(prefixed_cases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
