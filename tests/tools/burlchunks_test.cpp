// burlchunks on region files built by the tests, with the time zone UTC.
#include "region_builder.h"
#include "tool_test.h"
#include "tree_builder.h"

namespace {

const std::string header = "Chunk Offset     Last-Updated              Size Used-Space Compression\n";
const char *const usage = "Usage: ./burlchunks <region-file>\n";

// Compressed data padded with zeros (which follow the end of the stream and
// mean nothing), so that the length field is size + 1.
std::vector<uint8_t> padded(std::vector<uint8_t> data, size_t size = 99)
{
    data.resize(size, 0);
    return data;
}

std::vector<uint8_t> tree_data(int32_t x, nbt_compression c = COMPRESSION_ZLIB, size_t size = 99)
{
    tb::tree_ptr tree(tb::compound("", {tb::i32("x", x)}));
    return padded(rb::compressed(tree.get(), c), size);
}

std::string dump(unsigned chunk, int x)
{
    return "\nChunk " + std::to_string(chunk) + ":\nTAG_Compound(\"\") {\n  TAG_Int(\"x\") " + std::to_string(x) +
           "\n}\n";
}

std::string invalid_size(unsigned chunk, long length)
{
    return "Chunk " + std::to_string(chunk) + " has invalid size " + std::to_string(length) + "\n";
}

const std::string row0_zlib = "    0 0x00002000 1970-01-01 00:00:00       4096        100 zlib\n";

struct chunks_case {
    const char *name;
    std::vector<rb::chunk> chunks;
    size_t cut; // the file is cut to this size; 0: as built
    outcome want;
    std::vector<std::string> args = {"r.mca"};
};

void PrintTo(const chunks_case &c, std::ostream *os) { *os << c.name; }

const chunks_case chunks_cases[] = {
    {"empty_region", {}, 0, {header, "", 0}},
    {"zlib_chunk", {{0, 2, 1, tree_data(0)}}, 0, {header + row0_zlib + dump(0, 0), "", 0}},
    {"gzip_chunk_unsigned_timestamp", {{1, 2, 1, tree_data(1, COMPRESSION_GZIP), 1, 4294967295u}}, 0,
     {header + "    1 0x00002000 2106-02-07 06:28:15       4096        100 gzip\n" + dump(1, 1), "", 0}},
    {"gzip_type_holding_zlib_data", {{0, 2, 1, tree_data(4), 1}}, 0,
     {header + "    0 0x00002000 1970-01-01 00:00:00       4096        100 gzip\n" + dump(0, 4), "", 0}},
    {"type_none_listed_not_decoded", {{0, 2, 1, tree_data(0), 3}}, 0,
     {header + "    0 0x00002000 1970-01-01 00:00:00       4096        100 none\n", "", 0}},
    {"types_0_and_7_unknown", {{0, 2, 1, tree_data(0), 0}, {1, 3, 1, tree_data(1), 7}}, 0,
     {header + "    0 0x00002000 1970-01-01 00:00:00       4096        100 unknown\n" +
          "    1 0x00003000 1970-01-01 00:00:00       4096        100 unknown\n",
      "", 0}},
    {"empty_slots_silent", {{0, 5, 0, tree_data(0)}, {1, 0, 1, {}}}, 0, {header, "", 0}},
    {"length_equal_to_space", {{0, 2, 1, tree_data(0, COMPRESSION_ZLIB, 4095)}}, 0,
     {header + "    0 0x00002000 1970-01-01 00:00:00       4096       4096 zlib\n" + dump(0, 0), "", 0}},
    {"length_one_more_than_space", {{0, 2, 1, tree_data(0, COMPRESSION_ZLIB, 4096)}}, 0,
     {header, invalid_size(0, 4097), 0}},
    {"negative_length", {{0, 2, 1, tree_data(0), 2, 0, INT32_MIN}}, 0, {header, invalid_size(0, INT32_MIN), 0}},
    {"offset_beyond_file", {{0, 4, 1, tree_data(0)}}, 12288,
     {header, "Chunk 0 has invalid offset 16384 that's out of file length\n", 0}},
    // The checks that keep every read inside the file.
    {"offset_at_end_of_file", {{0, 3, 1, tree_data(0)}}, 12288, {header, invalid_size(0, 0), 0}},
    {"length_field_cut", {{0, 2, 1, tree_data(0)}}, 8192 + 3, {header, invalid_size(0, 0), 0}},
    {"compression_byte_missing", {{0, 2, 1, tree_data(0)}}, 8192 + 4, {header, invalid_size(0, 100), 0}},
    {"data_past_end_of_file", {{0, 2, 1, tree_data(0)}}, 8192 + 5 + 50, {header, invalid_size(0, 100), 0}},
    {"gzip_and_zlib_of_length_0", {{0, 2, 1, {}, 1, 0, 0}, {1, 3, 1, {}, 2, 0, 0}}, 0,
     {header, invalid_size(0, 0) + invalid_size(1, 0), 0}},
    {"type_none_of_length_0_listed", {{0, 2, 1, {}, 3, 0, 0}}, 0,
     {header + "    0 0x00002000 1970-01-01 00:00:00       4096          0 none\n", "", 0}},
    {"undecodable_keeps_row", {{0, 2, 1, std::vector<uint8_t>(99, 0xff)}}, 0,
     {header + row0_zlib + "\nChunk 0:\n", "Failed to decode data of chunk 0, Fatal zlib error. Corrupt file?\n", 0}},
    {"decompressed_not_nbt", {{0, 2, 1, padded(zlib_of(tb::hex("0d 0000")))}}, 0,
     {header + row0_zlib + "\nChunk 0:\n",
      "Failed to decode data of chunk 0, NBT tree is corrupt.\n", 0}},
    {"table_in_chunk_order_then_trees",
     {{3, 2, 2, tree_data(3), 2, 1234567890}, {1, 4, 1, tree_data(1, COMPRESSION_ZLIB, 5000)}, {0, 5, 1, tree_data(0)}},
     0,
     {header + "    0 0x00005000 1970-01-01 00:00:00       4096        100 zlib\n" +
          "    3 0x00002000 2009-02-13 23:31:30       8192        100 zlib\n" + dump(0, 0) + dump(3, 3),
      invalid_size(1, 5001), 0}},
    {"dashdash_then_path", {{0, 2, 1, tree_data(0)}}, 0, {header + row0_zlib + dump(0, 0), "", 0}, {"--", "r.mca"}},
    {"no_argument", {}, 0, {"", usage, 255}, {}},
    {"only_dashdash", {}, 0, {"", usage, 255}, {"--"}},
    {"two_paths", {}, 0, {"", usage, 255}, {"r.mca", "r.mca"}},
    {"too_small", {}, 8191, {"", "./burlchunks: r.mca: Too small to be a valid region file\n", 1}},
    {"missing_file", {}, 0, {"", "missing.mca: No such file or directory\n", 1}, {"missing.mca"}},
};

class Burlchunks : public ToolTest, public testing::WithParamInterface<chunks_case> {};

TEST_P(Burlchunks, Lists)
{
    const auto &c = GetParam();
    auto file = rb::build(c.chunks);
    if (c.cut)
        file.resize(c.cut);
    rb::write_file(dir / "r.mca", file);
    expect_outcome(run(BURLCHUNKS, "./burlchunks", c.args, {"TZ=UTC"}), c.want);
}

INSTANTIATE_TEST_SUITE_P(Cases, Burlchunks, testing::ValuesIn(chunks_cases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
