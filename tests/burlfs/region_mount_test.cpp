// Region files mounted for real: chunk directories and links, damaged
// chunks, and malformed files walked with shell tools.
#include <random>

#include "mount_test_support.h"
#include "temp_dir.h"
#include "chunk_spec.h"
#include "region_builder.h"
#include "tree_builder.h"

namespace {

std::vector<uint8_t> chunk_data(int32_t value, nbt_compression c = COMPRESSION_ZLIB)
{
    tb::tree_ptr t(tb::compound("", {tb::i32("v", value), tb::list("l", TAG_STRING, {tb::str(nullptr, "s")})}));
    return rb::compressed(t.get(), c);
}

// Chunks 0 and 37 are good; 3, 4 and 9 are refused at load; 6 does not
// decompress.
std::vector<uint8_t> damaged_region()
{
    auto bytes = rb::build({
        chunk_spec(0, 2, 1, chunk_data(100), 2, 1700000000),
        chunk_spec(3, 3, 1, chunk_data(3), 3),
        chunk_spec(4, 5, 1, chunk_data(4), 2, 0, 5000),
        chunk_spec(6, 6, 1, tb::hex("78 9c de ad be ef")),
        chunk_spec(9, 400, 1, chunk_data(9)),
        chunk_spec(37, 7, 1, chunk_data(137, COMPRESSION_GZIP), 1, 1700000037),
    });
    bytes.resize(8 * 4096); // the file ends after chunk 37, before chunk 9
    return bytes;
}

const std::vector<std::string> damage_messages = {
    R"(Chunk 3 has unsupported compression type 3)",
    R"(Chunk 4 has invalid size 5000)",
    R"(Chunk 9 has invalid offset 1638400 that's out of file length)",
};

class DamagedRegion : public mt::SharedMountWith<mt::tool_case> {
protected:
    static void SetUpTestSuite()
    {
        mount_shared(damaged_region(), {"-o", "region,ro,chunksymlink=visible"}, "r.mca");
    }

    static void TearDownTestSuite()
    {
        if (!fs)
            return;
        mf::outcome o = unmount_shared(damage_messages);
        // The damaged chunks were reported before the mount, in order.
        EXPECT_EQ(o.log.find("Chunk 3 has unsupported compression type 3\nChunk 4 has invalid size 5000\n"
                             "Chunk 9 has invalid offset 1638400 that's out of file length\n"),
                  0u)
            << o.log;
    }
};

const mt::tool_case damaged_cases[] = {
    {"list_chunks_and_links", {"ls", "-U", "@"}, "0\n0,0\n6\n6,0\n37\n5,1\n"},
    {"readlink", {"readlink", "@/5,1"}, "37\n"},
    {"link_of_absent_chunk", {"readlink", "@/1,0"}, "1\n"},
    {"through_link", {"cat", "@/5,1/v"}, "137\n"},
    {"chunk_value", {"cat", "@/0/v"}, "100\n"},
    {"chunk_list", {"ls", "-aU", "@/37/l"}, ".type\n0\n"},
    {"chunk_list_item", {"cat", "@/37/l/0"}, "s\n"},
    {"chunk_time", {"stat", "-c", "%Y %F", "@/37"}, "1700000037 directory\n"},
    {"chunk_time_not_inherited", {"stat", "-c", "%Y", "@/37/v"}, "0\n"},
    {"link_attributes", {"stat", "-c", "%a %s %F", "@/5,1"}, "666 2 symbolic link\n"},
    {"root_attributes", {"stat", "-c", "%a %s %F", "@"}, "777 0 directory\n"},
    {"refused_chunk_absent", {"ls", "@/3"}, "", 2},
    {"chunk_beyond_file_absent", {"cat", "@/9/v"}, "", 1},
    {"unparsable_chunk", {"stat", "@/6"}, "", 1},
    {"unparsable_chunk_again", {"ls", "@/6"}, "", 2},
    {"no_such_chunk", {"stat", "@/1"}, "", 1},
    {"number_too_big", {"stat", "@/1024"}, "", 1},
    {"coordinate_too_big", {"stat", "@/32,0"}, "", 1},
};

TEST_P(DamagedRegion, Output) { mt::expect_tool(GetParam(), fs->root()); }

INSTANTIATE_TEST_SUITE_P(Mount, DamagedRegion, testing::ValuesIn(damaged_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DamagedRegionUnparsable, ReportsAnIoError)
{
    BURL_REQUIRE_MOUNTS();
    mt::mounted fs;
    ASSERT_TRUE(fs.start(damaged_region(), {"-o", "region", "-r"}, "r.mca"));
    for (int attempt = 0; attempt < 2; attempt++) {
        proc::result r = mt::tool({"cat", fs.at("6/v")});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Input/output error"), std::string::npos) << r.err;
    }
    fs.finish(0, damage_messages);
}

TEST(DamagedRegionReadWrite, IsRefused)
{
    tmp::dir dir;
    rb::write_file((dir / "r.mca"), damaged_region());
    proc::result r = mt::burlfs({"-f", "-o", "region", (dir / "r.mca"), (dir / "mnt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Chunk 3 has unsupported compression type 3\nCannot continue in read-write mode\n");
}

// Seeded damage to a valid region file, mounted read-only and walked with
// ls and cat: burlfs must serve what it can and exit cleanly (under the
// sanitizer build: without any out-of-bounds read).
TEST(MalformedRegion, MountedAndWalked)
{
    BURL_REQUIRE_MOUNTS();
    std::vector<rb::chunk> chunks;
    for (unsigned i = 0; i < 8; i++)
        chunks.push_back(chunk_spec(i * 131 % 1024, 2 + i, 1,
                                    chunk_data(int32_t(i), i % 2 ? COMPRESSION_GZIP : COMPRESSION_ZLIB), uint8_t(1 + i % 2), i));
    const auto valid = rb::build(chunks);
    std::mt19937 rng(7);
    for (int round = 0; round < 6; round++) {
        auto bytes = valid;
        for (int f = 0; f < 6; f++) {
            size_t limit = f % 2 ? 8192 : bytes.size();
            bytes[rng() % limit] = uint8_t(rng());
        }
        mt::mounted fs;
        ASSERT_TRUE(fs.start(bytes, {"-o", "region,chunksymlink=visible", "-r"}, "m.mca"));
        mt::tool({"ls", "-lR", fs.root()});
        mt::tool({"sh", "-c", "find " + fs.root() + " -type f -exec cat {} + >/dev/null 2>&1"});
        fs.finish(0, {R"(Chunk \d+ has .*)"});
    }
}

} // namespace
