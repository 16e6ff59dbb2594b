// Reading values: a window of the value's content at an offset.
#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstring>

#include "open_handles.h"
#include "operations.h"
#include "value_text.h"

namespace {

// A formatted text of length L, cut to the window.
int text_window(std::string_view text, char *buf, size_t size, off_t offset)
{
    if (uint64_t(offset) >= text.size())
        return 0;
    size_t n = std::min(size, text.size() - size_t(offset));
    memcpy(buf, text.data() + offset, n);
    return int(n);
}

// Text s followed by a newline that is not stored.
int line_window(std::string_view s, char *buf, size_t size, off_t offset)
{
    if (uint64_t(offset) > s.size())
        return 0;
    size_t c = std::min(size, s.size() - size_t(offset));
    memcpy(buf, s.data() + offset, c);
    if (c < size)
        buf[c++] = '\n';
    return int(c);
}

// count elements of width bytes; swap reverses the bytes of each element.
int raw_window(const void *data, size_t count, size_t width, bool swap, char *buf, size_t size, off_t offset)
{
    uint64_t total = uint64_t(count) * width;
    if (offset > 2147483646 || uint64_t(offset) >= total)
        return 0;
    size_t c = size_t(std::min<uint64_t>(size, total - uint64_t(offset)));
    const auto *bytes = static_cast<const unsigned char *>(data) + offset;
    if (swap) {
        for (size_t i = 0; i < c; i++)
            buf[i] = char(bytes[i ^ (width - 1)]);
    } else {
        memcpy(buf, bytes, c);
    }
    return int(c);
}

template <class Array>
int array_window(const Array &a, char *buf, size_t size, off_t offset)
{
    constexpr size_t width = sizeof *a.data;
    if (offset % off_t(width) || size % width)
        return -EINVAL;
    return raw_window(a.data, size_t(a.length), width, settings.swap_array_bytes, buf, size, offset);
}

int read_tree_node(const nbt_node *n, char *buf, size_t size, off_t offset)
{
    const auto &p = n->payload;
    number_text t;
    switch (n->type) {
    case TAG_BYTE: case TAG_SHORT: case TAG_INT: case TAG_LONG: case TAG_FLOAT: case TAG_DOUBLE:
        format_scalar(n, t);
        return text_window(t.view(), buf, size, offset);
    case TAG_STRING:
        if (offset > 32766 || !p.tag_string)
            return 0;
        return line_window(p.tag_string, buf, size, offset);
    case TAG_LIST:
    case TAG_COMPOUND:
        return -EISDIR;
    case TAG_BYTE_ARRAY:
        return raw_window(p.tag_byte_array.data, size_t(p.tag_byte_array.length), 1, false, buf, size, offset);
    case TAG_INT_ARRAY: return array_window(p.tag_int_array, buf, size, offset);
    case TAG_LONG_ARRAY: return array_window(p.tag_long_array, buf, size, offset);
    default: return -EIO;
    }
}

} // namespace

int nbt_read(const char *path, char *buf, size_t size, off_t offset, fuse_file_info *fi)
{
    const fs_node *r = file_info_to_nbt_node(fi);
    if (int result = check_usable(r))
        return result;
    if (offset < 0)
        return -EINVAL;
    size = std::min(size, size_t(INT_MAX)); // the count is returned as an int
    number_text t;
    switch (r->kind) {
    case REGION_ROOT_NODE:
        if (settings.region_mode)
            return -EISDIR;
        return region_root_misuse(path);
    case ARRAY_ELEMENT_NODE:
        if (!format_element(r->node, r->index, t))
            return -EIO;
        return text_window(t.view(), buf, size, offset);
    case LIST_TYPE_NODE:
        if (offset > 126)
            return 0;
        return line_window(element_type_text(r), buf, size, offset);
    case TREE_NODE:
        return read_tree_node(r->node, buf, size, offset);
    default:
        return -EIO;
    }
}
