// Saving at unmount: what reaches the file, what stays untouched, and how
// failures are reported (logged, and exit status 1).
#include <sys/mount.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <random>

#include "chunk_spec.h"
#include "mount_test_support.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

std::string sh(const mt::mounted &fs, const std::string &command)
{
    proc::result r = mt::tool({"bash", "-c", mt::substitute(command, fs.root())});
    EXPECT_EQ(r.status, 0) << command << ": " << r.err;
    return r.out;
}

struct timespec mtime_of(const std::string &path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtim;
}

bool same_time(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

nbt_node *sample_tree()
{
    return tb::compound("root", {tb::i32("n", 1), tb::str("s", "text"), tb::list("l", TAG_DOUBLE, {tb::f64(nullptr, 0.5)}),
                                 tb::compound("c", {tb::longs("la", {1, 2})})});
}

std::vector<uint8_t> random_bytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto &b : v)
        b = uint8_t(rng());
    return v;
}

void expect_tree(const std::vector<uint8_t> &bytes, const nbt_node *expected)
{
    tb::tree_ptr saved(mt::parse_saved(bytes));
    ASSERT_TRUE(saved) << nbt_error_to_string(nbt_status(errno));
    EXPECT_TRUE(nbt_eq(saved.get(), expected)) << tree_text(saved.get()) << "\nexpected\n" << tree_text(expected);
}

class NbtSave : public testing::Test {
protected:
    void SetUp() override { BURL_REQUIRE_MOUNTS(); }
};

TEST_F(NbtSave, UnchangedFileIsUntouched)
{
    tb::tree_ptr tree(sample_tree());
    auto bytes = mt::nbt_file(tree.get(), COMPRESSION_ZLIB);
    mt::mounted fs;
    ASSERT_TRUE(fs.start(bytes, {}));
    auto before = mtime_of(fs.file());
    EXPECT_EQ(sh(fs, "cat @/n @/l/0; ls @/c"), "1\n0.500000\nla\n");
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), bytes);
    EXPECT_TRUE(same_time(mtime_of(fs.file()), before));
}

// touch of existing entries changes nothing, so nothing is saved either.
TEST_F(NbtSave, TouchedFileIsUntouched)
{
    tb::tree_ptr tree(sample_tree());
    auto bytes = mt::nbt_file(tree.get(), COMPRESSION_ZLIB);
    mt::mounted fs;
    ASSERT_TRUE(fs.start(bytes, {}));
    auto attributes = sh(fs, "stat -c '%s %a %Y' @/n @/l/0 @/c");
    EXPECT_EQ(sh(fs, "touch @/n @/l/0 @/c && cat @/n"), "1\n");
    EXPECT_EQ(sh(fs, "stat -c '%s %a %Y' @/n @/l/0 @/c"), attributes);
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), bytes);
}

TEST_F(NbtSave, ChangedTreeIsSavedGzipCompressed)
{
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get(), COMPRESSION_ZLIB), {}));
    sh(fs, "echo 7 > @/n && mkdir @/c/compound:d && echo 1.25 > @/l/0 && rm @/s");
    fs.finish();
    auto saved = rb::read_file(fs.file());
    ASSERT_GE(saved.size(), 2u);
    EXPECT_EQ(tb::to_hex(saved.data(), 2), "1f 8b");
    tb::tree_ptr expected(tb::compound("root", {tb::i32("n", 7), tb::list("l", TAG_DOUBLE, {tb::f64(nullptr, 1.25)}),
                                                tb::compound("c", {tb::longs("la", {1, 2}), tb::compound("d")})}));
    expect_tree(saved, expected.get());
}

TEST_F(NbtSave, ZlibWhenChosen)
{
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-o", "compression=zlib"}));
    sh(fs, "echo 2 > @/n");
    fs.finish();
    auto saved = rb::read_file(fs.file());
    ASSERT_GE(saved.size(), 1u);
    EXPECT_EQ(saved[0], 0x78);
    nbt_find_by_name(tree.get(), "n")->payload.tag_int = 2;
    expect_tree(saved, tree.get());
}

TEST_F(NbtSave, ShorterTreeLeavesTheOldTailInPlace)
{
    tb::tree_ptr tree(tb::compound("", {tb::i32("n", 1), tb::bytes("noise", random_bytes(3000, 1))}));
    auto bytes = mt::nbt_file(tree.get());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(bytes, {}));
    sh(fs, "rm @/noise");
    fs.finish();
    auto saved = rb::read_file(fs.file());
    ASSERT_EQ(saved.size(), bytes.size()); // not truncated
    tb::tree_ptr expected(tb::compound("", {tb::i32("n", 1)}));
    expect_tree(saved, expected.get());
    size_t stream = rb::compressed(expected.get(), COMPRESSION_GZIP).size();
    EXPECT_TRUE(std::equal(saved.begin() + long(stream), saved.end(), bytes.begin() + long(stream)));
}

TEST_F(NbtSave, WriteFileAlwaysGetsTheWholeTree)
{
    tb::tree_ptr tree(sample_tree());
    auto bytes = mt::nbt_file(tree.get(), COMPRESSION_ZLIB);
    mt::mounted fs;
    std::string out = fs.scratch_path("out.nbt");
    ASSERT_TRUE(fs.start(bytes, {"-o", "writefile=" + out}));
    EXPECT_EQ(sh(fs, "cat @/s"), "text\n");
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), bytes);
    auto saved = rb::read_file(out);
    ASSERT_GE(saved.size(), 2u);
    EXPECT_EQ(tb::to_hex(saved.data(), 2), "1f 8b");
    expect_tree(saved, tree.get());
}

TEST_F(NbtSave, WriteFileThatIsTheMountedFile)
{
    tb::tree_ptr tree(sample_tree());
    mt::mounted fs;
    ASSERT_TRUE(fs.scratch_path("t.nbt").size());
    ASSERT_TRUE(fs.start(mt::nbt_file(tree.get()), {"-o", "writefile=" + fs.scratch_path("t.nbt")}));
    sh(fs, "echo changed > @/s");
    fs.finish();
    free(nbt_find_by_name(tree.get(), "s")->payload.tag_string);
    nbt_find_by_name(tree.get(), "s")->payload.tag_string = strdup("changed");
    expect_tree(rb::read_file(fs.file()), tree.get());
}

TEST_F(NbtSave, UnwritableTreeLeavesTheFileAsItWas)
{
    tb::tree_ptr tree(sample_tree());
    auto bytes = mt::nbt_file(tree.get());
    mt::mounted fs;
    ASSERT_TRUE(fs.start(bytes, {}));
    sh(fs, "echo 9 > @/n && mkdir @/list:untyped");
    mf::outcome o = fs.finish(1, {R"(burlfs\[\d+\]: Failed to save NBT file, NBT tree is corrupt\.)"});
    EXPECT_NE(o.log.find("Failed to save NBT file, NBT tree is corrupt."), std::string::npos);
    EXPECT_EQ(rb::read_file(fs.file()), bytes);
}

// A tmpfs of its own, so that saving can run out of space.
class tiny_tmpfs {
public:
    explicit tiny_tmpfs(const std::string &dir, size_t bytes) : dir_(dir)
    {
        mkdir(dir.c_str(), 0700);
        std::string options = "size=" + std::to_string(bytes);
        ok_ = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~tiny_tmpfs()
    {
        if (ok_)
            umount2(dir_.c_str(), MNT_DETACH);
    }
    bool ok() const { return ok_; }

    // Fills what is left with a file of its own, but for pages pages.
    void fill(size_t pages = 0) const
    {
        std::string filler = dir_ + "/filler";
        std::vector<uint8_t> block(4096, 0x55);
        FILE *f = fopen(filler.c_str(), "wb");
        while (f && fwrite(block.data(), 1, block.size(), f) == block.size() && fflush(f) == 0) {
        }
        if (f)
            fclose(f);
        struct stat st {};
        stat(filler.c_str(), &st);
        truncate(filler.c_str(), std::max<off_t>(0, st.st_size / 4096 * 4096 - off_t(pages * 4096)));
    }

private:
    std::string dir_;
    bool ok_ = false;
};

#define REQUIRE_TMPFS(t)                                                                        \
    do {                                                                                        \
        if (!(t).ok()) {                                                                        \
            if (mf::fuse_required())                                                            \
                FAIL() << "cannot mount a tmpfs";                                               \
            GTEST_SKIP() << "cannot mount a tmpfs here";                                        \
        }                                                                                       \
    } while (0)

TEST_F(NbtSave, WriteErrorIsLogged)
{
    mt::mounted fs;
    tiny_tmpfs space(fs.scratch_path("space"), 64 * 1024);
    REQUIRE_TMPFS(space);
    tb::tree_ptr tree(tb::compound("", {tb::i32("n", 1)}));
    std::string file = fs.scratch_path("space/t.nbt");
    rb::write_file(file, mt::nbt_file(tree.get()));
    space.fill();
    ASSERT_TRUE(fs.start_file(file, {}));
    // Incompressible bytes make the tree need more room than is left.
    std::string noise = fs.scratch_path("noise");
    rb::write_file(noise, random_bytes(20000, 2));
    sh(fs,  ": > @/int8array:b && cat " + noise + " > @/b");
    const char *message = "Failed to save NBT file, IO Error. Nonexistant/corrupt file?";
    mf::outcome o = fs.finish(1, {R"(burlfs\[\d+\]: Failed to save NBT file, IO Error\. Nonexistant/corrupt file\?)"});
    EXPECT_NE(o.log.find(message), std::string::npos) << o.log;
}

// A region file of three chunks in gzip and zlib.
struct region_file {
    std::vector<uint8_t> bytes;
    static constexpr unsigned chunks[] = {1, 2, 40};

    static nbt_node *chunk_tree(unsigned i)
    {
        return tb::compound("", {tb::i32("v", int32_t(i)), tb::str("s", std::string(i, 'x'))});
    }

    region_file()
    {
        std::vector<rb::chunk> list;
        uint32_t sector = 2;
        for (unsigned i : chunks) {
            tb::tree_ptr t(chunk_tree(i));
            nbt_compression c = i == 2 ? COMPRESSION_GZIP : COMPRESSION_ZLIB;
            list.push_back(chunk_spec(i, sector, 1, rb::compressed(t.get(), c), c == COMPRESSION_GZIP ? 1 : 2, 1000 + i));
            sector += 2; // a gap of one sector after each chunk
        }
        bytes = rb::build(list);
    }
};

class RegionSave : public testing::Test {
protected:
    void SetUp() override { BURL_REQUIRE_MOUNTS(); }
    region_file region;

    static uint32_t be32(const std::vector<uint8_t> &b, size_t at)
    {
        return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
    }

    // The bytes that differ between two files of the same length, as ranges.
    static std::vector<std::pair<size_t, size_t>> differences(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
    {
        std::vector<std::pair<size_t, size_t>> ranges;
        for (size_t i = 0; i < a.size(); i++) {
            if (a[i] == b[i])
                continue;
            if (!ranges.empty() && ranges.back().second == i)
                ranges.back().second = i + 1;
            else
                ranges.push_back({i, i + 1});
        }
        return ranges;
    }

    static tb::tree_ptr chunk_of(const std::vector<uint8_t> &file, unsigned i)
    {
        size_t at = size_t(be32(file, 4 * i) >> 8) * 4096;
        uint32_t length = be32(file, at);
        return tb::tree_ptr(nbt_parse_compressed(file.data() + at + 5, length - 1));
    }
};

TEST_F(RegionSave, UnchangedRegionIsUntouched)
{
    mt::mounted fs;
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region"}, "r.mca"));
    auto before = mtime_of(fs.file());
    EXPECT_EQ(sh(fs, "cat @/2/v @/40/s"), "2\n" + std::string(40, 'x') + "\n");
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), region.bytes);
    EXPECT_TRUE(same_time(mtime_of(fs.file()), before));
}

TEST_F(RegionSave, OnlyChangedChunksAndTheirTimesAreRewritten)
{
    mt::mounted fs;
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region"}, "r.mca"));
    time_t start = time(nullptr);
    sh(fs, "echo 22 > @/2/v");
    fs.finish();
    auto saved = rb::read_file(fs.file());
    ASSERT_EQ(saved.size(), region.bytes.size());
    // Chunk 2 lies at sector 4; its timestamp entry at 4096 + 8.
    for (auto [from, to] : differences(region.bytes, saved)) {
        bool in_timestamp = from >= 4096 + 8 && to <= 4096 + 12;
        bool in_chunk = from >= 4 * 4096 + 5 && to <= 5 * 4096; // not the compression byte
        EXPECT_TRUE(in_timestamp || in_chunk) << from << ".." << to;
    }
    EXPECT_EQ(saved[4 * 4096 + 4], 1); // the chunk keeps its gzip byte
    EXPECT_GE(be32(saved, 4096 + 8), uint32_t(start));
    tb::tree_ptr expected(region_file::chunk_tree(2));
    nbt_find_by_name(expected.get(), "v")->payload.tag_int = 22;
    tb::tree_ptr chunk = chunk_of(saved, 2);
    ASSERT_TRUE(chunk);
    EXPECT_TRUE(nbt_eq(chunk.get(), expected.get())) << tree_text(chunk.get());
}

TEST_F(RegionSave, ChosenCompressionReplacesTheChunksOwn)
{
    mt::mounted fs;
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region,compression=zlib"}, "r.mca"));
    sh(fs, "echo 0 > @/2/v");
    fs.finish();
    auto saved = rb::read_file(fs.file());
    EXPECT_EQ(saved[4 * 4096 + 4], 2);
    EXPECT_EQ(saved[4 * 4096 + 5], 0x78);
    ASSERT_TRUE(chunk_of(saved, 2));
}

TEST_F(RegionSave, MovesBetweenChunksReachBoth)
{
    mt::mounted fs;
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region"}, "r.mca"));
    sh(fs, "mv @/1/s @/40/t");
    fs.finish({0});
    auto saved = rb::read_file(fs.file());
    EXPECT_EQ(tree_text(chunk_of(saved, 1).get()), "{v=1}");
    EXPECT_EQ(tree_text(chunk_of(saved, 40).get()), "{v=40,s='" + std::string(40, 'x') + "',t='x'}");
    EXPECT_EQ(tree_text(chunk_of(saved, 2).get()), "{v=2,s='xx'}");
}

TEST_F(RegionSave, TooBigChunkKeepsItsBytesAndOthersAreSaved)
{
    mt::mounted fs;
    std::string noise = fs.scratch_path("noise");
    rb::write_file(noise, random_bytes(6000, 3));
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region"}, "r.mca"));
    sh(fs, ": > @/2/int8array:b && cat " + noise + " > @/2/b && echo 11 > @/1/v");
    mf::outcome o = fs.finish(1, {R"(burlfs\[\d+\]: Chunk 2 is too big to store, need \d+ bytes but only 4096 bytes available)"});
    EXPECT_NE(o.log.find("Chunk 2 is too big to store"), std::string::npos);
    auto saved = rb::read_file(fs.file());
    // Chunk 2 and its timestamp are as they were.
    EXPECT_TRUE(std::equal(saved.begin() + 4 * 4096, saved.begin() + 5 * 4096, region.bytes.begin() + 4 * 4096));
    EXPECT_EQ(be32(saved, 4096 + 8), 1002u);
    EXPECT_EQ(tree_text(chunk_of(saved, 1).get()), "{v=11,s='x'}");
}

TEST_F(RegionSave, UnwritableChunkKeepsItsBytes)
{
    mt::mounted fs;
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region"}, "r.mca"));
    sh(fs, "mkdir @/40/list:untyped");
    mf::outcome o = fs.finish(1, {R"(burlfs\[\d+\]: Failed to compress chunk 40, NBT tree is corrupt\.)"});
    EXPECT_NE(o.log.find("Failed to compress chunk 40, NBT tree is corrupt."), std::string::npos);
    auto saved = rb::read_file(fs.file());
    EXPECT_TRUE(std::equal(saved.begin() + 4096 + 4 * 40 + 4, saved.end(), region.bytes.begin() + 4096 + 4 * 40 + 4));
    EXPECT_EQ(tree_text(chunk_of(saved, 40).get()), tree_text(tb::tree_ptr(region_file::chunk_tree(40)).get()));
}

TEST_F(RegionSave, WriteFileGetsHeaderAndEveryChunkInPlace)
{
    mt::mounted fs;
    std::string out = fs.scratch_path("out.mca");
    // The write file is not truncated: what lies outside the written ranges
    // stays.
    rb::write_file(out, std::vector<uint8_t>(region.bytes.size() + 100, 0xaa));
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region,writefile=" + out}, "r.mca"));
    sh(fs, "echo 3 > @/40/v");
    fs.finish();
    EXPECT_EQ(rb::read_file(fs.file()), region.bytes);
    auto saved = rb::read_file(out);
    ASSERT_EQ(saved.size(), region.bytes.size() + 100);
    EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 4096 + 4 * 40, region.bytes.begin()));
    for (unsigned i : {1u, 2u}) {
        size_t at = (2 + 2 * (i - 1)) * 4096;
        size_t end = at + 4 + be32(region.bytes, at);
        EXPECT_TRUE(std::equal(saved.begin() + long(at), saved.begin() + long(end), region.bytes.begin() + long(at))) << i;
        EXPECT_EQ(saved[end], 0xaa) << i;
    }
    EXPECT_EQ(tree_text(chunk_of(saved, 40).get()), "{v=3,s='" + std::string(40, 'x') + "'}");
    EXPECT_EQ(saved.back(), 0xaa);
}

TEST_F(RegionSave, WriteErrorStopsAllFurtherWriting)
{
    mt::mounted fs;
    tiny_tmpfs space(fs.scratch_path("space"), 64 * 1024);
    REQUIRE_TMPFS(space);
    std::string out = fs.scratch_path("space/out.mca");
    // Room for the header and chunk 1 (sectors 0 to 2), not for chunk 2.
    space.fill(3);
    ASSERT_TRUE(fs.start(region.bytes, {"-o", "region,writefile=" + out}, "r.mca"));
    mf::outcome o = fs.finish(1, {R"(burlfs\[\d+\]: write on fd \d+ failed, No space left on device; data will not be saved)"});
    EXPECT_NE(o.log.find("data will not be saved"), std::string::npos) << o.log;
    // One failure is reported; what came before stays, nothing after it is
    // written.
    EXPECT_EQ(o.log.find("failed"), o.log.rfind("failed"));
    auto saved = rb::read_file(out);
    size_t chunk_1_end = 2 * 4096 + 4 + be32(region.bytes, 2 * 4096);
    ASSERT_EQ(saved.size(), chunk_1_end);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), region.bytes.begin()));
}

} // namespace
