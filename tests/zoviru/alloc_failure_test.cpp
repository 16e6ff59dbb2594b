// Every allocation of the loaders and writers fails in turn: each failed call
// reports STATUS_NO_MEMORY and leaves no block behind (zlib's included).
#include <gtest/gtest.h>

#include "failing_alloc.h"
#include "tree_builder.h"

namespace {

nbt_node *sample_tree()
{
    std::mt19937 rng(7);
    nbt_node *tree = tb::random_tree(rng, 4);
    // Make sure every kind of block is there, empty arrays and lists included.
    if (tree->type != TAG_COMPOUND)
        tree = tb::compound("root", {tree});
    tb::append(tree, tb::list("l", TAG_LIST, {tb::list(nullptr, TAG_INT, {tb::i32(nullptr, 1)}),
                                              tb::list(nullptr, TAG_STRING)}));
    tb::append(tree, tb::ints("empty", {}));
    tb::append(tree, tb::str("s", "text"));
    tb::append(tree, tb::bytes("big", std::vector<uint8_t>(5000, 3))); // makes the buffers grow
    return tree;
}

template <class Op> void expect_clean_failures(const char *what, Op op)
{
    long failures = failing_alloc::each_failure(op, [&](bool failed, auto result) {
        int status = errno;
        bool got = result.ok();
        result.release();
        if (failed) {
            EXPECT_FALSE(got) << what << " succeeded although allocation "
                              << failing_alloc::allocations() << " failed";
            EXPECT_EQ(status, STATUS_NO_MEMORY) << what;
        } else {
            EXPECT_TRUE(got) << what;
        }
        EXPECT_EQ(failing_alloc::live(), 0) << what << ": blocks left after failure";
    });
    EXPECT_GE(failures, 1) << what;
}

struct tree_result {
    nbt_node *tree;
    bool ok() const { return tree != nullptr; }
    void release() { nbt_free(tree); }
};

struct buffer_result {
    struct buffer b;
    bool ok() const { return b.data != nullptr; }
    void release() { free(b.data); }
};

TEST(AllocFailure, ParseAndDump)
{
    tb::tree_ptr tree(sample_tree());
    auto bin = tb::binary(tree.get());
    ASSERT_FALSE(bin.empty());
    struct buffer gz = nbt_dump_compressed(tree.get(), COMPRESSION_GZIP);
    struct buffer z = nbt_dump_compressed(tree.get(), COMPRESSION_ZLIB);

    expect_clean_failures("nbt_parse", [&] { return tree_result{nbt_parse(bin.data(), bin.size())}; });
    expect_clean_failures("nbt_parse_compressed gzip",
                          [&] { return tree_result{nbt_parse_compressed(gz.data, gz.len)}; });
    expect_clean_failures("nbt_parse_compressed zlib",
                          [&] { return tree_result{nbt_parse_compressed(z.data, z.len)}; });
    expect_clean_failures("nbt_dump_binary", [&] { return buffer_result{nbt_dump_binary(tree.get())}; });
    expect_clean_failures("nbt_dump_compressed", [&] {
        return buffer_result{nbt_dump_compressed(tree.get(), COMPRESSION_GZIP)};
    });
    free(gz.data);
    free(z.data);
}

struct text_result {
    char *text;
    bool ok() const { return text != nullptr; }
    void release() { free(text); }
};

TEST(AllocFailure, DumpAscii)
{
    tb::tree_ptr tree(sample_tree());
    // Deeper than the levels the text walk keeps without allocating.
    tb::append(tree.get(), tb::nested(100));
    expect_clean_failures("nbt_dump_ascii", [&] { return text_result{nbt_dump_ascii(tree.get())}; });
}

TEST(AllocFailure, EveryTruncationIsCorruptAndLeavesNothing)
{
    tb::tree_ptr tree(sample_tree());
    auto bin = tb::binary(tree.get());
    for (size_t len = 0; len < bin.size(); len++) {
        failing_alloc::arm(0);
        nbt_node *t = nbt_parse(bin.data(), len);
        int status = errno;
        failing_alloc::disarm();
        EXPECT_EQ(t, nullptr) << len;
        EXPECT_EQ(status, STATUS_CORRUPT) << len;
        EXPECT_EQ(failing_alloc::live(), 0) << "at length " << len;
        nbt_free(t);
    }
}

} // namespace
