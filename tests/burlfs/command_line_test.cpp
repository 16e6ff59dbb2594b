// The command line and mount options: the vector handed to libfuse and the
// settings, for a table of command lines.
#include <gtest/gtest.h>

#include <cstdlib>

#include "command_line.h"

namespace {

struct scanned {
    int status;
    command_line cl;
    std::string out, err;
};

scanned scan(std::vector<std::string> args)
{
    args.insert(args.begin(), "burlfs");
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    scanned s{};
    char *out_text = nullptr, *err_text = nullptr;
    size_t out_size = 0, err_size = 0;
    FILE *out = open_memstream(&out_text, &out_size);
    FILE *err = open_memstream(&err_text, &err_size);
    s.status = scan_command_line(int(argv.size()), argv.data(), s.cl, out, err);
    fclose(out);
    fclose(err);
    s.out.assign(out_text, out_size);
    s.err.assign(err_text, err_size);
    free(out_text);
    free(err_text);
    return s;
}

struct vector_case {
    const char *name;
    std::vector<std::string> args;
    std::vector<std::string> expected; // less the caching options after the file
};

void PrintTo(const vector_case &c, std::ostream *os) { *os << c.name; }

const vector_case vector_cases[] = {
    {"plain", {"f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"foreground", {"-f", "f.nbt", "mnt"}, {"f.nbt", "-f", "mnt"}},
    {"combined_letters", {"-fv", "f.nbt", "mnt"}, {"f.nbt", "-f", "mnt"}},
    {"foreground_twice", {"-f", "f.nbt", "-f", "mnt"}, {"f.nbt", "-f", "-f", "mnt"}},
    {"read_only_letter", {"-r", "f.nbt", "mnt"}, {"f.nbt", "-o", "ro", "mnt"}},
    {"read_only_then_writable", {"-r", "-w", "f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"writable_then_ro_option", {"-w", "-o", "ro", "f.nbt", "mnt"}, {"f.nbt", "-o", "ro", "mnt"}},
    {"ro_then_rw_option", {"-o", "ro,rw", "f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"ro_and_passed_option", {"-o", "ro,allow_other", "f.nbt", "mnt"},
     {"f.nbt", "-o", "allow_other", "-o", "ro", "mnt"}},
    {"known_options_pass_nothing", {"-o", "typeprefix,region", "f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"value_options_pass_nothing",
     {"-o", "umask=022,writefile=w,compression=zlib,chunksymlink=visible,arraybyteorder=big", "f.nbt", "mnt"},
     {"f.nbt", "mnt"}},
    {"unknown_items_joined", {"-o", "allow_other,region,debug", "f.nbt", "mnt"},
     {"f.nbt", "-o", "allow_other,debug", "mnt"}},
    {"order_of_arising", {"-o", "a", "-f", "-o", "b,ro", "f.nbt", "mnt"},
     {"f.nbt", "-o", "a", "-f", "-o", "b", "-o", "ro", "mnt"}},
    {"trailing_comma", {"-o", "allow_other,", "f.nbt", "mnt"}, {"f.nbt", "-o", "allow_other", "mnt"}},
    {"empty_item_dropped", {"-o", "a,,b", "f.nbt", "mnt"}, {"f.nbt", "-o", "a,b", "mnt"}},
    {"resembling_items_passed", {"-o", "umask,region=1,RO", "f.nbt", "mnt"},
     {"f.nbt", "-o", "umask,region=1,RO", "mnt"}},
    {"letters_take_next_arguments", {"-ot", "ro", "nbt", "f.nbt", "mnt"}, {"f.nbt", "-o", "ro", "mnt"}},
    {"type_options", {"-t", "nbt", "-F", "nbt", "f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"ignored_letter", {"-n", "f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"verbose", {"--verbose", "-v", "f.nbt", "mnt"}, {"f.nbt", "mnt"}},
    {"lone_dash_is_positional", {"-", "mnt"}, {"-", "mnt"}},
    {"after_double_dash", {"--", "-r", "mnt"}, {"-r", "mnt"}},
    {"options_after_positionals", {"f.nbt", "mnt", "-r"}, {"f.nbt", "-o", "ro", "mnt"}},
};

class FuseVector : public testing::TestWithParam<vector_case> {};

TEST_P(FuseVector, InOrder)
{
    const auto &c = GetParam();
    scanned s = scan(c.args);
    ASSERT_EQ(s.status, -1) << s.err;
    // Every vector turns the kernel's caching of names and attributes off,
    // right after the file.
    std::vector<std::string> expected = c.expected;
    expected.insert(expected.begin() + 1, {"-o", "entry_timeout=0,attr_timeout=0"});
    EXPECT_EQ(fuse_argument_vector(s.cl), expected);
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(s.out, "");
}

INSTANTIATE_TEST_SUITE_P(CommandLines, FuseVector, testing::ValuesIn(vector_cases),
                         [](const auto &info) { return std::string(info.param.name); });

// One setting after scanning, as text, so that one table covers them all.
struct setting_case {
    const char *name;
    std::vector<std::string> args;
    std::string (*get)(const command_line &);
    std::string expected;
};

void PrintTo(const setting_case &c, std::ostream *os) { *os << c.name; }

std::string umask_of(const command_line &c) { return std::to_string(c.settings.fs_umask); }
std::string swap_of(const command_line &c) { return std::to_string(c.settings.swap_array_bytes); }
std::string links_of(const command_line &c) { return std::to_string(c.settings.chunk_links_visible); }
std::string compression_of(const command_line &c) { return std::to_string(c.settings.compression); }
std::string write_file_of(const command_line &c) { return c.settings.write_file.value_or("(none)"); }
std::string prefix_of(const command_line &c) { return std::to_string(c.settings.use_type_prefix); }
std::string region_of(const command_line &c) { return std::to_string(c.settings.region_mode); }
std::string read_only_of(const command_line &c) { return std::to_string(c.settings.read_only); }
std::string log_of(const command_line &c) { return std::to_string(c.log_to_stderr); }
std::string files_of(const command_line &c) { return c.nbt_file + " " + c.mount_point; }

const bool little_endian = [] {
    uint16_t probe = 1;
    return *reinterpret_cast<unsigned char *>(&probe) == 1;
}();

const setting_case setting_cases[] = {
    {"umask_octal", {"-o", "umask=022", "f", "m"}, umask_of, std::to_string(022)},
    {"umask_not_octal", {"-o", "umask=9", "f", "m"}, umask_of, "0"},
    {"umask_masked", {"-o", "umask=1777", "f", "m"}, umask_of, std::to_string(0777)},
    {"umask_leading_digits", {"-o", "umask=27x", "f", "m"}, umask_of, std::to_string(027)},
    {"umask_default", {"f", "m"}, umask_of, "0"},
    {"byte_order_big", {"-o", "arraybyteorder=big", "f", "m"}, swap_of, little_endian ? "1" : "0"},
    {"byte_order_little", {"-o", "arraybyteorder=little", "f", "m"}, swap_of, little_endian ? "0" : "1"},
    {"byte_order_host", {"-o", "arraybyteorder=big,arraybyteorder=host", "f", "m"}, swap_of, "0"},
    {"links_visible", {"-o", "chunksymlink=visible", "f", "m"}, links_of, "1"},
    {"links_hidden_last_wins", {"-o", "chunksymlink=visible,chunksymlink=hidden", "f", "m"}, links_of, "0"},
    {"compression_unset", {"f", "m"}, compression_of, "-1"},
    {"compression_zlib", {"-o", "compression=zlib", "f", "m"}, compression_of, "1"},
    {"compression_last_wins", {"-o", "compression=zlib", "-o", "compression=gzip", "f", "m"}, compression_of, "0"},
    {"write_file", {"-o", "writefile=/some/where.nbt,ro", "f", "m"}, write_file_of, "/some/where.nbt"},
    {"write_file_unset", {"f", "m"}, write_file_of, "(none)"},
    {"type_prefix", {"-o", "typeprefix", "f", "m"}, prefix_of, "1"},
    {"region", {"-o", "region", "f", "m"}, region_of, "1"},
    {"read_only_default", {"f", "m"}, read_only_of, "0"},
    {"read_only_option", {"-o", "ro", "f", "m"}, read_only_of, "1"},
    {"log_quiet", {"f", "m"}, log_of, "0"},
    {"log_verbose", {"-v", "f", "m"}, log_of, "1"},
    {"log_long_verbose", {"--verbose", "f", "m"}, log_of, "1"},
    {"log_foreground", {"-f", "f", "m"}, log_of, "1"},
    {"positionals", {"-r", "in.nbt", "-o", "ro", "out"}, files_of, "in.nbt out"},
};

class Setting : public testing::TestWithParam<setting_case> {};

TEST_P(Setting, Scanned)
{
    const auto &c = GetParam();
    scanned s = scan(c.args);
    ASSERT_EQ(s.status, -1) << s.err;
    EXPECT_EQ(c.get(s.cl), c.expected);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Setting, testing::ValuesIn(setting_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ExtendedOptions, InvalidValueStopsAtOnce)
{
    // The bad value ends the scan before the letter -x is looked at.
    scanned s = scan({"-o", "compression=lzma,chunksymlink=bad", "-x", "f", "m"});
    EXPECT_EQ(s.status, 255);
    EXPECT_EQ(s.err, "Compression type lzma is not supported\n");
}

} // namespace
