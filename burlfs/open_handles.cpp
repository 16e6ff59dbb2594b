#include "open_handles.h"

#include <fuse.h>

#include <cerrno>
#include <new>
#include <unordered_set>
#include <vector>

#include "tree_cells.h"

namespace {

std::unordered_set<fs_node *> held;

} // namespace

std::vector<fs_node *> held_within(const nbt_node *root)
{
    std::vector<fs_node *> found;
    if (held.empty())
        return found;
    std::unordered_set<const nbt_node *> nodes;
    find_in_subtree(root, [&nodes](const nbt_node *n) {
        nodes.insert(n);
        return false;
    });
    for (fs_node *r : held)
        if (r->subject && nodes.count(r->subject))
            found.push_back(r);
    return found;
}

void mark_stale(const std::vector<fs_node *> &records) noexcept
{
    for (fs_node *r : records)
        r->stale = 1;
}

int hold_in_handle(fuse_file_info *fi, fs_node *record)
{
    if (record != &root_node) {
        try {
            held.insert(record);
        } catch (const std::bad_alloc &) {
            free_fs_node(record);
            fi->fh = 0;
            return -ENOMEM;
        }
    }
    fi->fh = uint64_t(uintptr_t(record));
    return 0;
}

void release_handle(fuse_file_info *fi) noexcept
{
    fs_node *record = file_info_to_nbt_node(fi);
    if (record == &root_node)
        return;
    held.erase(record);
    free_fs_node(record);
}

int check_usable(const fs_node *record)
{
    if (record->stale)
        return -ESTALE;
    if (record->kind == ARRAY_ELEMENT_NODE) {
        // Both array payloads keep their length at the same place.
        const nbt_node *a = record->node;
        int32_t length = a->type == TAG_INT_ARRAY ? a->payload.tag_int_array.length
                                                  : a->payload.tag_long_array.length;
        if (record->index >= length)
            return -ESTALE;
    }
    return 0;
}

void invalidate_subtree(const nbt_node *root) { mark_stale(held_within(root)); }

void invalidate_elements_from(const nbt_node *array, int32_t length)
{
    for (fs_node *r : held)
        if (r->kind == ARRAY_ELEMENT_NODE && r->node == array && r->index >= length)
            r->stale = 1;
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

size_t held_handle_count() { return held.size(); }
