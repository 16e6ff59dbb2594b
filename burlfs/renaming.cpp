// Renaming and moving nodes within and between compounds and lists (and
// chunks), replacing an existing target. Every check runs before the first
// change; a failure leaves the tree as it was.
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lookup.h"
#include "open_handles.h"
#include "operations.h"
#include "child_index.h"
#include "tree_cells.h"
#include "type_names.h"

namespace {

bool is_container(const fs_node *r)
{
    return r->kind == TREE_NODE && (r->node->type == TAG_LIST || r->node->type == TAG_COMPOUND);
}

bool is_nonempty_container(const nbt_node *n)
{
    return (n->type == TAG_LIST || n->type == TAG_COMPOUND) && !list_is_empty(&n->payload.tag_list->entry);
}

struct free_deleter {
    void operator()(void *p) const noexcept { free(p); }
};

// The new name of a node that goes into a compound, or none when it keeps
// its own (or goes into a list).
using name_ptr = std::unique_ptr<char, free_deleter>;

// Replaces item position of list (the victim) by the source node, which
// leaves its own cell.
int replace_in_list(fs_node *old_parent, fs_node *new_parent, fs_node *source, size_t position)
{
    list_head *victim_entry = child_entry(new_parent->node, position);
    nbt_node *victim = list_cell(victim_entry)->data;
    if (victim == source->node)
        return 0; // one node under two names: nothing to do
    if (is_nonempty_container(victim))
        return -ENOTEMPTY;
    auto released = held_within(victim);
    auto moved = held_within(source->node);
    mark_stale(released);
    follow_move(moved, source->node, new_parent->chunk, victim_entry);
    nbt_free(victim);
    list_cell(victim_entry)->data = source->node;
    drop_cell(source->cell);
    free(source->node->name);
    source->node->name = nullptr;
    mark_modified(old_parent);
    mark_modified(new_parent);
    return 0;
}

int rename_node(std::string_view from, std::string_view to)
{
    record_ptr old_parent, new_parent, source, target;
    std::string_view old_name, new_name;
    if (int result = lookup_parent(from, old_parent, old_name))
        return result;
    if (!is_container(old_parent.get()))
        return -EPERM;
    if (old_name.empty()) {
        assert(old_parent.get() == &root_node);
        return -EINVAL;
    }
    if (int result = lookup_parent(to, new_parent, new_name))
        return result;
    if (new_name.empty()) {
        assert(new_parent.get() == &root_node);
        return -EINVAL;
    }
    if (!is_container(new_parent.get()))
        return -EPERM;
    if (settings.read_only)
        return -EROFS;
    if (int result = get_child_node_by_name(old_parent.get(), old_name, source))
        return result;
    if (source->kind != TREE_NODE)
        return -EPERM;
    nbt_node *node = source->node;
    // Through a prefixed alias a node could be moved into itself, which
    // would cut its subtree off the tree.
    if (within_subtree(node, new_parent->node))
        return -EINVAL;

    nbt_node *dir = new_parent->node;
    bool into_list = dir->type == TAG_LIST;
    std::string_view target_name;
    size_t colon = new_name.find(':');
    if (colon != std::string_view::npos) {
        nbt_type type = type_from_name(new_name.substr(0, colon));
        if (into_list || type == TAG_INVALID)
            return -ENOENT;
        if (type != node->type)
            return -EINVAL; // a rename never changes a type
        target_name = new_name.substr(colon + 1);
    } else if (into_list) {
        unsigned long position = 0;
        if (!parse_whole_unsigned(new_name, position))
            return -EINVAL;
        if (dir->payload.tag_list->data->type != node->type)
            return -EINVAL;
        size_t count = child_count(dir);
        if (position > count)
            return -EINVAL;
        if (position < count)
            return replace_in_list(old_parent.get(), new_parent.get(), source.get(), position);
    } else {
        target_name = new_name;
    }

    name_ptr new_node_name;
    if (!into_list && !(node->name && target_name == node->name)) {
        new_node_name.reset(static_cast<char *>(malloc(target_name.size() + 1)));
        if (!new_node_name)
            return -ENOMEM;
        memcpy(new_node_name.get(), target_name.data(), target_name.size());
        new_node_name.get()[target_name.size()] = '\0';
    }

    int found = get_child_node_by_name(new_parent.get(), new_name, target);
    if (found != 0 && found != -ENOENT)
        return found;
    if (found == 0) {
        if (target->kind != TREE_NODE)
            return -EPERM;
        if (target->node == node)
            return 0; // one node under two names: nothing to do
        bool source_dir = is_directory_type(node->type), target_dir = is_directory_type(target->node->type);
        if (source_dir && !target_dir)
            return -ENOTDIR;
        if (target_dir && !source_dir)
            return -EISDIR;
        if (is_nonempty_container(target->node))
            return -ENOTEMPTY;
    }

    // What can fail comes first: the handles concerned and the new cell.
    // Nothing is changed before all of them are there.
    bool stays = old_parent.get() == new_parent.get();
    std::vector<fs_node *> released, moved;
    if (found == 0)
        released = held_within(target->node);
    if (!stays)
        moved = held_within(node);
    std::unique_ptr<struct nbt_list, free_deleter> cell;
    if (!stays) {
        cell.reset(static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list))));
        if (!cell)
            return -ENOMEM;
    }
    mark_stale(released);
    if (!stays) {
        cell->data = node;
        list_head *entry = &cell.release()->entry;
        follow_move(moved, node, new_parent->chunk, entry);
        list_append(entry, &dir->payload.tag_list->entry);
        drop_cell(source->cell);
    }
    if (into_list || new_node_name) {
        forget_child_indexes();
        free(node->name);
        node->name = new_node_name.release();
    }
    if (found == 0) {
        drop_cell(target->cell);
        nbt_free(target->node);
    }
    mark_modified(old_parent.get());
    mark_modified(new_parent.get());
    return 0;
}

} // namespace

int nbt_rename(const char *from, const char *to) { return rename_node(from, to); }
