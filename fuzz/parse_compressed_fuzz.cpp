// gzip or zlib streams holding NBT data; accepted trees also survive both
// compressed forms.
#include "fuzz_check.h"

namespace {

void check_compressed(const nbt_node *tree, nbt_compression c)
{
    struct buffer packed = nbt_dump_compressed(tree, c);
    if (!packed.data)
        fuzz::fail("a parsed tree cannot be compressed");
    nbt_node *back = nbt_parse_compressed(packed.data, packed.len);
    free(packed.data);
    if (!back)
        fuzz::fail("compressed output cannot be loaded");
    fuzz::check_round_trip(back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    nbt_node *tree = nbt_parse_compressed(data, size);
    if (!tree)
        return 0;
    check_compressed(tree, COMPRESSION_GZIP);
    check_compressed(tree, COMPRESSION_ZLIB);
    fuzz::check_round_trip(tree);
    return 0;
}
