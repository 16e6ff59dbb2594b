#include "tree_cells.h"

#include <cstdlib>
#include <cstring>

#include "child_index.h"

int32_t &array_length(nbt_node *array)
{
    return array->type == TAG_INT_ARRAY ? array->payload.tag_int_array.length : array->payload.tag_long_array.length;
}

int32_t array_length(const nbt_node *array) { return array_length(const_cast<nbt_node *>(array)); }

size_t child_count(const nbt_node *container)
{
    return count_children(const_cast<nbt_node *>(container));
}

list_head *child_entry(nbt_node *container, size_t index) { return find_child_entry(container, index); }

nbt_node *new_tree_node(nbt_type type, const char *name, size_t name_length)
{
    auto *n = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
    if (!n)
        return nullptr;
    n->type = type;
    if (name) {
        n->name = static_cast<char *>(malloc(name_length + 1));
        if (!n->name) {
            free(n);
            return nullptr;
        }
        memcpy(n->name, name, name_length);
        n->name[name_length] = '\0';
    }
    bool ok = true;
    if (type == TAG_STRING) {
        ok = (n->payload.tag_string = static_cast<char *>(calloc(1, 1)));
    } else if (type == TAG_LIST || type == TAG_COMPOUND) {
        auto *sentinel = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
        if (sentinel) {
            list_init(&sentinel->entry);
            // An untyped empty list: its element type is set through ".type".
            if (type == TAG_LIST && !(sentinel->data = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node))))) {
                free(sentinel);
                sentinel = nullptr;
            }
        }
        n->payload.tag_list = sentinel;
        ok = sentinel != nullptr;
    }
    if (!ok) {
        nbt_free(n); // copes with a payload that was not made
        return nullptr;
    }
    return n;
}

list_head *append_child(nbt_node *container, nbt_node *node)
{
    auto *cell = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
    if (!cell)
        return nullptr;
    cell->data = node;
    list_append(&cell->entry, &container->payload.tag_list->entry);
    forget_child_indexes();
    return &cell->entry;
}

void drop_cell(list_head *entry)
{
    forget_child_indexes();
    list_unlink(entry);
    free(list_cell(entry));
}

bool within_subtree(const nbt_node *root, const nbt_node *node)
{
    return find_in_subtree(root, [node](const nbt_node *n) { return n == node; });
}
