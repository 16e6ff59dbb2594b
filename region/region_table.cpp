#include "region_table.h"

namespace region {

namespace {

uint32_t be32(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

chunk_info inspect_chunk(const unsigned char *map, size_t size, unsigned index)
{
    chunk_info c{};
    const unsigned char *location = map + 4 * size_t(index);
    c.sector_number = uint32_t(location[0]) << 16 | uint32_t(location[1]) << 8 | location[2];
    c.sector_count = location[3];
    c.offset = int64_t(c.sector_number) * int64_t(sector_size);
    c.capacity = uint64_t(c.sector_count) * sector_size;
    c.timestamp = be32(map + sector_size + 4 * size_t(index));
    if (c.sector_number == 0 || c.sector_count == 0) {
        c.state = chunk_state::empty;
        return c;
    }
    if (uint64_t(c.offset) > size) {
        c.state = chunk_state::bad_offset;
        return c;
    }
    // The length field, read without going past the end of the file.
    size_t left = size - size_t(c.offset);
    unsigned char field[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < left; i++)
        field[i] = map[c.offset + int64_t(i)];
    c.length = int32_t(be32(field));
    bool fits_sectors = c.length >= 0 && uint64_t(c.length) <= c.capacity;
    // Length field and compression byte, then the L - 1 data bytes.
    bool fits_file = left >= 5 && uint64_t(c.length) <= left - 4;
    if (!fits_sectors || !fits_file) {
        c.state = chunk_state::bad_size;
        return c;
    }
    c.data = map + c.offset + 4;
    c.compression = *c.data;
    // gzip and zlib data need at least the compression byte inside L.
    if (c.length == 0 && (c.compression == 1 || c.compression == 2)) {
        c.state = chunk_state::bad_size;
        c.data = nullptr;
        return c;
    }
    c.state = chunk_state::ok;
    return c;
}

} // namespace region
