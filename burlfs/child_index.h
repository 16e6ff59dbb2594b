// What lookups and attributes remember about the shape of the tree, so that
// listing a directory of n entries and looking each one up costs O(n), not
// O(n^2): children of large lists and compounds are found by position and by
// name through an index built on first use, and the node count of a
// directory (its reported size, asked for again at every lookup below it) is
// counted once. Every change to a ring, or to a child's name or cell, forgets
// all of it (forget_child_indexes); writes to values change no shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zoviru.h"

// The first child of a compound named name and, unless type is TAG_INVALID,
// of that type; null when there is none.
list_head *find_named_child(nbt_node *compound, std::string_view name, nbt_type type);

// The cell entry at position index of a list or compound, or null.
list_head *find_child_entry(nbt_node *container, size_t index);

// The number of children of a list or compound.
size_t count_children(nbt_node *container);

// nbt_size of a list or compound.
uint64_t count_subtree(const nbt_node *container);

void forget_child_indexes() noexcept;
