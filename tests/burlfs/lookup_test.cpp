// Path resolution, listings and attributes, in-process over a tree the test
// builds.
#include <gtest/gtest.h>

#include "in_process.h"
#include "lookup.h"
#include "tree_builder.h"
#include "type_names.h"

namespace {

// A compound child without a name: never listed, never found.
nbt_node *unnamed_int()
{
    nbt_node *n = tb::i32("", 7);
    free(n->name);
    n->name = nullptr;
    return n;
}

nbt_node *sample_tree()
{
    return tb::compound("root", {
        tb::i32("n", 42),
        tb::str("a:b", "colon"),
        tb::list("l", TAG_INT, {tb::i32(nullptr, 10), tb::i32(nullptr, 11), tb::i32(nullptr, 12)}),
        tb::ints("ia", {1, 2, 3}),
        tb::longs("la", {7}),
        tb::compound("c", {tb::i8("x", -5), tb::str("x", "second")}),
        unnamed_int(),
        tb::list("empty", TAG_STRING),
    });
}

struct resolve_case {
    const char *path;
    int result;           // of reading the whole content
    const char *content;  // when result >= 0
};

void PrintTo(const resolve_case &c, std::ostream *os) { *os << '"' << c.path << '"'; }

const resolve_case resolve_cases[] = {
    {"/n", 3, "42\n"},
    {"n", 3, "42\n"},
    {"/n/", 3, "42\n"},
    {"/int32:n", 3, "42\n"},
    {"/int:n", -ENOENT, ""},
    {"/int32:bar", -ENOENT, ""},
    {"/string:n", -ENOENT, ""},
    {"/a:b", -ENOENT, ""},
    {"/string:a:b", 6, "colon\n"},
    {"/l/0", 3, "10\n"},
    {"/l/2", 3, "12\n"},
    {"/l/0x2", 3, "12\n"},
    {"/l/02", 3, "12\n"},
    {"/l/ 1", 3, "11\n"},
    {"/l/+1", 3, "11\n"},
    {"/l/3", -ENOENT, ""},
    {"/l/-1", -ENOENT, ""},
    {"/l/1x", -ENOENT, ""},
    {"/l/int32:0", -ENOENT, ""},
    {"/l/.type", 6, "int32\n"},
    {"/empty/.type", 7, "string\n"},
    {"/.type", -ENOENT, ""},
    {"/ia/0", 2, "1\n"},
    {"/ia/2", 2, "3\n"},
    {"/ia/0x1", 2, "2\n"},
    {"/ia/3", -ENOENT, ""},
    {"/ia/-1", -ENOENT, ""},
    {"/ia/int32:0", -ENOENT, ""},
    {"/la/0", 2, "7\n"},
    {"/c/x", 3, "-5\n"},
    {"/c/int8:x", 3, "-5\n"},
    {"/c/string:x", 7, "second\n"},
    {"/c/byte:x", 3, "-5\n"},
    {"/n/x", -ENOENT, ""},
    {"/nope", -ENOENT, ""},
    {"/nope/x", -ENOENT, ""},
    {"/", -EISDIR, ""},
    {"", -EISDIR, ""},
    {"/c", -EISDIR, ""},
};

class Resolve : public testing::TestWithParam<resolve_case> {};

TEST_P(Resolve, ReadsWhatThePathNames)
{
    const auto &c = GetParam();
    ip::installed_tree t(sample_tree());
    ip::read_result r = ip::read_whole(c.path);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.bytes, c.content);
}

INSTANTIATE_TEST_SUITE_P(Paths, Resolve, testing::ValuesIn(resolve_cases));

TEST(Resolve, RootPathsYieldTheRootRecord)
{
    ip::installed_tree t(sample_tree());
    for (const char *p : {"", "/"}) {
        record_ptr r;
        ASSERT_EQ(lookup_path(p, r), 0);
        EXPECT_EQ(r.get(), &root_node);
    }
}

struct parent_case {
    const char *path;
    int result;
    const char *parent; // the parent node's name, when result is 0
    const char *name;
};

void PrintTo(const parent_case &c, std::ostream *os) { *os << '"' << c.path << '"'; }

const parent_case parent_cases[] = {
    {"x", 0, "root", "x"},
    {"/x", 0, "root", "x"},
    {"/c/new", 0, "c", "new"},
    {"/l/5", 0, "l", "5"},
    {"/ia/9", 0, "ia", "9"},
    {"/n/b", -ENOTDIR, nullptr, nullptr},
    {"/l/.type/x", -ENOTDIR, nullptr, nullptr},
    {"/ia/0/x", -ENOTDIR, nullptr, nullptr},
    {"/q/b/c", -ENOENT, nullptr, nullptr},
};

class Parent : public testing::TestWithParam<parent_case> {};

TEST_P(Parent, SplitsThePath)
{
    const auto &c = GetParam();
    ip::installed_tree t(sample_tree());
    record_ptr parent;
    std::string_view name;
    ASSERT_EQ(lookup_parent(c.path, parent, name), c.result);
    if (c.result == 0) {
        EXPECT_STREQ(parent->node->name, c.parent);
        EXPECT_EQ(name, c.name);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Parent, testing::ValuesIn(parent_cases));

struct listing_case {
    const char *path;
    bool type_prefix;
    int result;
    std::vector<std::string> names;
};

void PrintTo(const listing_case &c, std::ostream *os) { *os << '"' << c.path << "\" prefix " << c.type_prefix; }

const listing_case listing_cases[] = {
    {"/", false, 0, {"n", "string:a:b", "l", "ia", "la", "c", "empty"}},
    {"/", true, 0,
     {"int32:n", "string:a:b", "list:l", "int32array:ia", "int64array:la", "compound:c", "list:empty"}},
    {"/c", false, 0, {"x", "x"}},
    {"/c", true, 0, {"int8:x", "string:x"}},
    {"/l", false, 0, {".type", "0", "1", "2"}},
    {"/empty", false, 0, {".type"}},
    {"/ia", false, 0, {"2", "1", "0"}},
    {"/la", false, 0, {"0"}},
    {"/n", false, -ENOTDIR, {}},
    {"/l/.type", false, -ENOTDIR, {}},
    {"/ia/1", false, -ENOTDIR, {}},
    {"/missing", false, -ENOENT, {}},
};

class Listing : public testing::TestWithParam<listing_case> {};

TEST_P(Listing, InOrder)
{
    const auto &c = GetParam();
    mount_settings s;
    s.use_type_prefix = c.type_prefix;
    ip::installed_tree t(sample_tree(), s);
    ip::listing l = ip::list(c.path);
    EXPECT_EQ(l.result, c.result);
    EXPECT_EQ(l.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(Directories, Listing, testing::ValuesIn(listing_cases));

TEST(Listing, ChildOfUnnamedTypeIsSkipped)
{
    // A child whose type has no name can only be listed with a prefix, so it
    // is left out.
    nbt_node *odd = tb::i32("odd", 1);
    odd->type = nbt_type(13);
    ip::installed_tree t(tb::compound("", {odd, tb::i32("q:r", 2)}));
    EXPECT_EQ(ip::list("/").names, (std::vector<std::string>{"odd", "int32:q:r"}));
    mount_settings s;
    s.use_type_prefix = 1;
    settings = s;
    EXPECT_EQ(ip::list("/").names, (std::vector<std::string>{"int32:q:r"}));
}

TEST(TypeNames, CanonicalAndAliases)
{
    const std::pair<const char *, nbt_type> names[] = {
        {"byte", TAG_BYTE}, {"int8", TAG_BYTE}, {"int16", TAG_SHORT}, {"int32", TAG_INT},
        {"int64", TAG_LONG}, {"float", TAG_FLOAT}, {"single", TAG_FLOAT}, {"float32", TAG_FLOAT},
        {"double", TAG_DOUBLE}, {"float64", TAG_DOUBLE}, {"bytearray", TAG_BYTE_ARRAY},
        {"int8array", TAG_BYTE_ARRAY}, {"string", TAG_STRING}, {"list", TAG_LIST},
        {"compound", TAG_COMPOUND}, {"int32array", TAG_INT_ARRAY}, {"int64array", TAG_LONG_ARRAY},
        {"", TAG_INVALID}, {"int", TAG_INVALID}, {"Int32", TAG_INVALID}, {"int32 ", TAG_INVALID},
        {"invalid", TAG_INVALID}, {"end", TAG_INVALID},
    };
    for (const auto &[name, type] : names)
        EXPECT_EQ(type_from_name(name), type) << name;
    for (int t = 1; t <= 12; t++)
        EXPECT_EQ(type_from_name(type_name(t)), t);
    EXPECT_EQ(type_name(0), "");
    EXPECT_EQ(type_name(13), "");
}

} // namespace
