// The text dump: one table of trees with their exact text, written both into
// memory and onto a stream.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "tree_builder.h"

namespace {

using tb::hex;

// The text that nbt_dump_ascii_file writes, and its status.
std::pair<std::string, nbt_status> dump_to_stream(const nbt_node *tree)
{
    char *data = nullptr;
    size_t size = 0;
    FILE *fp = open_memstream(&data, &size);
    nbt_status s = nbt_dump_ascii_file(tree, fp);
    fclose(fp);
    std::string text(data, size);
    free(data);
    return {text, s};
}

nbt_node *parsed(const char *bytes)
{
    auto data = hex(bytes);
    return nbt_parse(data.data(), data.size());
}

nbt_node *string_without_value()
{
    nbt_node *n = tb::str("s", "");
    free(n->payload.tag_string);
    n->payload.tag_string = nullptr;
    return n;
}

nbt_node *compound_without_sentinel()
{
    nbt_node *n = tb::compound("c");
    free(n->payload.tag_compound);
    n->payload.tag_compound = nullptr;
    return n;
}

nbt_node *list_without_type_record()
{
    nbt_node *n = tb::list("l", TAG_INT, {tb::i32(nullptr, 1)});
    free(n->payload.tag_list->data);
    n->payload.tag_list->data = nullptr;
    return n;
}

nbt_node *compound_with_empty_cell()
{
    nbt_node *n = tb::compound("c", {tb::i32("a", 1)});
    nbt_node *held = tb::i32("b", 2);
    tb::append(n, held);
    list_cell(n->payload.tag_compound->entry.prev)->data = nullptr;
    nbt_free(held);
    return n;
}

std::string quoted_cut(size_t kept) { return '"' + std::string(kept, 'x') + "...\""; }

struct dump_case {
    const char *name;
    std::function<nbt_node *()> make;
    std::string text;
    nbt_status status;
};

void PrintTo(const dump_case &c, std::ostream *os) { *os << c.name; }

const dump_case dump_cases[] = {
    {"compound_with_int", [] { return tb::compound("", {tb::i32("x", 5)}); },
     "TAG_Compound(\"\") {\n  TAG_Int(\"x\") 5\n}\n", STATUS_OK},
    {"byte_signed", [] { return tb::i8("b", -1); }, "TAG_Byte(\"b\") -1\n", STATUS_OK},
    {"short", [] { return tb::i16("s", -2); }, "TAG_Short(\"s\") -2\n", STATUS_OK},
    {"int_min", [] { return tb::i32("i", INT32_MIN); }, "TAG_Int(\"i\") -2147483648\n", STATUS_OK},
    {"long_min", [] { return tb::i64("l", INT64_MIN); }, "TAG_Long(\"l\") -9223372036854775808\n",
     STATUS_OK},
    {"float_six_decimals", [] { return tb::f32("f", 0.1f); }, "TAG_Float(\"f\") 0.100000\n", STATUS_OK},
    {"double_large", [] { return tb::f64("d", 1e20); },
     "TAG_Double(\"d\") 100000000000000000000.000000\n", STATUS_OK},
    {"byte_array_unsigned", [] { return tb::bytes("a", {0, 0x7f, 0xff}); },
     "TAG_Byte_Array(\"a\") [ 0 127 255 ]\n", STATUS_OK},
    {"byte_array_empty", [] { return tb::bytes("a", {}); }, "TAG_Byte_Array(\"a\") [ ]\n", STATUS_OK},
    {"int_array_unsigned", [] { return tb::ints("i", {-1, 1, INT32_MIN}); },
     "Tag_Int_Array(\"i\") [ 4294967295 1 2147483648 ]\n", STATUS_OK},
    {"long_array_unsigned", [] { return tb::longs("l", {-1, 2}); },
     "Tag_Long_Array(\"l\") [ 18446744073709551615 2 ]\n", STATUS_OK},
    {"long_array_empty", [] { return tb::longs("l", {}); }, "Tag_Long_Array(\"l\") [ ]\n", STATUS_OK},
    {"string_quoting", [] { return tb::str("s", "a\"b\nc\\d"); },
     "TAG_String(\"s\") \"a\\\"b\\nc\\d\"\n", STATUS_OK},
    {"name_quoting", [] { return tb::i8("q\"\n\\", 0); }, "TAG_Byte(\"q\\\"\\n\\\") 0\n", STATUS_OK},
    {"string_empty", [] { return tb::str("", ""); }, "TAG_String(\"\") \"\"\n", STATUS_OK},
    {"list_of_ints_null_names", [] { return tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2)}); },
     "TAG_List(\"l\") [TAG_INT] {\n  TAG_Int(null) 1\n  TAG_Int(null) 2\n}\n", STATUS_OK},
    {"list_of_strings", [] { return tb::list("l", TAG_STRING, {tb::str(nullptr, "v")}); },
     "TAG_List(\"l\") [TAG_STRING] {\n  TAG_String(null) \"v\"\n}\n", STATUS_OK},
    {"empty_list_read_with_type_end", [] { return parsed("09 0001 6c 00 00000000"); },
     "TAG_List(\"l\") [TAG_COMPOUND] {\n}\n", STATUS_OK},
    {"empty_list_type_200", [] { return parsed("09 0001 6c c8 00000000"); },
     "TAG_List(\"l\") [TAG_UNKNOWN] {\n}\n", STATUS_OK},
    {"list_without_type_record", list_without_type_record,
     "TAG_List(\"l\") [TAG_UNKNOWN] {\n  TAG_Int(null) 1\n}\n", STATUS_OK},
    {"empty_compound", [] { return tb::compound("c"); }, "TAG_Compound(\"c\") {\n}\n", STATUS_OK},
    {"nesting_indents_two_spaces",
     [] { return tb::compound("", {tb::list("l", TAG_COMPOUND, {tb::compound(nullptr, {tb::i8("b", 1)})}), tb::i8("z", 2)}); },
     "TAG_Compound(\"\") {\n  TAG_List(\"l\") [TAG_COMPOUND] {\n    TAG_Compound(null) {\n"
     "      TAG_Byte(\"b\") 1\n    }\n  }\n  TAG_Byte(\"z\") 2\n}\n",
     STATUS_OK},
    {"cell_without_node_skipped", compound_with_empty_cell, "TAG_Compound(\"c\") {\n  TAG_Int(\"a\") 1\n}\n",
     STATUS_OK},
    {"string_of_limit_kept_whole", [] { return tb::str("s", std::string(8184, 'x')); },
     "TAG_String(\"s\") \"" + std::string(8184, 'x') + "\"\n", STATUS_OK},
    {"string_over_limit_cut", [] { return tb::str("s", std::string(8185, 'x')); },
     "TAG_String(\"s\") " + quoted_cut(8184) + "\n", STATUS_OK},
    {"string_of_10000_cut", [] { return tb::str("s", std::string(10000, 'x')); },
     "TAG_String(\"s\") " + quoted_cut(8184) + "\n", STATUS_OK},
    {"escape_at_limit_counts_both_bytes", [] { return tb::str("s", std::string(8183, 'x') + "\"yz"); },
     "TAG_String(\"s\") \"" + std::string(8183, 'x') + "\\\"...\"\n", STATUS_OK},
    {"long_name_cut", [] { return tb::i8(std::string(9000, 'x').c_str(), 1); },
     "TAG_Byte(" + quoted_cut(8184) + ") 1\n", STATUS_OK},
    // Failures: the indentation of the bad node stays, then every open list
    // and compound is closed at its own indentation.
    {"bad_type_deep_closes_braces",
     [] {
         return tb::compound("", {tb::list("l", TAG_COMPOUND,
                                           {tb::compound(nullptr, {tb::i8("a", 1), tb::node(nbt_type(13), "bad"),
                                                                   tb::i8("never", 2)})}),
                                  tb::i8("never", 3)});
     },
     "TAG_Compound(\"\") {\n  TAG_List(\"l\") [TAG_COMPOUND] {\n    TAG_Compound(null) {\n"
     "      TAG_Byte(\"a\") 1\n          }\n  }\n}\n",
     STATUS_CORRUPT},
    {"root_type_end", [] { return tb::node(TAG_END, "e"); }, "", STATUS_CORRUPT},
    {"root_type_negative", [] { return tb::node(nbt_type(-1), "e"); }, "", STATUS_CORRUPT},
    {"string_without_value", [] { return tb::compound("", {string_without_value()}); },
     "TAG_Compound(\"\") {\n  }\n", STATUS_CORRUPT},
    {"compound_without_sentinel", [] { return tb::compound("", {compound_without_sentinel()}); },
     "TAG_Compound(\"\") {\n  }\n", STATUS_CORRUPT},
};

class Dump : public testing::TestWithParam<dump_case> {};

TEST_P(Dump, ExactTextIntoMemoryAndOntoStream)
{
    const auto &c = GetParam();
    tb::tree_ptr tree(c.make());
    ASSERT_TRUE(tree);

    errno = 12345; // must be overwritten
    char *text = nbt_dump_ascii(tree.get());
    int status = errno;
    EXPECT_EQ(status, c.status);
    if (c.status == STATUS_OK) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), c.text);
    } else {
        EXPECT_EQ(text, nullptr);
    }
    free(text);

    errno = 12345; // must be left alone
    auto [written, s] = dump_to_stream(tree.get());
    EXPECT_EQ(errno, 12345);
    EXPECT_EQ(s, c.status);
    EXPECT_EQ(written, c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, Dump, testing::ValuesIn(dump_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Dump, MemoryAndStreamAgreeOnRandomTrees)
{
    for (unsigned seed = 1; seed <= 20; seed++) {
        std::mt19937 rng(seed);
        tb::tree_ptr tree(tb::random_tree(rng, 5));
        char *text = nbt_dump_ascii(tree.get());
        ASSERT_NE(text, nullptr) << seed;
        auto [written, s] = dump_to_stream(tree.get());
        EXPECT_EQ(s, STATUS_OK);
        EXPECT_EQ(written, text) << seed;
        free(text);
    }
}

TEST(Dump, StreamArguments)
{
    tb::tree_ptr tree(tb::i8("b", 1));
    EXPECT_EQ(nbt_dump_ascii_file(tree.get(), nullptr), STATUS_CORRUPT);
    auto [written, s] = dump_to_stream(nullptr);
    EXPECT_EQ(s, STATUS_OK);
    EXPECT_EQ(written, "");
}

// A deep tree is dumped on a thread whose stack is far smaller than one
// quoting area per level, or than any recursion per level, would need.
struct deep_job {
    const nbt_node *tree;
    char *text;
};

void *dump_deep(void *arg)
{
    auto *job = static_cast<deep_job *>(arg);
    job->text = nbt_dump_ascii(job->tree);
    return nullptr;
}

TEST(Dump, DeepTreeOnSmallStack)
{
    constexpr unsigned depth = 3000; // even: the value sits in a compound
    tb::tree_ptr tree(tb::nested(depth));
    deep_job job{tree.get(), nullptr};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, dump_deep, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_NE(job.text, nullptr);
    std::string text(job.text);
    free(job.text);
    // An opening and a closing line per container, plus the value.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 * (depth + 1) + 1);
    std::string deepest = std::string(2 * (depth + 1), ' ') + "TAG_Int(\"v\") 7\n";
    EXPECT_NE(text.find(deepest), std::string::npos);
    EXPECT_TRUE(text.starts_with("TAG_Compound(\"\") {\n  TAG_List(\"l\") [TAG_COMPOUND] {\n"));
    EXPECT_TRUE(text.ends_with("\n  }\n}\n"));
}

struct precondition_case {
    const char *name;
    std::function<void()> call;
    const char *message;
};

void PrintTo(const precondition_case &c, std::ostream *os) { *os << c.name; }

const precondition_case precondition_cases[] = {
    {"no_tree", [] { nbt_dump_ascii(nullptr); }, "nbt_parsing.*Assertion `tree' failed"},
    {"byte_array_negative",
     [] {
         tb::tree_ptr n(tb::bytes("a", {}));
         n->payload.tag_byte_array.length = -1;
         nbt_dump_ascii(n.get());
     },
     "nbt_parsing.*Assertion `ba.length >= 0' failed"},
    {"int_array_negative",
     [] {
         tb::tree_ptr n(tb::ints("a", {}));
         n->payload.tag_int_array.length = -1;
         nbt_dump_ascii(n.get());
     },
     "nbt_parsing.*Assertion `ia.length >= 0' failed"},
    {"long_array_negative",
     [] {
         tb::tree_ptr n(tb::longs("a", {}));
         n->payload.tag_long_array.length = -1;
         nbt_dump_ascii(n.get());
     },
     "nbt_parsing.*Assertion `la.length >= 0' failed"},
};

class DumpPrecondition : public testing::TestWithParam<precondition_case> {};

TEST_P(DumpPrecondition, StopsWithAssertion)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GetParam().call(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Cases, DumpPrecondition, testing::ValuesIn(precondition_cases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
