// What every fuzz target checks besides the absence of crashes: whatever the
// parser accepts, the writer writes, and that output reads back and writes
// again to the very same bytes.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zoviru.h"

namespace fuzz {

[[noreturn]] inline void fail(const char *what)
{
    fprintf(stderr, "fuzz property violated: %s\n", what);
    abort();
}

// Writes tree, parses the output, writes again and compares; releases tree.
inline void check_round_trip(nbt_node *tree)
{
    struct buffer first = nbt_dump_binary(tree);
    if (!first.data)
        fail("a parsed tree cannot be written");
    nbt_node *again = nbt_parse(first.data, first.len);
    if (!again)
        fail("written data cannot be parsed");
    if (nbt_size(again) != nbt_size(tree))
        fail("node count changed");
    struct buffer second = nbt_dump_binary(again);
    if (!second.data || second.len != first.len || memcmp(first.data, second.data, first.len) != 0)
        fail("second write differs from the first");
    free(first.data);
    free(second.data);
    nbt_free(again);
    nbt_free(tree);
}

} // namespace fuzz
