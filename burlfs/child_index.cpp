#include "child_index.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

// Containers with at most this many children are walked; an index would not
// pay for itself.
constexpr size_t walk_limit = 32;
// All indexes together hold at most this many entries; beyond it they are
// dropped and rebuilt on demand.
constexpr size_t entry_limit = size_t(1) << 22;

struct child_index {
    std::vector<list_head *> entries;
    // Positions of the named children, in list order, by name.
    std::unordered_map<std::string_view, std::vector<uint32_t>> by_name;
};

std::unordered_map<const struct nbt_list *, child_index> indexes;
size_t indexed_entries;
std::unordered_map<const nbt_node *, uint64_t> subtree_sizes;

nbt_node *node_at(list_head *entry) { return list_cell(entry)->data; }

// The index of a container, or null when it is small enough to walk.
const child_index *index_of(nbt_node *container)
{
    const struct nbt_list *sentinel = container->payload.tag_list;
    auto found = indexes.find(sentinel);
    if (found != indexes.end())
        return &found->second;
    list_head *head = &container->payload.tag_list->entry;
    size_t seen = 0;
    for (list_head *e = head->next; e != head && seen <= walk_limit; e = e->next)
        seen++;
    if (seen <= walk_limit)
        return nullptr;
    child_index index;
    for (list_head *e = head->next; e != head; e = e->next) {
        if (container->type == TAG_COMPOUND && node_at(e)->name)
            index.by_name[node_at(e)->name].push_back(uint32_t(index.entries.size()));
        index.entries.push_back(e);
    }
    if (indexed_entries + index.entries.size() > entry_limit)
        forget_child_indexes();
    indexed_entries += index.entries.size();
    return &indexes.emplace(sentinel, std::move(index)).first->second;
}

} // namespace

list_head *find_named_child(nbt_node *compound, std::string_view name, nbt_type type)
{
    auto matches = [&](list_head *e) {
        const nbt_node *child = node_at(e);
        return child->name && name == child->name && (type == TAG_INVALID || child->type == type);
    };
    if (const child_index *index = index_of(compound)) {
        auto found = index->by_name.find(name);
        if (found != index->by_name.end())
            for (uint32_t position : found->second)
                if (matches(index->entries[position]))
                    return index->entries[position];
        return nullptr;
    }
    list_head *head = &compound->payload.tag_compound->entry;
    for (list_head *e = head->next; e != head; e = e->next)
        if (matches(e))
            return e;
    return nullptr;
}

list_head *find_child_entry(nbt_node *container, size_t index)
{
    if (const child_index *i = index_of(container))
        return index < i->entries.size() ? i->entries[index] : nullptr;
    list_head *head = &container->payload.tag_list->entry;
    size_t position = 0;
    for (list_head *e = head->next; e != head; e = e->next, position++)
        if (position == index)
            return e;
    return nullptr;
}

size_t count_children(nbt_node *container)
{
    if (const child_index *i = index_of(container))
        return i->entries.size();
    size_t count = 0;
    const list_head *head = &container->payload.tag_list->entry;
    for (const list_head *e = head->next; e != head; e = e->next)
        count++;
    return count;
}

uint64_t count_subtree(const nbt_node *container)
{
    auto found = subtree_sizes.find(container);
    if (found != subtree_sizes.end())
        return found->second;
    uint64_t size = nbt_size(container);
    if (subtree_sizes.size() >= entry_limit)
        subtree_sizes.clear();
    subtree_sizes.emplace(container, size);
    return size;
}

void forget_child_indexes() noexcept
{
    indexes.clear();
    indexed_entries = 0;
    subtree_sizes.clear();
}
