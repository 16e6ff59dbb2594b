// Small operations on the children of lists and compounds, shared by
// listing, creating, removing and renaming.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zoviru.h"

// The element count of an int32 or int64 array node.
int32_t &array_length(nbt_node *array);
int32_t array_length(const nbt_node *array);

// The number of items of a list or children of a compound.
size_t child_count(const nbt_node *container);

// The cell entry at position index of a list or compound, or null.
list_head *child_entry(nbt_node *container, size_t index);

// A new node of type with a copy of name (null: unnamed) and the initial
// payload of a created node; null when memory runs out.
nbt_node *new_tree_node(nbt_type type, const char *name, size_t name_length);

// Appends node in a new cell at the tail of container; null when memory runs
// out (nothing changed).
list_head *append_child(nbt_node *container, nbt_node *node);

// Unlinks the cell at entry and releases the cell (not its node).
void drop_cell(list_head *entry);

// Calls visit on every node of the subtree of root (root included) until it
// returns true; returns whether it did. No recursion: a tree built through
// the mount may nest deeply.
template <class Visit> bool find_in_subtree(const nbt_node *root, Visit visit)
{
    std::vector<const nbt_node *> todo{root};
    while (!todo.empty()) {
        const nbt_node *n = todo.back();
        todo.pop_back();
        if (visit(n))
            return true;
        if (n->type == TAG_LIST || n->type == TAG_COMPOUND) {
            const list_head *head = &n->payload.tag_list->entry;
            for (const list_head *e = head->next; e != head; e = e->next)
                todo.push_back(list_cell(const_cast<list_head *>(e))->data);
        }
    }
    return false;
}

// Whether node lies in the subtree of root (root itself included).
bool within_subtree(const nbt_node *root, const nbt_node *node);
