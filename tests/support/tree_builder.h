// Building trees in tests the way programs do: every block from malloc, so
// that nbt_free releases them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "zoviru.h"

namespace tb {

struct tree_deleter {
    void operator()(nbt_node *n) const { nbt_free(n); }
};
using tree_ptr = std::unique_ptr<nbt_node, tree_deleter>;

// A node of the given type with a copy of name (NULL stays NULL) and a zero
// payload; lists and compounds get an empty ring.
nbt_node *node(nbt_type type, const char *name);

nbt_node *i8(const char *name, int8_t v);
nbt_node *i16(const char *name, int16_t v);
nbt_node *i32(const char *name, int32_t v);
nbt_node *i64(const char *name, int64_t v);
nbt_node *f32(const char *name, float v);
nbt_node *f64(const char *name, double v);
nbt_node *str(const char *name, const std::string &v);
nbt_node *bytes(const char *name, const std::vector<uint8_t> &v);
nbt_node *ints(const char *name, const std::vector<int32_t> &v);
nbt_node *longs(const char *name, const std::vector<int64_t> &v);
nbt_node *compound(const char *name, std::initializer_list<nbt_node *> children = {});
// A list whose element-type record says element_type.
nbt_node *list(const char *name, int element_type, std::initializer_list<nbt_node *> children = {});

// Appends child at the tail of a list or compound; returns parent.
nbt_node *append(nbt_node *parent, nbt_node *child);

// The bytes of a byte string given as hex text ("0a 00 00 00").
std::vector<uint8_t> hex(const std::string &text);
// Hex text of bytes, for messages.
std::string to_hex(const void *data, size_t len);

// The uncompressed bytes of a tree (empty when the writer refuses it).
std::vector<uint8_t> binary(const nbt_node *tree);

// A random valid tree of every type, nested at most max_depth levels of lists
// and compounds below the root.
nbt_node *random_tree(std::mt19937 &rng, unsigned max_depth);

// A root compound holding depth levels of nested containers (alternating
// lists and compounds) below it, with a value at the bottom.
nbt_node *nested(unsigned depth);

} // namespace tb
