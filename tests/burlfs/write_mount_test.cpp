// Writing and truncating values on a read-write mount with the shell tools a
// user would use; after unmount the file holds every change.
#include <functional>

#include "shell_cases.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

using maker = std::function<nbt_node *(const char *name)>;

maker i8(int8_t v) { return [v](const char *n) { return tb::i8(n, v); }; }
maker i16(int16_t v) { return [v](const char *n) { return tb::i16(n, v); }; }
maker i32(int32_t v) { return [v](const char *n) { return tb::i32(n, v); }; }
maker i64(int64_t v) { return [v](const char *n) { return tb::i64(n, v); }; }
maker f32(float v) { return [v](const char *n) { return tb::f32(n, v); }; }
maker f64(double v) { return [v](const char *n) { return tb::f64(n, v); }; }
maker str(std::string v) { return [v](const char *n) { return tb::str(n, v); }; }
maker bytes(std::vector<uint8_t> v) { return [v](const char *n) { return tb::bytes(n, v); }; }
maker ints(std::vector<int32_t> v) { return [v](const char *n) { return tb::ints(n, v); }; }
maker longs(std::vector<int64_t> v) { return [v](const char *n) { return tb::longs(n, v); }; }
// A file cannot hold an untyped list: an empty list read from a file has
// the type its file gave.
maker empty_list() { return [](const char *n) { return tb::list(n, TAG_COMPOUND); }; }
maker int_list() { return [](const char *n) { return tb::list(n, TAG_INT, {tb::i32(nullptr, 1)}); }; }

const char *cat = "cat @";
const char *type_file = "cat @/.type";
const char *od = "od -An -tx1 @";
const char *invalid = "Invalid argument";

const mt::shell_case write_cases[] = {
    {"echo_decimal", i32(1), "echo 42 > @", 0, "", cat, "42\n", "42"},
    {"printf_hexadecimal", i32(1), "printf 0x1F > @", 0, "", cat, "31\n", "31"},
    {"printf_octal", i32(1), "printf 010 > @", 0, "", cat, "8\n", "8"},
    // The shell truncates the file (to 0) before the write is refused.
    {"printf_not_octal", i32(1), "printf 08 > @", 1, invalid, cat, "0\n", "0"},
    {"leading_space", i32(1), "printf ' 7' > @", 0, "", cat, "7\n", "7"},
    {"short_write_then_refused", i32(1), "printf '7 8' > @", 1, invalid, cat, "7\n", "7"},
    {"letters", i32(1), "echo abc > @", 1, invalid, cat, "0\n", "0"},
    {"append_refused", i32(3), "echo 1 >> @", 1, invalid, cat, "3\n", "3"},
    {"dd_at_offset_refused", i32(3), "printf 5 | dd of=@ bs=1 seek=1 conv=notrunc status=none", 1, invalid, cat, "3\n", "3"},
    {"int8_cut", i8(0), "echo 300 > @", 0, "", cat, "44\n", "44"},
    {"int8_wraps", i8(0), "echo 128 > @", 0, "", cat, "-128\n", "-128"},
    {"int16_cut", i16(0), "echo 70000 > @", 0, "", cat, "4464\n", "4464"},
    {"int64_min", i64(0), "echo -9223372036854775808 > @", 0, "", cat, "-9223372036854775808\n", "-9223372036854775808"},
    {"int64_held_at_limit", i64(0), "echo 99999999999999999999 > @", 0, "", cat, "9223372036854775807\n", "9223372036854775807"},
    {"float", f32(0), "echo 2.5 > @", 0, "", cat, "2.500000\n", "2.5"},
    {"double_exponent", f64(0), "echo -1e-3 > @", 0, "", cat, "-0.001000\n", "-0.001"},
    {"number_truncated_to_width", i32(7), "truncate -s 4 @", 0, "", cat, "7\n", "7"},
    {"number_truncated_to_zero", f64(7), "truncate -s 0 @", 0, "", cat, "0.000000\n", "0"},
    {"number_truncated_to_other_size", i32(7), "truncate -s 3 @", 1, invalid, cat, "7\n", "7"},
    {"string_echo", str("hello"), "echo 'new text' > @", 0, "", cat, "new text\n", "'new text'"},
    {"string_printf_without_newline", str("hello"), "printf abc > @", 0, "", cat, "abc\n", "'abc'"},
    {"string_dd_inside", str("hello"), "printf XY | dd of=@ bs=1 seek=1 conv=notrunc status=none", 0, "", cat, "hXY\n", "'hXY'"},
    // The reported size counts the newline, so an append starts past the end.
    {"string_append_leaves_it", str("hello"), "echo world >> @", 0, "", cat, "hello\n", "'hello'"},
    {"string_truncated", str("hello"), "truncate -s 2 @", 0, "", cat, "he\n", "'he'"},
    {"string_truncated_longer", str("hello"), "truncate -s 10 @", 0, "", cat, "hello\n", "'hello'"},
    {"bytes_dd_beyond_end", bytes({1, 2, 3}), "printf AB | dd of=@ bs=1 seek=5 conv=notrunc status=none", 0, "", od,
     " 01 02 03 00 00 41 42\n", "#01020300004142"},
    {"bytes_replaced", bytes({1, 2, 3}), "printf 'xy' > @", 0, "", od, " 78 79\n", "#7879"},
    {"bytes_truncated", bytes({1, 2, 3}), "truncate -s 1 @", 0, "", od, " 01\n", "#01"},
    {"bytes_truncated_longer", bytes({1}), "truncate -s 3 @", 0, "", od, " 01 00 00\n", "#010000"},
    {"type_set", empty_list(), "echo int32 > @/.type", 0, "", type_file, "int32\n", "list:int32[]"},
    {"type_alias", empty_list(), "printf double > @/.type", 0, "", type_file, "float64\n", "list:float64[]"},
    {"type_unknown", empty_list(), "echo int > @/.type", 1, invalid, type_file, "compound\n", "list:compound[]"},
    {"type_of_list_with_items", int_list(), "echo int64 > @/.type", 1, "Directory not empty", type_file, "int32\n", "list:int32[1]"},
    {"type_truncated_with_items", int_list(), "truncate -s 0 @/.type", 1, "Directory not empty", type_file, "int32\n", "list:int32[1]"},
    {"element", ints({1, 2, 3}), "echo 0x10 > @/1", 0, "", "cat @/1", "16\n", "<1,16,3>"},
    {"element_truncated", ints({1, 2, 3}), "truncate -s 0 @/2", 0, "", "cat @/2", "0\n", "<1,2,0>"},
    {"element_truncated_to_width", longs({1, 2}), "truncate -s 8 @/0", 0, "", "cat @/0", "1\n", "L<1,2>"},
    {"element_truncated_to_other_size", ints({1, 2}), "truncate -s 8 @/0", 1, invalid, "cat @/0", "1\n", "<1,2>"},
    {"long_element_cut", longs({1, 2}), "echo -0x8000000000000000 > @/1", 0, "", "cat @/1", "-9223372036854775808\n",
     "L<1,-9223372036854775808>"},
    {"whole_array_is_a_directory", ints({1}), "echo 1 > @", 1, "Is a directory", "ls @", "0\n", "<1>"},
};

class WriteMount : public mt::ShellCases<write_cases> {};

TEST_P(WriteMount, ShellTools) { mt::run_case(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Values, WriteMount, testing::ValuesIn(write_cases),
                         [](const auto &info) { return std::string(info.param.name); });

// A read-only mount refuses every change with EROFS, and leaves the file
// untouched.
TEST(ReadOnlyMount, RefusesEveryChange)
{
    BURL_REQUIRE_MOUNTS();
    tb::tree_ptr tree(tb::compound("", {tb::i32("n", 1), tb::str("s", "x"), tb::list("l", TAG_COMPOUND),
                                        tb::ints("a", {1}), tb::compound("c")}));
    mt::mounted fs;
    auto bytes = mt::nbt_file(tree.get());
    ASSERT_TRUE(fs.start(bytes, {"-r"}));
    for (const char *command : {"echo 2 > @/n", "truncate -s 0 @/s", "echo int32 > @/l/.type", "echo 5 > @/a/0",
                                ": > @/int32:m", "mkdir @/compound:d", "rm @/n", "rmdir @/c", "mv @/n @/m",
                                "printf x | dd of=@/s conv=notrunc status=none"}) {
        proc::result r = mt::tool({"sh", "-c", mt::substitute(command, fs.root())});
        EXPECT_NE(r.status, 0) << command;
        EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << command << ": " << r.err;
    }
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), bytes);
}

} // namespace
