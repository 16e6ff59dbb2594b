// Seeded benchmark data in three shapes, built to a target uncompressed size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zoviru.h"

namespace bench {

enum class shape { chunk_like, small_nodes, array_heavy };

const char *shape_name(shape s);

// A node of type with a copy of name; lists and compounds get an empty ring
// (a list's element type is set by the first add).
nbt_node *new_node(nbt_type type, const char *name);
// Appends child to a list or compound.
void add(nbt_node *parent, nbt_node *child);

// A tree of the shape whose uncompressed form is about target_bytes long.
nbt_node *make_tree(shape s, size_t target_bytes, uint32_t seed = 1);

// Everything a benchmark needs about one data set, built once and kept as
// bytes. Only the tree of the data set in use is held in memory, so that the
// heap of one benchmark does not shape the allocator's behaviour in the next.
struct data_set {
    std::vector<uint8_t> binary; // uncompressed NBT
    std::vector<uint8_t> gzip;   // gzip-compressed NBT
    uint64_t nodes;
    const nbt_node *tree() const; // parsed on demand; valid until another set's tree is asked for
};

const data_set &get(shape s, size_t target_bytes);

// The blocks a tree is made of (node, name, string, array, cell, sentinel,
// element-type record), by size: what a parse must allocate.
std::vector<size_t> block_sizes(const nbt_node *tree);

} // namespace bench
