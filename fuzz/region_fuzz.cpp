// Region files, read as burlchunks reads them: every chunk judged by
// region::inspect_chunk, and the accepted gzip and zlib chunks decoded and
// dumped as text. The input stands for the mapped file; under AddressSanitizer
// any read outside it fails the run.
#include "fuzz_check.h"
#include "region_table.h"

namespace {

// What the judgement promises about a chunk.
void check_judgement(const region::chunk_info &c, const uint8_t *file, size_t size)
{
    using region::chunk_state;
    if (c.state == chunk_state::bad_offset && uint64_t(c.offset) <= size)
        fuzz::fail("a chunk inside the file is judged out of it");
    if (c.state != chunk_state::ok)
        return;
    if (c.length < 0 || uint64_t(c.length) > c.capacity)
        fuzz::fail("an accepted chunk is longer than its sectors");
    if (c.data != file + c.offset + 4 || uint64_t(c.offset) + 4 + uint64_t(c.length) > size)
        fuzz::fail("an accepted chunk reaches past the end of the file");
    if ((c.compression == 1 || c.compression == 2) && c.length < 1)
        fuzz::fail("an accepted compressed chunk has no room for its type byte");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < region::header_size)
        return 0; // refused before any chunk is looked at
    for (unsigned i = 0; i < region::chunk_count; i++) {
        region::chunk_info c = region::inspect_chunk(data, size, i);
        check_judgement(c, data, size);
        if (c.state != region::chunk_state::ok || (c.compression != 1 && c.compression != 2))
            continue;
        nbt_node *tree = nbt_parse_compressed(c.data + 1, size_t(c.length) - 1);
        if (!tree)
            continue;
        char *text = nbt_dump_ascii(tree);
        if (!text && errno != STATUS_NO_MEMORY)
            fuzz::fail("a parsed tree cannot be dumped as text");
        free(text);
        fuzz::check_round_trip(tree);
    }
    return 0;
}
