// Walks over the children of lists and compounds, shared by the tree
// operations and the comparison.
#pragma once

#include <type_traits>

#include "zoviru.h"

namespace zoviru {

inline bool has_children(const nbt_node *node)
{
    return node->type == TAG_LIST || node->type == TAG_COMPOUND;
}

// The node held by the cell of a list entry.
inline nbt_node *entry_node(const struct list_head *entry)
{
    return list_cell(const_cast<struct list_head *>(entry))->data;
}

// Calls f on the children of a list or compound in list order and returns the
// first result that tests true; a value-initialised result when there is none
// or the node has no children.
template <class F> std::invoke_result_t<F, nbt_node *> first_of_children(const nbt_node *node, F f)
{
    if (has_children(node)) {
        const struct list_head *head = &node->payload.tag_list->entry;
        for (const struct list_head *pos = head->next; pos != head; pos = pos->next)
            if (auto result = f(entry_node(pos)))
                return result;
    }
    return {};
}

} // namespace zoviru
