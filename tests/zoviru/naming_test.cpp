// Naming of types and statuses, release and counting.
#include <gtest/gtest.h>

#include "tree_builder.h"

namespace {

struct name_case {
    int value;
    const char *type_text;
    const char *status_text;
};

const name_case name_cases[] = {
    {0, "TAG_END", "No error."},
    {1, "TAG_BYTE", "Unknown error."},
    {7, "TAG_BYTE_ARRAY", "Unknown error."},
    {12, "TAG_LONG_ARRAY", "Unknown error."},
    {13, "TAG_UNKNOWN", "Unknown error."},
    {128, "TAG_UNKNOWN", "Unknown error."},
    {-1, "TAG_UNKNOWN", "NBT tree is corrupt."},
    {-2, "TAG_UNKNOWN", "Out of memory. You should buy some RAM."},
    {-3, "TAG_UNKNOWN", "IO Error. Nonexistant/corrupt file?"},
    {-4, "TAG_UNKNOWN", "Fatal zlib error. Corrupt file?"},
    {-5, "TAG_UNKNOWN", "Unknown error."},
    {INT32_MIN, "TAG_UNKNOWN", "Unknown error."},
};

TEST(Naming, TypesAndStatuses)
{
    for (const auto &c : name_cases) {
        EXPECT_STREQ(nbt_type_to_string(nbt_type(c.value)), c.type_text) << c.value;
        EXPECT_STREQ(nbt_error_to_string(nbt_status(c.value)), c.status_text) << c.value;
    }
    const char *types[] = {"TAG_END",    "TAG_BYTE",       "TAG_SHORT",  "TAG_INT",
                           "TAG_LONG",   "TAG_FLOAT",      "TAG_DOUBLE", "TAG_BYTE_ARRAY",
                           "TAG_STRING", "TAG_LIST",       "TAG_COMPOUND", "TAG_INT_ARRAY",
                           "TAG_LONG_ARRAY"};
    for (int t = 0; t <= 12; t++)
        EXPECT_STREQ(nbt_type_to_string(nbt_type(t)), types[t]);
}

TEST(Size, CountsNodesOnly)
{
    EXPECT_EQ(nbt_size(nullptr), 0u);
    tb::tree_ptr empty(tb::compound(""));
    EXPECT_EQ(nbt_size(empty.get()), 1u);
    tb::tree_ptr two(tb::compound("", {tb::i32("a", 1), tb::i32("b", 2)}));
    EXPECT_EQ(nbt_size(two.get()), 3u);
    tb::tree_ptr lists(tb::compound("", {tb::list("l", TAG_COMPOUND,
                                                  {tb::compound(nullptr), tb::compound(nullptr),
                                                   tb::compound(nullptr)})}));
    const nbt_node *l = list_cell(lists->payload.tag_compound->entry.next)->data;
    EXPECT_EQ(nbt_size(l), 4u);
    EXPECT_EQ(nbt_size(lists.get()), 5u);
}

TEST(Free, NullAndOddNodes)
{
    nbt_free(nullptr);
    nbt_free_list(nullptr);
    // An empty array without storage, and a list released through its
    // sentinel cell alone (the sanitizer build proves nothing leaks).
    nbt_free(tb::bytes("b", {}));
    nbt_node *l = tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2)});
    struct nbt_list *sentinel = l->payload.tag_list;
    free(l->name);
    free(l);
    nbt_free_list(sentinel);
}

TEST(Free, DeepTreeNeedsNoRecursion)
{
    // Far deeper than any parsed tree: programs may build such trees.
    nbt_node *root = tb::compound("");
    nbt_node *parent = root;
    for (int i = 0; i < 200000; i++) {
        nbt_node *child = tb::compound("c");
        tb::append(parent, child);
        parent = child;
    }
    nbt_free(root);
}

TEST(Lists, AppendOrderAndUnlink)
{
    tb::tree_ptr c(tb::compound("", {tb::i32("a", 1), tb::i32("b", 2), tb::i32("c", 3)}));
    struct list_head *head = &c->payload.tag_compound->entry;
    struct list_head *middle = head->next->next;
    list_unlink(middle);
    EXPECT_EQ(middle->prev, nullptr);
    EXPECT_EQ(middle->next, nullptr);
    std::string order;
    for (struct list_head *pos = head->next; pos != head; pos = pos->next)
        order += list_cell(pos)->data->name;
    EXPECT_EQ(order, "ac");
    nbt_free(list_cell(middle)->data);
    free(list_cell(middle));
}

} // namespace
