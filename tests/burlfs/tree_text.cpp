#include "tree_text.h"

#include <cstdio>

#include "type_names.h"

namespace {

template <class Array> std::string elements(const Array &a)
{
    std::string s = "<";
    for (int32_t i = 0; i < a.length; i++)
        s += (i ? "," : "") + std::to_string(a.data[i]);
    return s + ">";
}

std::string children(const nbt_node *n, bool named)
{
    std::string s;
    const list_head *head = &n->payload.tag_list->entry;
    for (const list_head *e = head->next; e != head; e = e->next) {
        const nbt_node *child = list_cell(const_cast<list_head *>(e))->data;
        if (!s.empty())
            s += ",";
        if (named)
            s += std::string(child->name ? child->name : "(unnamed)") + "=";
        s += tree_text(child);
    }
    return s;
}

} // namespace

std::string tree_text(const nbt_node *n)
{
    char buf[64];
    const auto &p = n->payload;
    switch (n->type) {
    case TAG_BYTE: case TAG_SHORT: case TAG_INT: case TAG_LONG:
        return std::to_string(n->type == TAG_BYTE ? p.tag_byte : n->type == TAG_SHORT ? p.tag_short
                                                             : n->type == TAG_INT     ? p.tag_int
                                                                                      : p.tag_long);
    case TAG_FLOAT:
    case TAG_DOUBLE:
        snprintf(buf, sizeof buf, "%g", n->type == TAG_FLOAT ? double(p.tag_float) : p.tag_double);
        return buf;
    case TAG_STRING: return std::string("'") + p.tag_string + "'";
    case TAG_BYTE_ARRAY: {
        std::string s = "#";
        for (int32_t i = 0; i < p.tag_byte_array.length; i++) {
            snprintf(buf, sizeof buf, "%02x", p.tag_byte_array.data[i]);
            s += buf;
        }
        return s;
    }
    case TAG_INT_ARRAY: return elements(p.tag_int_array);
    case TAG_LONG_ARRAY: return "L" + elements(p.tag_long_array);
    case TAG_LIST: {
        std::string_view type = type_name(p.tag_list->data->type);
        return "list:" + std::string(type.empty() ? "invalid" : type) + "[" + children(n, false) + "]";
    }
    case TAG_COMPOUND: return "{" + children(n, true) + "}";
    default: return "?";
    }
}
