// Loading and saving compressed data: the edge cases of the containers.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>

#include "raw_compress.h"
#include "tree_builder.h"

namespace {

using tb::hex;

// Compresses raw bytes with zlib directly (gzip wrapper when gzip is set).
std::vector<uint8_t> deflate_raw(const std::vector<uint8_t> &in, bool gzip) { return rc::compress(in, gzip); }

std::vector<uint8_t> packed(const nbt_node *tree, nbt_compression c)
{
    struct buffer b = nbt_dump_compressed(tree, c);
    std::vector<uint8_t> v(b.data, b.data + b.len);
    free(b.data);
    return v;
}

// A root byte array whose uncompressed form is exactly total bytes long.
nbt_node *tree_of_size(size_t total) { return tb::bytes("", std::vector<uint8_t>(total - 7, 0x5a)); }

struct load_case {
    const char *name;
    std::vector<uint8_t> input;
    nbt_status status;
};

void PrintTo(const load_case &c, std::ostream *os) { *os << c.name; }

std::vector<load_case> load_cases()
{
    auto empty_root = hex("0a 0000 00");
    auto gz = deflate_raw(empty_root, true);
    auto truncated = gz;
    truncated.resize(gz.size() - 6);
    auto trailing = gz;
    for (uint8_t b : hex("1f8b 0000 dead beef"))
        trailing.push_back(b);
    auto bad_crc = gz;
    bad_crc[bad_crc.size() - 8] ^= 1;
    return {
        {"empty_input", {}, STATUS_ZLIB},
        {"uncompressed_nbt", empty_root, STATUS_ZLIB},
        {"plain_text", hex("68656c6c6f0a"), STATUS_ZLIB},
        {"gzip", gz, STATUS_OK},
        {"zlib", deflate_raw(empty_root, false), STATUS_OK},
        {"bytes_after_stream", trailing, STATUS_OK},
        {"truncated_stream", truncated, STATUS_ZLIB},
        {"checksum_error", bad_crc, STATUS_ZLIB},
        {"content_truncated_nbt", deflate_raw(hex("0a 0000 01 0001 78"), true), STATUS_CORRUPT},
        {"content_not_nbt", deflate_raw(hex("0d 0000"), false), STATUS_CORRUPT},
        {"uncompressed_4096", packed(tb::tree_ptr(tree_of_size(4096)).get(), COMPRESSION_GZIP), STATUS_OK},
        {"uncompressed_8192", packed(tb::tree_ptr(tree_of_size(8192)).get(), COMPRESSION_ZLIB), STATUS_OK},
    };
}

class Load : public testing::TestWithParam<load_case> {};

TEST_P(Load, FromMemoryAndStream)
{
    const auto &c = GetParam();
    errno = 999;
    tb::tree_ptr tree(nbt_parse_compressed(c.input.data(), c.input.size()));
    EXPECT_EQ(errno, c.status);
    EXPECT_EQ(tree != nullptr, c.status == STATUS_OK);

    FILE *fp = tmpfile();
    ASSERT_NE(fp, nullptr);
    if (!c.input.empty())
        fwrite(c.input.data(), 1, c.input.size(), fp);
    rewind(fp);
    errno = 999;
    tb::tree_ptr from_stream(nbt_parse_file(fp));
    EXPECT_EQ(errno, c.status);
    if (tree && from_stream) {
        EXPECT_EQ(tb::binary(tree.get()), tb::binary(from_stream.get()));
    }
    fclose(fp);
}

INSTANTIATE_TEST_SUITE_P(Table, Load, testing::ValuesIn(load_cases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Load, ExactStepSizesKeepTheirContent)
{
    for (size_t size : {4095, 4096, 4097, 8192}) {
        tb::tree_ptr tree(tree_of_size(size));
        auto bytes = packed(tree.get(), COMPRESSION_GZIP);
        tb::tree_ptr back(nbt_parse_compressed(bytes.data(), bytes.size()));
        ASSERT_NE(back, nullptr) << size;
        EXPECT_EQ(tb::binary(back.get()).size(), size);
    }
}

TEST(Load, MissingPathIsIoError)
{
    errno = 0;
    EXPECT_EQ(nbt_parse_path("/nonexistent/dir/file.nbt"), nullptr);
    EXPECT_EQ(errno, STATUS_IO);
}

TEST(Load, StreamReadErrorIsIoError)
{
    auto path = std::filesystem::temp_directory_path() / ("zoviru_wo_" + std::to_string(getpid()));
    FILE *fp = fopen(path.c_str(), "wb"); // reading from it fails
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(nbt_parse_file(fp), nullptr);
    EXPECT_EQ(errno, STATUS_IO);
    fclose(fp);
    std::filesystem::remove(path);
}

TEST(Save, AnyNonZeroCompressionIsZlib)
{
    tb::tree_ptr tree(tb::compound("level"));
    auto z = packed(tree.get(), nbt_compression(7));
    ASSERT_GE(z.size(), 2u);
    EXPECT_EQ(z[0], 0x78);
    EXPECT_EQ(z, packed(tree.get(), COMPRESSION_ZLIB));
    uLongf len = 64;
    std::vector<uint8_t> raw(len);
    ASSERT_EQ(uncompress(raw.data(), &len, z.data(), z.size()), Z_OK);
    raw.resize(len);
    EXPECT_EQ(raw, hex("0a 0005 6c6576656c 00"));
}

TEST(Save, ReadOnlyStreamIsIoError)
{
    tb::tree_ptr tree(tb::compound(""));
    FILE *fp = fopen("/dev/null", "rb");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(nbt_dump_file(tree.get(), fp, COMPRESSION_GZIP), STATUS_IO);
    fclose(fp);
}

TEST(Save, RefusedTreeWritesNothing)
{
    tb::tree_ptr tree(tb::list("", TAG_INT, {tb::i32(nullptr, 1), tb::str(nullptr, "x")}));
    errno = 0;
    struct buffer b = nbt_dump_compressed(tree.get(), COMPRESSION_GZIP);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(errno, STATUS_CORRUPT);
    FILE *fp = tmpfile();
    EXPECT_EQ(nbt_dump_file(tree.get(), fp, COMPRESSION_ZLIB), STATUS_CORRUPT);
    EXPECT_EQ(ftell(fp), 0);
    fclose(fp);
}

} // namespace
