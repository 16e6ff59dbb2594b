// The NBT binary writer: the exact inverse of the parser. It refuses, with
// STATUS_CORRUPT, every tree whose bytes the parser could not read back.
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstring>

#include "buffer.h"
#include "byte_order.h"
#include "zoviru.h"

using zoviru::store_be;

namespace {

template <class T> nbt_status append_number(struct buffer *b, T value)
{
    unsigned char bytes[sizeof(T)];
    store_be(bytes, value);
    return buffer_append(b, bytes, sizeof bytes) ? STATUS_NO_MEMORY : STATUS_OK;
}

nbt_status dump_string_binary(const char *name, struct buffer *b)
{
    assert(name);
    size_t len = strlen(name);
    if (len > 0x7fff)
        return STATUS_CORRUPT;
    if (append_number(b, int16_t(len)) || buffer_append(b, name, len))
        return STATUS_NO_MEMORY;
    return STATUS_OK;
}

// The length, then every element big-endian, converted straight into the
// buffer's reserved room.
template <class Array> nbt_status dump_array_binary(const Array &array, struct buffer *b)
{
    using element = std::remove_pointer_t<decltype(array.data)>;
    if (array.length < 0)
        return STATUS_CORRUPT;
    size_t bytes = size_t(array.length) * sizeof(element);
    if (append_number(b, array.length) || buffer_reserve(b, b->len + bytes))
        return STATUS_NO_MEMORY;
    unsigned char *out = b->data + b->len;
    if constexpr (sizeof(element) == 1) {
        if (bytes)
            memcpy(out, array.data, bytes);
    } else {
        for (int32_t i = 0; i < array.length; i++)
            store_be(out + size_t(i) * sizeof(element), array.data[i]);
    }
    b->len += bytes;
    return STATUS_OK;
}

nbt_status dump_byte_array_binary(const struct nbt_byte_array &ba, struct buffer *b)
{
    if (ba.length != 0)
        assert(ba.data);
    return dump_array_binary(ba, b);
}

nbt_status dump_int_array_binary(const struct nbt_int_array &ia, struct buffer *b)
{
    if (ia.length != 0)
        assert(ia.data);
    return dump_array_binary(ia, b);
}

nbt_status dump_long_array_binary(const struct nbt_long_array &la, struct buffer *b)
{
    if (la.length != 0)
        assert(la.data);
    return dump_array_binary(la, b);
}

// Decides the element type byte and the count of a list.
nbt_status list_is_homogenous(const struct nbt_list *list, int *type, int32_t *count)
{
    const struct list_head *head = &list->entry;
    if (list_is_empty(head)) {
        if (!list->data || list->data->type == TAG_END)
            return STATUS_CORRUPT;
        *type = list->data->type;
        *count = 0;
        return STATUS_OK;
    }
    int first = TAG_INVALID;
    uint64_t n = 0;
    for (const struct list_head *pos = head->next; pos != head; pos = pos->next) {
        const struct nbt_list *cur = list_cell(const_cast<struct list_head *>(pos));
        assert(cur->data);
        assert(cur->data->type != TAG_INVALID);
        if (n == 0)
            first = cur->data->type;
        else if (cur->data->type != first)
            return STATUS_CORRUPT;
        n++;
    }
    if (n > INT32_MAX)
        return STATUS_CORRUPT;
    *type = first;
    *count = int32_t(n);
    return STATUS_OK;
}

// Writes one node. in_list says whether it is a list element, which is
// written without type byte and must have no name; everything else must have
// one.
nbt_status __dump_binary(const nbt_node *node, bool dump_type, struct buffer *b, unsigned depth,
                         bool in_list)
{
    if (in_list ? node->name != nullptr : node->name == nullptr)
        return STATUS_CORRUPT;
    if (dump_type && append_number(b, uint8_t(node->type)))
        return STATUS_NO_MEMORY;
    if (node->name) {
        nbt_status s = dump_string_binary(node->name, b);
        if (s)
            return s;
    }
    const auto &p = node->payload;
    switch (node->type) {
    case TAG_BYTE: return append_number(b, p.tag_byte);
    case TAG_SHORT: return append_number(b, p.tag_short);
    case TAG_INT: return append_number(b, p.tag_int);
    case TAG_LONG: return append_number(b, p.tag_long);
    case TAG_FLOAT: return append_number(b, p.tag_float);
    case TAG_DOUBLE: return append_number(b, p.tag_double);
    case TAG_BYTE_ARRAY: return dump_byte_array_binary(p.tag_byte_array, b);
    case TAG_INT_ARRAY: return dump_int_array_binary(p.tag_int_array, b);
    case TAG_LONG_ARRAY: return dump_long_array_binary(p.tag_long_array, b);
    case TAG_STRING: return dump_string_binary(p.tag_string, b);
    case TAG_LIST: {
        if (depth > NBT_MAX_DEPTH)
            return STATUS_CORRUPT;
        int type;
        int32_t count;
        nbt_status s = list_is_homogenous(p.tag_list, &type, &count);
        if (s)
            return s;
        if (append_number(b, uint8_t(type)) || append_number(b, count))
            return STATUS_NO_MEMORY;
        const struct list_head *head = &p.tag_list->entry;
        for (const struct list_head *pos = head->next; pos != head; pos = pos->next)
            if ((s = __dump_binary(list_cell(const_cast<struct list_head *>(pos))->data, false, b,
                                   depth + 1, true)))
                return s;
        return STATUS_OK;
    }
    case TAG_COMPOUND: {
        if (depth > NBT_MAX_DEPTH)
            return STATUS_CORRUPT;
        const struct list_head *head = &p.tag_compound->entry;
        for (const struct list_head *pos = head->next; pos != head; pos = pos->next) {
            const nbt_node *child = list_cell(const_cast<struct list_head *>(pos))->data;
            if (nbt_status s = __dump_binary(child, true, b, depth + 1, false))
                return s;
        }
        return append_number(b, uint8_t(TAG_END));
    }
    default:
        return STATUS_CORRUPT;
    }
}

} // namespace

extern "C" struct buffer nbt_dump_binary(const nbt_node *tree)
{
    struct buffer b = {};
    if (!tree)
        return b;
    if (nbt_status s = __dump_binary(tree, true, &b, 0, false)) {
        buffer_free(&b);
        errno = s;
    }
    return b;
}
