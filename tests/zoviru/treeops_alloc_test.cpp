// Every allocation of nbt_clone and nbt_filter fails in turn: each failed call
// gives NULL with STATUS_NO_MEMORY, leaves no block behind and leaves the
// source as it was. A copy makes one allocation per block and no other.
#include <gtest/gtest.h>

#include <cstring>

#include "failing_alloc.h"
#include "treeops_support.h"

namespace {

// Every kind of block: names (empty ones too), strings, filled and empty
// arrays, lists with and without elements, lists of lists, compounds.
nbt_node *source_tree()
{
    return tb::compound("root", {tt::sample(), tb::ints("i", {1, 2}), tb::longs("", {}),
                                 tb::list("ll", TAG_LIST, {tb::list(nullptr, TAG_STRING, {tb::str(nullptr, "s")}),
                                                           tb::list(nullptr, TAG_BYTE)}),
                                 tb::compound("empty"), tb::f64("d", 2.5)});
}

std::string snapshot(const nbt_node *tree)
{
    auto bin = tb::binary(tree);
    return tb::to_hex(bin.data(), bin.size()) + " / " + tt::element_types(tree);
}

template <class Op> void expect_clean_failures(const char *what, Op op)
{
    tb::tree_ptr source(source_tree());
    const std::string before = snapshot(source.get());
    size_t blocks_in_copy = 0;
    long failures = failing_alloc::each_failure([&] { return op(source.get()); }, [&](bool failed, nbt_node *result) {
        int status = errno;
        long live = failing_alloc::live();
        tb::tree_ptr copy(result);
        if (failed) {
            EXPECT_EQ(result, nullptr) << what << " succeeded although allocation " << failing_alloc::allocations()
                                       << " failed";
            EXPECT_EQ(status, STATUS_NO_MEMORY) << what << " at allocation " << failing_alloc::allocations();
            EXPECT_EQ(live, 0) << what << ": blocks left after failing at allocation " << failing_alloc::allocations();
        } else {
            ASSERT_NE(result, nullptr) << what;
            blocks_in_copy = tt::blocks(result).size();
            EXPECT_EQ(live, long(blocks_in_copy)) << what;
        }
        EXPECT_EQ(snapshot(source.get()), before) << what << " changed its source";
    });
    EXPECT_EQ(size_t(failures), blocks_in_copy) << what << ": allocations besides the copy's blocks";
}

bool reject_a(const nbt_node *n, void *) { return !(n->name && strcmp(n->name, "a") == 0); }

TEST(TreeOpsAllocFailure, Clone)
{
    expect_clean_failures("nbt_clone", [](const nbt_node *tree) { return nbt_clone(tree); });
}

TEST(TreeOpsAllocFailure, Filter)
{
    expect_clean_failures("nbt_filter", [](const nbt_node *tree) { return nbt_filter(tree, reject_a, nullptr); });
}

} // namespace
