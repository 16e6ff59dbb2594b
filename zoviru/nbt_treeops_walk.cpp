// Walks that may change the tree: visiting every node and filtering in place.
#include <cassert>
#include <cstdlib>

#include "tree_walk.h"
#include "zoviru.h"

using zoviru::has_children;

extern "C" bool nbt_map(nbt_node *tree, nbt_visitor_t v, void *aux)
{
    assert(v);
    if (!tree)
        return true;
    if (!v(tree, aux))
        return false;
    // The visitor may have changed the node, so its type is read only now.
    bool stopped = zoviru::first_of_children(tree, [=](nbt_node *child) { return !nbt_map(child, v, aux); });
    return !stopped;
}

// Allocates nothing and cannot fail; errno is left alone.
extern "C" nbt_node *nbt_filter_inplace(nbt_node *tree, nbt_predicate_t filter, void *aux)
{
    assert(filter);
    if (!tree)
        return nullptr;
    if (!filter(tree, aux)) {
        nbt_free(tree);
        return nullptr;
    }
    if (has_children(tree)) {
        struct list_head *head = &tree->payload.tag_list->entry;
        for (struct list_head *pos = head->next, *next; pos != head; pos = next) {
            next = pos->next;
            struct nbt_list *cell = list_cell(pos);
            cell->data = nbt_filter_inplace(cell->data, filter, aux);
            if (!cell->data) {
                list_unlink(pos);
                free(cell);
            }
        }
    }
    return tree;
}
