// Uncompressed NBT data.
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    nbt_node *tree = nbt_parse(data, size);
    if (tree)
        fuzz::check_round_trip(tree);
    else if (errno != STATUS_CORRUPT && errno != STATUS_NO_MEMORY)
        fuzz::fail("parse failed with an unexpected status");
    return 0;
}
