// The binary parser: one table of inputs with their tree or status.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tree_builder.h"

namespace {

using tb::hex;

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> repeat(const std::string &h, size_t n)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < n; i++)
        out = out + hex(h);
    return out;
}

// k compounds named c nested below an empty-named root compound.
std::vector<uint8_t> nested_compounds(size_t k)
{
    return hex("0a 0000") + repeat("0a 0001 63", k) + repeat("00", k + 1);
}

const nbt_node *child(const nbt_node *n, int i)
{
    const struct list_head *pos = n->payload.tag_list->entry.next;
    while (i-- > 0)
        pos = pos->next;
    return list_cell(const_cast<struct list_head *>(pos))->data;
}

struct parse_case {
    const char *name;
    std::vector<uint8_t> input;
    nbt_status status;
    // What the writer gives back for the tree; empty: the input itself.
    std::vector<uint8_t> rewritten;
    std::function<void(const nbt_node *)> check;
};

void PrintTo(const parse_case &c, std::ostream *os) { *os << c.name; }

std::vector<parse_case> parse_cases()
{
    return {
        {"empty", {}, STATUS_CORRUPT, {}, {}},
        {"one_byte", hex("0a"), STATUS_CORRUPT, {}, {}},
        {"empty_root_compound", hex("0a 0000 00"), STATUS_OK, {},
         [](const nbt_node *n) {
             EXPECT_EQ(n->type, TAG_COMPOUND);
             EXPECT_STREQ(n->name, "");
             EXPECT_TRUE(list_is_empty(&n->payload.tag_compound->entry));
             EXPECT_EQ(n->payload.tag_compound->data, nullptr);
         }},
        {"root_byte", hex("01 0001 61 05"), STATUS_OK, {},
         [](const nbt_node *n) {
             EXPECT_EQ(n->type, TAG_BYTE);
             EXPECT_STREQ(n->name, "a");
             EXPECT_EQ(n->payload.tag_byte, 5);
         }},
        {"bytes_after_root_ignored", hex("0a 0000 00 ff 13 37"), STATUS_OK, hex("0a 0000 00"), {}},
        {"root_type_end", hex("00 0000 00"), STATUS_CORRUPT, {}, {}},
        {"root_type_13", hex("0d 0000 00"), STATUS_CORRUPT, {}, {}},
        {"compound_not_ended", hex("0a 0000 01 0001 78 05"), STATUS_CORRUPT, {}, {}},
        {"member_type_13", hex("0a 0000 0d 0001 78 05 00"), STATUS_CORRUPT, {}, {}},
        {"name_length_negative", hex("0a 8000") + std::vector<uint8_t>(0x8000, 'a') + hex("00"),
         STATUS_CORRUPT, {}, {}},
        {"name_longer_than_data", hex("0a 0005 6162"), STATUS_CORRUPT, {}, {}},
        {"short_minus_two", hex("02 0000 fffe"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_short, -2); }},
        {"int_256", hex("03 0000 00000100"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_int, 256); }},
        {"int_truncated", hex("03 0000 000001"), STATUS_CORRUPT, {}, {}},
        {"long_min", hex("04 0000 8000000000000000"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_long, INT64_MIN); }},
        {"float_one", hex("05 0000 3f800000"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_float, 1.0f); }},
        {"double_minus_two", hex("06 0000 c000000000000000"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_double, -2.0); }},
        {"byte_ff", hex("01 0000 ff"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_byte, -1); }},
        {"byte_array", hex("07 0000 00000003 0102ff"), STATUS_OK, {},
         [](const nbt_node *n) {
             ASSERT_EQ(n->payload.tag_byte_array.length, 3);
             EXPECT_EQ(n->payload.tag_byte_array.data[2], 0xff);
         }},
        {"int_array_host_order", hex("0b 0000 00000002 00000001 ffffffff"), STATUS_OK, {},
         [](const nbt_node *n) {
             ASSERT_EQ(n->payload.tag_int_array.length, 2);
             EXPECT_EQ(n->payload.tag_int_array.data[0], 1);
             EXPECT_EQ(n->payload.tag_int_array.data[1], -1);
         }},
        {"long_array_host_order", hex("0c 0000 00000002 0000000000000102 fffffffffffffffe"),
         STATUS_OK, {},
         [](const nbt_node *n) {
             ASSERT_EQ(n->payload.tag_long_array.length, 2);
             EXPECT_EQ(n->payload.tag_long_array.data[0], 258);
             EXPECT_EQ(n->payload.tag_long_array.data[1], -2);
         }},
        {"empty_int_array", hex("0b 0000 00000000"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_int_array.length, 0); }},
        {"array_length_negative", hex("0b 0000 ffffffff"), STATUS_CORRUPT, {}, {}},
        {"array_body_short", hex("0c 0000 00000002 0000000000000001 00"), STATUS_CORRUPT, {}, {}},
        {"huge_array_in_short_data", hex("07 0000 7fffffff 00"), STATUS_CORRUPT, {}, {}},
        {"array_length_truncated", hex("07 0000 0000"), STATUS_CORRUPT, {}, {}},
        {"string", hex("08 0000 0003 616263"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_STREQ(n->payload.tag_string, "abc"); }},
        {"string_length_negative", hex("08 0000 ffff 61"), STATUS_CORRUPT, {}, {}},
        {"string_with_nul_seen_up_to_it", hex("08 0000 0003 610062"), STATUS_OK,
         hex("08 0000 0001 61"), [](const nbt_node *n) { EXPECT_STREQ(n->payload.tag_string, "a"); }},
        {"list_of_ints", hex("09 0000 03 00000002 00000001 00000002"), STATUS_OK, {},
         [](const nbt_node *n) {
             EXPECT_EQ(n->payload.tag_list->data->type, TAG_INT);
             EXPECT_EQ(child(n, 1)->payload.tag_int, 2);
             EXPECT_EQ(child(n, 0)->name, nullptr);
         }},
        {"empty_list_type_end_is_compound", hex("09 0000 00 00000000"), STATUS_OK,
         hex("09 0000 0a 00000000"),
         [](const nbt_node *n) { EXPECT_EQ(n->payload.tag_list->data->type, TAG_COMPOUND); }},
        {"list_type_end_with_element", hex("09 0000 00 00000001 00"), STATUS_CORRUPT, {}, {}},
        {"list_negative_count_is_empty", hex("09 0000 03 fffffffb"), STATUS_OK,
         hex("09 0000 03 00000000"),
         [](const nbt_node *n) { EXPECT_TRUE(list_is_empty(&n->payload.tag_list->entry)); }},
        {"empty_list_unknown_type_kept", hex("09 0000 c8 00000000"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_EQ(int(n->payload.tag_list->data->type), 200); }},
        {"list_unknown_type_with_element", hex("09 0000 c8 00000001 00"), STATUS_CORRUPT, {}, {}},
        {"list_header_truncated", hex("09 0000 03 0000"), STATUS_CORRUPT, {}, {}},
        {"list_count_beyond_data", hex("09 0000 01 7fffffff 01"), STATUS_CORRUPT, {}, {}},
        {"list_of_compounds", hex("09 0000 0a 00000002 01 0001 78 05 00 00"), STATUS_OK, {},
         [](const nbt_node *n) { EXPECT_STREQ(child(child(n, 0), 0)->name, "x"); }},
        {"duplicate_names_kept_in_order", hex("0a 0000 01 0001 78 01 01 0001 78 02 00"), STATUS_OK,
         {},
         [](const nbt_node *n) {
             EXPECT_EQ(child(n, 0)->payload.tag_byte, 1);
             EXPECT_EQ(child(n, 1)->payload.tag_byte, 2);
         }},
        {"depth_at_limit", nested_compounds(NBT_MAX_DEPTH), STATUS_OK, {}, {}},
        {"depth_beyond_limit", nested_compounds(NBT_MAX_DEPTH + 1), STATUS_CORRUPT, {}, {}},
        {"deep_lists_beyond_limit",
         hex("09 0000") + repeat("09 00000001", NBT_MAX_DEPTH + 1) + hex("01 00000000"),
         STATUS_CORRUPT, {}, {}},
        {"deep_lists_at_limit", hex("09 0000") + repeat("09 00000001", NBT_MAX_DEPTH) +
                                    hex("01 00000000"),
         STATUS_OK, {}, {}},
    };
}

class Parse : public testing::TestWithParam<parse_case> {};

TEST_P(Parse, GivesTreeOrStatus)
{
    const parse_case &c = GetParam();
    errno = 12345; // must be overwritten
    tb::tree_ptr tree(nbt_parse(c.input.data(), c.input.size()));
    EXPECT_EQ(errno, c.status);
    if (c.status != STATUS_OK) {
        EXPECT_EQ(tree, nullptr);
        return;
    }
    ASSERT_NE(tree, nullptr);
    if (c.check)
        c.check(tree.get());
    auto expected = c.rewritten.empty() ? c.input : c.rewritten;
    auto actual = tb::binary(tree.get());
    EXPECT_EQ(tb::to_hex(actual.data(), actual.size()), tb::to_hex(expected.data(), expected.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, Parse, testing::ValuesIn(parse_cases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Parse, InputIsNeverModified)
{
    auto input = hex("0a 0000 0b 0001 61 00000002 00000001 ffffffff 00");
    auto copy = input;
    tb::tree_ptr tree(nbt_parse(input.data(), input.size()));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(input, copy);
}

} // namespace
