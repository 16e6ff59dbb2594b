// Reading values and their attributes, in-process: every value type, the
// text, line and raw windows, and the byte orders of whole arrays (which the
// kernel never lets a process read, since arrays are directories).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "in_process.h"
#include "tree_builder.h"

namespace {

std::string bytes_of(const std::string &hex)
{
    auto v = tb::hex(hex);
    return std::string(v.begin(), v.end());
}

nbt_node *value_tree()
{
    return tb::compound("", {
        tb::i8("b", -128),
        tb::i8("b5", -5),
        tb::i16("s", -1),
        tb::i32("i", 42),
        tb::i64("lmin", std::numeric_limits<int64_t>::min()),
        tb::f32("f", 1.5f),
        tb::f64("d", 0.25),
        tb::f64("big", 1e300),
        tb::f64("nan", std::numeric_limits<double>::quiet_NaN()),
        tb::f64("inf", std::numeric_limits<double>::infinity()),
        tb::f64("ninf", -std::numeric_limits<double>::infinity()),
        tb::str("abc", "abc"),
        tb::str("e", ""),
        tb::str("long", std::string(40000, 'x')),
        tb::bytes("ba", {1, 2, 3, 4, 5}),
        tb::ints("ia", {1, 2}),
        tb::longs("la", {7, 0x0102030405060708}),
        tb::list("lc", TAG_COMPOUND),
        tb::list("untyped", TAG_END),
        tb::list("odd", 13),
        tb::compound("c"),
    });
}

struct read_case {
    const char *name;
    const char *path;
    off_t offset;
    size_t size;
    int swap; // swap_array_bytes
    int result;
    std::string bytes;
};

void PrintTo(const read_case &c, std::ostream *os) { *os << c.name; }

const bool little_endian = [] {
    uint16_t probe = 1;
    return *reinterpret_cast<unsigned char *>(&probe) == 1;
}();

// The raw content of ia and la as held in memory, and byte-reversed.
const std::string ia_host = little_endian ? bytes_of("01000000 02000000") : bytes_of("00000001 00000002");
const std::string ia_swapped = little_endian ? bytes_of("00000001 00000002") : bytes_of("01000000 02000000");
const std::string la_host = little_endian ? bytes_of("0700000000000000 0807060504030201")
                                          : bytes_of("0000000000000007 0102030405060708");
const std::string la_swapped = little_endian ? bytes_of("0000000000000007 0102030405060708")
                                             : bytes_of("0700000000000000 0807060504030201");

const read_case read_cases[] = {
    {"int8_min", "/b", 0, 100, 0, 5, "-128\n"},
    {"int8_negative", "/b5", 0, 100, 0, 3, "-5\n"},
    {"int16", "/s", 0, 100, 0, 3, "-1\n"},
    {"int64_min", "/lmin", 0, 100, 0, 21, "-9223372036854775808\n"},
    {"float32", "/f", 0, 100, 0, 9, "1.500000\n"},
    {"float64", "/d", 0, 100, 0, 9, "0.250000\n"},
    {"nan", "/nan", 0, 100, 0, 4, "nan\n"},
    {"infinity", "/inf", 0, 100, 0, 4, "inf\n"},
    {"minus_infinity", "/ninf", 0, 100, 0, 5, "-inf\n"},
    {"text_window_tail", "/i", 1, 100, 0, 2, "2\n"},
    {"text_window_inside", "/i", 0, 1, 0, 1, "4"},
    {"text_window_at_end", "/i", 3, 100, 0, 0, ""},
    {"text_window_beyond", "/i", 50, 100, 0, 0, ""},
    {"line_window_head", "/abc", 0, 2, 0, 2, "ab"},
    {"line_window_whole", "/abc", 0, 4, 0, 4, "abc\n"},
    {"line_window_tail", "/abc", 2, 10, 0, 2, "c\n"},
    {"line_window_newline_only", "/abc", 3, 10, 0, 1, "\n"},
    {"line_window_beyond", "/abc", 4, 10, 0, 0, ""},
    {"empty_string", "/e", 0, 10, 0, 1, "\n"},
    {"string_offset_limit", "/long", 32767, 10, 0, 0, ""},
    {"string_below_offset_limit", "/long", 32766, 2, 0, 2, "xx"},
    {"list_type", "/lc/.type", 0, 100, 0, 9, "compound\n"},
    {"list_type_offset_limit", "/lc/.type", 127, 100, 0, 0, ""},
    {"list_type_window", "/lc/.type", 3, 2, 0, 2, "po"},
    {"list_type_unset", "/untyped/.type", 0, 100, 0, 8, "invalid\n"},
    {"list_type_unknown", "/odd/.type", 0, 100, 0, 8, "invalid\n"},
    {"byte_array_any_offset", "/ba", 1, 3, 1, 3, bytes_of("02 03 04")},
    {"byte_array_tail", "/ba", 3, 100, 0, 2, bytes_of("04 05")},
    {"byte_array_beyond", "/ba", 5, 1, 0, 0, ""},
    {"int_array_host", "/ia", 0, 100, 0, 8, ia_host},
    {"int_array_swapped", "/ia", 0, 100, 1, 8, ia_swapped},
    {"int_array_second_element_swapped", "/ia", 4, 4, 1, 4, ia_swapped.substr(4)},
    {"int_array_at_end", "/ia", 8, 4, 0, 0, ""},
    {"int_array_odd_offset", "/ia", 2, 4, 0, -EINVAL, ""},
    {"int_array_odd_size", "/ia", 0, 6, 0, -EINVAL, ""},
    {"int_array_odd_offset_beyond_end", "/ia", 9, 4, 0, -EINVAL, ""},
    {"long_array_host", "/la", 0, 16, 0, 16, la_host},
    {"long_array_swapped", "/la", 0, 64, 1, 16, la_swapped},
    {"long_array_second_element", "/la", 8, 8, 1, 8, la_swapped.substr(8)},
    {"long_array_int_aligned_offset", "/la", 4, 8, 0, -EINVAL, ""},
    {"long_array_int_aligned_size", "/la", 0, 4, 0, -EINVAL, ""},
    {"int_element_not_swapped", "/ia/1", 0, 100, 1, 2, "2\n"},
    {"long_element", "/la/0", 0, 100, 1, 2, "7\n"},
    {"long_element_window", "/la/1", 5, 3, 0, 3, "859"},
    {"compound", "/c", 0, 10, 0, -EISDIR, ""},
    {"list", "/lc", 0, 10, 0, -EISDIR, ""},
};

class Read : public testing::TestWithParam<read_case> {};

TEST_P(Read, Window)
{
    const auto &c = GetParam();
    mount_settings s;
    s.swap_array_bytes = c.swap;
    ip::installed_tree t(value_tree(), s);
    ip::read_result r = ip::read(c.path, c.offset, c.size);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(tb::to_hex(r.bytes.data(), r.bytes.size()), tb::to_hex(c.bytes.data(), c.bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Values, Read, testing::ValuesIn(read_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Read, PiecewiseReadsGiveTheWholeContent)
{
    // Reading one byte at a time gives the same content as one big read.
    ip::installed_tree t(value_tree());
    for (const char *p : {"/big", "/abc", "/ba", "/lc/.type", "/la/1"}) {
        auto whole = ip::read(p, 0, 1 << 16);
        auto pieces = ip::read_whole(p, 1);
        EXPECT_EQ(pieces.bytes, whole.bytes) << p;
    }
}

// The size that attributes report is the length of what reading gives, for
// every file and every whole array.
TEST(Attributes, SizeIsWhatReadingGives)
{
    mount_settings s;
    s.swap_array_bytes = 1;
    ip::installed_tree t(value_tree(), s);
    std::function<void(const std::string &)> walk = [&](const std::string &dir) {
        ip::listing l = ip::list(dir);
        ASSERT_EQ(l.result, 0) << dir;
        for (const auto &name : l.names) {
            std::string path = dir + "/" + name;
            if (path == "/long")
                continue; // served only up to the offset limit
            struct stat st;
            ASSERT_EQ(ip::getattr(path, st), 0) << path;
            if (S_ISDIR(st.st_mode)) {
                walk(path);
                continue;
            }
            ip::read_result r = ip::read_whole(path, 7);
            EXPECT_EQ(off_t(r.bytes.size()), st.st_size) << path;
        }
    };
    walk("");
    for (const char *array : {"/ia", "/la"}) {
        struct stat st;
        ASSERT_EQ(ip::getattr(array, st), 0);
        EXPECT_EQ(off_t(ip::read_whole(array, 8).bytes.size()), st.st_size) << array;
    }
}

struct attribute_case {
    const char *path;
    uint16_t umask;
    mode_t mode;
    off_t size;
};

void PrintTo(const attribute_case &c, std::ostream *os) { *os << c.path << " umask " << c.umask; }

const attribute_case attribute_cases[] = {
    {"/", 0, 040777, 22},
    {"/c", 0, 040777, 1},
    {"/c", 022, 040755, 1},
    {"/lc", 0, 040777, 1},
    {"/ia", 0, 040777, 8},
    {"/la", 0, 040777, 16},
    {"/b5", 0, 0100666, 3},
    {"/b5", 022, 0100644, 3},
    {"/b5", 0777, 0100000, 3},
    {"/f", 0, 0100666, 9},
    {"/e", 0, 0100666, 1},
    {"/ba", 0, 0100666, 5},
    {"/ia/0", 027, 0100640, 2},
    {"/lc/.type", 0, 0100666, 9},
    {"/untyped/.type", 0, 0100666, 8},
    {"/big", 0, 0100666, 309}, // 301 digits, the point, 6 decimals, newline
};

class Attributes : public testing::TestWithParam<attribute_case> {};

TEST_P(Attributes, ModeAndSize)
{
    const auto &c = GetParam();
    mount_settings s;
    s.fs_umask = c.umask;
    s.mount_uid = 1234;
    s.mount_gid = 5678;
    ip::installed_tree t(value_tree(), s);
    struct stat st;
    ASSERT_EQ(ip::getattr(c.path, st), 0);
    EXPECT_EQ(st.st_mode, c.mode) << std::oct << st.st_mode;
    EXPECT_EQ(st.st_size, c.size);
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(st.st_mtime, 0);
}

INSTANTIATE_TEST_SUITE_P(Objects, Attributes, testing::ValuesIn(attribute_cases));

TEST(Attributes, InodeIsTheNodesAddress)
{
    nbt_node *n = tb::i32("n", 1);
    nbt_node *a = tb::ints("a", {1, 2, 3});
    nbt_node *l = tb::list("l", TAG_INT);
    nbt_node *root = tb::compound("", {n, a, l});
    ip::installed_tree t(root);
    struct stat st;
    ASSERT_EQ(ip::getattr("/n", st), 0);
    EXPECT_EQ(st.st_ino, ino_t(uintptr_t(n)));
    ASSERT_EQ(ip::getattr("/", st), 0);
    EXPECT_EQ(st.st_ino, ino_t(uintptr_t(root)));
    // Elements share their array's number.
    for (const char *p : {"/a", "/a/0", "/a/2"}) {
        ASSERT_EQ(ip::getattr(p, st), 0);
        EXPECT_EQ(st.st_ino, ino_t(uintptr_t(a))) << p;
    }
    // A ".type" file has a number of its own, not its list's.
    ASSERT_EQ(ip::getattr("/l/.type", st), 0);
    EXPECT_NE(st.st_ino, ino_t(uintptr_t(l)));
}

TEST(Attributes, FgetattrReportsTheHandlesObject)
{
    ip::installed_tree t(value_tree());
    ip::handle h("/abc");
    ASSERT_EQ(h.result, 0);
    struct stat st;
    // The path is not used.
    ASSERT_EQ(ip::ops().fgetattr("/nonexistent", &st, &h.fi), 0);
    EXPECT_EQ(st.st_size, 4);
}

struct open_case {
    const char *name;
    int flags;
    int read_only;
    int result;
};

void PrintTo(const open_case &c, std::ostream *os) { *os << c.name; }

const open_case open_cases[] = {
    {"read", O_RDONLY, 1, 0},
    {"write_on_read_only", O_WRONLY, 1, -EROFS},
    {"read_write_on_read_only", O_RDWR, 1, -EROFS},
    {"read_with_truncation", O_RDONLY | O_TRUNC, 0, -EINVAL},
    {"read_with_truncation_on_read_only", O_RDONLY | O_TRUNC, 1, -EINVAL},
    {"write_on_writable", O_WRONLY, 0, 0},
};

class Open : public testing::TestWithParam<open_case> {};

TEST_P(Open, AccessModes)
{
    const auto &c = GetParam();
    mount_settings s;
    s.read_only = c.read_only;
    ip::installed_tree t(value_tree(), s);
    ip::handle h("/i", c.flags);
    EXPECT_EQ(h.result, c.result);
    ip::handle missing("/none", c.flags);
    EXPECT_EQ(missing.result, c.result == 0 ? -ENOENT : c.result);
}

INSTANTIATE_TEST_SUITE_P(Flags, Open, testing::ValuesIn(open_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Open, DirectoriesOpenAsFilesAndFilesAsDirectories)
{
    // The kind of object is examined by the operation that uses the handle.
    ip::installed_tree t(value_tree());
    ip::handle dir("/c");
    EXPECT_EQ(dir.result, 0);
    ip::handle file("/i", O_RDONLY, true);
    ASSERT_EQ(file.result, 0);
    std::vector<std::string> names;
    EXPECT_EQ(ip::ops().readdir("/i", &names, nullptr, 0, &file.fi), -ENOTDIR);
}

} // namespace
