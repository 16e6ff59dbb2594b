// The NBT binary parser: one pass over uncompressed data, no lookahead; every
// length is checked against the bytes that remain before it is read.
#include <cstdlib>
#include <cstring>

#include "byte_order.h"
#include "status.h"
#include "zoviru.h"

using zoviru::load_be;
using zoviru::record_status;

namespace {

// Consumes n bytes if they remain.
bool take(const unsigned char **memory, size_t *length, size_t n, const unsigned char **out)
{
    if (*length < n)
        return false;
    *out = *memory;
    *memory += n;
    *length -= n;
    return true;
}

template <class T> bool read_number(T &value, const unsigned char **memory, size_t *length)
{
    const unsigned char *p;
    if (!take(memory, length, sizeof(T), &p))
        return false;
    value = load_be<T>(p);
    return true;
}

// Reads a length-prefixed string into a new NUL-terminated copy, or NULL.
char *read_string(const unsigned char **memory, size_t *length)
{
    int16_t n;
    const unsigned char *bytes;
    if (!read_number(n, memory, length) || n < 0 || !take(memory, length, size_t(n), &bytes)) {
        record_status(STATUS_CORRUPT);
        return nullptr;
    }
    char *s = static_cast<char *>(malloc(size_t(n) + 1));
    if (!s) {
        record_status(STATUS_NO_MEMORY);
        return nullptr;
    }
    memcpy(s, bytes, size_t(n));
    s[n] = '\0';
    return s;
}

// Reads an array payload; on failure the array is left empty.
template <class Array> bool read_array(Array &array, const unsigned char **memory, size_t *length)
{
    using element = std::remove_pointer_t<decltype(array.data)>;
    int32_t count;
    if (!read_number(count, memory, length) || count < 0)
        return false;
    size_t bytes = size_t(count) * sizeof(element);
    // The size is checked against the input before anything is allocated, so
    // that a short file cannot make the parser ask for gigabytes.
    const unsigned char *src;
    if (!take(memory, length, bytes, &src))
        return false;
    element *data = nullptr;
    if (count > 0) {
        data = static_cast<element *>(malloc(bytes));
        if (!data) {
            record_status(STATUS_NO_MEMORY);
            return false;
        }
        zoviru::load_elements_be(data, src, size_t(count));
    }
    array.data = data;
    array.length = count;
    return true;
}

nbt_node *parse_unnamed_tag(int type, char *name, const unsigned char **memory, size_t *length,
                            unsigned depth);

// Allocates a sentinel cell with an empty ring; for a list also its
// element-type record.
struct nbt_list *new_sentinel(bool with_type_record)
{
    auto *list = static_cast<struct nbt_list *>(malloc(sizeof(struct nbt_list)));
    if (!list)
        return nullptr;
    list->data = nullptr;
    list_init(&list->entry);
    if (with_type_record) {
        list->data = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
        if (!list->data) {
            free(list);
            return nullptr;
        }
    }
    return list;
}

// Wraps a parsed child into a new cell at the tail of list; false when the
// cell cannot be allocated (the child is then released).
bool append_child(struct nbt_list *list, nbt_node *child)
{
    auto *cell = static_cast<struct nbt_list *>(malloc(sizeof(struct nbt_list)));
    if (!cell) {
        record_status(STATUS_NO_MEMORY);
        nbt_free(child);
        return false;
    }
    cell->data = child;
    list_append(&cell->entry, &list->entry);
    return true;
}

bool read_list(struct nbt_list *&out, const unsigned char **memory, size_t *length, unsigned depth)
{
    struct nbt_list *list = new_sentinel(true);
    if (!list) {
        record_status(STATUS_NO_MEMORY);
        return false;
    }
    uint8_t element_type;
    int32_t count;
    if (!read_number(element_type, memory, length) || !read_number(count, memory, length)) {
        nbt_free_list(list);
        return false;
    }
    list->data->type = element_type == TAG_END ? TAG_COMPOUND : nbt_type(element_type);
    for (int32_t i = 0; i < count; i++) {
        nbt_node *child = parse_unnamed_tag(element_type, nullptr, memory, length, depth + 1);
        if (!child || !append_child(list, child)) {
            nbt_free_list(list);
            return false;
        }
    }
    out = list;
    return true;
}

bool read_compound(struct nbt_list *&out, const unsigned char **memory, size_t *length,
                   unsigned depth)
{
    struct nbt_list *list = new_sentinel(false);
    if (!list) {
        record_status(STATUS_NO_MEMORY);
        return false;
    }
    for (;;) {
        uint8_t type;
        if (!read_number(type, memory, length))
            break; // not ended before the data ran out
        if (type == TAG_END) {
            out = list;
            return true;
        }
        char *name = read_string(memory, length);
        if (!name)
            break;
        nbt_node *child = parse_unnamed_tag(type, name, memory, length, depth + 1);
        if (!child) {
            free(name);
            break;
        }
        if (!append_child(list, child))
            break;
    }
    nbt_free_list(list);
    return false;
}

// Reads the payload of a tag whose type byte and name were consumed. The name
// (NULL for a list element) becomes the node's on success and stays with the
// caller on failure.
nbt_node *parse_unnamed_tag(int type, char *name, const unsigned char **memory, size_t *length,
                            unsigned depth)
{
    auto *node = static_cast<nbt_node *>(malloc(sizeof(nbt_node)));
    if (!node) {
        record_status(STATUS_NO_MEMORY);
        return nullptr;
    }
    auto &p = node->payload;
    bool ok = false;
    switch (type) {
    case TAG_BYTE: ok = read_number(p.tag_byte, memory, length); break;
    case TAG_SHORT: ok = read_number(p.tag_short, memory, length); break;
    case TAG_INT: ok = read_number(p.tag_int, memory, length); break;
    case TAG_LONG: ok = read_number(p.tag_long, memory, length); break;
    case TAG_FLOAT: ok = read_number(p.tag_float, memory, length); break;
    case TAG_DOUBLE: ok = read_number(p.tag_double, memory, length); break;
    case TAG_BYTE_ARRAY: ok = read_array(p.tag_byte_array, memory, length); break;
    case TAG_INT_ARRAY: ok = read_array(p.tag_int_array, memory, length); break;
    case TAG_LONG_ARRAY: ok = read_array(p.tag_long_array, memory, length); break;
    case TAG_STRING: ok = (p.tag_string = read_string(memory, length)) != nullptr; break;
    case TAG_LIST:
        ok = depth <= NBT_MAX_DEPTH && read_list(p.tag_list, memory, length, depth);
        break;
    case TAG_COMPOUND:
        ok = depth <= NBT_MAX_DEPTH && read_compound(p.tag_compound, memory, length, depth);
        break;
    default: break;
    }
    if (!ok) {
        record_status(STATUS_CORRUPT);
        free(node);
        return nullptr;
    }
    node->type = nbt_type(type);
    node->name = name;
    return node;
}

} // namespace

extern "C" nbt_node *nbt_parse(const void *mem, size_t len)
{
    errno = STATUS_OK;
    if (len == 0) {
        errno = STATUS_CORRUPT;
        return nullptr;
    }
    auto *memory = static_cast<const unsigned char *>(mem);
    int type = *memory++;
    len--;
    char *name = read_string(&memory, &len);
    if (!name)
        return nullptr;
    nbt_node *root = parse_unnamed_tag(type, name, &memory, &len, 0);
    if (!root) {
        free(name);
        record_status(STATUS_CORRUPT);
    }
    return root;
}
