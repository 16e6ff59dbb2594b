// Misuse of the tree operations stops the process with an assertion failure
// that names the expression and the module.
#include <gtest/gtest.h>

#include "tree_builder.h"

namespace {

bool accept(const nbt_node *, void *) { return true; }

// A compound whose sentinel cell is missing.
nbt_node *compound_without_sentinel()
{
    nbt_node *n = tb::node(TAG_INT, "c");
    n->type = TAG_COMPOUND;
    return n;
}

struct misuse_case {
    const char *name;
    void (*call)();
    const char *expression;
};

void PrintTo(const misuse_case &c, std::ostream *os) { *os << c.name; }

// The checks come before a NULL tree is looked at.
const misuse_case misuse_cases[] = {
    {"CloneOfTagEnd", [] { nbt_clone(tb::node(TAG_END, "e")); }, "tree->type != TAG_INVALID"},
    {"MapWithoutVisitor", [] { nbt_map(nullptr, nullptr, nullptr); }, "v"},
    {"FilterWithoutPredicate", [] { nbt_filter(nullptr, nullptr, nullptr); }, "filter"},
    {"FilterInPlaceWithoutPredicate", [] { nbt_filter_inplace(nullptr, nullptr, nullptr); }, "filter"},
    {"PathSearchWithoutTree", [] { nbt_find_by_path(nullptr, "a"); }, "tree"},
    {"PathSearchWithoutPath", [] { nbt_find_by_path(tb::compound("c"), nullptr); }, "path"},
    {"CloneOfCompoundWithoutChildList", [] { nbt_clone(compound_without_sentinel()); }, "list"},
    {"FilterOfCompoundWithoutChildList", [] { nbt_filter(compound_without_sentinel(), accept, nullptr); }, "list"},
};

class TreeOpsDeathTest : public testing::TestWithParam<misuse_case> {};

TEST_P(TreeOpsDeathTest, StopsNamingTheExpression)
{
    std::string message = std::string("nbt_treeops[a-z_]*\\.cpp:[0-9]+: .*Assertion `") + GetParam().expression +
                          "' failed";
    EXPECT_DEATH(GetParam().call(), message);
}

INSTANTIATE_TEST_SUITE_P(Table, TreeOpsDeathTest, testing::ValuesIn(misuse_cases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
