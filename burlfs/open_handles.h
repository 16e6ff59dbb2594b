// The records held by open file handles. Handles point straight into the
// tree, so whatever releases or moves tree nodes tells the registry first:
// a handle on a released node becomes stale and answers -ESTALE, a handle on
// a moved node follows it.
#pragma once

#include <vector>

#include "mount_state.h"

// Stores record in the handle and registers it; cannot fail.
void hold_in_handle(fuse_file_info *fi, fs_node *record) noexcept;

// Releases the record of a handle (never root_node) and forgets it.
void release_handle(fuse_file_info *fi) noexcept;

// -ESTALE when the record's node was released, or its array element no
// longer lies inside the array; else 0.
int check_usable(const fs_node *record);

// Marks stale every held record that refers into the subtree of root. Call
// before the subtree is released.
void invalidate_subtree(const nbt_node *root);

// The held records that refer into the subtree of root: found first (which
// may run out of memory) so that a change of several steps can then mark or
// move them without failing.
std::vector<fs_node *> held_within(const nbt_node *root);
void mark_stale(const std::vector<fs_node *> &records) noexcept;

// Marks stale the held element records of array whose index is not below
// length: the array is about to shrink to length elements.
void invalidate_elements_from(const nbt_node *array, int32_t length);

// The subtree of root moves under a parent in chunk, root itself into the
// cell at entry: the held records within it follow.
void follow_move(const std::vector<fs_node *> &records, const nbt_node *root, region_chunk *chunk,
                 list_head *entry) noexcept;

// Number of records held by handles.
size_t held_handle_count();
