// The binary writer: exact bytes, and the trees it refuses.
#include <gtest/gtest.h>

#include <functional>

#include "tree_builder.h"

namespace {

struct write_case {
    const char *name;
    std::function<nbt_node *()> build;
    nbt_status status;
    const char *bytes; // expected output on success
};

void PrintTo(const write_case &c, std::ostream *os) { *os << c.name; }

nbt_node *with_name_length(size_t n)
{
    return tb::compound(std::string(n, 'n').c_str());
}

const write_case write_cases[] = {
    {"empty_root", [] { return tb::compound(""); }, STATUS_OK, "0a 0000 00"},
    {"int_minus_two", [] { return tb::i32("", -2); }, STATUS_OK, "03 0000 fffffffe"},
    {"double_one", [] { return tb::f64("d", 1.0); }, STATUS_OK, "06 0001 64 3ff0000000000000"},
    {"float_bits", [] { return tb::f32("", -0.0f); }, STATUS_OK, "05 0000 80000000"},
    {"long", [] { return tb::i64("", 0x0102030405060708); }, STATUS_OK, "04 0000 0102030405060708"},
    {"short_and_byte", [] { return tb::compound("", {tb::i16("s", -1), tb::i8("b", 127)}); },
     STATUS_OK, "0a 0000 02 0001 73 ffff 01 0001 62 7f 00"},
    {"empty_int_array", [] { return tb::ints("", {}); }, STATUS_OK, "0b 0000 00000000"},
    {"int_array", [] { return tb::ints("", {1, -1}); }, STATUS_OK, "0b 0000 00000002 00000001 ffffffff"},
    {"long_array", [] { return tb::longs("", {-2}); }, STATUS_OK, "0c 0000 00000001 fffffffffffffffe"},
    {"byte_array", [] { return tb::bytes("", {1, 2, 0xff}); }, STATUS_OK, "07 0000 00000003 0102ff"},
    {"string", [] { return tb::str("", "abc"); }, STATUS_OK, "08 0000 0003 616263"},
    {"empty_list_of_strings", [] { return tb::list("", TAG_STRING); }, STATUS_OK, "09 0000 08 00000000"},
    {"empty_list_type_200_kept", [] { return tb::list("", 200); }, STATUS_OK, "09 0000 c8 00000000"},
    {"list_of_shorts", [] { return tb::list("", TAG_SHORT, {tb::i16(nullptr, 1), tb::i16(nullptr, 2)}); },
     STATUS_OK, "09 0000 02 00000002 0001 0002"},
    {"list_type_taken_from_elements",
     [] { return tb::list("", TAG_STRING, {tb::i8(nullptr, 9)}); }, STATUS_OK, "09 0000 01 00000001 09"},
    {"mixed_list", [] { return tb::list("", TAG_INT, {tb::i32(nullptr, 1), tb::i16(nullptr, 2)}); },
     STATUS_CORRUPT, nullptr},
    {"empty_list_type_end", [] { return tb::list("", TAG_END); }, STATUS_CORRUPT, nullptr},
    {"empty_list_without_type_record",
     [] {
         nbt_node *l = tb::list("", TAG_INT);
         free(l->payload.tag_list->data);
         l->payload.tag_list->data = nullptr;
         return l;
     },
     STATUS_CORRUPT, nullptr},
    {"name_32767_written", [] { return with_name_length(32767); }, STATUS_OK, nullptr},
    {"name_32768_refused", [] { return with_name_length(32768); }, STATUS_CORRUPT, nullptr},
    {"string_32768_refused", [] { return tb::str("", std::string(32768, 's')); }, STATUS_CORRUPT, nullptr},
    {"node_type_13", [] { return tb::compound("", {tb::node(nbt_type(13), "x")}); }, STATUS_CORRUPT, nullptr},
    {"negative_array_length",
     [] {
         nbt_node *n = tb::ints("", {1});
         n->payload.tag_int_array.length = -1;
         return n;
     },
     STATUS_CORRUPT, nullptr},
    {"root_without_name", [] { return tb::compound(nullptr); }, STATUS_CORRUPT, nullptr},
    {"member_without_name", [] { return tb::compound("", {tb::i32(nullptr, 1)}); }, STATUS_CORRUPT, nullptr},
    {"list_element_with_name", [] { return tb::list("", TAG_INT, {tb::i32("x", 1)}); }, STATUS_CORRUPT, nullptr},
    {"depth_at_limit", [] { return tb::nested(NBT_MAX_DEPTH); }, STATUS_OK, nullptr},
    {"depth_beyond_limit", [] { return tb::nested(NBT_MAX_DEPTH + 1); }, STATUS_CORRUPT, nullptr},
};

class Write : public testing::TestWithParam<write_case> {};

TEST_P(Write, BytesOrRefusal)
{
    const write_case &c = GetParam();
    tb::tree_ptr tree(c.build());
    errno = 4242;
    struct buffer b = nbt_dump_binary(tree.get());
    if (c.status != STATUS_OK) {
        EXPECT_EQ(b.data, nullptr);
        EXPECT_EQ(b.len, 0u);
        EXPECT_EQ(errno, c.status);
        return;
    }
    ASSERT_NE(b.data, nullptr);
    EXPECT_EQ(errno, 4242) << "success leaves errno alone";
    if (c.bytes) {
        auto expected = tb::hex(c.bytes);
        EXPECT_EQ(tb::to_hex(b.data, b.len), tb::to_hex(expected.data(), expected.size()));
    }
    // Whatever the writer accepts, the parser reads back to the same bytes.
    tb::tree_ptr back(nbt_parse(b.data, b.len));
    ASSERT_NE(back, nullptr) << nbt_error_to_string(nbt_status(errno));
    auto again = tb::binary(back.get());
    EXPECT_EQ(again, std::vector<uint8_t>(b.data, b.data + b.len));
    free(b.data);
}

INSTANTIATE_TEST_SUITE_P(Table, Write, testing::ValuesIn(write_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Write, NoTreeGivesEmptyBufferAndKeepsErrno)
{
    errno = 77;
    struct buffer b = nbt_dump_binary(nullptr);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.len, 0u);
    EXPECT_EQ(errno, 77);
}

} // namespace
