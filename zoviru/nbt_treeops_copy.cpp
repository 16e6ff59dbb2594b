// Deep and filtered copies of trees. A copy allocates one block per node,
// name, string, array, cell and element-type record and nothing else; when an
// allocation fails it releases every block it made, and the source is never
// changed. (free() keeps errno, so releasing after recording a status is safe.)
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

#include "tree_walk.h"
#include "zoviru.h"

namespace {

struct tree_deleter {
    void operator()(nbt_node *node) const { nbt_free(node); }
};
using tree_ptr = std::unique_ptr<nbt_node, tree_deleter>;

struct list_deleter {
    void operator()(struct nbt_list *list) const { nbt_free_list(list); }
};
using list_ptr = std::unique_ptr<struct nbt_list, list_deleter>;

char *copy_string(const char *s)
{
    size_t size = strlen(s) + 1;
    auto *copy = static_cast<char *>(malloc(size));
    if (copy)
        memcpy(copy, s, size);
    return copy;
}

// An empty array needs no storage, so its copy has none.
template <class Array> bool copy_array(Array &to, const Array &from)
{
    using element = std::remove_pointer_t<decltype(from.data)>;
    to.data = nullptr;
    if (from.length > 0) {
        size_t bytes = size_t(from.length) * sizeof(element);
        to.data = static_cast<element *>(malloc(bytes));
        if (!to.data)
            return false;
        memcpy(to.data, from.data, bytes);
    }
    to.length = from.length;
    return true;
}

// A sentinel cell with an empty ring and, when the source has one, its own
// element-type record of the same type.
struct nbt_list *new_sentinel_like(const struct nbt_list *list)
{
    auto *copy = static_cast<struct nbt_list *>(malloc(sizeof(struct nbt_list)));
    if (!copy)
        return nullptr;
    copy->data = nullptr;
    list_init(&copy->entry);
    if (list->data) {
        copy->data = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
        if (!copy->data) {
            free(copy);
            return nullptr;
        }
        copy->data->type = list->data->type;
    }
    return copy;
}

// What copying one child gave: a failure (the status is in errno), or a copy,
// where NULL means that the child is left out.
struct child_copy {
    bool failed;
    nbt_node *node;
};

template <class CopyChild> struct nbt_list *copy_list(const struct nbt_list *list, CopyChild copy_child)
{
    list_ptr copy(new_sentinel_like(list));
    if (!copy) {
        errno = STATUS_NO_MEMORY;
        return nullptr;
    }
    const struct list_head *head = &list->entry;
    for (const struct list_head *pos = head->next; pos != head; pos = pos->next) {
        child_copy child = copy_child(zoviru::entry_node(pos));
        tree_ptr node(child.node);
        if (child.failed)
            return nullptr;
        if (!node)
            continue;
        auto *cell = static_cast<struct nbt_list *>(malloc(sizeof(struct nbt_list)));
        if (!cell) {
            errno = STATUS_NO_MEMORY;
            return nullptr;
        }
        cell->data = node.release();
        list_append(&cell->entry, &copy->entry);
    }
    return copy.release();
}

struct nbt_list *clone_list(const struct nbt_list *list)
{
    assert(list);
    return copy_list(list, [](const nbt_node *child) {
        nbt_node *copy = nbt_clone(child);
        return child_copy{copy == nullptr, copy};
    });
}

// A predicate that leaves a nonzero errno behind fails the whole copy.
struct nbt_list *filter_list(const struct nbt_list *list, nbt_predicate_t filter, void *aux)
{
    assert(list);
    return copy_list(list, [=](const nbt_node *child) {
        nbt_node *copy = nbt_filter(child, filter, aux);
        return child_copy{errno != 0, copy};
    });
}

// A copy of one node, whose children are copied by copy_children. Every
// allocation failure here records STATUS_NO_MEMORY; a failed copy of the
// children keeps the status it left, which may be a predicate's.
template <class CopyChildren> nbt_node *copy_node(const nbt_node *tree, CopyChildren copy_children)
{
    // Zeroed, so that a half-built copy is released by nbt_free.
    tree_ptr copy(static_cast<nbt_node *>(calloc(1, sizeof(nbt_node))));
    if (!copy) {
        errno = STATUS_NO_MEMORY;
        return nullptr;
    }
    copy->type = tree->type;
    if (tree->name && !(copy->name = copy_string(tree->name))) {
        errno = STATUS_NO_MEMORY;
        return nullptr;
    }
    const auto &from = tree->payload;
    auto &to = copy->payload;
    bool ok = true;
    switch (tree->type) {
    case TAG_BYTE_ARRAY: ok = copy_array(to.tag_byte_array, from.tag_byte_array); break;
    case TAG_INT_ARRAY: ok = copy_array(to.tag_int_array, from.tag_int_array); break;
    case TAG_LONG_ARRAY: ok = copy_array(to.tag_long_array, from.tag_long_array); break;
    case TAG_STRING: ok = (to.tag_string = copy_string(from.tag_string)) != nullptr; break;
    case TAG_LIST:
    case TAG_COMPOUND:
        if (!(to.tag_list = copy_children(from.tag_list))) {
            if (errno == 0)
                errno = STATUS_NO_MEMORY;
            return nullptr;
        }
        break;
    default: to = from; break;
    }
    if (!ok) {
        errno = STATUS_NO_MEMORY;
        return nullptr;
    }
    return copy.release();
}

} // namespace

extern "C" nbt_node *nbt_clone(const nbt_node *tree)
{
    if (!tree)
        return nullptr;
    assert(tree->type != TAG_INVALID);
    return copy_node(tree, clone_list);
}

extern "C" nbt_node *nbt_filter(const nbt_node *tree, nbt_predicate_t filter, void *aux)
{
    assert(filter);
    errno = 0;
    // The descendants of a rejected node are never offered to the predicate.
    if (!tree || !filter(tree, aux))
        return nullptr;
    return copy_node(tree, [=](const struct nbt_list *list) { return filter_list(list, filter, aux); });
}
