#include "lookup.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "child_index.h"
#include "tree_cells.h"
#include "type_names.h"

namespace {

// conv (strtol or strtoul, base 0) over a NUL-terminated copy of text; stop
// is the number of characters it consumed. errno is left as it was.
template <class T, class Convert> void convert(std::string_view text, T &out, size_t &stop, Convert conv)
{
    std::string copy(text);
    char *end = nullptr;
    int saved = errno;
    out = conv(copy.c_str(), &end, 0);
    errno = saved;
    stop = size_t(end - copy.c_str());
}

int chunk_link(std::string_view name, size_t comma, record_ptr &out)
{
    unsigned long x = 0, z = 0;
    size_t stop = 0;
    convert(name.substr(0, comma), x, stop, strtoul);
    if (x > 31 || !parse_whole_unsigned(name.substr(comma + 1), z) || z > 31)
        return -ENOENT;
    unsigned number = unsigned(x + 32 * z);
    auto text = std::make_unique<unsigned char[]>(5);
    int digits = snprintf(reinterpret_cast<char *>(text.get()), 5, "%u", number);
    assert(digits < 5);
    auto pseudo = std::make_unique<nbt_node>();
    pseudo->type = TAG_FS_PSEUDO;
    pseudo->payload.tag_byte_array.length = digits;
    pseudo->payload.tag_byte_array.data = text.get();
    out.reset(new_fs_node(CHUNK_LINK_NODE, pseudo.get(), nullptr));
    text.release();
    pseudo.release();
    return 0;
}

int chunk_directory(std::string_view name, record_ptr &out)
{
    unsigned long number = 0;
    if (!parse_whole_unsigned(name, number) || number >= region_chunk_count)
        return -ENOENT;
    region_chunk &chunk = region_chunks[number];
    if (!chunk.data)
        return -ENOENT;
    if (!chunk.tree) {
        // A chunk that fails to parse stays unparsed and is tried again at
        // the next lookup.
        chunk.tree = nbt_parse_compressed(chunk.data + 1, size_t(chunk.length - 1));
        if (!chunk.tree)
            return errno == STATUS_NO_MEMORY ? -ENOMEM : -EIO;
    }
    out.reset(new_fs_node(TREE_NODE, chunk.tree, &chunk));
    out->is_chunk_root = 1;
    return 0;
}

int region_child(std::string_view name, record_ptr &out)
{
    size_t stop = 0;
    unsigned long x = 0;
    convert(name, x, stop, strtoul);
    if (stop < name.size() && name[stop] == ',')
        return chunk_link(name, stop, out);
    return chunk_directory(name, out);
}

int compound_child(fs_node *parent, std::string_view name, nbt_type type, record_ptr &out)
{
    list_head *e = find_named_child(parent->node, name, type);
    if (!e)
        return -ENOENT;
    out.reset(new_fs_node(TREE_NODE, list_cell(e)->data, parent->chunk));
    out->cell = e;
    return 0;
}

int list_child(fs_node *parent, std::string_view name, record_ptr &out)
{
    struct nbt_list *sentinel = parent->node->payload.tag_list;
    if (name == ".type") {
        auto pseudo = std::make_unique<nbt_node>();
        pseudo->type = TAG_FS_PSEUDO;
        pseudo->payload.tag_list = sentinel;
        out.reset(new_fs_node(LIST_TYPE_NODE, pseudo.get(), parent->chunk));
        pseudo.release();
        out->subject = parent->node;
        return 0;
    }
    long index = 0;
    list_head *e = nullptr;
    if (!parse_whole_number(name, index) || index < 0 || !(e = child_entry(parent->node, size_t(index))))
        return -ENOENT;
    out.reset(new_fs_node(TREE_NODE, list_cell(e)->data, parent->chunk));
    out->cell = e;
    return 0;
}

template <class Array> int array_element(fs_node *parent, const Array &array, std::string_view name, record_ptr &out)
{
    long index = 0;
    if (!parse_whole_number(name, index) || index < 0 || index >= array.length)
        return -ENOENT;
    out.reset(new_fs_node(ARRAY_ELEMENT_NODE, parent->node, parent->chunk));
    out->index = int32_t(index);
    return 0;
}

int tree_child(fs_node *parent, std::string_view name, record_ptr &out)
{
    nbt_node *node = parent->node;
    size_t colon = name.find(':');
    if (colon != std::string_view::npos) {
        nbt_type type = type_from_name(name.substr(0, colon));
        if (type == TAG_INVALID || node->type != TAG_COMPOUND)
            return -ENOENT;
        return compound_child(parent, name.substr(colon + 1), type, out);
    }
    switch (node->type) {
    case TAG_COMPOUND: return compound_child(parent, name, TAG_INVALID, out);
    case TAG_LIST: return list_child(parent, name, out);
    case TAG_INT_ARRAY: return array_element(parent, node->payload.tag_int_array, name, out);
    case TAG_LONG_ARRAY: return array_element(parent, node->payload.tag_long_array, name, out);
    default: return -ENOENT;
    }
}

} // namespace

bool parse_whole_number(std::string_view text, long &out)
{
    size_t stop = 0;
    convert(text, out, stop, strtol);
    return !text.empty() && stop == text.size();
}

bool parse_whole_unsigned(std::string_view text, unsigned long &out)
{
    size_t stop = 0;
    convert(text, out, stop, strtoul);
    return stop == text.size();
}

int get_child_node_by_name(fs_node *parent, std::string_view name, record_ptr &out)
{
    if (name.empty())
        return -ENOENT;
    if (settings.region_mode && parent->kind == REGION_ROOT_NODE)
        return region_child(name, out);
    if (parent->kind == TREE_NODE)
        return tree_child(parent, name, out);
    return -ENOENT;
}

int lookup_path(std::string_view path, record_ptr &out)
{
    record_ptr current(&root_node);
    for (;;) {
        if (!path.empty() && path.front() == '/')
            path.remove_prefix(1);
        if (path.empty())
            break;
        // The first character always belongs to the component.
        size_t end = path.find('/', 1);
        if (end == std::string_view::npos)
            end = path.size();
        record_ptr child;
        if (int result = get_child_node_by_name(current.get(), path.substr(0, end), child))
            return result;
        current = std::move(child);
        path.remove_prefix(end);
    }
    out = std::move(current);
    return 0;
}

int lookup_parent(std::string_view path, record_ptr &parent, std::string_view &name)
{
    if (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        parent.reset(&root_node);
        name = path;
        return 0;
    }
    name = path.substr(slash + 1);
    record_ptr dir;
    if (int result = lookup_path(path.substr(0, slash + 1), dir))
        return result;
    if (dir->kind != TREE_NODE || !is_directory_type(dir->node->type))
        return -ENOTDIR;
    parent = std::move(dir);
    return 0;
}
