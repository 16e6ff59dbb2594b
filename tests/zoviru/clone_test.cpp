// nbt_clone: an equal tree that shares no block with its source.
#include <gtest/gtest.h>

#include <cmath>

#include "treeops_support.h"

namespace {

// nbt_eq never finds NaN equal to NaN, so the random trees lose theirs.
bool without_nan(nbt_node *n, void *)
{
    if (n->type == TAG_FLOAT && std::isnan(n->payload.tag_float))
        n->payload.tag_float = 0;
    if (n->type == TAG_DOUBLE && std::isnan(n->payload.tag_double))
        n->payload.tag_double = 0;
    return true;
}

testing::AssertionResult is_separate_copy(const nbt_node *copy, const nbt_node *source)
{
    if (!copy)
        return testing::AssertionFailure() << "no copy: " << nbt_error_to_string(nbt_status(errno));
    if (auto same = tt::same_tree(copy, source); !same)
        return same;
    auto mine = tt::blocks(copy), theirs = tt::blocks(source);
    for (const void *p : mine)
        if (theirs.count(p))
            return testing::AssertionFailure() << "shares block " << p;
    return testing::AssertionSuccess();
}

TEST(Clone, RandomTrees)
{
    for (int seed = 1; seed <= 150; seed++) {
        std::mt19937 rng(seed);
        tb::tree_ptr tree(tb::random_tree(rng, 1 + seed % 6));
        nbt_map(tree.get(), without_nan, nullptr);
        tb::tree_ptr copy(nbt_clone(tree.get()));
        ASSERT_TRUE(is_separate_copy(copy.get(), tree.get())) << "seed " << seed;
    }
}

struct clone_case {
    const char *name;
    nbt_node *(*build)();
};

void PrintTo(const clone_case &c, std::ostream *os) { *os << c.name; }

const clone_case clone_cases[] = {
    {"UnnamedInt", [] { return tb::i32(nullptr, 5); }},
    {"EmptyName", [] { return tb::i32("", 5); }},
    {"EmptyListOfShorts", [] { return tb::list("l", TAG_SHORT); }},
    {"EmptyListOfLists", [] { return tb::list("l", TAG_LIST); }},
    {"EmptyListWithoutElementType", [] { return tb::list("l", TAG_END); }},
    {"EmptyCompound", [] { return tb::compound("c"); }},
    {"ListOfEmptyLists", [] { return tb::list("l", TAG_LIST, {tb::list(nullptr, TAG_BYTE), tb::list(nullptr, TAG_LONG)}); }},
    {"EmptyArrayWithStorage", [] { auto *n = tb::ints("i", {1, 2}); n->payload.tag_int_array.length = 0; return n; }},
    {"EmptyString", [] { return tb::str("s", ""); }},
    {"NestedToTheLimit", [] { return tb::nested(NBT_MAX_DEPTH); }},
};

class CloneOf : public testing::TestWithParam<clone_case> {};

TEST_P(CloneOf, IsASeparateEqualTree)
{
    tb::tree_ptr tree(GetParam().build());
    tb::tree_ptr copy(nbt_clone(tree.get()));
    EXPECT_TRUE(is_separate_copy(copy.get(), tree.get()));
}

INSTANTIATE_TEST_SUITE_P(Table, CloneOf, testing::ValuesIn(clone_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Clone, EmptyListCopyCanBeWritten)
{
    tb::tree_ptr tree(tb::compound("", {tb::list("l", TAG_DOUBLE)}));
    tb::tree_ptr copy(nbt_clone(tree.get()));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(tb::to_hex(tb::binary(copy.get()).data(), tb::binary(copy.get()).size()),
              "0a 00 00 09 00 01 6c 06 00 00 00 00 00");
}

TEST(Clone, NullGivesNullAndLeavesErrno)
{
    errno = STATUS_IO;
    EXPECT_EQ(nbt_clone(nullptr), nullptr);
    EXPECT_EQ(errno, STATUS_IO);
}

} // namespace
