#include "open_handles.h"

#include <fuse.h>

#include <cerrno>
#include <unordered_set>
#include <vector>

#include "tree_cells.h"

namespace {

// The held records, linked through the records themselves, so that holding
// one never allocates.
fs_node held = {nullptr, 0, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, &held, &held};

template <class F> void for_each_held(F f)
{
    for (fs_node *r = held.held_next; r != &held;) {
        fs_node *next = r->held_next;
        f(r);
        r = next;
    }
}

} // namespace

std::vector<fs_node *> held_within(const nbt_node *root)
{
    std::vector<fs_node *> found;
    if (held.held_next == &held)
        return found;
    std::unordered_set<const nbt_node *> nodes;
    find_in_subtree(root, [&nodes](const nbt_node *n) {
        nodes.insert(n);
        return false;
    });
    for_each_held([&](fs_node *r) {
        if (r->subject && nodes.count(r->subject))
            found.push_back(r);
    });
    return found;
}

void mark_stale(const std::vector<fs_node *> &records) noexcept
{
    for (fs_node *r : records)
        r->stale = 1;
}

void hold_in_handle(fuse_file_info *fi, fs_node *record) noexcept
{
    if (record != &root_node) {
        record->held_prev = held.held_prev;
        record->held_next = &held;
        held.held_prev->held_next = record;
        held.held_prev = record;
    }
    fi->fh = uint64_t(uintptr_t(record));
}

void release_handle(fuse_file_info *fi) noexcept
{
    fs_node *record = file_info_to_nbt_node(fi);
    if (record == &root_node)
        return;
    record->held_prev->held_next = record->held_next;
    record->held_next->held_prev = record->held_prev;
    free_fs_node(record);
}

int check_usable(const fs_node *record)
{
    if (record->stale)
        return -ESTALE;
    if (record->kind == ARRAY_ELEMENT_NODE) {
        if (record->index >= array_length(static_cast<const nbt_node *>(record->node)))
            return -ESTALE;
    }
    return 0;
}

void invalidate_subtree(const nbt_node *root) { mark_stale(held_within(root)); }

void invalidate_elements_from(const nbt_node *array, int32_t length)
{
    for_each_held([&](fs_node *r) {
        if (r->kind == ARRAY_ELEMENT_NODE && r->node == array && r->index >= length)
            r->stale = 1;
    });
}

void follow_move(const std::vector<fs_node *> &records, const nbt_node *root, region_chunk *chunk,
                 list_head *entry) noexcept
{
    for (fs_node *r : records) {
        r->chunk = chunk;
        if (r->kind == TREE_NODE && r->node == root)
            r->cell = entry;
    }
}

size_t held_handle_count()
{
    size_t count = 0;
    for_each_held([&](fs_node *) { count++; });
    return count;
}
