// Shared by the tree-operation tests: the blocks a tree owns, a small sample
// tree, and a way to pick out its nodes without allocating (predicates run
// under the failing allocator too).
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <set>
#include <string>
#include <string_view>

#include "tree_builder.h"

namespace tt {

// Every block of a tree: nodes, names, strings, array storage, cells,
// sentinel cells and element-type records.
inline void collect_blocks(const nbt_node *n, std::set<const void *> &out)
{
    out.insert(n);
    if (n->name)
        out.insert(n->name);
    const auto &p = n->payload;
    switch (n->type) {
    case TAG_STRING: out.insert(p.tag_string); break;
    case TAG_BYTE_ARRAY: if (p.tag_byte_array.data) out.insert(p.tag_byte_array.data); break;
    case TAG_INT_ARRAY: if (p.tag_int_array.data) out.insert(p.tag_int_array.data); break;
    case TAG_LONG_ARRAY: if (p.tag_long_array.data) out.insert(p.tag_long_array.data); break;
    case TAG_LIST:
    case TAG_COMPOUND: {
        const struct nbt_list *sentinel = p.tag_list;
        out.insert(sentinel);
        if (sentinel->data)
            out.insert(sentinel->data);
        for (const struct list_head *pos = sentinel->entry.next; pos != &sentinel->entry; pos = pos->next) {
            const struct nbt_list *cell = list_cell(const_cast<struct list_head *>(pos));
            out.insert(cell);
            collect_blocks(cell->data, out);
        }
        break;
    }
    default: break;
    }
}

inline std::set<const void *> blocks(const nbt_node *tree)
{
    std::set<const void *> out;
    if (tree)
        collect_blocks(tree, out);
    return out;
}

// The element type of every list of a tree, in pre-order (nbt_eq does not
// compare them).
inline void element_types(const nbt_node *n, std::string &out)
{
    if (n->type == TAG_LIST)
        out += std::to_string(n->payload.tag_list->data->type) + ' ';
    if (n->type == TAG_LIST || n->type == TAG_COMPOUND)
        for (const struct list_head *pos = n->payload.tag_list->entry.next; pos != &n->payload.tag_list->entry;
             pos = pos->next)
            element_types(list_cell(const_cast<struct list_head *>(pos))->data, out);
}

inline std::string element_types(const nbt_node *tree)
{
    std::string out;
    element_types(tree, out);
    return out;
}

// root { a: 1, c: { x: 2, y: "text" }, l: [1, 2, 3], e: [] of strings, b: bytes 1 2 3 }
inline nbt_node *sample()
{
    return tb::compound("root", {tb::i32("a", 1), tb::compound("c", {tb::i32("x", 2), tb::str("y", "text")}),
                                 tb::list("l", TAG_INT, {tb::i32(nullptr, 1), tb::i32(nullptr, 2), tb::i32(nullptr, 3)}),
                                 tb::list("e", TAG_STRING), tb::bytes("b", {1, 2, 3})});
}

// A node is picked out by its name, or, when it is an unnamed int, by "#" and
// its value ("#2").
inline bool is(const nbt_node *n, std::string_view key)
{
    if (n->name)
        return key == n->name;
    int32_t value;
    if (n->type != TAG_INT || key.size() < 2 || key[0] != '#')
        return false;
    auto [end, ec] = std::from_chars(key.data() + 1, key.data() + key.size(), value);
    return ec == std::errc() && end == key.data() + key.size() && value == n->payload.tag_int;
}

inline std::string key_of(const nbt_node *n)
{
    return n->name ? n->name : "#" + std::to_string(n->payload.tag_int);
}

// nbt_eq and the same bytes when written; the list element types agree.
inline testing::AssertionResult same_tree(const nbt_node *actual, const nbt_node *expected)
{
    if (!actual || !expected)
        return actual == expected ? testing::AssertionSuccess()
                                  : testing::AssertionFailure() << (actual ? "unexpected tree" : "no tree");
    if (!nbt_eq(actual, expected))
        return testing::AssertionFailure() << "not nbt_eq";
    if (tb::binary(actual) != tb::binary(expected))
        return testing::AssertionFailure() << "written differently";
    if (element_types(actual) != element_types(expected))
        return testing::AssertionFailure() << "list element types " << element_types(actual) << "instead of "
                                           << element_types(expected);
    return testing::AssertionSuccess();
}

} // namespace tt
