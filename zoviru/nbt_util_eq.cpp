// Equality of trees: same types, names, values and children in the same
// order; floating-point values within an absolute tolerance.
#include <cstring>
#include <type_traits>

#include "tree_walk.h"
#include "zoviru.h"

using zoviru::entry_node;

namespace {

// Exactly this comparison, NaN included: a NaN on the left equals any number
// on the right, while a NaN on the right, or on both sides, is unequal.
// Callers may rely on that asymmetry.
bool within_tolerance(double x, double y)
{
    double low = x < y ? x : y;
    double high = x > y ? x : y;
    return low + 0.000001 >= high;
}

bool names_equal(const char *a, const char *b)
{
    if (!a || !b)
        return a == b;
    return strcmp(a, b) == 0;
}

// One block comparison; the storage of empty arrays is not looked at.
template <class Array> bool arrays_equal(const Array &a, const Array &b)
{
    using element = std::remove_pointer_t<decltype(a.data)>;
    if (a.length != b.length)
        return false;
    return a.length <= 0 || memcmp(a.data, b.data, size_t(a.length) * sizeof(element)) == 0;
}

// By position, not by name; the element-type records are not compared.
bool children_equal(const struct nbt_list *a, const struct nbt_list *b)
{
    const struct list_head *end_a = &a->entry, *end_b = &b->entry;
    const struct list_head *pa = end_a->next, *pb = end_b->next;
    for (; pa != end_a; pa = pa->next, pb = pb->next)
        if (pb == end_b || !nbt_eq(entry_node(pa), entry_node(pb)))
            return false;
    return pb == end_b;
}

} // namespace

extern "C" bool nbt_eq(const nbt_node *a, const nbt_node *b)
{
    if (a->type != b->type || !names_equal(a->name, b->name))
        return false;
    const auto &x = a->payload, &y = b->payload;
    switch (a->type) {
    case TAG_BYTE: return x.tag_byte == y.tag_byte;
    case TAG_SHORT: return x.tag_short == y.tag_short;
    case TAG_INT: return x.tag_int == y.tag_int;
    case TAG_LONG: return x.tag_long == y.tag_long;
    case TAG_FLOAT: return within_tolerance(x.tag_float, y.tag_float);
    case TAG_DOUBLE: return within_tolerance(x.tag_double, y.tag_double);
    case TAG_BYTE_ARRAY: return arrays_equal(x.tag_byte_array, y.tag_byte_array);
    case TAG_INT_ARRAY: return arrays_equal(x.tag_int_array, y.tag_int_array);
    case TAG_LONG_ARRAY: return arrays_equal(x.tag_long_array, y.tag_long_array);
    case TAG_STRING: return strcmp(x.tag_string, y.tag_string) == 0;
    case TAG_LIST:
    case TAG_COMPOUND: return children_equal(x.tag_list, y.tag_list);
    default: return false; // TAG_END and unknown types are never equal, not even to themselves
    }
}
