#include "value_text.h"

#include <cinttypes>
#include <cstdio>

#include "type_names.h"

namespace {

template <class... A> bool print(number_text &out, const char *format, A... a)
{
    int n = snprintf(out.text, sizeof out.text, format, a...);
    if (n < 0 || size_t(n) >= sizeof out.text)
        return false;
    out.length = size_t(n);
    return true;
}

} // namespace

bool format_scalar(const nbt_node *node, number_text &out)
{
    const auto &p = node->payload;
    switch (node->type) {
    case TAG_BYTE: return print(out, "%hhd\n", p.tag_byte);
    case TAG_SHORT: return print(out, "%d\n", int(p.tag_short));
    case TAG_INT: return print(out, "%d\n", int(p.tag_int));
    case TAG_LONG: return print(out, "%lld\n", (long long)p.tag_long);
    case TAG_FLOAT: return print(out, "%f\n", double(p.tag_float));
    case TAG_DOUBLE: return print(out, "%f\n", p.tag_double);
    default: return false;
    }
}

bool format_element(const nbt_node *array, int32_t index, number_text &out)
{
    if (array->type == TAG_INT_ARRAY) {
        const auto &a = array->payload.tag_int_array;
        return index >= 0 && index < a.length && print(out, "%d\n", int(a.data[index]));
    }
    if (array->type == TAG_LONG_ARRAY) {
        const auto &a = array->payload.tag_long_array;
        return index >= 0 && index < a.length && print(out, "%lld\n", (long long)a.data[index]);
    }
    return false;
}

std::string_view element_type_text(const fs_node *list_type)
{
    const nbt_node *record = list_type->node->payload.tag_list->data;
    std::string_view name = type_name(record->type);
    return name.empty() ? "invalid" : name;
}
