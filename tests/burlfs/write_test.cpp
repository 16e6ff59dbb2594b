// Writing and truncating values in-process: the number parsing rules,
// strings and byte arrays at offsets, ".type" files, array elements, every
// error number, and the change marks.
#include <gtest/gtest.h>

#include "chunk_spec.h"
#include "in_process.h"
#include "temp_dir.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

nbt_node *value_tree()
{
    return tb::compound("", {
        tb::i8("b", 0), tb::i16("s", 0), tb::i32("i", 0), tb::i64("l", 0), tb::f32("f", 0), tb::f64("d", 0),
        tb::str("str", "hello"),
        tb::bytes("ba", {1, 2, 3}),
        tb::ints("ia", {1, 2, 3}),
        tb::longs("la", {1, 2}),
        tb::list("lt", TAG_END),
        tb::list("li", TAG_INT, {tb::i32(nullptr, 5)}),
        tb::compound("c"),
    });
}

int write(const std::string &path, const std::string &data, off_t offset = 0)
{
    ip::handle h(path, O_WRONLY);
    if (h.result)
        return h.result;
    return ip::ops().write(path.c_str(), data.data(), data.size(), offset, &h.fi);
}

struct write_case {
    const char *name;
    const char *path;
    std::string data;
    off_t offset;
    int result;
    std::string content; // read back from path afterwards
};

void PrintTo(const write_case &c, std::ostream *os) { *os << c.name; }

const write_case write_cases[] = {
    {"decimal_with_newline", "/i", "42\n", 0, 3, "42\n"},
    {"hexadecimal", "/i", "0x1F", 0, 4, "31\n"},
    {"hexadecimal_upper", "/i", "0X1f\n", 0, 5, "31\n"},
    {"octal", "/i", "010", 0, 3, "8\n"},
    {"not_octal", "/i", "08", 0, -EINVAL, "0\n"},
    {"leading_space", "/i", " 7", 0, 2, "7\n"},
    {"sign_plus", "/i", "+5\n", 0, 3, "5\n"},
    {"negative_hexadecimal", "/i", "-0x10", 0, 5, "-16\n"},
    {"short_write_after_space", "/i", "7 8", 0, 2, "7\n"},
    {"short_write_after_tab", "/i", "7\t\t", 0, 2, "7\n"},
    {"trailing_carriage_return", "/i", "9\r", 0, 2, "9\n"},
    {"only_newline", "/i", "\n", 0, -EINVAL, "0\n"},
    {"letters", "/i", "abc", 0, -EINVAL, "0\n"},
    {"trailing_letter", "/i", "5x", 0, -EINVAL, "0\n"},
    {"trailing_high_byte", "/i", "5\x80", 0, -EINVAL, "0\n"},
    {"nul_ends_the_text", "/i", std::string("5\0junk", 6), 0, 6, "5\n"},
    {"offset_not_zero", "/i", "1", 3, -EINVAL, "0\n"},
    {"int32_cut", "/i", "4294967297", 0, 10, "1\n"},
    {"int32_beyond_64_bits", "/i", "99999999999999999999", 0, 20, "-1\n"},
    {"int8_cut", "/b", "300", 0, 3, "44\n"},
    {"int8_wraps", "/b", "128", 0, 3, "-128\n"},
    {"int8_wraps_below", "/b", "-129", 0, 4, "127\n"},
    {"int16_cut", "/s", "70000", 0, 5, "4464\n"},
    {"int64_min", "/l", "-9223372036854775808", 0, 20, "-9223372036854775808\n"},
    {"int64_held_at_limit", "/l", "9223372036854775808", 0, 19, "9223372036854775807\n"},
    {"float", "/f", "1.5", 0, 3, "1.500000\n"},
    {"float_exponent", "/f", "1e3\n", 0, 4, "1000.000000\n"},
    {"float_hexadecimal", "/f", "0x1p2", 0, 5, "4.000000\n"},
    {"float_nan", "/f", "nan", 0, 3, "nan\n"},
    {"float_two_points", "/f", "1.5.5", 0, -EINVAL, "0.000000\n"},
    {"double", "/d", "-0.25\n", 0, 6, "-0.250000\n"},
    {"double_offset", "/d", "1", 1, -EINVAL, "0.000000\n"},
    {"string_replaced", "/str", "J", 0, 1, "J\n"},
    {"string_newline_dropped", "/str", "bye\n", 0, 4, "bye\n"},
    {"string_one_newline_dropped", "/str", "two\n\n", 0, 5, "two\n\n"},
    {"string_appended", "/str", "abc\n", 5, 4, "helloabc\n"},
    {"string_overwritten_inside", "/str", "EL", 1, 2, "hEL\n"},
    {"string_beyond_its_end", "/str", "xyz", 10, 3, "hello\n"},
    {"string_with_nul", "/str", std::string("ab\0c", 4), 0, 4, "ab\n"},
    {"bytes_inside", "/ba", "\x07", 1, 1, "\x01\x07\x03"},
    {"bytes_beyond_end", "/ba", "\x09\x09", 5, 2, std::string("\x01\x02\x03\x00\x00\x09\x09", 7)},
    {"type_set", "/lt/.type", "int32\n", 0, 6, "int32\n"},
    {"type_alias", "/lt/.type", "single", 0, 6, "float32\n"},
    {"type_alias_bytearray", "/lt/.type", "bytearray\n", 0, 10, "int8array\n"},
    {"type_offset", "/lt/.type", "int32", 1, -EINVAL, "invalid\n"},
    {"type_unknown", "/lt/.type", "int", 0, -EINVAL, "invalid\n"},
    {"type_case", "/lt/.type", "Int32", 0, -EINVAL, "invalid\n"},
    {"type_two_newlines", "/lt/.type", "int32\n\n", 0, -EINVAL, "invalid\n"},
    {"type_of_list_with_items", "/li/.type", "int64", 0, -ENOTEMPTY, "int32\n"},
    {"element", "/ia/1", "0x10", 0, 4, "16\n"},
    {"element_cut", "/ia/0", "4294967295\n", 0, 11, "-1\n"},
    {"long_element", "/la/0", "-5\n", 0, 3, "-5\n"},
    {"element_offset", "/ia/1", "5", 1, -EINVAL, "2\n"},
    {"element_letters", "/la/1", "x", 0, -EINVAL, "2\n"},
};

class Write : public testing::TestWithParam<write_case> {};

TEST_P(Write, ParsesAndStores)
{
    const auto &c = GetParam();
    ip::installed_tree t(value_tree());
    EXPECT_EQ(write(c.path, c.data, c.offset), c.result);
    ip::read_result r = ip::read_whole(c.path);
    EXPECT_EQ(tb::to_hex(r.bytes.data(), r.bytes.size()), tb::to_hex(c.content.data(), c.content.size()));
    // Only a change that succeeded is marked.
    EXPECT_EQ(tree_modified, c.result >= 0);
}

INSTANTIATE_TEST_SUITE_P(Values, Write, testing::ValuesIn(write_cases),
                         [](const auto &info) { return std::string(info.param.name); });

struct refused_case {
    const char *path;
    int result;
};

void PrintTo(const refused_case &c, std::ostream *os) { *os << c.path; }

const refused_case refused_writes[] = {
    {"/ia", -EPERM}, {"/la", -EPERM}, {"/c", -EISDIR}, {"/li", -EISDIR}, {"/", -EISDIR},
};

class RefusedWrite : public testing::TestWithParam<refused_case> {};

TEST_P(RefusedWrite, ChangesNothing)
{
    const auto &c = GetParam();
    ip::installed_tree t(value_tree());
    std::string before = tree_text(root_node.node);
    EXPECT_EQ(write(c.path, "1\n"), c.result);
    EXPECT_EQ(tree_text(root_node.node), before);
    EXPECT_EQ(tree_modified, 0);
}

INSTANTIATE_TEST_SUITE_P(Nodes, RefusedWrite, testing::ValuesIn(refused_writes));

TEST(Write, SizeZeroWritesNothing)
{
    ip::installed_tree t(value_tree());
    EXPECT_EQ(write("/i", ""), 0);
    EXPECT_EQ(tree_modified, 0);
}

struct truncate_case {
    const char *name;
    const char *path;
    off_t size;
    int result;
    const char *tree; // the tree_text of the node at path's first component afterwards
    bool marked;
};

void PrintTo(const truncate_case &c, std::ostream *os) { *os << c.name; }

const truncate_case truncate_cases[] = {
    {"int_to_zero", "/i", 0, 0, "0", true},
    {"int_to_width", "/i", 4, 0, "7", false},
    {"int_to_text_length", "/i", 2, -EINVAL, "7", false},
    {"int8_width", "/b", 1, 0, "7", false},
    {"int16_width", "/s", 2, 0, "7", false},
    {"int64_width", "/l", 8, 0, "7", false},
    {"int64_zero", "/l", 0, 0, "0", true},
    {"float_width", "/f", 4, 0, "7", false},
    {"double_width", "/d", 8, 0, "7", false},
    {"double_not_width", "/d", 4, -EINVAL, "7", false},
    {"double_zero", "/d", 0, 0, "0", true},
    {"string_shorter", "/str", 2, 0, "'he'", true},
    {"string_longer", "/str", 10, 0, "'hello'", true},
    {"string_empty", "/str", 0, 0, "''", true},
    {"bytes_longer", "/ba", 5, 0, "#0102030000", true},
    {"bytes_shorter", "/ba", 1, 0, "#01", true},
    {"bytes_empty", "/ba", 0, 0, "#", true},
    {"int_array_shorter", "/ia", 8, 0, "<1,2>", true},
    {"int_array_longer", "/ia", 16, 0, "<1,2,3,0>", true},
    {"int_array_not_whole", "/ia", 6, -EINVAL, "<1,2,3>", false},
    {"int_array_empty", "/ia", 0, 0, "<>", true},
    {"long_array_shorter", "/la", 8, 0, "L<1>", true},
    {"long_array_int_multiple", "/la", 12, -EINVAL, "L<1,2>", false},
    {"element_to_zero", "/ia/1", 0, 0, "<1,0,3>", true},
    {"element_to_width", "/ia/1", 4, 0, "<1,2,3>", false},
    {"element_not_width", "/ia/1", 8, -EINVAL, "<1,2,3>", false},
    {"long_element_to_width", "/la/0", 8, 0, "L<1,2>", false},
    {"long_element_to_zero", "/la/0", 0, 0, "L<0,2>", true},
    {"type_of_empty_list", "/lt/.type", 0, 0, "list:invalid[]", false},
    {"type_of_list_with_items", "/li/.type", 0, -ENOTEMPTY, "list:int32[5]", false},
    {"list", "/li", 0, -EISDIR, "list:int32[5]", false},
    {"compound", "/c", 0, -EISDIR, "{}", false},
};

class Truncate : public testing::TestWithParam<truncate_case> {};

nbt_node *sevens_tree()
{
    nbt_node *t = value_tree();
    // Scalars hold 7 so that "unchanged" and "zeroed" differ.
    for (const char *n : {"b", "s", "i", "l", "f", "d"}) {
        nbt_node *v = nbt_find_by_name(t, n);
        switch (v->type) {
        case TAG_BYTE: v->payload.tag_byte = 7; break;
        case TAG_SHORT: v->payload.tag_short = 7; break;
        case TAG_INT: v->payload.tag_int = 7; break;
        case TAG_LONG: v->payload.tag_long = 7; break;
        case TAG_FLOAT: v->payload.tag_float = 7; break;
        default: v->payload.tag_double = 7; break;
        }
    }
    return t;
}

TEST_P(Truncate, BySize)
{
    const auto &c = GetParam();
    ip::installed_tree t(sevens_tree());
    EXPECT_EQ(ip::ops().truncate(c.path, c.size), c.result);
    std::string first(c.path + 1, strcspn(c.path + 1, "/"));
    EXPECT_EQ(tree_text(nbt_find_by_name(root_node.node, first.c_str())), c.tree);
    EXPECT_EQ(tree_modified, c.marked);
}

// The same through an open handle, as ftruncate(2) and open with O_TRUNC do.
TEST_P(Truncate, ThroughHandle)
{
    const auto &c = GetParam();
    ip::installed_tree t(sevens_tree());
    ip::handle h(c.path, O_RDWR);
    ASSERT_EQ(h.result, 0);
    EXPECT_EQ(ip::ops().ftruncate(c.path, c.size, &h.fi), c.result);
    std::string first(c.path + 1, strcspn(c.path + 1, "/"));
    EXPECT_EQ(tree_text(nbt_find_by_name(root_node.node, first.c_str())), c.tree);
}

INSTANTIATE_TEST_SUITE_P(Values, Truncate, testing::ValuesIn(truncate_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Truncate, OpenWithTruncation)
{
    ip::installed_tree t(sevens_tree());
    {
        ip::handle h("/str", O_WRONLY | O_TRUNC);
        ASSERT_EQ(h.result, 0);
    }
    EXPECT_EQ(ip::read_whole("/str").bytes, "\n");
    // A truncation that fails makes the open fail.
    ip::handle h("/li/.type", O_WRONLY | O_TRUNC);
    EXPECT_EQ(h.result, -ENOTEMPTY);
    EXPECT_EQ(ip::ops().truncate("/none", 0), -ENOENT);
}

TEST(ReadOnly, EveryChangeIsRefused)
{
    mount_settings s;
    s.read_only = 1;
    ip::installed_tree t(value_tree(), s);
    const auto &ops = ip::ops();
    std::string before = tree_text(root_node.node);
    fuse_file_info fi{};
    ASSERT_EQ(ops.open("/i", &fi), 0); // a read-only handle
    EXPECT_EQ(ops.write("/i", "1", 1, 0, &fi), -EROFS);
    EXPECT_EQ(ops.write("/i", "", 0, 0, &fi), -EROFS);
    EXPECT_EQ(ops.ftruncate("/i", 0, &fi), -EROFS);
    ops.release("/i", &fi);
    EXPECT_EQ(ops.truncate("/i", 0), -EROFS);
    EXPECT_EQ(ops.truncate("/none", 0), -EROFS);
    EXPECT_EQ(ops.mkdir("/compound:x", 0755), -EROFS);
    EXPECT_EQ(ops.create("/int32:x", 0644, &fi), -EROFS);
    EXPECT_EQ(ops.unlink("/i"), -EROFS);
    EXPECT_EQ(ops.rmdir("/c"), -EROFS);
    EXPECT_EQ(ops.rename("/i", "/j"), -EROFS);
    EXPECT_EQ(tree_text(root_node.node), before);
}

TEST(Times, AcceptedWithoutEffect)
{
    ip::installed_tree t(value_tree());
    std::string before = tree_text(root_node.node);
    struct timespec times[2] = {{1000, 0}, {2000, 0}};
    for (const char *p : {"/i", "/str", "/ia", "/ia/2", "/li/0", "/lt/.type", "/c", "/"})
        EXPECT_EQ(ip::ops().utimens(p, times), 0) << p;
    EXPECT_EQ(ip::ops().utimens("/none", times), -ENOENT);
    EXPECT_EQ(ip::ops().utimens("/ia/3", times), -ENOENT);
    EXPECT_EQ(tree_text(root_node.node), before);
    EXPECT_EQ(tree_modified, 0);
    struct stat st;
    ASSERT_EQ(ip::getattr("/i", st), 0);
    EXPECT_EQ(st.st_mtime, 0);
}

TEST(ChangeMarks, RegionChunkGetsTheChangeAndTheTime)
{
    tmp::dir dir;
    tb::tree_ptr chunk(tb::compound("", {tb::i32("v", 1)}));
    rb::write_file(dir / "r.mca", rb::build({chunk_spec(3, 2, 1, rb::compressed(chunk.get()), 2, 77),
                                             chunk_spec(5, 3, 1, rb::compressed(chunk.get()), 2, 88)}));
    ip::installed_region r(dir / "r.mca");
    ASSERT_TRUE(r.ok()) << r.messages();
    time_t before = time(nullptr);
    EXPECT_EQ(write("/5/v", "9\n"), 2);
    EXPECT_EQ(region_chunks[5].modified, 1);
    EXPECT_GE(region_chunks[5].timestamp, before);
    EXPECT_LE(region_chunks[5].timestamp, time(nullptr));
    EXPECT_EQ(region_chunks[3].modified, 0);
    EXPECT_EQ(region_chunks[3].timestamp, 77);
    EXPECT_EQ(tree_modified, 0);
    // A failed change leaves the marks alone.
    EXPECT_EQ(write("/3/v", "x"), -EINVAL);
    EXPECT_EQ(region_chunks[3].modified, 0);
    struct stat st;
    ASSERT_EQ(ip::getattr("/5", st), 0);
    EXPECT_GE(st.st_mtime, before);
    // The region root and the chunk links take no writes.
    EXPECT_EQ(write("/", "1"), -EISDIR);
    EXPECT_EQ(ip::ops().truncate("/", 0), -EISDIR);
    EXPECT_EQ(ip::ops().truncate("/5,0", 0), -EIO);
}

} // namespace
