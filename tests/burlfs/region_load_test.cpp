// Region files in-process: the checks at load, chunk numbers and links,
// attributes, and malformed files walked from end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "in_process.h"
#include "temp_dir.h"
#include "mount_fixture.h"
#include "chunk_spec.h"
#include "region_builder.h"
#include "tree_builder.h"

namespace {

std::vector<uint8_t> chunk_data(int32_t value)
{
    tb::tree_ptr t(tb::compound("", {tb::i32("v", value)}));
    return rb::compressed(t.get());
}

struct load_case {
    const char *name;
    rb::chunk damaged;   // chunk 2, next to a good chunk 0
    size_t file_size;    // 0: as built
    const char *message; // "" when the chunk is accepted or empty
    bool listed;         // whether chunk 2 shows in a read-only mount
};

void PrintTo(const load_case &c, std::ostream *os) { *os << c.name; }

const std::vector<uint8_t> small = chunk_data(2);

rb::chunk with_length(rb::chunk c, int32_t length)
{
    c.length = length;
    return c;
}

rb::chunk c2(uint8_t sectors, uint8_t compression = 2) { return chunk_spec(2, 3, sectors, small, compression); }

const load_case load_cases[] = {
    {"good", c2(1), 0, "", true},
    {"gzip", c2(1, 1), 0, "", true},
    {"count_zero_is_empty", c2(0), 0, "", false},
    {"sector_zero_is_empty", chunk_spec(2, 0, 5, {}), 0, "", false},
    {"offset_beyond_file", c2(1), 3 * 4096 - 1, "Chunk 2 has invalid offset 12288 that's out of file length\n", false},
    {"offset_at_file_end", c2(1), 3 * 4096, "Chunk 2 has invalid size 0\n", false},
    {"length_beyond_sectors", with_length(c2(1), 4097), 0, "Chunk 2 has invalid size 4097\n", false},
    {"length_negative", with_length(c2(1), int32_t(0x80000001)), 0, "Chunk 2 has invalid size -2147483647\n", false},
    {"length_past_file_end", with_length(c2(2), 5000), 3 * 4096 + 100, "Chunk 2 has invalid size 5000\n", false},
    {"length_field_cut_by_file_end", c2(1), 3 * 4096 + 2, "Chunk 2 has invalid size 0\n", false},
    {"compression_byte_past_file_end", with_length(c2(1), 1), 3 * 4096 + 4, "Chunk 2 has invalid size 1\n", false},
    {"length_zero", with_length(c2(1), 0), 0, "Chunk 2 has invalid size 0\n", false},
    {"length_zero_unknown_compression", with_length(c2(1, 7), 0), 0, "Chunk 2 has invalid size 0\n", false},
    {"length_fills_sectors", with_length(c2(1), 4096), 5 * 4096, "", true},
    // The length field lies in front of the L bytes, so they end 4 bytes
    // past the sectors: here past the end of the file.
    {"length_fills_sectors_at_file_end", with_length(c2(1), 4096), 0, "Chunk 2 has invalid size 4096\n", false},
    {"compression_three", c2(1, 3), 0, "Chunk 2 has unsupported compression type 3\n", false},
    {"compression_zero", c2(1, 0), 0, "Chunk 2 has unsupported compression type 0\n", false},
    {"compression_high", c2(1, 255), 0, "Chunk 2 has unsupported compression type 255\n", false},
};

class RegionLoad : public testing::TestWithParam<load_case> {
protected:
    tmp::dir dir;

    std::string file(const load_case &c)
    {
        auto bytes = rb::build({chunk_spec(0, 2, 1, chunk_data(0)), c.damaged});
        if (c.file_size)
            bytes.resize(c.file_size);
        rb::write_file((dir / "r.mca"), bytes);
        return (dir / "r.mca");
    }
};

TEST_P(RegionLoad, ReadOnlyLeavesDamagedChunksOut)
{
    const auto &c = GetParam();
    mount_settings s;
    s.read_only = 1;
    ip::installed_region r(file(c), s);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.messages(), c.message);
    std::vector<std::string> expected{"0"};
    if (c.listed)
        expected.push_back("2");
    EXPECT_EQ(ip::list("/").names, expected);
    if (c.listed) {
        EXPECT_EQ(ip::read_whole("/2/v").bytes, "2\n");
    }
}

TEST_P(RegionLoad, ReadWriteRefusesDamagedFiles)
{
    const auto &c = GetParam();
    ip::installed_region r(file(c), {});
    EXPECT_EQ(r.ok(), *c.message == '\0');
    if (*c.message) {
        EXPECT_EQ(r.messages(), std::string(c.message) + "Cannot continue in read-write mode\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Chunks, RegionLoad, testing::ValuesIn(load_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RegionLoadSize, SmallestFiles)
{
    tmp::dir dir;
    rb::write_file((dir / "small.mca"), std::vector<uint8_t>(8191, 0));
    rb::write_file((dir / "empty.mca"), std::vector<uint8_t>(8192, 0));
    {
        ip::installed_region r((dir / "small.mca"));
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.messages(), "File is too small to be a valid region file\n");
    }
    ip::installed_region r((dir / "empty.mca"));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.messages(), "");
    ip::listing l = ip::list("/");
    EXPECT_EQ(l.result, 0);
    EXPECT_TRUE(l.names.empty());
}

// Chunks 0, 5 and 37, with timestamps.
class Region : public testing::Test {
protected:
    tmp::dir dir;
    std::unique_ptr<ip::installed_region> region;

    void load(mount_settings s = {})
    {
        region.reset();
        s.read_only = 1;
        rb::write_file((dir / "r.mca"), rb::build({chunk_spec(0, 2, 1, chunk_data(100), 2, 1000),
                                                     chunk_spec(5, 3, 1, chunk_data(105), 1, 1005),
                                                     chunk_spec(37, 4, 2, chunk_data(137), 2, 4000000000u)}));
        region = std::make_unique<ip::installed_region>((dir / "r.mca"), s);
        ASSERT_TRUE(region->ok()) << region->messages();
    }
};

struct region_name_case {
    const char *name;
    int result;
    const char *value_or_link; // content of name/v, or the link's target
};

void PrintTo(const region_name_case &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const region_name_case region_name_cases[] = {
    {"5", 0, "105\n"},
    {"05", 0, "105\n"},
    {"0x25", 0, "137\n"},
    {"37", 0, "137\n"},
    {"6", -ENOENT, nullptr},
    {"1024", -ENOENT, nullptr},
    {"-1", -ENOENT, nullptr},
    {"5x", -ENOENT, nullptr},
    {"int32:5", -ENOENT, nullptr},
    {"5,1", 0, "37"},
    {"5,", 0, "5"},
    {"0,0", 0, "0"},
    {"31,31", 0, "1023"},
    {"6,0", 0, "6"},
    {"32,0", -ENOENT, nullptr},
    {"0,32", -ENOENT, nullptr},
    {"5,1x", -ENOENT, nullptr},
    {"5,1,2", -ENOENT, nullptr},
};

class RegionName : public Region, public testing::WithParamInterface<region_name_case> {};

TEST_P(RegionName, Resolves)
{
    const auto &c = GetParam();
    load();
    struct stat st;
    ASSERT_EQ(ip::getattr(std::string("/") + c.name, st), c.result);
    if (c.result != 0)
        return;
    if (S_ISLNK(st.st_mode)) {
        char target[16];
        ASSERT_EQ(ip::ops().readlink((std::string("/") + c.name).c_str(), target, sizeof target), 0);
        EXPECT_STREQ(target, c.value_or_link);
        EXPECT_EQ(st.st_size, off_t(strlen(c.value_or_link)));
    } else {
        EXPECT_EQ(ip::read_whole(std::string("/") + c.name + "/v").bytes, c.value_or_link);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, RegionName, testing::ValuesIn(region_name_cases));

TEST_F(Region, ListsPresentChunks)
{
    load();
    EXPECT_EQ(ip::list("/").names, (std::vector<std::string>{"0", "5", "37"}));
    mount_settings s;
    s.chunk_links_visible = 1;
    load(s);
    EXPECT_EQ(ip::list("/").names, (std::vector<std::string>{"0", "0,0", "5", "5,0", "37", "5,1"}));
}

TEST_F(Region, Attributes)
{
    mount_settings s;
    s.fs_umask = 022;
    load(s);
    struct stat st;
    ASSERT_EQ(ip::getattr("/", st), 0);
    EXPECT_EQ(st.st_ino, 1u);
    EXPECT_EQ(st.st_mode, 040755u);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_nlink, 1u);
    ASSERT_EQ(ip::getattr("/5", st), 0);
    EXPECT_EQ(st.st_mtime, 1005);
    EXPECT_EQ(st.st_mode, 040755u);
    EXPECT_EQ(st.st_size, 2); // the chunk's compound and its value
    ASSERT_EQ(ip::getattr("/37", st), 0);
    EXPECT_EQ(st.st_mtime, time_t(4000000000u));
    // Only a chunk's root carries the chunk's time.
    ASSERT_EQ(ip::getattr("/5/v", st), 0);
    EXPECT_EQ(st.st_mtime, 0);
    ASSERT_EQ(ip::getattr("/5,1", st), 0);
    EXPECT_EQ(st.st_mode, 0120644u);
    EXPECT_EQ(st.st_mtime, 0);
}

TEST_F(Region, LinksAndRootRefuseWhatTheyAreNot)
{
    load();
    char buf[8];
    EXPECT_EQ(ip::ops().readlink("/5,1", buf, 2), 0);
    EXPECT_STREQ(buf, "3");
    EXPECT_EQ(ip::ops().readlink("/5,1", buf, 0), -EINVAL);
    EXPECT_EQ(ip::ops().readlink("/5", buf, sizeof buf), -EINVAL);
    EXPECT_EQ(ip::ops().readlink("/", buf, sizeof buf), -EINVAL);
    EXPECT_EQ(ip::ops().readlink("/6", buf, sizeof buf), -ENOENT);
    EXPECT_EQ(ip::read("/", 0, 10).result, -EISDIR);
    EXPECT_EQ(ip::read("/5,1", 0, 10).result, -EIO);
    EXPECT_EQ(ip::list("/5,1").result, -ENOTDIR);
    EXPECT_EQ(ip::read("/5", 0, 10).result, -EISDIR);
}

TEST_F(Region, UnparsableChunkIsAnIoErrorUntilItParses)
{
    load();
    // Chunk 9 holds bytes that do not decompress; every lookup tries again.
    std::vector<unsigned char> data{2, 0x78, 0x9c, 0xde, 0xad};
    region_chunk &chunk = region_chunks[9];
    chunk = region_chunk{};
    chunk.data = data.data();
    chunk.length = data.size();
    struct stat st;
    EXPECT_EQ(ip::getattr("/9", st), -EIO);
    EXPECT_EQ(ip::getattr("/9/v", st), -EIO);
    EXPECT_EQ(ip::list("/9").result, -EIO);
    EXPECT_EQ(chunk.tree, nullptr);
    auto good = chunk_data(109);
    data.assign(1, 2);
    data.insert(data.end(), good.begin(), good.end());
    chunk.data = data.data();
    chunk.length = data.size();
    EXPECT_EQ(ip::read_whole("/9/v").bytes, "109\n");
    EXPECT_NE(chunk.tree, nullptr);
}

// Walks everything below path through the operations, as a user's tools
// would; returns the number of objects seen.
size_t walk(const std::string &path, int depth = 0)
{
    size_t seen = 1;
    struct stat st;
    if (ip::getattr(path, st) != 0 || depth > 64)
        return seen;
    char link[64];
    ip::ops().readlink(path.c_str(), link, sizeof link);
    ip::read_whole(path, 509);
    ip::listing l = ip::list(path);
    for (const auto &name : l.names)
        seen += walk(path + "/" + name, depth + 1);
    return seen;
}

// Seeded damage to a valid region file: flipped bytes in the tables and in
// the chunks. Loading and walking must never read outside the file (the
// sanitizer build checks) nor crash.
TEST(RegionMalformed, DamagedFilesAreWalkedSafely)
{
    tmp::dir dir;
    std::vector<rb::chunk> chunks;
    for (unsigned i = 0; i < 12; i++) {
        tb::tree_ptr t(tb::compound("", {tb::i32("v", int32_t(i)), tb::str("s", std::string(i * 50, 'q')),
                                         tb::list("l", TAG_LONG, {tb::i64(nullptr, i)})}));
        chunks.push_back(chunk_spec(i * 37 % 1024, 2 + i, 1,
                                    rb::compressed(t.get(), i % 2 ? COMPRESSION_GZIP : COMPRESSION_ZLIB), uint8_t(1 + i % 2), i));
    }
    const auto valid = rb::build(chunks);
    std::mt19937 rng(20240601);
    size_t objects = 0;
    for (int round = 0; round < 300; round++) {
        auto bytes = valid;
        std::uniform_int_distribution<int> flips(1, 8);
        for (int f = flips(rng); f > 0; f--) {
            // Half the damage in the tables, half anywhere.
            size_t limit = rng() % 2 ? 8192 : bytes.size();
            bytes[rng() % limit] = uint8_t(rng());
        }
        if (rng() % 4 == 0)
            bytes.resize(8192 + rng() % (bytes.size() - 8192));
        std::string path = (dir / "m.mca");
        rb::write_file(path, bytes);
        mount_settings s;
        s.read_only = 1;
        s.chunk_links_visible = 1;
        ip::installed_region r(path, s);
        ASSERT_TRUE(r.ok()) << r.messages();
        objects += walk("");
    }
    EXPECT_GT(objects, 300u * 10);
}

// The region files of the fuzz corpus and every input that ever made the
// region fuzz target fail.
TEST(RegionMalformed, FuzzCorpusIsWalkedSafely)
{
    size_t files = 0;
    for (const char *dir : {"/fuzz/corpus/region", "/fuzz/crashes/region"}) {
        std::error_code ec;
        for (const auto &e : std::filesystem::directory_iterator(std::string(BURL_SOURCE_DIR) + dir, ec)) {
            if (!e.is_regular_file())
                continue;
            mount_settings s;
            s.read_only = 1;
            s.chunk_links_visible = 1;
            ip::installed_region r(e.path().string(), s);
            if (r.ok())
                walk("");
            files++;
        }
    }
    EXPECT_GE(files, 6u);
}

} // namespace
