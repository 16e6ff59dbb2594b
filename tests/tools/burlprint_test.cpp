// burlprint on files of every kind: what it prints, where, and its status.
#include "region_builder.h"
#include "tool_test.h"
#include "tree_builder.h"

namespace {

const char *const usage = "Usage: ./burlprint <nbt-file>\n";
const std::string good_text = "TAG_Compound(\"root\") {\n  TAG_Int(\"x\") 5\n  TAG_String(\"s\") \"a b\"\n}\n";
const char *const zlib_failure = "Fatal zlib error. Corrupt file?\n";

std::string load_failure(const std::string &path, const std::string &why)
{
    return "./burlprint: Failed to load '" + path + "', " + why;
}

struct print_case {
    const char *name;
    std::vector<std::string> args;
    outcome want;
};

void PrintTo(const print_case &c, std::ostream *os) { *os << c.name; }

const print_case print_cases[] = {
    {"path", {"good.nbt"}, {good_text, "", 0}},
    {"dashdash_then_path", {"--", "good.nbt"}, {good_text, "", 0}},
    {"dashdash_twice_prints_file_named_dashdash", {"--", "--"}, {"TAG_Byte(\"dash\") 1\n", "", 0}},
    {"leading_dash_is_a_path", {"-x"}, {"TAG_Short(\"opt\") 2\n", "", 0}},
    {"zlib_root_not_compound", {"root_int.nbt"}, {"TAG_Int(\"n\") -7\n", "", 0}},
    {"no_argument", {}, {"", usage, 255}},
    {"only_dashdash", {"--"}, {"", usage, 255}},
    {"two_paths", {"good.nbt", "good.nbt"}, {"", usage, 255}},
    {"dashdash_two_paths", {"--", "good.nbt", "good.nbt"}, {"", usage, 255}},
    {"missing_file", {"missing.nbt"}, {"", "missing.nbt: No such file or directory\n", 1}},
    {"uncompressed_nbt", {"plain.nbt"}, {"", load_failure("plain.nbt", zlib_failure), 1}},
    {"plain_text", {"text.txt"}, {"", load_failure("text.txt", zlib_failure), 1}},
    {"empty_file", {"empty.nbt"}, {"", load_failure("empty.nbt", zlib_failure), 1}},
    {"compressed_not_nbt", {"corrupt.nbt"}, {"", load_failure("corrupt.nbt", "NBT tree is corrupt.\n"), 1}},
    {"directory", {"."}, {"", load_failure(".", "IO Error. Nonexistant/corrupt file?\n"), 1}},
};

class Burlprint : public ToolTest, public testing::WithParamInterface<print_case> {
protected:
    void SetUp() override
    {
        tb::tree_ptr good(tb::compound("root", {tb::i32("x", 5), tb::str("s", "a b")}));
        rb::write_file(dir / "good.nbt", rb::compressed(good.get(), COMPRESSION_GZIP));
        tb::tree_ptr root_int(tb::i32("n", -7));
        rb::write_file(dir / "root_int.nbt", rb::compressed(root_int.get(), COMPRESSION_ZLIB));
        tb::tree_ptr dash(tb::i8("dash", 1));
        rb::write_file(dir / "--", rb::compressed(dash.get(), COMPRESSION_GZIP));
        tb::tree_ptr opt(tb::i16("opt", 2));
        rb::write_file(dir / "-x", rb::compressed(opt.get(), COMPRESSION_GZIP));
        rb::write_file(dir / "plain.nbt", tb::binary(good.get()));
        rb::write_file(dir / "text.txt", tb::hex("68656c6c6f0a"));
        rb::write_file(dir / "empty.nbt", {});
        // A complete zlib stream whose content ends inside a compound.
        rb::write_file(dir / "corrupt.nbt", zlib_of(tb::hex("0a 0000 01 0001 78 05")));
    }
};

TEST_P(Burlprint, Prints)
{
    expect_outcome(run(BURLPRINT, "./burlprint", GetParam().args), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Cases, Burlprint, testing::ValuesIn(print_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ToolTest, BurlprintOutputThatCannotBeWrittenIsAFailure)
{
    tb::tree_ptr tree(tb::i8("b", 1));
    rb::write_file(dir / "b.nbt", rb::compressed(tree.get(), COMPRESSION_GZIP));
    proc::options o;
    o.argv0 = "./burlprint";
    o.cwd = dir.path();
    o.stdout_path = "/dev/full";
    proc::result r = proc::run(BURLPRINT, {"b.nbt"}, o);
    EXPECT_EQ(r.err, "./burlprint: Cannot write to standard output: No space left on device\n");
    EXPECT_EQ(r.status, 1);
}

} // namespace
