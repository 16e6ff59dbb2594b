// Writing and truncating values. Every change that succeeds ends with a
// change mark, so that unmount saves it; a failure changes nothing.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lookup.h"
#include "open_handles.h"
#include "operations.h"
#include "type_names.h"

namespace {

bool posix_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Parses a number text as written: base 0 for integers, leading white space
// and a sign accepted, at most one white-space character after it. Returns
// the count of bytes taken (a short write when more follows that white
// space), or a negated error number; value holds the number.
template <class T> int parse_number(const char *data, size_t size, off_t offset, T &value)
{
    if (offset != 0)
        return -EINVAL;
    std::string text(data, size);
    char *end = nullptr;
    int saved = errno;
    if constexpr (std::is_same_v<T, float>)
        value = strtof(text.c_str(), &end);
    else if constexpr (std::is_same_v<T, double>)
        value = strtod(text.c_str(), &end);
    else
        value = T(strtoll(text.c_str(), &end, 0)); // held at the 64-bit limits; cut to the width
    errno = saved;
    if (end == text.c_str())
        return -EINVAL;
    if (*end == '\0')
        return int(size);
    if (!posix_space(*end))
        return -EINVAL;
    return int(end - text.c_str()) + 1;
}

template <class T> int write_number(fs_node *r, T &target, const char *data, size_t size, off_t offset)
{
    T value;
    int taken = parse_number(data, size, offset, value);
    if (taken < 0)
        return taken;
    target = value;
    mark_modified(r);
    return taken;
}

int write_scalar(fs_node *r, const char *data, size_t size, off_t offset)
{
    auto &p = r->node->payload;
    switch (r->node->type) {
    case TAG_BYTE: return write_number(r, p.tag_byte, data, size, offset);
    case TAG_SHORT: return write_number(r, p.tag_short, data, size, offset);
    case TAG_INT: return write_number(r, p.tag_int, data, size, offset);
    case TAG_LONG: return write_number(r, p.tag_long, data, size, offset);
    case TAG_FLOAT: return write_number(r, p.tag_float, data, size, offset);
    default: return write_number(r, p.tag_double, data, size, offset);
    }
}

int write_element(fs_node *r, const char *data, size_t size, off_t offset)
{
    nbt_node *a = r->node;
    if (a->type == TAG_INT_ARRAY)
        return write_number(r, a->payload.tag_int_array.data[r->index], data, size, offset);
    if (a->type == TAG_LONG_ARRAY)
        return write_number(r, a->payload.tag_long_array.data[r->index], data, size, offset);
    return -EIO;
}

// Strings and arrays hold at most INT32_MAX bytes or elements.
bool too_big(off_t offset, size_t size) { return uint64_t(offset) + size > uint64_t(INT32_MAX); }

int write_string(fs_node *r, const char *data, size_t size, off_t offset)
{
    // A single trailing newline, as echo writes it, is not stored.
    size_t n = size;
    if (n > 0 && data[n - 1] == '\n')
        n--;
    if (too_big(offset, n + 1))
        return -EFBIG;
    char *&s = r->node->payload.tag_string;
    size_t length = strlen(s);
    size_t end = size_t(offset) + n;
    if (length < end) {
        char *grown = static_cast<char *>(realloc(s, end + 1));
        if (!grown)
            return -ENOMEM;
        s = grown;
        if (size_t(offset) > length) // never read: the old NUL still ends the text
            memset(s + length + 1, 0, size_t(offset) - length);
    }
    memcpy(s + offset, data, n);
    s[end] = '\0';
    mark_modified(r);
    return int(size);
}

int write_bytes(fs_node *r, const char *data, size_t size, off_t offset)
{
    auto &a = r->node->payload.tag_byte_array;
    if (too_big(offset, size))
        return -EFBIG;
    size_t end = size_t(offset) + size;
    if (size_t(a.length) < end) {
        auto *grown = static_cast<unsigned char *>(realloc(a.data, end));
        if (!grown)
            return -ENOMEM;
        memset(grown + a.length, 0, size_t(offset) > size_t(a.length) ? size_t(offset) - size_t(a.length) : 0);
        a.data = grown;
        a.length = int32_t(end);
    }
    memcpy(a.data + offset, data, size);
    mark_modified(r);
    return int(size);
}

bool list_has_items(const fs_node *list_type)
{
    return !list_is_empty(&list_type->node->payload.tag_list->entry);
}

int write_element_type(fs_node *r, const char *data, size_t size, off_t offset)
{
    if (offset != 0)
        return -EINVAL;
    if (list_has_items(r))
        return -ENOTEMPTY;
    std::string_view name(data, size);
    if (!name.empty() && name.back() == '\n')
        name.remove_suffix(1);
    nbt_type type = type_from_name(name);
    if (type == TAG_INVALID)
        return -EINVAL;
    r->node->payload.tag_list->data->type = type;
    mark_modified(r);
    return int(size);
}

// A scalar or element of width bytes, truncated to s.
template <class T> int truncate_number(fs_node *r, T &value, off_t s)
{
    if (s == off_t(sizeof(T)))
        return 0;
    if (s != 0)
        return -EINVAL;
    value = T(0);
    mark_modified(r);
    return 0;
}

int truncate_string(fs_node *r, off_t s)
{
    char *str = r->node->payload.tag_string;
    // A longer size leaves the text as it is, so nothing is allocated for it.
    if (uint64_t(s) < strlen(str)) {
        str[s] = '\0';
        if (char *shrunk = static_cast<char *>(realloc(str, size_t(s) + 1)))
            r->node->payload.tag_string = shrunk;
    }
    mark_modified(r);
    return 0;
}

// Byte arrays and whole int32 and int64 arrays take a new length; added
// elements are 0.
template <class Array> int truncate_array(fs_node *r, Array &a, off_t s)
{
    using element = std::remove_pointer_t<decltype(a.data)>;
    if (s % off_t(sizeof(element)))
        return -EINVAL;
    off_t count = s / off_t(sizeof(element));
    if (count > INT32_MAX)
        return -EFBIG;
    if (count == 0) {
        invalidate_elements_from(r->node, 0);
        free(a.data);
        a.data = nullptr;
    } else {
        auto *resized = static_cast<element *>(realloc(a.data, size_t(s)));
        if (!resized)
            return -ENOMEM;
        invalidate_elements_from(r->node, int32_t(count));
        if (count > a.length)
            memset(resized + a.length, 0, size_t(count - a.length) * sizeof(element));
        a.data = resized;
    }
    a.length = int32_t(count);
    mark_modified(r);
    return 0;
}

int truncate_tree_node(fs_node *r, off_t s)
{
    auto &p = r->node->payload;
    switch (r->node->type) {
    case TAG_BYTE: return truncate_number(r, p.tag_byte, s);
    case TAG_SHORT: return truncate_number(r, p.tag_short, s);
    case TAG_INT: return truncate_number(r, p.tag_int, s);
    case TAG_LONG: return truncate_number(r, p.tag_long, s);
    case TAG_FLOAT: return truncate_number(r, p.tag_float, s);
    case TAG_DOUBLE: return truncate_number(r, p.tag_double, s);
    case TAG_STRING: return truncate_string(r, s);
    case TAG_BYTE_ARRAY: return truncate_array(r, p.tag_byte_array, s);
    case TAG_INT_ARRAY: return truncate_array(r, p.tag_int_array, s);
    case TAG_LONG_ARRAY: return truncate_array(r, p.tag_long_array, s);
    case TAG_LIST:
    case TAG_COMPOUND: return -EISDIR;
    default: return -EIO;
    }
}

} // namespace

int truncate_record(const char *path, fs_node *r, off_t s)
{
    if (settings.read_only)
        return -EROFS;
    if (int result = check_usable(r))
        return result;
    if (s < 0)
        return -EINVAL;
    switch (r->kind) {
    case LIST_TYPE_NODE:
        return list_has_items(r) ? -ENOTEMPTY : 0;
    case REGION_ROOT_NODE:
        return settings.region_mode ? -EISDIR : region_root_misuse(path);
    case ARRAY_ELEMENT_NODE:
        if (r->node->type == TAG_INT_ARRAY)
            return truncate_number(r, r->node->payload.tag_int_array.data[r->index], s);
        if (r->node->type == TAG_LONG_ARRAY)
            return truncate_number(r, r->node->payload.tag_long_array.data[r->index], s);
        return -EIO;
    case TREE_NODE:
        return truncate_tree_node(r, s);
    default:
        return -EIO;
    }
}

int nbt_write(const char *path, const char *data, size_t size, off_t offset, fuse_file_info *fi)
{
    if (settings.read_only)
        return -EROFS;
    if (size == 0)
        return 0;
    fs_node *r = file_info_to_nbt_node(fi);
    if (int result = check_usable(r))
        return result;
    if (offset < 0 || size > size_t(INT_MAX))
        return -EINVAL;
    switch (r->kind) {
    case LIST_TYPE_NODE:
        return write_element_type(r, data, size, offset);
    case REGION_ROOT_NODE:
        return settings.region_mode ? -EISDIR : region_root_misuse(path);
    case ARRAY_ELEMENT_NODE:
        return write_element(r, data, size, offset);
    case TREE_NODE:
        break;
    default:
        return -EIO;
    }
    switch (r->node->type) {
    case TAG_BYTE: case TAG_SHORT: case TAG_INT: case TAG_LONG: case TAG_FLOAT: case TAG_DOUBLE:
        return write_scalar(r, data, size, offset);
    case TAG_BYTE_ARRAY: return write_bytes(r, data, size, offset);
    case TAG_STRING: return write_string(r, data, size, offset);
    case TAG_LIST:
    case TAG_COMPOUND: return -EISDIR;
    case TAG_INT_ARRAY:
    case TAG_LONG_ARRAY: return -EPERM;
    default: return -EIO;
    }
}

int nbt_ftruncate(const char *path, off_t size, fuse_file_info *fi)
{
    return truncate_record(path, file_info_to_nbt_node(fi), size);
}

int nbt_truncate(const char *path, off_t size)
{
    if (settings.read_only)
        return -EROFS;
    record_ptr r;
    if (int result = lookup_path(path, r))
        return result;
    return truncate_record(path, r.get(), size);
}
