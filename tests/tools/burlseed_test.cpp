// burlseed: every option, the bytes of the files it writes, and its messages.
#include <filesystem>

#include "burl_version.h"
#include "region_builder.h"
#include "tool_test.h"
#include "tree_builder.h"

namespace {

const char *const usage = "Usage: ./burlseed [-C {gzip|zlib}] [-L <root-node-name>] [-v] <path>\n";

enum class file_kind { none, empty, gzip, zlib };

// What is at f.nbt after the run.
struct file_check {
    file_kind kind;
    std::vector<uint8_t> content; // the uncompressed bytes
};

const file_check no_file = {file_kind::none, {}};
const file_check empty_root_gzip = {file_kind::gzip, tb::hex("0a 0000 00")};

std::vector<uint8_t> root_named(const std::string &name)
{
    std::vector<uint8_t> v = {0x0a, uint8_t(name.size() >> 8), uint8_t(name.size())};
    for (char c : name)
        v.push_back(uint8_t(c));
    v.push_back(0);
    return v;
}

// The uncompressed content of a gzip or zlib stream (automatic detection).
std::vector<uint8_t> inflated(const std::vector<uint8_t> &in)
{
    z_stream s{};
    EXPECT_EQ(inflateInit2(&s, 47), Z_OK);
    std::vector<uint8_t> out(1 << 20);
    s.next_in = const_cast<Bytef *>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(s.avail_in, 0u) << "bytes after the stream";
    out.resize(s.total_out);
    inflateEnd(&s);
    return out;
}

void expect_file(const std::string &path, const file_check &want)
{
    bool exists = std::filesystem::exists(path);
    ASSERT_EQ(exists, want.kind != file_kind::none) << path;
    if (!exists)
        return;
    auto bytes = rb::read_file(path);
    if (want.kind == file_kind::empty) {
        EXPECT_TRUE(bytes.empty());
        return;
    }
    ASSERT_GE(bytes.size(), 2u);
    bool gzip = bytes[0] == 0x1f && bytes[1] == 0x8b;
    bool zlib = (bytes[0] & 0x0f) == 8 && (bytes[0] << 8 | bytes[1]) % 31 == 0;
    EXPECT_EQ(gzip, want.kind == file_kind::gzip);
    EXPECT_EQ(zlib, want.kind == file_kind::zlib);
    EXPECT_EQ(tb::to_hex(inflated(bytes).data(), inflated(bytes).size()),
              tb::to_hex(want.content.data(), want.content.size()));
}

const std::string long_name(32768, 'n');
const std::string longest_name(32767, 'n');

struct seed_case {
    const char *name;
    std::vector<std::string> args;
    outcome want;
    file_check file;
};

void PrintTo(const seed_case &c, std::ostream *os) { *os << c.name; }

const seed_case seed_cases[] = {
    {"path_only_gzip", {"f.nbt"}, {"", "", 0}, empty_root_gzip},
    {"zlib_named_level", {"-C", "zlib", "-L", "level", "f.nbt"}, {"", "", 0}, {file_kind::zlib, tb::hex("0a 0005 6c6576656c 00")}},
    {"N_like_L", {"-C", "zlib", "-N", "level", "f.nbt"}, {"", "", 0}, {file_kind::zlib, root_named("level")}},
    {"explicit_gzip", {"-C", "gzip", "f.nbt"}, {"", "", 0}, empty_root_gzip},
    {"later_C_wins", {"-C", "zlib", "-C", "gzip", "f.nbt"}, {"", "", 0}, empty_root_gzip},
    {"later_name_wins", {"-L", "a", "-N", "b", "f.nbt"}, {"", "", 0}, {file_kind::gzip, root_named("b")}},
    {"combined_letters", {"-vCzlib", "f.nbt"},
     {"", "./burlseed: Writing following NBT tree into 'f.nbt':\n\nTAG_Compound(\"\") {\n}\n\n", 0},
     {file_kind::zlib, root_named("")}},
    {"verbose", {"-v", "-L", "level", "f.nbt"},
     {"", "./burlseed: Writing following NBT tree into 'f.nbt':\n\nTAG_Compound(\"level\") {\n}\n\n", 0},
     {file_kind::gzip, root_named("level")}},
    {"longest_name", {"-L", longest_name, "f.nbt"}, {"", "", 0}, {file_kind::gzip, root_named(longest_name)}},
    {"name_too_long_leaves_file_empty", {"-L", long_name, "f.nbt"},
     {"", "./burlseed: Failed to save NBT to f.nbt, NBT tree is corrupt.\n", 1}, {file_kind::empty, {}}},
    {"unsupported_compression", {"-C", "lzma", "f.nbt"}, {"", "./burlseed: Compression type lzma is not supported\n", 255}, no_file},
    {"help", {"-h", "f.nbt"}, {"", usage, 0}, no_file},
    {"help_acts_at_once", {"-h", "-x"}, {"", usage, 0}, no_file},
    {"version", {"-V"}, {std::string("burlseed ") + BURL_VERSION + "\n", "", 0}, no_file},
    {"version_acts_at_once", {"-V", "-C", "lzma", "f.nbt"}, {std::string("burlseed ") + BURL_VERSION + "\n", "", 0}, no_file},
    {"no_path", {}, {"", usage, 255}, no_file},
    {"no_path_after_options", {"-v"}, {"", usage, 255}, no_file},
    {"two_paths", {"f.nbt", "g.nbt"}, {"", usage, 255}, no_file},
    {"options_after_path_are_paths", {"f.nbt", "-v"}, {"", usage, 255}, no_file},
    {"unknown_option", {"-x", "f.nbt"}, {"", std::string("./burlseed: invalid option -- 'x'\n") + usage, 255}, no_file},
    {"C_without_argument", {"-C"}, {"", std::string("./burlseed: option requires an argument -- 'C'\n") + usage, 255}, no_file},
    {"missing_directory", {"nodir/f.nbt"}, {"", "nodir/f.nbt: No such file or directory\n", 1}, no_file},
};

class Burlseed : public ToolTest, public testing::WithParamInterface<seed_case> {};

TEST_P(Burlseed, Creates)
{
    const auto &c = GetParam();
    expect_outcome(run(BURLSEED, "./burlseed", c.args), c.want);
    expect_file(dir / "f.nbt", c.file);
}

INSTANTIATE_TEST_SUITE_P(Cases, Burlseed, testing::ValuesIn(seed_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ToolTest, BurlseedDashdashEndsOptions)
{
    expect_outcome(run(BURLSEED, "./burlseed", {"-C", "zlib", "--", "-v"}), {"", "", 0});
    expect_file(dir / "-v", {file_kind::zlib, root_named("")});
}

TEST_F(ToolTest, BurlseedReplacesExistingFile)
{
    rb::write_file(dir / "f.nbt", std::vector<uint8_t>(10000, 0x55));
    expect_outcome(run(BURLSEED, "./burlseed", {"f.nbt"}), {"", "", 0});
    expect_file(dir / "f.nbt", empty_root_gzip);
}

TEST_F(ToolTest, BurlseedCloseFailureIsReported)
{
    // The few bytes stay in the stream's buffer until the close, which fails.
    expect_outcome(run(BURLSEED, "./burlseed", {"/dev/full"}), {"", "fclose: No space left on device\n", 1});
}

} // namespace
