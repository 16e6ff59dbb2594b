// nbt_filter and nbt_filter_inplace over one table: what a rule rejects, what
// remains, and how a predicate's errno fails the copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "treeops_support.h"

namespace {

struct rule {
    std::vector<std::string_view> reject;
    std::string_view fail_on; // the predicate leaves EINVAL behind on this node
    int offered = 0;
};

bool judge(const nbt_node *n, void *aux)
{
    auto *r = static_cast<rule *>(aux);
    r->offered++;
    if (!r->fail_on.empty() && tt::is(n, r->fail_on))
        errno = EINVAL;
    return std::none_of(r->reject.begin(), r->reject.end(), [n](std::string_view k) { return tt::is(n, k); });
}

struct filter_case {
    const char *name;
    std::vector<std::string_view> reject;
    std::string_view fail_on;
    nbt_node *(*remains)(); // after the rejections; NULL when the root goes
    int offered;            // nodes the predicate sees when nothing fails
    int copy_errno;         // what nbt_filter fails with
};

void PrintTo(const filter_case &c, std::ostream *os) { *os << c.name; }

using tb::compound, tb::i32, tb::list, tb::str, tb::bytes;

nbt_node *root_of(std::initializer_list<nbt_node *> children)
{
    return compound("root", children);
}

const filter_case filter_cases[] = {
    {"AcceptsAll", {}, "", tt::sample, 11, 0},
    {"RejectsTheRoot", {"root"}, "", nullptr, 1, 0},
    {"RejectsEveryChild", {"a", "c", "l", "e", "b"}, "", [] { return compound("root"); }, 6, 0},
    {"RejectsInsideACompound", {"x"}, "",
     [] { return root_of({i32("a", 1), compound("c", {str("y", "text")}),
                                  list("l", TAG_INT, {i32(nullptr, 1), i32(nullptr, 2), i32(nullptr, 3)}),
                                  list("e", TAG_STRING), bytes("b", {1, 2, 3})}); }, 11, 0},
    {"RejectedCompoundHidesItsChildren", {"c"}, "",
     [] { return root_of({i32("a", 1), list("l", TAG_INT, {i32(nullptr, 1), i32(nullptr, 2), i32(nullptr, 3)}),
                                  list("e", TAG_STRING), bytes("b", {1, 2, 3})}); }, 9, 0},
    {"RejectsTheMiddleListElement", {"#2"}, "",
     [] { return root_of({i32("a", 1), compound("c", {i32("x", 2), str("y", "text")}),
                                  list("l", TAG_INT, {i32(nullptr, 1), i32(nullptr, 3)}),
                                  list("e", TAG_STRING), bytes("b", {1, 2, 3})}); }, 11, 0},
    {"EmptiedListKeepsItsElementType", {"#1", "#2", "#3"}, "",
     [] { return root_of({i32("a", 1), compound("c", {i32("x", 2), str("y", "text")}),
                                  list("l", TAG_INT), list("e", TAG_STRING), bytes("b", {1, 2, 3})}); }, 11, 0},
    {"ErrnoAfterACompoundChild", {}, "y", tt::sample, 11, EINVAL},
    {"ErrnoAfterAListElement", {}, "#3", tt::sample, 11, EINVAL},
    {"ErrnoAfterARejectedChild", {"b"}, "b",
     [] { return root_of({i32("a", 1), compound("c", {i32("x", 2), str("y", "text")}),
                                  list("l", TAG_INT, {i32(nullptr, 1), i32(nullptr, 2), i32(nullptr, 3)}),
                                  list("e", TAG_STRING)}); }, 11, EINVAL},
    {"ErrnoAfterTheRejectedRoot", {"root"}, "root", nullptr, 1, EINVAL},
};

class Filter : public testing::TestWithParam<filter_case> {};

TEST_P(Filter, Copy)
{
    const auto &c = GetParam();
    tb::tree_ptr tree(tt::sample()), pristine(tt::sample());
    rule r{c.reject, c.fail_on};
    errno = STATUS_IO; // a stale status must not count as a failure
    tb::tree_ptr copy(nbt_filter(tree.get(), judge, &r));
    int status = errno;
    EXPECT_EQ(status, c.copy_errno);
    tb::tree_ptr expected(c.copy_errno == 0 && c.remains ? c.remains() : nullptr);
    EXPECT_TRUE(tt::same_tree(copy.get(), expected.get()));
    EXPECT_TRUE(tt::same_tree(tree.get(), pristine.get())) << "source changed";
    if (c.copy_errno == 0) {
        EXPECT_EQ(r.offered, c.offered);
    }
    auto mine = tt::blocks(copy.get()), theirs = tt::blocks(tree.get());
    EXPECT_TRUE(std::none_of(mine.begin(), mine.end(), [&](const void *p) { return theirs.count(p) > 0; }))
        << "the copy shares blocks with the source";
}

TEST_P(Filter, InPlace)
{
    const auto &c = GetParam();
    nbt_node *tree = tt::sample();
    rule r{c.reject, c.fail_on};
    errno = STATUS_IO;
    tb::tree_ptr result(nbt_filter_inplace(tree, judge, &r));
    EXPECT_EQ(errno, c.fail_on.empty() ? STATUS_IO : EINVAL) << "errno is the predicate's alone";
    tb::tree_ptr expected(c.remains ? c.remains() : nullptr);
    EXPECT_TRUE(tt::same_tree(result.get(), expected.get()));
    if (result) {
        EXPECT_EQ(result.get(), tree);
    }
    EXPECT_EQ(r.offered, c.offered);
}

INSTANTIATE_TEST_SUITE_P(Table, Filter, testing::ValuesIn(filter_cases),
                         [](const auto &info) { return std::string(info.param.name); });

bool accept_all(const nbt_node *, void *) { return true; }

TEST(Filter, NullTree)
{
    errno = STATUS_IO;
    EXPECT_EQ(nbt_filter(nullptr, accept_all, nullptr), nullptr);
    EXPECT_EQ(errno, 0);
    errno = STATUS_IO;
    EXPECT_EQ(nbt_filter_inplace(nullptr, accept_all, nullptr), nullptr);
    EXPECT_EQ(errno, STATUS_IO);
}

} // namespace
