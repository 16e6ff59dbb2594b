#include "tree_builder.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tb {

namespace {

char *copy(const char *s)
{
    if (!s)
        return nullptr;
    return strdup(s);
}

template <class Array, class Vec> void fill_array(Array &array, const Vec &v)
{
    using element = std::remove_pointer_t<decltype(array.data)>;
    array.length = int32_t(v.size());
    array.data = nullptr;
    if (!v.empty()) {
        array.data = static_cast<element *>(malloc(v.size() * sizeof(element)));
        memcpy(array.data, v.data(), v.size() * sizeof(element));
    }
}

} // namespace

nbt_node *node(nbt_type type, const char *name)
{
    auto *n = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
    n->type = type;
    n->name = copy(name);
    if (type == TAG_LIST || type == TAG_COMPOUND) {
        auto *sentinel = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
        list_init(&sentinel->entry);
        if (type == TAG_LIST)
            sentinel->data = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
        n->payload.tag_list = sentinel;
    } else if (type == TAG_STRING) {
        n->payload.tag_string = copy("");
    }
    return n;
}

nbt_node *i8(const char *name, int8_t v) { auto *n = node(TAG_BYTE, name); n->payload.tag_byte = v; return n; }
nbt_node *i16(const char *name, int16_t v) { auto *n = node(TAG_SHORT, name); n->payload.tag_short = v; return n; }
nbt_node *i32(const char *name, int32_t v) { auto *n = node(TAG_INT, name); n->payload.tag_int = v; return n; }
nbt_node *i64(const char *name, int64_t v) { auto *n = node(TAG_LONG, name); n->payload.tag_long = v; return n; }
nbt_node *f32(const char *name, float v) { auto *n = node(TAG_FLOAT, name); n->payload.tag_float = v; return n; }
nbt_node *f64(const char *name, double v) { auto *n = node(TAG_DOUBLE, name); n->payload.tag_double = v; return n; }

nbt_node *str(const char *name, const std::string &v)
{
    auto *n = node(TAG_STRING, name);
    free(n->payload.tag_string);
    n->payload.tag_string = copy(v.c_str());
    return n;
}

nbt_node *bytes(const char *name, const std::vector<uint8_t> &v)
{
    auto *n = node(TAG_BYTE_ARRAY, name);
    fill_array(n->payload.tag_byte_array, v);
    return n;
}

nbt_node *ints(const char *name, const std::vector<int32_t> &v)
{
    auto *n = node(TAG_INT_ARRAY, name);
    fill_array(n->payload.tag_int_array, v);
    return n;
}

nbt_node *longs(const char *name, const std::vector<int64_t> &v)
{
    auto *n = node(TAG_LONG_ARRAY, name);
    fill_array(n->payload.tag_long_array, v);
    return n;
}

nbt_node *append(nbt_node *parent, nbt_node *child)
{
    auto *cell = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
    cell->data = child;
    list_append(&cell->entry, &parent->payload.tag_list->entry);
    return parent;
}

nbt_node *compound(const char *name, std::initializer_list<nbt_node *> children)
{
    auto *n = node(TAG_COMPOUND, name);
    for (auto *c : children)
        append(n, c);
    return n;
}

nbt_node *list(const char *name, int element_type, std::initializer_list<nbt_node *> children)
{
    auto *n = node(TAG_LIST, name);
    n->payload.tag_list->data->type = nbt_type(element_type);
    for (auto *c : children)
        append(n, c);
    return n;
}

std::vector<uint8_t> hex(const std::string &text)
{
    std::vector<uint8_t> out;
    int nibbles = 0, value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            continue;
        value = value * 16 + d;
        if (++nibbles == 2) {
            out.push_back(uint8_t(value));
            nibbles = value = 0;
        }
    }
    if (nibbles)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

std::string to_hex(const void *data, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    auto *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < len; i++) {
        if (i)
            s += ' ';
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::vector<uint8_t> binary(const nbt_node *tree)
{
    struct buffer b = nbt_dump_binary(tree);
    std::vector<uint8_t> out(b.data, b.data + b.len);
    free(b.data);
    return out;
}

namespace {

std::string random_name(std::mt19937 &rng)
{
    std::uniform_int_distribution<int> len(0, 12), byte(1, 255);
    std::string s(size_t(len(rng)), ' ');
    for (auto &c : s)
        c = char(byte(rng));
    return s;
}

// A random node of the given type; containers below max_depth get children.
nbt_node *random_node(std::mt19937 &rng, int type, const char *name, unsigned depth,
                      unsigned max_depth)
{
    std::uniform_int_distribution<int> small(0, 6);
    auto bits = [&rng] { return uint64_t(rng()) << 32 | rng(); };
    switch (type) {
    case TAG_BYTE: return i8(name, int8_t(bits()));
    case TAG_SHORT: return i16(name, int16_t(bits()));
    case TAG_INT: return i32(name, int32_t(bits()));
    case TAG_LONG: return i64(name, int64_t(bits()));
    case TAG_FLOAT: {
        uint32_t u = uint32_t(bits());
        float f;
        memcpy(&f, &u, sizeof f);
        return f32(name, f);
    }
    case TAG_DOUBLE: {
        uint64_t u = bits();
        double d;
        memcpy(&d, &u, sizeof d);
        return f64(name, d);
    }
    case TAG_STRING: return str(name, random_name(rng));
    case TAG_BYTE_ARRAY: {
        std::vector<uint8_t> v(size_t(small(rng)) * 3);
        for (auto &e : v) e = uint8_t(bits());
        return bytes(name, v);
    }
    case TAG_INT_ARRAY: {
        std::vector<int32_t> v(size_t(small(rng)));
        for (auto &e : v) e = int32_t(bits());
        return ints(name, v);
    }
    case TAG_LONG_ARRAY: {
        std::vector<int64_t> v(size_t(small(rng)));
        for (auto &e : v) e = int64_t(bits());
        return longs(name, v);
    }
    case TAG_LIST: {
        std::uniform_int_distribution<int> types(1, 12);
        int element = types(rng);
        if (depth >= max_depth)
            while (element == TAG_LIST || element == TAG_COMPOUND)
                element = types(rng);
        nbt_node *n = list(name, element);
        int count = small(rng);
        for (int i = 0; i < count; i++)
            append(n, random_node(rng, element, nullptr, depth + 1, max_depth));
        return n;
    }
    case TAG_COMPOUND: {
        std::uniform_int_distribution<int> types(1, depth >= max_depth ? 8 : 12);
        nbt_node *n = compound(name);
        int count = small(rng);
        for (int i = 0; i < count; i++) {
            int t = types(rng);
            if (depth >= max_depth && (t == TAG_LIST || t == TAG_COMPOUND))
                t = TAG_INT;
            std::string child_name = random_name(rng);
            append(n, random_node(rng, t, child_name.c_str(), depth + 1, max_depth));
        }
        return n;
    }
    }
    return nullptr;
}

} // namespace

nbt_node *random_tree(std::mt19937 &rng, unsigned max_depth)
{
    std::uniform_int_distribution<int> root_type(1, 12);
    std::string name = random_name(rng);
    // Mostly compounds, as in real files, but any type may be the root.
    int type = rng() % 4 ? TAG_COMPOUND : root_type(rng);
    return random_node(rng, type, name.c_str(), 0, max_depth);
}

nbt_node *nested(unsigned depth)
{
    nbt_node *root = compound("");
    nbt_node *parent = root;
    for (unsigned level = 1; level <= depth; level++) {
        bool in_list = parent->type == TAG_LIST;
        nbt_node *child = level % 2 ? list(in_list ? nullptr : "l", TAG_COMPOUND)
                                    : compound(in_list ? nullptr : "c");
        append(parent, child);
        parent = child;
    }
    if (parent->type == TAG_COMPOUND)
        append(parent, i32("v", 7));
    else {
        parent->payload.tag_list->data->type = TAG_INT;
        append(parent, i32(nullptr, 7));
    }
    return root;
}

} // namespace tb
