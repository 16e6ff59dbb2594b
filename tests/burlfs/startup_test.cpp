// Start-up run as a process: every message and exit status before the file
// system is mounted.
#include <gtest/gtest.h>

#include <regex>

#include "burl_version.h"
#include "mount_fixture.h"
#include "mount_test_support.h"
#include "temp_dir.h"
#include "raw_compress.h"
#include "chunk_spec.h"
#include "region_builder.h"
#include "tree_builder.h"

namespace {

const std::string usage = "Usage: burlfs [-o <fs-options>] [-fnrvw] <nbt-file> <mount-point>\n";

struct startup_case {
    const char *name;
    std::vector<std::string> args; // "@" stands for the test's directory
    std::string out;
    std::string err; // "@" likewise; "burlfs[PID]" matches any process id
    int status;
};

void PrintTo(const startup_case &c, std::ostream *os) { *os << c.name; }

const std::string no_file = ": No such file or directory\n";

const startup_case startup_cases[] = {
    {"no_arguments", {}, "", usage, 255},
    {"help", {"-h"}, "", usage, 0},
    {"long_help", {"--help", "-x"}, "", usage, 0},
    {"help_before_invalid_letter", {"-h", "-x"}, "", usage, 0},
    {"version", {"-V"}, std::string("burlfs ") + BURL_VERSION + "\n", "", 0},
    {"long_version", {"f", "--version"}, std::string("burlfs ") + BURL_VERSION + "\n", "", 0},
    {"invalid_letter", {"-x", "f", "m"}, "", "burlfs: Invalid option '-x'\n" + usage, 255},
    {"invalid_letter_in_group", {"-fq", "f", "m"}, "", "burlfs: Invalid option '-q'\n" + usage, 255},
    {"invalid_long_option", {"--bogus", "f", "m"}, "", "burlfs: Invalid option '--bogus'\n", 255},
    {"invalid_long_option_with_value", {"--verbose=1", "f", "m"}, "", "burlfs: Invalid option '--verbose=1'\n", 255},
    {"o_without_value", {"f", "m", "-o"}, "", "burlfs: Option '-o' requires an argument\n", 255},
    {"t_without_value", {"f", "m", "-t"}, "", "burlfs: Option '-t' requires an argument\n", 255},
    {"F_without_value", {"-F"}, "", "burlfs: Option '-F' requires an argument\n", 255},
    {"second_value_letter_without_value", {"-ot", "ro"}, "", "burlfs: Option '-t' requires an argument\n", 255},
    {"type_not_nbt", {"-t", "ext4", "f", "m"}, "", "burlfs: The file system type may only be specified as 'nbt'\n", 255},
    {"type_case_sensitive", {"-F", "NBT", "f", "m"}, "", "burlfs: The file system type may only be specified as 'nbt'\n", 255},
    {"bad_compression_before_file_opened", {"-o", "compression=lzma", "@/missing.nbt", "@/mnt"}, "",
     "Compression type lzma is not supported\n", 255},
    {"compression_case_sensitive", {"-o", "compression=GZIP", "f", "m"}, "", "Compression type GZIP is not supported\n", 255},
    {"bad_chunk_links", {"-o", "region,chunksymlink=maybe", "f", "m"}, "",
     "Invalid argument 'maybe' for 'chunksymlink', it can only be 'hidden' or 'visible'\n", 255},
    {"bad_byte_order", {"-o", "arraybyteorder=middle", "f", "m"}, "",
     "Invalid argument 'middle' for 'arraybyteorder', it can only be 'host', 'big' or 'little'\n", 255},
    {"missing_mount_point", {"f"}, "", usage, 255},
    {"missing_both", {"-r"}, "", usage, 255},
    {"third_positional", {"a", "b", "c"}, "", usage, 255},
    {"missing_file", {"@/missing.nbt", "@/mnt"}, "", "@/missing.nbt" + no_file, 1},
    {"missing_file_read_only", {"-r", "@/missing.nbt", "@/mnt"}, "", "@/missing.nbt" + no_file, 1},
    {"file_is_directory_read_write", {"@", "@/mnt"}, "", "@: Is a directory\n", 1},
    {"plain_text", {"-r", "@/text.nbt", "@/mnt"}, "", "burlfs: Failed to mount @/text.nbt, Fatal zlib error. Corrupt file?\n", 1},
    {"uncompressed_nbt", {"@/raw.nbt", "@/mnt"}, "", "burlfs: Failed to mount @/raw.nbt, Fatal zlib error. Corrupt file?\n", 1},
    {"corrupt_nbt", {"@/corrupt.nbt", "@/mnt"}, "", "burlfs: Failed to mount @/corrupt.nbt, NBT tree is corrupt.\n", 1},
    {"write_file_unopenable", {"-o", "writefile=@/no/dir/w.nbt", "@/good.nbt", "@/mnt"}, "", "@/no/dir/w.nbt" + no_file, 1},
    {"region_missing", {"-o", "region", "@/missing.mca", "@/mnt"}, "", "@/missing.mca" + no_file, 1},
    {"region_too_small", {"-o", "region,ro", "@/small.mca", "@/mnt"}, "", "File is too small to be a valid region file\n", 1},
    {"region_write_file_unopenable", {"-o", "region,writefile=@/no/dir/w.mca", "@/empty.mca", "@/mnt"}, "",
     "@/no/dir/w.mca" + no_file, 1},
    {"region_damaged_read_write", {"-o", "region", "@/damaged.mca", "@/mnt"}, "",
     "Chunk 3 has unsupported compression type 3\nCannot continue in read-write mode\n", 1},
    {"region_damaged_write_file", {"-o", "region,writefile=@/w.mca", "@/damaged.mca", "@/mnt"}, "",
     "Chunk 3 has unsupported compression type 3\nCannot continue in read-write mode\n", 1},
    // Past loading, libfuse refuses the mount point; the messages before it
    // show what was loaded, and the log reaches standard error only with
    // -f, -v or --verbose.
    {"bad_mount_point", {"-r", "@/good.nbt", "@/nowhere"}, "", "fuse: bad mount point `@/nowhere': No such file or directory\n", 1},
    {"bad_mount_point_verbose", {"-v", "-r", "@/good.nbt", "@/nowhere"}, "",
     "burlfs[PID]: NBT @/good.nbt loaded successfully\nfuse: bad mount point `@/nowhere': No such file or directory\n", 1},
    {"bad_mount_point_foreground", {"-f", "@/good.nbt", "@/nowhere"}, "",
     "burlfs[PID]: NBT @/good.nbt loaded successfully\nfuse: bad mount point `@/nowhere': No such file or directory\n", 1},
    {"region_damaged_read_only_goes_on", {"-o", "region,ro", "--verbose", "@/damaged.mca", "@/nowhere"}, "",
     "Chunk 3 has unsupported compression type 3\nburlfs[PID]: Region @/damaged.mca loaded successfully\n"
     "fuse: bad mount point `@/nowhere': No such file or directory\n", 1},
};

class Startup : public testing::TestWithParam<startup_case> {
protected:
    tmp::dir dir;

    void SetUp() override
    {
        tb::tree_ptr tree(tb::compound("", {tb::i32("n", 1)}));
        rb::write_file((dir / "good.nbt"), rb::compressed(tree.get(), COMPRESSION_GZIP));
        rb::write_file((dir / "raw.nbt"), tb::binary(tree.get()));
        rb::write_file((dir / "text.nbt"), tb::hex("68 65 6c 6c 6f 0a"));
        // A complete gzip stream holding truncated NBT.
        auto truncated = tb::binary(tree.get());
        truncated.pop_back();
        rb::write_file((dir / "corrupt.nbt"), rc::compress(truncated, true));
        rb::write_file((dir / "small.mca"), std::vector<uint8_t>(8191, 0));
        rb::write_file((dir / "empty.mca"), std::vector<uint8_t>(8192, 0));
        rb::write_file((dir / "damaged.mca"),
                       rb::build({chunk_spec(1, 2, 1, rb::compressed(tree.get())),
                                  chunk_spec(3, 3, 1, rb::compressed(tree.get()), 3)}));
    }
};

TEST_P(Startup, MessagesAndStatus)
{
    const auto &c = GetParam();
    std::vector<std::string> args;
    for (const auto &a : c.args)
        args.push_back(mt::substitute(a, dir.path()));
    proc::result r = mt::burlfs(args);
    std::string err = std::regex_replace(r.err, std::regex(R"(burlfs\[\d+\])"), "burlfs[PID]");
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(err, mt::substitute(c.err, dir.path()));
    EXPECT_EQ(r.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Startup, testing::ValuesIn(startup_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(StartupWriteFile, EmptiedBeforeTheInputIsParsed)
{
    tmp::dir dir;
    rb::write_file((dir / "text.nbt"), tb::hex("68 65 6c 6c 6f 0a"));
    rb::write_file((dir / "w.nbt"), tb::hex("01 02 03"));
    proc::result r = mt::burlfs({"-o", "writefile=" + (dir / "w.nbt"), (dir / "text.nbt"),
                                         (dir / "mnt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(rb::read_file((dir / "w.nbt")).empty());
    // Read-only, the write file is not even opened.
    rb::write_file((dir / "w.nbt"), tb::hex("01 02 03"));
    r = mt::burlfs({"-r", "-o", "writefile=" + (dir / "w.nbt"), (dir / "text.nbt"),
                              (dir / "mnt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(rb::read_file((dir / "w.nbt")).size(), 3u);
}

TEST(StartupWriteFile, SameFileAsInputIsNotEmptied)
{
    tmp::dir dir;
    tb::tree_ptr tree(tb::compound("", {tb::i32("n", 1)}));
    auto bytes = rb::compressed(tree.get(), COMPRESSION_GZIP);
    rb::write_file((dir / "t.nbt"), bytes);
    // The mount point does not exist, so libfuse refuses after loading.
    proc::result r = mt::burlfs({"-o", "writefile=" + (dir / "t.nbt"), (dir / "t.nbt"),
                                         (dir / "nowhere")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(rb::read_file((dir / "t.nbt")), bytes);
}

} // namespace
