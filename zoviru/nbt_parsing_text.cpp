// The text dump: a tree as indented, human-readable text, onto a stream or
// into a new string. Nothing reads this text back.
//
// The walk keeps its own stack of open lists and compounds instead of
// recursing, and one quoting area serves the whole call, so the depth of a
// tree costs no machine stack.
#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <memory_resource>
#include <new>
#include <vector>

#include "buffer.h"
#include "tree_walk.h"
#include "zoviru.h"

namespace {

// Where the text goes: the stream when file is set, else the buffer.
struct dump_target {
    struct buffer *buf;
    FILE *file;
};

// Quoted names and strings are cut to about this many bytes.
constexpr size_t quote_area_size = 8200;
constexpr size_t quote_limit = 8184;
using quote_area = std::array<char, quote_area_size>;

__attribute__((format(printf, 2, 3))) nbt_status bprintf(dump_target &t, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    if (t.file) {
        // Stream errors are left to the caller, who can check the stream.
        vfprintf(t.file, format, ap);
        va_end(ap);
        return STATUS_OK;
    }
    va_list again;
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    struct buffer *b = t.buf;
    // A buffer that cannot grow ends the dump: the text is never written
    // beyond the buffer and never handed out with a piece missing.
    if (n < 0 || buffer_reserve(b, b->len + size_t(n) + 1)) {
        va_end(again);
        return STATUS_NO_MEMORY;
    }
    vsnprintf(reinterpret_cast<char *>(b->data + b->len), size_t(n) + 1, format, again);
    va_end(again);
    b->len += size_t(n);
    return STATUS_OK;
}

// The quoted form of a text, "null" for none; it lives in area.
const char *quoted_string(const char *text, quote_area &area)
{
    if (!text)
        return "null";
    size_t n = 0;
    area[n++] = '"';
    for (const char *p = text; *p; p++) {
        // At most 2 bytes are added past the limit, then the 3 dots, the
        // closing quote and the terminator: well inside the area.
        if (p != text && n > quote_limit) {
            area[n++] = '.';
            area[n++] = '.';
            area[n++] = '.';
            break;
        }
        if (*p == '"') {
            area[n++] = '\\';
            area[n++] = '"';
        } else if (*p == '\n') {
            area[n++] = '\\';
            area[n++] = 'n';
        } else {
            area[n++] = *p;
        }
    }
    area[n++] = '"';
    area[n] = '\0';
    return area.data();
}

nbt_status indent(dump_target &t, size_t depth)
{
    return depth ? bprintf(t, "%*s", int(2 * depth), "") : STATUS_OK;
}

// The bracketed elements of an array, each printed unsigned.
template <class Unsigned, class Element>
nbt_status dump_elements(dump_target &t, const Element *data, int32_t length, const char *format)
{
    if (nbt_status s = bprintf(t, "[ "))
        return s;
    for (int32_t i = 0; i < length; i++)
        if (nbt_status s = bprintf(t, format, Unsigned(data[i])))
            return s;
    return bprintf(t, "]\n");
}

nbt_status dump_byte_array(const struct nbt_byte_array &ba, dump_target &t)
{
    assert(ba.length >= 0);
    if (ba.length != 0)
        assert(ba.data);
    return dump_elements<unsigned>(t, ba.data, ba.length, "%hhu ");
}

nbt_status dump_int_array(const struct nbt_int_array &ia, dump_target &t)
{
    assert(ia.length >= 0);
    if (ia.length != 0)
        assert(ia.data);
    return dump_elements<uint32_t>(t, ia.data, ia.length, "%" PRIu32 " ");
}

nbt_status dump_long_array(const struct nbt_long_array &la, dump_target &t)
{
    assert(la.length >= 0);
    if (la.length != 0)
        assert(la.data);
    return dump_elements<unsigned long long>(t, la.data, la.length, "%llu ");
}

// The line of a node, or for a list or compound its opening line, at depth.
// A node that cannot be printed leaves its indentation written.
nbt_status dump_line(const nbt_node *node, dump_target &t, size_t depth, quote_area &area)
{
    if (nbt_status s = indent(t, depth))
        return s;
    const auto &p = node->payload;
    switch (node->type) {
    case TAG_BYTE: return bprintf(t, "TAG_Byte(%s) %i\n", quoted_string(node->name, area), p.tag_byte);
    case TAG_SHORT: return bprintf(t, "TAG_Short(%s) %i\n", quoted_string(node->name, area), p.tag_short);
    case TAG_INT: return bprintf(t, "TAG_Int(%s) %i\n", quoted_string(node->name, area), p.tag_int);
    case TAG_LONG:
        return bprintf(t, "TAG_Long(%s) %" PRIi64 "\n", quoted_string(node->name, area), p.tag_long);
    case TAG_FLOAT:
        return bprintf(t, "TAG_Float(%s) %f\n", quoted_string(node->name, area), double(p.tag_float));
    case TAG_DOUBLE: return bprintf(t, "TAG_Double(%s) %f\n", quoted_string(node->name, area), p.tag_double);
    case TAG_BYTE_ARRAY:
        if (nbt_status s = bprintf(t, "TAG_Byte_Array(%s) ", quoted_string(node->name, area)))
            return s;
        return dump_byte_array(p.tag_byte_array, t);
    case TAG_INT_ARRAY:
        if (nbt_status s = bprintf(t, "Tag_Int_Array(%s) ", quoted_string(node->name, area)))
            return s;
        return dump_int_array(p.tag_int_array, t);
    case TAG_LONG_ARRAY:
        if (nbt_status s = bprintf(t, "Tag_Long_Array(%s) ", quoted_string(node->name, area)))
            return s;
        return dump_long_array(p.tag_long_array, t);
    case TAG_STRING:
        if (!p.tag_string)
            return STATUS_CORRUPT;
        // The name and the value share the area, so they go out one by one.
        if (nbt_status s = bprintf(t, "TAG_String(%s) ", quoted_string(node->name, area)))
            return s;
        return bprintf(t, "%s\n", quoted_string(p.tag_string, area));
    case TAG_LIST: {
        if (!p.tag_list)
            return STATUS_CORRUPT;
        // A list without an element-type record is outside the model; it
        // still prints, with an element type that names no type.
        const nbt_node *record = p.tag_list->data;
        const char *element = record ? nbt_type_to_string(record->type) : "TAG_UNKNOWN";
        return bprintf(t, "TAG_List(%s) [%s] {\n", quoted_string(node->name, area), element);
    }
    case TAG_COMPOUND:
        if (!p.tag_compound)
            return STATUS_CORRUPT;
        return bprintf(t, "TAG_Compound(%s) {\n", quoted_string(node->name, area));
    default:
        return STATUS_CORRUPT;
    }
}

// An open list or compound: its sentinel entry and the child printed last.
struct open_level {
    const struct list_head *head;
    const struct list_head *pos;
};

// Trees up to this deep are walked without allocating.
constexpr size_t inline_levels = 64;

nbt_status dump_tree(const nbt_node *root, dump_target &t)
{
    quote_area area;
    std::array<std::byte, inline_levels * sizeof(open_level) + 64> inline_storage;
    std::pmr::monotonic_buffer_resource resource(inline_storage.data(), inline_storage.size());
    std::pmr::vector<open_level> open(&resource);

    // The closing lines of every open level, innermost first.
    auto close_levels = [&](size_t keep) {
        while (open.size() > keep) {
            open.pop_back();
            if (indent(t, open.size()) || bprintf(t, "}\n"))
                return STATUS_NO_MEMORY;
        }
        return STATUS_OK;
    };

    const nbt_node *node = root;
    for (;;) {
        if (node) {
            bool container = zoviru::has_children(node);
            try {
                if (container && open.size() == open.capacity())
                    open.reserve(std::max(2 * open.capacity(), inline_levels));
            } catch (...) {
                close_levels(0);
                return STATUS_NO_MEMORY;
            }
            if (nbt_status s = dump_line(node, t, open.size(), area)) {
                // A node that cannot be printed still has its enclosing
                // lists and compounds closed, unless memory ran out.
                if (s != STATUS_NO_MEMORY)
                    close_levels(0);
                return s;
            }
            if (container) {
                const struct list_head *head = &node->payload.tag_list->entry;
                open.push_back({head, head});
            }
        }
        // The next child of the innermost open level that has one.
        node = nullptr;
        while (!open.empty()) {
            open_level &level = open.back();
            level.pos = level.pos->next;
            if (level.pos != level.head) {
                node = zoviru::entry_node(level.pos);
                if (node)
                    break;
                continue; // a cell without a node prints nothing
            }
            if (nbt_status s = close_levels(open.size() - 1))
                return s;
        }
        if (!node)
            return STATUS_OK; // every level is closed
    }
}

} // namespace

extern "C" char *nbt_dump_ascii(const nbt_node *tree)
{
    assert(tree);
    errno = STATUS_OK;
    struct buffer b = {};
    dump_target t = {&b, nullptr};
    nbt_status s = dump_tree(tree, t);
    if (s == STATUS_OK && buffer_reserve(&b, b.len + 1))
        s = STATUS_NO_MEMORY;
    if (s != STATUS_OK) {
        buffer_free(&b);
        errno = s;
        return nullptr;
    }
    b.data[b.len] = '\0';
    errno = STATUS_OK;
    return reinterpret_cast<char *>(b.data);
}

extern "C" nbt_status nbt_dump_ascii_file(const nbt_node *tree, FILE *fp)
{
    if (!fp)
        return STATUS_CORRUPT;
    // The walk may allocate for very deep trees; errno stays the caller's.
    int saved = errno;
    dump_target t = {nullptr, fp};
    nbt_status s = dump_tree(tree, t);
    errno = saved;
    return s;
}
