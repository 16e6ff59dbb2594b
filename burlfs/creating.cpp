// Creating and removing nodes and array elements.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "lookup.h"
#include "open_handles.h"
#include "operations.h"
#include "tree_cells.h"
#include "type_names.h"

namespace {

// Grows an int32 or int64 array to index + 1 elements, the new ones 0.
template <class Array> int grow_array(Array &a, long index)
{
    using element = std::remove_pointer_t<decltype(a.data)>;
    if (index >= INT32_MAX)
        return -EFBIG;
    size_t count = size_t(index) + 1;
    auto *grown = static_cast<element *>(realloc(a.data, count * sizeof(element)));
    if (!grown)
        return -ENOMEM;
    memset(grown + a.length, 0, (count - size_t(a.length)) * sizeof(element));
    a.data = grown;
    a.length = int32_t(count);
    return 0;
}

int create_element(fs_node *parent, std::string_view name, record_ptr &out)
{
    nbt_node *array = parent->node;
    long index = 0;
    if (!parse_whole_number(name, index))
        return -EINVAL;
    if (index < array_length(static_cast<const nbt_node *>(array)))
        return -EEXIST;
    record_ptr r(new_fs_node(ARRAY_ELEMENT_NODE, array, parent->chunk));
    int result = array->type == TAG_INT_ARRAY ? grow_array(array->payload.tag_int_array, index)
                                              : grow_array(array->payload.tag_long_array, index);
    if (result)
        return result;
    r->index = int32_t(index);
    mark_modified(r.get());
    out = std::move(r);
    return 0;
}

// The type and name of a new child of a list or compound parent.
int new_child_spec(const nbt_node *parent, std::string_view name, nbt_type &type, std::string_view &node_name,
                   bool &named)
{
    if (parent->type == TAG_LIST) {
        unsigned long position = 0;
        if (!parse_whole_unsigned(name, position) || name.empty())
            return -EINVAL;
        type = parent->payload.tag_list->data->type;
        // The element type must be set through ".type" first; a type the
        // file gave that no node may have is refused likewise.
        if (type < TAG_BYTE || type > TAG_LONG_ARRAY)
            return -EPERM;
        if (position != child_count(parent))
            return -EPERM;
        named = false;
        return 0;
    }
    size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return -EINVAL;
    type = type_from_name(name.substr(0, colon));
    node_name = name.substr(colon + 1);
    if (type == TAG_INVALID || node_name.empty())
        return -EINVAL;
    const list_head *head = &parent->payload.tag_compound->entry;
    for (const list_head *e = head->next; e != head; e = e->next) {
        const char *existing = list_cell(const_cast<list_head *>(e))->data->name;
        if (existing && node_name == existing)
            return -EEXIST;
    }
    named = true;
    return 0;
}

int create_child(fs_node *parent, std::string_view name, record_ptr &out)
{
    nbt_type type = TAG_INVALID;
    std::string_view node_name;
    bool named = false;
    if (int result = new_child_spec(parent->node, name, type, node_name, named))
        return result;
    record_ptr r(new_fs_node(TREE_NODE, nullptr, parent->chunk));
    nbt_node *node = new_tree_node(type, named ? node_name.data() : nullptr, node_name.size());
    if (!node)
        return -ENOMEM;
    list_head *entry = append_child(parent->node, node);
    if (!entry) {
        nbt_free(node);
        return -ENOMEM;
    }
    r->node = r->subject = node;
    r->cell = entry;
    mark_modified(r.get());
    out = std::move(r);
    return 0;
}

// Makes the node or array element that path names; the record refers to it.
int create_node(std::string_view path, record_ptr &out)
{
    if (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    size_t slash = path.rfind('/');
    record_ptr parent;
    std::string_view name = path;
    if (slash != std::string_view::npos) {
        if (int result = lookup_path(path.substr(0, slash + 1), parent))
            return result;
        if (parent->kind != TREE_NODE)
            return -ENOTDIR;
        name = path.substr(slash + 1);
    } else {
        if (settings.region_mode && root_node.kind == REGION_ROOT_NODE)
            return -EINVAL; // chunks cannot be made
        if (root_node.kind != TREE_NODE)
            return -ENOTDIR;
        parent.reset(&root_node);
    }
    switch (parent->node->type) {
    case TAG_INT_ARRAY:
    case TAG_LONG_ARRAY: return create_element(parent.get(), name, out);
    case TAG_LIST:
    case TAG_COMPOUND: return create_child(parent.get(), name, out);
    default: return -ENOTDIR;
    }
}

int remove_element(fs_node *child, bool directory)
{
    if (directory)
        return -ENOTDIR;
    nbt_node *array = child->node;
    int32_t &length = array_length(array);
    if (child->index + 1 < length)
        return -EBUSY; // only the last element can go
    if (child->index >= length)
        return -ENOENT;
    invalidate_elements_from(array, child->index);
    // Shrinking keeps the old block when realloc cannot make a smaller one.
    auto shrink = [&](auto &a) {
        using element = std::remove_pointer_t<decltype(a.data)>;
        if (child->index == 0) {
            free(a.data);
            a.data = nullptr;
        } else if (auto *p = static_cast<element *>(realloc(a.data, size_t(child->index) * sizeof(element)))) {
            a.data = p;
        }
    };
    if (array->type == TAG_INT_ARRAY)
        shrink(array->payload.tag_int_array);
    else
        shrink(array->payload.tag_long_array);
    length--;
    mark_modified(child);
    return 0;
}

int remove_tree_node(fs_node *child, bool directory)
{
    nbt_node *node = child->node;
    if (!child->cell)
        return -EPERM;
    if (directory) {
        if (node->type != TAG_LIST && node->type != TAG_COMPOUND)
            return -ENOTDIR;
        if (!list_is_empty(&node->payload.tag_list->entry))
            return -ENOTEMPTY;
    }
    invalidate_subtree(node);
    drop_cell(child->cell);
    nbt_free(node);
    mark_modified(child);
    return 0;
}

int remove_node(std::string_view path, bool directory)
{
    record_ptr parent;
    std::string_view name;
    if (int result = lookup_parent(path, parent, name))
        return result;
    if (name.empty())
        return -EINVAL;
    if (parent->kind == REGION_ROOT_NODE)
        return -EPERM;
    if (settings.read_only)
        return -EROFS;
    record_ptr child;
    if (int result = get_child_node_by_name(parent.get(), name, child))
        return result;
    switch (child->kind) {
    case LIST_TYPE_NODE: return -EPERM;
    case ARRAY_ELEMENT_NODE: return remove_element(child.get(), directory);
    case TREE_NODE: return remove_tree_node(child.get(), directory);
    default: return -EIO;
    }
}

} // namespace

int nbt_mkdir(const char *path, mode_t)
{
    if (settings.read_only)
        return -EROFS;
    record_ptr r;
    return create_node(path, r);
}

int nbt_create(const char *path, mode_t, fuse_file_info *fi)
{
    if (settings.read_only)
        return -EROFS;
    record_ptr r;
    if (int result = create_node(path, r))
        return result;
    hold_in_handle(fi, r.release());
    return 0;
}

int nbt_unlink(const char *path) { return remove_node(path, false); }

int nbt_rmdir(const char *path) { return remove_node(path, true); }
