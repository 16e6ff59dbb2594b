// Release and counting of trees.
#include <cstdlib>

#include "zoviru.h"

namespace {

// Moves the cells of a list to the front of the pending ring and releases the
// sentinel cell with its element-type record. Splicing the ring is O(1), so
// releasing a tree of any depth needs neither recursion nor allocation; taking
// the children next releases the tree in the order it was built, which leaves
// the allocator's free lists in an order that the next tree reuses with good
// locality.
void release_sentinel(struct nbt_list *list, struct list_head *pending)
{
    struct list_head *head = &list->entry;
    if (!list_is_empty(head)) {
        struct list_head *first = head->next, *last = head->prev;
        last->next = pending->next;
        pending->next->prev = last;
        first->prev = pending;
        pending->next = first;
    }
    free(list->data);
    free(list);
}

// Releases what a node owns besides its children, and the node itself.
void release_node(nbt_node *node, struct list_head *pending)
{
    switch (node->type) {
    case TAG_BYTE_ARRAY:
        free(node->payload.tag_byte_array.data);
        break;
    case TAG_INT_ARRAY:
        free(node->payload.tag_int_array.data);
        break;
    case TAG_LONG_ARRAY:
        free(node->payload.tag_long_array.data);
        break;
    case TAG_STRING:
        free(node->payload.tag_string);
        break;
    case TAG_LIST:
    case TAG_COMPOUND:
        if (node->payload.tag_list)
            release_sentinel(node->payload.tag_list, pending);
        break;
    default:
        break;
    }
    free(node->name);
    free(node);
}

void release_pending(struct list_head *pending)
{
    while (!list_is_empty(pending)) {
        struct list_head *entry = pending->next;
        list_unlink(entry);
        struct nbt_list *cell = list_cell(entry);
        nbt_node *node = cell->data;
        free(cell);
        if (node)
            release_node(node, pending);
    }
}

} // namespace

extern "C" void nbt_free(nbt_node *tree)
{
    if (!tree)
        return;
    struct list_head pending;
    list_init(&pending);
    release_node(tree, &pending);
    release_pending(&pending);
}

extern "C" void nbt_free_list(struct nbt_list *list)
{
    if (!list)
        return;
    struct list_head pending;
    list_init(&pending);
    release_sentinel(list, &pending);
    release_pending(&pending);
}

extern "C" uint64_t nbt_size(const nbt_node *tree)
{
    if (!tree)
        return 0;
    uint64_t count = 1;
    if (tree->type == TAG_LIST || tree->type == TAG_COMPOUND) {
        const struct list_head *head = &tree->payload.tag_list->entry;
        for (const struct list_head *pos = head->next; pos != head; pos = pos->next)
            count += nbt_size(list_cell(const_cast<struct list_head *>(pos))->data);
    }
    return count;
}
