// Random trees of every type survive writing and reading, uncompressed and
// compressed, in memory, through streams and through paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tree_builder.h"

namespace {

constexpr int seeds = 300;

std::vector<uint8_t> bytes_of(struct buffer b)
{
    std::vector<uint8_t> v(b.data, b.data + b.len);
    free(b.data);
    return v;
}

TEST(RoundTrip, BinaryIsByteIdentical)
{
    for (int seed = 1; seed <= seeds; seed++) {
        std::mt19937 rng(seed);
        tb::tree_ptr tree(tb::random_tree(rng, 1 + seed % 8));
        auto bin = tb::binary(tree.get());
        ASSERT_FALSE(bin.empty()) << "seed " << seed << ": " << nbt_error_to_string(nbt_status(errno));
        tb::tree_ptr back(nbt_parse(bin.data(), bin.size()));
        ASSERT_NE(back, nullptr) << "seed " << seed;
        EXPECT_EQ(nbt_size(back.get()), nbt_size(tree.get()));
        ASSERT_EQ(tb::binary(back.get()), bin) << "seed " << seed;
    }
}

TEST(RoundTrip, NestingUpToTheLimit)
{
    tb::tree_ptr tree(tb::nested(NBT_MAX_DEPTH));
    auto bin = tb::binary(tree.get());
    tb::tree_ptr back(nbt_parse(bin.data(), bin.size()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(tb::binary(back.get()), bin);
}

class Compressed : public testing::TestWithParam<nbt_compression> {};

TEST_P(Compressed, InMemory)
{
    for (int seed = 1; seed <= seeds; seed += 3) {
        std::mt19937 rng(seed);
        tb::tree_ptr tree(tb::random_tree(rng, 6));
        auto packed = bytes_of(nbt_dump_compressed(tree.get(), GetParam()));
        ASSERT_FALSE(packed.empty());
        if (GetParam() == COMPRESSION_GZIP) {
            EXPECT_EQ(packed[0], 0x1f);
            EXPECT_EQ(packed[1], 0x8b);
        } else {
            EXPECT_EQ(packed[0], 0x78);
            EXPECT_EQ((packed[0] << 8 | packed[1]) % 31, 0) << "zlib header check";
        }
        tb::tree_ptr back(nbt_parse_compressed(packed.data(), packed.size()));
        ASSERT_NE(back, nullptr) << nbt_error_to_string(nbt_status(errno));
        EXPECT_EQ(errno, STATUS_OK);
        EXPECT_EQ(tb::binary(back.get()), tb::binary(tree.get())) << "seed " << seed;
    }
}

TEST_P(Compressed, ThroughStreamsAndPaths)
{
    auto path = std::filesystem::temp_directory_path() /
                ("zoviru_roundtrip_" + std::to_string(getpid()) + ".nbt");
    for (int seed = 1; seed <= 40; seed++) {
        std::mt19937 rng(seed);
        tb::tree_ptr tree(tb::random_tree(rng, 5));
        FILE *fp = fopen(path.c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        ASSERT_EQ(nbt_dump_file(tree.get(), fp, GetParam()), STATUS_OK);
        ASSERT_EQ(fclose(fp), 0);

        tb::tree_ptr from_path(nbt_parse_path(path.c_str()));
        ASSERT_NE(from_path, nullptr) << nbt_error_to_string(nbt_status(errno));
        EXPECT_EQ(tb::binary(from_path.get()), tb::binary(tree.get()));

        fp = fopen(path.c_str(), "rb");
        tb::tree_ptr from_stream(nbt_parse_file(fp));
        fclose(fp);
        ASSERT_NE(from_stream, nullptr);
        EXPECT_EQ(tb::binary(from_stream.get()), tb::binary(tree.get()));
    }
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Both, Compressed, testing::Values(COMPRESSION_GZIP, COMPRESSION_ZLIB),
                         [](const auto &info) { return info.param ? "zlib" : "gzip"; });

} // namespace
